#include "settings.h"

#include "plottersection.h"

#include <QDir>
#include <QFileInfo>
#include <QList>
#include <QStringList>
#include <QVariant>
#include <algorithm>
#include <cstddef>

namespace orrery::settings {

namespace {

// QSettings hands back a list for an INI value with unquoted commas; a value is text, whatever it looks
// like, so lists are joined back.
QString rawText(const QVariant& value) {
    if (value.typeId() == QMetaType::QStringList) {
        return value.toStringList().join(QLatin1Char(','));
    }
    return value.toString();
}

QString numberedKey(const QString& prefix, int index) {
    return prefix + QStringLiteral("%1").arg(index, 2, 10, QLatin1Char('0'));
}

// The limits are 16-bit signed in memory; a stored value outside 1..32767 would wrap into a negative
// or zero table size, so it takes the default instead.
qint16 readLimit(QSettings& store, const QString& key, qint16 defaultValue) {
    const int value = readInt(store, key, defaultValue);
    return (value >= 1 && value <= 32767) ? qint16(value) : defaultValue;
}

// A yes/no key of a section and the member it fills; the member's own initial value is the default. The
// sections whose keys are all plain flags list them once here, for reading and writing alike.
template <typename Section>
struct FlagKey {
    const char* key;
    bool Section::*member;
};

template <typename Section, std::size_t N>
void readFlags(QSettings& store, const FlagKey<Section> (&keys)[N], Section& s) {
    for (const FlagKey<Section>& k : keys) {
        s.*k.member = readBool(store, QString::fromLatin1(k.key), s.*k.member);
    }
}

template <typename Section, std::size_t N>
void writeFlags(QSettings& store, const FlagKey<Section> (&keys)[N], const Section& s) {
    for (const FlagKey<Section>& k : keys) {
        writeBool(store, QString::fromLatin1(k.key), s.*k.member);
    }
}

const FlagKey<FindSection> kFindFlags[] = {
    {"StartAtTop", &FindSection::startAtTop},       {"SelectedText", &FindSection::selectedText},
    {"WrapAround", &FindSection::wrapAround},       {"WholeWords", &FindSection::wholeWords},
    {"CaseSensitive", &FindSection::caseSensitive}, {"PromptOnReplace", &FindSection::promptOnReplace},
    {"ReplaceAll", &FindSection::replaceAll},
};

const FlagKey<CompileSection> kCompileFlags[] = {
    {"ConfirmConnect", &CompileSection::confirmConnect},
    {"EmbedLineNum", &CompileSection::embedLineNum},
    {"CreateListFile", &CompileSection::createListFile},
    {"CreateBinFile", &CompileSection::createBinFile},
    {"CreateSymFile", &CompileSection::createSymFile},
    {"CaseInsensitiveSym", &CompileSection::caseInsensitiveSym},
};

}  // namespace

std::unique_ptr<QSettings> openSettingsStore() {
    const QString file = qEnvironmentVariable("ORRERY_SETTINGS");
    if (!file.isEmpty()) {
        return std::make_unique<QSettings>(file, QSettings::IniFormat);
    }
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                       QStringLiteral("Pellworth"), QStringLiteral("Orrery"));
}

int readInt(QSettings& store, const QString& key, int defaultValue) {
    const QVariant value = store.value(key);
    if (!value.isValid()) {
        return defaultValue;
    }
    bool ok = false;
    const int number = rawText(value).toInt(&ok);
    return ok ? number : defaultValue;
}

bool readBool(QSettings& store, const QString& key, bool defaultValue) {
    return readInt(store, key, defaultValue ? 1 : 0) != 0;
}

QString readString(QSettings& store, const QString& key, const QString& defaultValue) {
    const QVariant value = store.value(key);
    return value.isValid() ? rawText(value) : defaultValue;
}

void writeInt(QSettings& store, const QString& key, int value) {
    store.setValue(key, QString::number(value));
}

