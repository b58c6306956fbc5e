// The EPROM and variable commands of loggerlink: eprom-export, boot and vars. They run the workbench's
// own commands (epromexport.h, viewvarsession.h) with the questions answered by the options.
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QRegularExpression>
#include <ostream>

#include "cliprompts.h"
#include "epromexport.h"
#include "loggerlinkcli.h"
#include "varformat.h"
#include "viewvarsession.h"

namespace orrery::loggerlink {

namespace {

constexpr int kValueColumn = 3;
constexpr int kAddressColumn = 2;

// The workbench's commands take the link's claim themselves; the session's is handed back first.
link::LoggerLink* openUnclaimedLink(Session& session) {
    link::LoggerLink* link = session.openLink();
    if (link != nullptr) {
        session.claim().reset();
    }
    return link;
}

int epromExportCommand(Session& session, const QStringList& given) {
    QStringList arguments = given;
    const bool force = takeFlag(arguments, QStringLiteral("--force"));
    std::optional<QString> output = takeOption(arguments, QStringLiteral("-o"));
    if (!output) {
        output = takeOption(arguments, QStringLiteral("--output"));
    }
    if (!output || output->isEmpty()) {
        throw UsageError{QStringLiteral("eprom-export needs -o FILE.hex")};
    }
    if (!arguments.isEmpty()) {
        throw UsageError{QStringLiteral("unexpected '%1'").arg(arguments.first())};
    }
    const QString path = QFileInfo(*output).absoluteFilePath();
    if (QFileInfo(path).isDir()) {
        session.error(QStringLiteral("'%1' is a folder").arg(*output));
        return kExitUsage;
    }
    const bool exists = QFileInfo::exists(path);
    if (exists && !force) {
        session.error(QStringLiteral("'%1' exists; add --force to overwrite it").arg(*output));
        return kExitUsage;
    }
    link::LoggerLink* link = openUnclaimedLink(session);
    if (link == nullptr) {
        return kExitLogger;
    }
    session.prompts().queueFile(path);
    if (exists) {
        session.prompts().queueButton(QStringLiteral("Yes"));
    }
    link::EpromExportState state;
    switch (link::RepriseEPROM1Click(*link, state)) {
        case link::EpromExportResult::Written:
            session.inform(QStringLiteral("%1: EPROM image written").arg(*output));
            return kExitOk;
        case link::EpromExportResult::Refused:
            // The workbench says nothing here; a script needs to know why nothing came.
            session.error(QStringLiteral("the logger refused the EPROM export (or did not answer)"));
            return kExitLogger;
        case link::EpromExportResult::FileError:
        case link::EpromExportResult::Cancelled:
            return kExitUsage;
        case link::EpromExportResult::Failed:
            break;
    }
    return kExitLogger;
}

int bootCommand(Session& session, const QStringList& arguments) {
    if (!arguments.isEmpty()) {
        throw UsageError{QStringLiteral("boot takes no arguments")};
    }
    link::LoggerLink* link = openUnclaimedLink(session);
    if (link == nullptr) {
        return kExitLogger;
    }
    if (!link::BootEPROM1Click(*link) || !link->DrainOutput()) {
        return kExitLogger;
    }
    return kExitOk;
}

// The rows (1-based) of the items a NAME selects: the item of that display name, or every element of
// an array named without its index ("TEMPS" or "TEMPS!" for TEMPS!(0)..).
QList<int> rowsNamed(const QList<link::TVarItem>& items, const QString& name) {
    QList<int> rows;
    for (int i = 0; i < items.size(); ++i) {
        const QString& itemName = items[i].Name;
        const qsizetype index = itemName.indexOf(QLatin1Char('('));
        const QString arrayName = index < 0 ? QString() : itemName.left(index);
        const QString bare = QString(itemName).remove(QRegularExpression(QStringLiteral("[!$]|\\(.*\\)")));
        if (itemName == name || (!arrayName.isEmpty() && arrayName == name) || bare == name) {
            rows << i + 1;
        }
    }
    return rows;
}

QJsonValue jsonValue(const link::TVarItem& item, bool scientific) {
    if (!item.Loaded) {
        return QJsonValue::Null;
    }
    const QString text = link::formatValue(item, !scientific, QLatin1Char('.'));
    switch (item.TypeLetter) {
        case 'I':
        case 'i':
            return text.toLongLong();
        case 'F':
        case 'f':
            return text.toDouble();
        default:
            return text;
    }
}

void printTable(Session& session, const link::VariableViewer& viewer, const QList<int>& rows) {
    QList<int> widths(link::kViewerColumns, 0);
    QList<int> shown = {0};
    shown += rows;
    for (const int r : shown) {
        for (int c = 0; c < link::kViewerColumns; ++c) {
            widths[c] = std::max(widths[c], int(viewer.cellText(c, r).size()));
        }
    }
    for (const int r : shown) {
        QString line;
        for (int c = 0; c < link::kViewerColumns; ++c) {
            const QString cell = viewer.cellText(c, r);
            line += c + 1 < link::kViewerColumns ? cell.leftJustified(widths[c] + 2) : cell;
        }
        session.out() << line.trimmed().toStdString() << "\n";
    }
}

void printJson(Session& session, const link::VariableViewer& viewer, const QList<int>& rows, bool scientific) {
    QJsonArray records;
    for (const int r : rows) {
        const link::TVarItem& item = viewer.Items[r - 1];
        records.append(QJsonObject{{QStringLiteral("name"), item.Name},
                                   {QStringLiteral("type"), link::typeWord(item.TypeLetter)},
                                   {QStringLiteral("address"), int(quint16(item.Address))},
                                   {QStringLiteral("value"), jsonValue(item, scientific)}});
    }
    session.out() << QJsonDocument(records).toJson(QJsonDocument::Indented).toStdString();
}

int varsCommand(Session& session, const QStringList& given) {
    QStringList arguments = given;
    const bool decimal = takeFlag(arguments, QStringLiteral("--dec"));
    const bool scientific = takeFlag(arguments, QStringLiteral("--scientific"));
    const bool json = takeFlag(arguments, QStringLiteral("--json"));
    if (arguments.isEmpty()) {
        throw UsageError{QStringLiteral("vars needs a symbol file FILE.sym")};
    }
    const QString path = QFileInfo(arguments.takeFirst()).absoluteFilePath();
    for (const QString& a : arguments) {
        if (a.startsWith(QLatin1Char('-'))) {
            throw UsageError{QStringLiteral("unknown option '%1'").arg(a)};
        }
    }
    // The file and the names are checked before the logger is disturbed.
    const link::SymbolFileContents contents = link::readSymbolFile(path);
    if (contents.status != link::SymbolFileStatus::Loaded) {
        session.error(link::symbolFileMessage(contents.status, path));
        return kExitUsage;
    }
    if (contents.items.isEmpty()) {
        session.error(QStringLiteral("No variables in this symbol table"));
        return kExitUsage;
    }
    QList<int> rows;
    for (const QString& name : arguments) {
        const QList<int> named = rowsNamed(contents.items, name);
        if (named.isEmpty()) {
            session.error(QStringLiteral("no variable '%1' in %2").arg(name, path));
            return kExitUsage;
        }
        rows += named;
    }

    link::LoggerLink* link = openUnclaimedLink(session);
    if (link == nullptr) {
        return kExitLogger;
    }
    link::LinkMemory memory(*link);
    link::VariableViewer viewer(memory, session.prompts(), link->ProgramDir);
    bool failed = false;
    const bool shown = link::ViewVariables1Click(*link, [&] {
        session.prompts().queueFile(path);
        viewer.FormShow();
        viewer.decimalSeparator = json ? QLatin1Char('.') : QLocale().decimalPoint().at(0);
        if (viewer.Items.isEmpty()) {
            failed = true;
            return;
        }
        if (decimal) {
            viewer.cellClicked(kAddressColumn, 0);
        }
        if (scientific) {
            viewer.cellClicked(kValueColumn, 0);
        }
        if (rows.isEmpty()) {
            failed = viewer.ReadAllVariables();
            return;
        }
        for (const int r : rows) {
            failed |= viewer.readItem(viewer.Items[r - 1]);
        }
        if (failed) {
            session.error(QStringLiteral("Error reading data from Brackwater"));
        } else {
            viewer.ShowAllValues();
        }
    });
    if (!shown || failed) {
        return kExitLogger;
    }
    if (rows.isEmpty()) {
        for (int r = 1; r <= viewer.Items.size(); ++r) {
            rows << r;
        }
    }
    if (json) {
        printJson(session, viewer, rows, scientific);
    } else {
        printTable(session, viewer, rows);
    }
    return kExitOk;
}

const CommandRegistration kEpromCommands{{
    {"eprom-export", "-o FILE.hex [--force]",
     "read the loaded program and upper memory (0xC000-0xFFFF) into an Intel HEX image for an EPROM; "
     "--force overwrites FILE.hex",
     epromExportCommand},
    {"boot", "", "make the logger boot from its EPROM", bootCommand},
    {"vars", "FILE.sym [NAME ...] [--dec] [--scientific] [--json]",
     "read the variables of the loaded program by name (all without NAMEs), as a table or JSON records",
     varsCommand},
}};

}  // namespace

}  // namespace orrery::loggerlink
