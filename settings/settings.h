#pragma once
// The settings store: every user setting of the workbench, read once at start-up and written once at
// shut-down (and once more right after the very first start picks a port).
//
// The store is a QSettings file: the per-user one of organization "Pellworth", application "Orrery", or
// the INI file that ORRERY_SETTINGS names. Every value is kept as text: integers in decimal, booleans
// "1" and "0", numbered lists as a count plus one value per entry named prefix + two-digit index
// ("MRUFile00"). Reading never fails: a value that is missing or does not convert takes its default.
// Keys this code does not know (the device map "COM1Device" ...) are left untouched.
//
// The structs below are the in-memory copies; the main window, the terminal window, the find dialog and
// the plotter each hold theirs and hand them to load and save here. Reading never changes the store:
// keys of older versions are read as defaults and only the next save removes them, so a tool that only
// reads (loggerlink) leaves the user's file as it found it.
//
// QtCore and the compiler's options only: the workbench, the plotter and the command-line tools use it.

#include <QList>
#include <QMap>
#include <QMargins>
#include <QRect>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <memory>

#include "compiler.h"
#include "plottersettings.h"

namespace orrery::settings {

inline constexpr int kSettingsVersion = 414;
inline constexpr int kMaxRecentFiles = 5;

struct ProgramSection {
    int version = 0;
    QString openDir;
    QString saveAsDir;
    QString offloadDir;
    int fileExAction = 0;
    QStringList recentFiles;
};

struct WindowSection {
    QRect bounds;  // left, top, width, height
    bool maximized = false;
    bool autoIndent = false;
    int tabSize = 8;
    bool liveCheck = true;  // "LiveCheck": editors are compiled while the user types
    bool placeStored = false;  // "Left" and "Top" were both in the store
};

struct TerminalSection {
    int columns = 128;
    int rows = 128;
    QRect bounds;
    bool maximized = false;
    QString captureFile;
    bool captureAppend = true;
    int tabSize = 8;
    bool cellsStored = false;  // "Columns" and "Rows" were both in the store
};

struct PortSection {
    QString comNum = QStringLiteral("COM0");
    QString baud = QStringLiteral("19200");
    QString dataBits = QStringLiteral("8");
    QString stopBits = QStringLiteral("1");
    QString parity = QStringLiteral("None");
    QString handshake = QStringLiteral("None");
    // COMn -> device, from the "COMnDevice" keys; read only, never written by save.
    QMap<int, QString> devices;
};

struct TransferSection {
    int termType = 2;
    QString termChar = QString(QChar(26));
    int termTimeout = 10;
    QString prefix;
    QString suffix;
    int charDelay = 0;
    int lineDelay = 0;
};

struct FindSection {
    QStringList findHistory;
    QStringList replaceHistory;
    bool startAtTop = true;
    bool selectedText = false;
    bool wrapAround = false;
    bool wholeWords = false;
    bool caseSensitive = false;
    bool promptOnReplace = true;
    bool replaceAll = false;
};

// Section "Compile" is the compiler's options, field for field.
using CompileSection = compiler::CompilerOptions;

struct AllSettings {
    ProgramSection program;
    WindowSection window;
    TerminalSection terminal;
    PortSection ports;
    TransferSection transfer;
    FindSection find;
    CompileSection compile;
    PlotterSettings plotter;
};

// What the defaults depend on: the program directory and the areas windows must fit into.
struct SettingsContext {
    QString programDir;   // with trailing separator
    QRect workArea;       // desktop work area, for the main window
    QRect terminalArea;   // main window's client area, for the terminal window
};

// Opens the store (ORRERY_SETTINGS or the per-user store).
std::unique_ptr<QSettings> openSettingsStore();

// Reads everything in the store's order. Returns whether the store already held this program's
// settings (a nonzero "Version").
bool loadSettings(QSettings& store, const SettingsContext& context, AllSettings& out);
void saveSettings(QSettings& store, const AllSettings& settings);

// The sections one by one, for the windows that keep their own.
ProgramSection loadProgramSection(QSettings& store, const SettingsContext& context);
WindowSection loadWindowSection(QSettings& store, const QRect& workArea);
TerminalSection loadTerminalSection(QSettings& store, const QRect& clientArea);
PortSection loadPortSection(QSettings& store);
TransferSection loadTransferSection(QSettings& store);
FindSection loadFindSection(QSettings& store);
CompileSection loadCompileSection(QSettings& store);
void saveProgramSection(QSettings& store, const ProgramSection& s);
void saveWindowSection(QSettings& store, const WindowSection& s);
void saveTerminalSection(QSettings& store, const TerminalSection& s);
void savePortSection(QSettings& store, const PortSection& s);
void saveTransferSection(QSettings& store, const TransferSection& s);
void saveFindSection(QSettings& store, const FindSection& s);
void saveCompileSection(QSettings& store, const CompileSection& s);

// The device map alone ("COM1Device" ...), without the migration a full read of "Ports" does; the port
// probe at start-up needs it before the settings are loaded.
QMap<int, QString> loadDeviceMap(QSettings& store);

// A window that no longer fits its area moves to the area's edge and shrinks to it: when the right edge
// of the area is left of the window's right edge, left becomes 0 and the width the area's right edge
// (likewise top and height).
QRect clampToArea(const QRect& bounds, const QRect& area);

// The folder the data folders (open, save as, offload, capture) start in until the user chooses one:
// the home folder.
QString defaultDataFolder();

// Folders that belong to the program rather than to the user: the build tree it runs from (the nearest
// folder above it holding a CMakeCache.txt) and an install folder (a "bin" folder, or one the user
// cannot write to). Files kept there are lost with a clean rebuild or the next update.
QStringList programFolders(const QString& programDir);

// A remembered data folder inside one of the program's folders is replaced by the default data folder,
// and a capture file there moves to the default data folder under its own name.
QString mendDataFolder(const QString& folder, const SettingsContext& context);
void mendDataFolders(ProgramSection& program, const SettingsContext& context);
void mendCaptureFile(TerminalSection& terminal, const SettingsContext& context);

// Where the main window's client area goes, given the frame the window manager puts around it. A first
// start (no place stored) centres the window in the work area; a stored place is kept, moved only as
// far as needed for the whole frame, the title bar above all, to lie on the screen it is on (or on the
// work area when it is on none), so that the window can be dragged and closed with the mouse.
QRect placeMainWindow(const WindowSection& window, const QMargins& frame, const QRect& workArea,
                      const QList<QRect>& screens);

// Value encoding, shared by every section.
int readInt(QSettings& store, const QString& key, int defaultValue);
bool readBool(QSettings& store, const QString& key, bool defaultValue);
QString readString(QSettings& store, const QString& key, const QString& defaultValue);
void writeInt(QSettings& store, const QString& key, int value);
void writeBool(QSettings& store, const QString& key, bool value);
void writeString(QSettings& store, const QString& key, const QString& value);
QStringList readList(QSettings& store, const QString& countKey, const QString& prefix);
void writeList(QSettings& store, const QString& countKey, const QString& prefix, const QStringList& list);

}  // namespace orrery::settings