void writeBool(QSettings& store, const QString& key, bool value) {
    store.setValue(key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

void writeString(QSettings& store, const QString& key, const QString& value) {
    store.setValue(key, value);
}

QStringList readList(QSettings& store, const QString& countKey, const QString& prefix) {
    QStringList list;
    // Two digits name at most 100 entries; a larger count is garbage, not a reason to read for ever.
    const int count = qBound(0, readInt(store, countKey, 0), 100);
    for (int i = 0; i < count; ++i) {
        list << readString(store, numberedKey(prefix, i), QString());
    }
    return list;
}

void writeList(QSettings& store, const QString& countKey, const QString& prefix, const QStringList& list) {
    writeInt(store, countKey, int(list.size()));
    for (int i = 0; i < list.size(); ++i) {
        writeString(store, numberedKey(prefix, i), list.at(i));
    }
}

QRect clampToArea(const QRect& bounds, const QRect& area) {
    QRect r = bounds;
    const int right = area.x() + area.width();
    const int bottom = area.y() + area.height();
    if (right < r.x() + r.width()) {
        r.setRect(area.x(), r.y(), right - area.x(), r.height());
    }
    if (bottom < r.y() + r.height()) {
        r.setRect(r.x(), area.y(), r.width(), bottom - area.y());
    }
    return r;
}

QString defaultDataFolder() {
    return QDir::homePath();
}

QStringList programFolders(const QString& programDir) {
    QStringList folders;
    if (programDir.isEmpty()) {
        return folders;
    }
    const QString program = QDir::cleanPath(QDir(programDir).absolutePath());
    for (QDir dir(program);;) {
        if (dir.exists(QStringLiteral("CMakeCache.txt"))) {
            folders << dir.absolutePath();
            break;
        }
        if (!dir.cdUp()) {
            break;
        }
    }
    const QFileInfo info(program);
    if (info.fileName() == QLatin1String("bin") || (info.isDir() && !info.isWritable())) {
        folders << program;
    }
    return folders;
}

namespace {

bool liesIn(const QString& path, const QString& folder) {
    const QString cleanPath = QDir::cleanPath(QDir(path).absolutePath());
    const QString cleanFolder = QDir::cleanPath(folder);
    return cleanPath == cleanFolder || cleanPath.startsWith(cleanFolder + QLatin1Char('/'));
}

bool liesInProgramFolder(const QString& path, const SettingsContext& context) {
    if (path.isEmpty()) {
        return false;
    }
    const QStringList folders = programFolders(context.programDir);
    return std::any_of(folders.begin(), folders.end(), [&path](const QString& f) { return liesIn(path, f); });
}

}  // namespace

QString mendDataFolder(const QString& folder, const SettingsContext& context) {
    return liesInProgramFolder(folder, context) ? defaultDataFolder() : folder;
}

void mendDataFolders(ProgramSection& program, const SettingsContext& context) {
    for (QString* folder : {&program.openDir, &program.saveAsDir, &program.offloadDir}) {
        *folder = mendDataFolder(*folder, context);
    }
}

void mendCaptureFile(TerminalSection& terminal, const SettingsContext& context) {
    const QFileInfo file(terminal.captureFile);
    if (liesInProgramFolder(file.absolutePath(), context)) {
        terminal.captureFile = QDir(defaultDataFolder()).filePath(file.fileName());
    }
}

QRect placeMainWindow(const WindowSection& window, const QMargins& frame, const QRect& workArea,
                      const QList<QRect>& screens) {
    QRect area = workArea;
    if (window.placeStored) {
        const QPoint frameCorner = window.bounds.topLeft() - QPoint(frame.left(), frame.top());
        for (const QRect& screen : screens) {
            if (screen.contains(window.bounds.topLeft()) || screen.contains(frameCorner)) {
                area = screen;
                break;
            }
        }
    }
    const QRect inner = area.marginsRemoved(frame);  // where the client area may lie
    QRect placed(window.bounds.topLeft(), window.bounds.size().boundedTo(inner.size()));
    if (!window.placeStored) {
        placed.moveCenter(inner.center());
        return placed;
    }
    placed.moveLeft(qBound(inner.left(), placed.left(), inner.right() - placed.width() + 1));
    placed.moveTop(qBound(inner.top(), placed.top(), inner.bottom() - placed.height() + 1));
    return placed;
}

ProgramSection loadProgramSection(QSettings& store, const SettingsContext& context) {
    ProgramSection s;
    store.beginGroup(QStringLiteral("Program"));
    s.version = readInt(store, QStringLiteral("Version"), 0);
    // Data belongs with the user's files: a folder inside the build tree goes with the next clean build.
    const QString dataFolder = defaultDataFolder();
    s.openDir = readString(store, QStringLiteral("OpenDir"), dataFolder);
    s.saveAsDir = readString(store, QStringLiteral("SaveAsDir"), dataFolder);
    s.offloadDir = readString(store, QStringLiteral("OffloadDir"), dataFolder);
    mendDataFolders(s, context);
    s.fileExAction = readInt(store, QStringLiteral("FileExAction"), 0);
    if (s.fileExAction < 0 || s.fileExAction > 2) {
        s.fileExAction = 0;
    }
    s.recentFiles = readList(store, QStringLiteral("NumMRU"), QStringLiteral("MRUFile"));
    s.recentFiles.removeAll(QString());
    while (s.recentFiles.size() > kMaxRecentFiles) {
        s.recentFiles.removeLast();
    }
    store.endGroup();
    return s;
}

WindowSection loadWindowSection(QSettings& store, const QRect& workArea) {
    WindowSection s;
    store.beginGroup(QStringLiteral("Window"));
    const int right = workArea.x() + workArea.width();
    const int bottom = workArea.y() + workArea.height();
    QRect bounds(readInt(store, QStringLiteral("Left"), 0), readInt(store, QStringLiteral("Top"), 0),
                 readInt(store, QStringLiteral("Width"), right * 3 / 4),
                 readInt(store, QStringLiteral("Height"), bottom * 3 / 4));
    // A window of no size cannot be found again by the user.
    if (bounds.width() <= 0) {
        bounds.setWidth(right * 3 / 4);
    }
    if (bounds.height() <= 0) {
        bounds.setHeight(bottom * 3 / 4);
    }
    s.bounds = clampToArea(bounds, workArea);
    s.placeStored = store.contains(QStringLiteral("Left")) && store.contains(QStringLiteral("Top"));
    s.maximized = readBool(store, QStringLiteral("Maximized"), false);
    s.autoIndent = readBool(store, QStringLiteral("Autoindent"), false);
    s.liveCheck = readBool(store, QStringLiteral("LiveCheck"), true);
    s.tabSize = readInt(store, QStringLiteral("TabSize"), 8);
    if (s.tabSize < 1 || s.tabSize > 99) {
        s.tabSize = 8;
    }
    store.endGroup();
    return s;
}

TerminalSection loadTerminalSection(QSettings& store, const QRect& clientArea) {
    TerminalSection s;
    store.beginGroup(QStringLiteral("Terminal"));
    s.columns = readInt(store, QStringLiteral("Columns"), 128);
    s.rows = readInt(store, QStringLiteral("Rows"), 128);
    s.cellsStored = s.columns > 0 && s.rows > 0 && store.contains(QStringLiteral("Columns")) &&
                    store.contains(QStringLiteral("Rows"));
    const QRect bounds(readInt(store, QStringLiteral("Left"), 0), readInt(store, QStringLiteral("Top"), 0),
                       readInt(store, QStringLiteral("Width"), clientArea.width() * 3 / 4),
                       readInt(store, QStringLiteral("Height"), clientArea.height() * 3 / 4));
    s.bounds = clampToArea(bounds, clientArea);
    s.maximized = readBool(store, QStringLiteral("Maximized"), false);
    s.captureFile = readString(store, QStringLiteral("Capture file"), QString());
    s.captureAppend = readBool(store, QStringLiteral("Capture append"), true);
    s.tabSize = readInt(store, QStringLiteral("TabSize"), 8);
    store.endGroup();
    return s;
}

namespace {

// Older versions kept the baud rate and the port number as integers under these keys; read, they are
// the defaults of the string values, and the next save removes them.
const QString kOldBaud = QStringLiteral("Baud rate");
const QString kOldPort = QStringLiteral("Com port");

}  // namespace

PortSection loadPortSection(QSettings& store) {
    PortSection s;
    store.beginGroup(QStringLiteral("Ports"));
    QString baudDefault = s.baud;
    QString portDefault = s.comNum;
    bool ok = false;
    if (const int baud = rawText(store.value(kOldBaud)).toInt(&ok); ok) {
        baudDefault = QString::number(baud);
    }
    if (const int port = rawText(store.value(kOldPort)).toInt(&ok); ok) {
        portDefault = QStringLiteral("COM") + QString::number(port);
    }
    s.comNum = readString(store, QStringLiteral("ComNum"), portDefault);
    s.baud = readString(store, QStringLiteral("Baud"), baudDefault);
    s.dataBits = readString(store, QStringLiteral("DataBits"), s.dataBits);
    s.stopBits = readString(store, QStringLiteral("StopBits"), s.stopBits);
    s.parity = readString(store, QStringLiteral("Parity"), s.parity);
    s.handshake = readString(store, QStringLiteral("Handshake"), s.handshake);
    store.endGroup();
    s.devices = loadDeviceMap(store);
    return s;
}

QMap<int, QString> loadDeviceMap(QSettings& store) {
    QMap<int, QString> devices;
    store.beginGroup(QStringLiteral("Ports"));
    for (int n = 1; n <= 9; ++n) {
        const QString device = readString(store, QStringLiteral("COM%1Device").arg(n), QString());
        if (!device.isEmpty()) {
            devices.insert(n, device);
        }
    }
    store.endGroup();
    return devices;
}

TransferSection loadTransferSection(QSettings& store) {
    TransferSection s;
    store.beginGroup(QStringLiteral("Transfer"));
    s.termType = readInt(store, QStringLiteral("TermType"), 2);
    if (s.termType < 0 || s.termType > 2) {
        s.termType = 2;
    }
    s.termChar = readString(store, QStringLiteral("TermChar"), s.termChar);
    s.termTimeout = qMax(1, readInt(store, QStringLiteral("TermTimeout"), 10));
    s.prefix = readString(store, QStringLiteral("Prefix"), QString());
    s.suffix = readString(store, QStringLiteral("Suffix"), QString());
    s.charDelay = qMax(0, readInt(store, QStringLiteral("CharDelay"), 0));
    s.lineDelay = qMax(0, readInt(store, QStringLiteral("LineDelay"), 0));
    store.endGroup();
    return s;
}

FindSection loadFindSection(QSettings& store) {
    FindSection s;
    store.beginGroup(QStringLiteral("Find"));
    s.findHistory = readList(store, QStringLiteral("NumFindStrings"), QStringLiteral("FindString"));
    s.replaceHistory = readList(store, QStringLiteral("NumReplStrings"), QStringLiteral("ReplaceString"));
    readFlags(store, kFindFlags, s);
    store.endGroup();
    return s;
}

CompileSection loadCompileSection(QSettings& store) {
    CompileSection s;
    store.beginGroup(QStringLiteral("Compile"));
    readFlags(store, kCompileFlags, s);
    s.maxLabels = readLimit(store, QStringLiteral("MaxLabels"), 1000);
    s.maxAsmLines = readLimit(store, QStringLiteral("MaxAsmLines"), 1000);
    store.endGroup();
    return s;
}

bool loadSettings(QSettings& store, const SettingsContext& context, AllSettings& out) {
    out.program = loadProgramSection(store, context);
    out.window = loadWindowSection(store, context.workArea);
    out.terminal = loadTerminalSection(store, context.terminalArea);
    mendCaptureFile(out.terminal, context);
    out.ports = loadPortSection(store);
    out.transfer = loadTransferSection(store);
    out.find = loadFindSection(store);
    out.compile = loadCompileSection(store);
    out.plotter = loadPlotterSection(store, context.terminalArea);
    return out.program.version != 0;
}

void saveProgramSection(QSettings& store, const ProgramSection& s) {
    store.beginGroup(QStringLiteral("Program"));
    writeInt(store, QStringLiteral("Version"), kSettingsVersion);
    writeString(store, QStringLiteral("OpenDir"), s.openDir);
    writeString(store, QStringLiteral("SaveAsDir"), s.saveAsDir);
    writeString(store, QStringLiteral("OffloadDir"), s.offloadDir);
    writeInt(store, QStringLiteral("FileExAction"), s.fileExAction);
    writeList(store, QStringLiteral("NumMRU"), QStringLiteral("MRUFile"), s.recentFiles);
    store.endGroup();
}

namespace {

// The main window and the terminal store their place on the screen under the same keys.
void writePlacement(QSettings& store, bool maximized, const QRect& bounds) {
    writeBool(store, QStringLiteral("Maximized"), maximized);
    writeInt(store, QStringLiteral("Left"), bounds.x());
    writeInt(store, QStringLiteral("Top"), bounds.y());
    writeInt(store, QStringLiteral("Width"), bounds.width());
    writeInt(store, QStringLiteral("Height"), bounds.height());
}

}  // namespace

void saveWindowSection(QSettings& store, const WindowSection& s) {
    store.beginGroup(QStringLiteral("Window"));
    writePlacement(store, s.maximized, s.bounds);
    writeBool(store, QStringLiteral("Autoindent"), s.autoIndent);
    writeBool(store, QStringLiteral("LiveCheck"), s.liveCheck);
    writeInt(store, QStringLiteral("TabSize"), s.tabSize);
    store.endGroup();
}

void saveTerminalSection(QSettings& store, const TerminalSection& s) {
    store.beginGroup(QStringLiteral("Terminal"));
    writePlacement(store, s.maximized, s.bounds);
    writeInt(store, QStringLiteral("Columns"), s.columns);
    writeInt(store, QStringLiteral("Rows"), s.rows);
    writeString(store, QStringLiteral("Capture file"), s.captureFile);
    writeBool(store, QStringLiteral("Capture append"), s.captureAppend);
    writeInt(store, QStringLiteral("TabSize"), s.tabSize);
    store.endGroup();
}

void savePortSection(QSettings& store, const PortSection& s) {
    store.beginGroup(QStringLiteral("Ports"));
    writeString(store, QStringLiteral("ComNum"), s.comNum);
    writeString(store, QStringLiteral("Baud"), s.baud);
    writeString(store, QStringLiteral("DataBits"), s.dataBits);
    writeString(store, QStringLiteral("StopBits"), s.stopBits);
    writeString(store, QStringLiteral("Parity"), s.parity);
    writeString(store, QStringLiteral("Handshake"), s.handshake);
    // The newer keys now carry what the older ones said.
    store.remove(kOldBaud);
    store.remove(kOldPort);
    store.endGroup();
}

void saveTransferSection(QSettings& store, const TransferSection& s) {
    store.beginGroup(QStringLiteral("Transfer"));
    writeInt(store, QStringLiteral("TermType"), s.termType);
    writeString(store, QStringLiteral("TermChar"), s.termChar);
    writeInt(store, QStringLiteral("TermTimeout"), s.termTimeout);
    writeString(store, QStringLiteral("Prefix"), s.prefix);
    writeString(store, QStringLiteral("Suffix"), s.suffix);
    writeInt(store, QStringLiteral("CharDelay"), s.charDelay);
    writeInt(store, QStringLiteral("LineDelay"), s.lineDelay);
    store.endGroup();
}

void saveFindSection(QSettings& store, const FindSection& s) {
    store.beginGroup(QStringLiteral("Find"));
    writeList(store, QStringLiteral("NumFindStrings"), QStringLiteral("FindString"), s.findHistory);
    writeList(store, QStringLiteral("NumReplStrings"), QStringLiteral("ReplaceString"), s.replaceHistory);
    writeFlags(store, kFindFlags, s);
    store.endGroup();
}

void saveCompileSection(QSettings& store, const CompileSection& s) {
    store.beginGroup(QStringLiteral("Compile"));
    writeFlags(store, kCompileFlags, s);
    writeInt(store, QStringLiteral("MaxLabels"), s.maxLabels);
    writeInt(store, QStringLiteral("MaxAsmLines"), s.maxAsmLines);
    store.endGroup();
}

void saveSettings(QSettings& store, const AllSettings& settings) {
    saveProgramSection(store, settings.program);
    saveWindowSection(store, settings.window);
    saveTerminalSection(store, settings.terminal);
    savePortSection(store, settings.ports);
    saveTransferSection(store, settings.transfer);
    saveFindSection(store, settings.find);
    saveCompileSection(store, settings.compile);
    savePlotterSection(store, settings.plotter);
    store.sync();
}

}  // namespace orrery::settings
