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
#include <variant>

#include "cliprompts.h"
#include "epromexport.h"
#include "loggerlinkcli.h"
#include "varformat.h"
#include "viewvarsession.h"

namespace orrery::loggerlink {

namespace {

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
    if (const std::optional<int> refused = checkOutputFile(session, path, force)) {
        return *refused;
    }
    link::LoggerLink* link = openUnclaimedLink(session);
    if (link == nullptr) {
        return kExitLogger;
    }
    const link::LinkResult result = link::exportEprom(*link, {path, force});
    switch (result.status) {
        case link::LinkStatus::Done:
            sayDone(session, result.message);
            return kExitOk;
        case link::LinkStatus::Refused:
            // The workbench says nothing when the logger declines; a script needs to know why nothing came.
            if (session.prompts().messages().isEmpty()) {
                session.error(QStringLiteral("the logger refused the EPROM export (or did not answer)"));
            }
            return kExitLogger;
        default:
            return kExitLogger;
    }
}

int bootCommand(Session& session, const QStringList& arguments) {
    if (!arguments.isEmpty()) {
        throw UsageError{QStringLiteral("boot takes no arguments")};
    }
    link::LoggerLink* link = openUnclaimedLink(session);
    if (link == nullptr) {
        return kExitLogger;
    }
    const link::LinkResult result = link::bootEprom(*link);
    if (!result.done()) {
        return kExitLogger;
    }
    sayDone(session, result.message);
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

struct TableForm {
    bool addressInHex = true;
    bool floatsFixed = true;
    QChar decimalSeparator = QLatin1Char('.');
};

// The viewer's grid as text: its headers, then one row per item read.
void printTable(Session& session, const QList<link::TVarItem>& items, const TableForm& form) {
    QList<QStringList> table = {
        {QStringLiteral("Variable Name"), QStringLiteral("Type"),
         form.addressInHex ? QStringLiteral("Address (hex)") : QStringLiteral("Address (dec)"),
         form.floatsFixed ? QStringLiteral("Data (floats in fixed point format)")
                          : QStringLiteral("Data (floats in scientific format)")}};
    for (const link::TVarItem& item : items) {
        table.append({item.Name, link::typeWord(item.TypeLetter),
                      link::formatAddress(item.Address, form.addressInHex),
                      link::formatValue(item, form.floatsFixed, form.decimalSeparator)});
    }
    QList<int> widths(link::kViewerColumns, 0);
    for (const QStringList& row : table) {
        for (int c = 0; c < link::kViewerColumns; ++c) {
            widths[c] = std::max(widths[c], int(row[c].size()));
        }
    }
    for (const QStringList& row : table) {
        QString line;
        for (int c = 0; c < link::kViewerColumns; ++c) {
            line += c + 1 < link::kViewerColumns ? row[c].leftJustified(widths[c] + 2) : row[c];
        }
        session.out() << line.trimmed().toStdString() << "\n";
    }
}

void printJson(Session& session, const QList<link::TVarItem>& items, bool scientific) {
    QJsonArray records;
    for (const link::TVarItem& item : items) {
        records.append(QJsonObject{{QStringLiteral("name"), item.Name},
                                   {QStringLiteral("type"), link::typeWord(item.TypeLetter)},
                                   {QStringLiteral("address"), int(quint16(item.Address))},
                                   {QStringLiteral("value"), jsonValue(item, scientific)}});
    }
    session.out() << QJsonDocument(records).toJson(QJsonDocument::Indented).toStdString();
}

// What vars was asked: the symbol file, the names (none: every variable) and how to print.
struct VarsArguments {
    QString symbolFile;
    QStringList names;
    bool decimal = false;
    bool scientific = false;
    bool json = false;
};

VarsArguments parseVarsArguments(const QStringList& given) {
    QStringList arguments = given;
    VarsArguments v;
    v.decimal = takeFlag(arguments, QStringLiteral("--dec"));
    v.scientific = takeFlag(arguments, QStringLiteral("--scientific"));
    v.json = takeFlag(arguments, QStringLiteral("--json"));
    if (arguments.isEmpty()) {
        throw UsageError{QStringLiteral("vars needs a symbol file FILE.sym")};
    }
    v.symbolFile = QFileInfo(arguments.takeFirst()).absoluteFilePath();
    for (const QString& a : arguments) {
        if (a.startsWith(QLatin1Char('-'))) {
            throw UsageError{QStringLiteral("unknown option '%1'").arg(a)};
        }
    }
    v.names = arguments;
    return v;
}

// The read request for the named variables of the symbol file, checked before the logger is disturbed.
// The exit code when the file or a name is refused.
std::variant<link::VariableReadRequest, int> variableRequest(Session& session, const VarsArguments& v) {
    const link::SymbolFileContents contents = link::readSymbolFile(v.symbolFile);
    if (contents.status != link::SymbolFileStatus::Loaded) {
        session.error(link::symbolFileMessage(contents.status, v.symbolFile));
        return kExitUsage;
    }
    if (contents.items.isEmpty()) {
        session.error(QStringLiteral("No variables in this symbol table"));
        return kExitUsage;
    }
    link::VariableReadRequest request;
    request.fileCrc = contents.fileCrc;
    if (v.names.isEmpty()) {
        request.items = contents.items;
    }
    for (const QString& name : v.names) {
        const QList<int> rows = rowsNamed(contents.items, name);
        if (rows.isEmpty()) {
            session.error(QStringLiteral("no variable '%1' in %2").arg(name, v.symbolFile));
            return kExitUsage;
        }
        for (const int r : rows) {
            request.items.append(contents.items[r - 1]);
        }
    }
    return request;
}

int varsCommand(Session& session, const QStringList& given) {
    const VarsArguments v = parseVarsArguments(given);
    const auto checked = variableRequest(session, v);
    if (const int* refused = std::get_if<int>(&checked)) {
        return *refused;
    }
    link::LoggerLink* link = openUnclaimedLink(session);
    if (link == nullptr) {
        return kExitLogger;
    }
    const link::VariableReadResult result =
        link::readVariables(*link, std::get<link::VariableReadRequest>(checked));
    if (!result.done()) {
        return kExitLogger;
    }
    if (v.json) {
        printJson(session, result.items, v.scientific);
    } else {
        printTable(session, result.items, {!v.decimal, !v.scientific, QLocale().decimalPoint().at(0)});
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
