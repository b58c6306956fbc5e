// The settings store: key names, encodings, defaults, migration of the older port keys, clamping and
// resistance to garbage. Every test works on its own INI file.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "settings.h"

using namespace orrery::settings;

namespace {

class SettingsStore : public ::testing::Test {
protected:
    QString path() const { return dir.filePath("orrery.ini"); }
    std::unique_ptr<QSettings> store() const {
        return std::make_unique<QSettings>(path(), QSettings::IniFormat);
    }
    void writeRaw(const QByteArray& text) const {
        QFile f(path());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    SettingsContext context{"/opt/orrery/", QRect(0, 0, 1600, 1000), QRect(0, 0, 800, 600)};
    QTemporaryDir dir;
};

AllSettings sampleSettings() {
    AllSettings s;
    s.program = {0, "/src", "/save", "/offload", 2, {"/a/one.qob", "/b/two.qob"}};
    s.window = {QRect(10, 20, 700, 500), true, true, 4, false};
    s.terminal = {80, 25, QRect(5, 6, 300, 200), true, "/tmp/cap.txt", false, 4};
    s.ports.comNum = "COM2";
    s.ports.baud = "9600";
    s.ports.dataBits = "7";
    s.ports.stopBits = "2";
    s.ports.parity = "Even";
    s.ports.handshake = "XON/XOFF";
    s.transfer = {1, "\\x1a", 30, "pre\\r", "suf\\n", 5, 100};
    s.find = {{"foo", "Bar"}, {"baz"}, false, true, true, true, true, false, true};
    s.compile = {false, false, true, true, true, true, 2000, -1};
    return s;
}

TEST_F(SettingsStore, SaveWritesEveryKeyAsText) {
    AllSettings s = sampleSettings();
    s.compile.maxAsmLines = 3000;
    s.plotter.bounds = QRect(1, 2, 300, 200);
    s.plotter.open = true;
    s.plotter.xAxis = orrery::settings::XAxisMode::Seconds;
    s.plotter.yRange = orrery::settings::YRangeMode::Fixed;
    s.plotter.yLow = -0.5;
    s.plotter.hiddenSeries = {"RH"};
    {
        auto st = store();
        saveSettings(*st, s);
    }
    QSettings raw(path(), QSettings::IniFormat);
    const struct {
        const char* key;
        const char* text;
    } expected[] = {
        {"Program/Version", "414"},          {"Program/OpenDir", "/src"},
        {"Program/SaveAsDir", "/save"},      {"Program/OffloadDir", "/offload"},
        {"Program/FileExAction", "2"},       {"Program/NumMRU", "2"},
        {"Program/MRUFile00", "/a/one.qob"}, {"Program/MRUFile01", "/b/two.qob"},
        {"Window/Maximized", "1"},           {"Window/Left", "10"},
        {"Window/Top", "20"},                {"Window/Width", "700"},
        {"Window/Height", "500"},            {"Window/Autoindent", "1"},
        {"Window/TabSize", "4"},             {"Window/LiveCheck", "0"},
        {"Terminal/Maximized", "1"},
        {"Terminal/Left", "5"},              {"Terminal/Top", "6"},
        {"Terminal/Width", "300"},           {"Terminal/Height", "200"},
        {"Terminal/Columns", "80"},          {"Terminal/Rows", "25"},
        {"Terminal/Capture file", "/tmp/cap.txt"},
        {"Terminal/Capture append", "0"},    {"Terminal/TabSize", "4"},
        {"Ports/ComNum", "COM2"},            {"Ports/Baud", "9600"},
        {"Ports/DataBits", "7"},             {"Ports/StopBits", "2"},
        {"Ports/Parity", "Even"},            {"Ports/Handshake", "XON/XOFF"},
        {"Transfer/TermType", "1"},          {"Transfer/TermChar", "\\x1a"},
        {"Transfer/TermTimeout", "30"},      {"Transfer/Prefix", "pre\\r"},
        {"Transfer/Suffix", "suf\\n"},       {"Transfer/CharDelay", "5"},
        {"Transfer/LineDelay", "100"},       {"Find/NumFindStrings", "2"},
        {"Find/FindString00", "foo"},        {"Find/FindString01", "Bar"},
        {"Find/NumReplStrings", "1"},        {"Find/ReplaceString00", "baz"},
        {"Find/StartAtTop", "0"},            {"Find/SelectedText", "1"},
        {"Find/WrapAround", "1"},            {"Find/WholeWords", "1"},
        {"Find/CaseSensitive", "1"},         {"Find/PromptOnReplace", "0"},
        {"Find/ReplaceAll", "1"},            {"Compile/ConfirmConnect", "0"},
        {"Compile/EmbedLineNum", "0"},       {"Compile/CreateListFile", "1"},
        {"Compile/CreateBinFile", "1"},      {"Compile/CreateSymFile", "1"},
        {"Compile/CaseInsensitiveSym", "1"}, {"Compile/MaxLabels", "2000"},
        {"Compile/MaxAsmLines", "3000"},     {"Plotter/Maximized", "0"},
        {"Plotter/Left", "1"},               {"Plotter/Top", "2"},
        {"Plotter/Width", "300"},            {"Plotter/Height", "200"},
        {"Plotter/Open", "1"},               {"Plotter/XAxis", "1"},
        {"Plotter/SamplesShown", "500"},     {"Plotter/SecondsShown", "60"},
        {"Plotter/YRange", "1"},             {"Plotter/YLow", "-0.5"},
        {"Plotter/YHigh", "100"},            {"Plotter/NumHidden", "1"},
        {"Plotter/Hidden00", "RH"},
    };
    for (const auto& e : expected) {
        EXPECT_EQ(raw.value(e.key).toString(), QString::fromLatin1(e.text)) << e.key;
    }
    EXPECT_EQ(raw.allKeys().size(), std::size(expected)) << "no key more, no key less";
}

TEST_F(SettingsStore, RoundTripGivesBackWhatWasSaved) {
    const AllSettings saved = sampleSettings();
    {
        auto st = store();
        saveSettings(*st, saved);
    }
    AllSettings loaded;
    auto st = store();
    EXPECT_TRUE(loadSettings(*st, context, loaded));
    EXPECT_EQ(loaded.program.version, kSettingsVersion);
    EXPECT_EQ(loaded.program.openDir, "/src");
    EXPECT_EQ(loaded.program.recentFiles, saved.program.recentFiles);
    EXPECT_EQ(loaded.window.bounds, saved.window.bounds);
    EXPECT_EQ(loaded.window.maximized, true);
    EXPECT_EQ(loaded.window.tabSize, 4);
    EXPECT_FALSE(loaded.window.liveCheck);
    EXPECT_EQ(loaded.terminal.bounds, saved.terminal.bounds);
    EXPECT_EQ(loaded.terminal.columns, 80);
    EXPECT_EQ(loaded.terminal.captureAppend, false);
    EXPECT_EQ(loaded.ports.comNum, "COM2");
    EXPECT_EQ(loaded.ports.handshake, "XON/XOFF");
    EXPECT_EQ(loaded.transfer.suffix, "suf\\n");
    EXPECT_EQ(loaded.transfer.lineDelay, 100);
    EXPECT_EQ(loaded.find.findHistory, saved.find.findHistory);
    EXPECT_EQ(loaded.find.promptOnReplace, false);
    EXPECT_EQ(loaded.compile.maxLabels, 2000);
    EXPECT_EQ(loaded.compile.createSymFile, true);
}

TEST_F(SettingsStore, EmptyStoreGivesTheDefaults) {
    AllSettings s;
    auto st = store();
    EXPECT_FALSE(loadSettings(*st, context, s));
    EXPECT_EQ(s.program.openDir, QDir::homePath());
    EXPECT_EQ(s.program.saveAsDir, QDir::homePath());
    EXPECT_EQ(s.program.offloadDir, QDir::homePath());
    EXPECT_EQ(s.window.bounds, QRect(0, 0, 1200, 750));
    EXPECT_EQ(s.terminal.bounds, QRect(0, 0, 600, 450));
    EXPECT_EQ(s.terminal.columns, 128);
    EXPECT_EQ(s.terminal.captureAppend, true);
    EXPECT_EQ(s.ports.comNum, "COM0");
    EXPECT_EQ(s.ports.baud, "19200");
    EXPECT_EQ(s.transfer.termChar, QString(QChar(26)));
    EXPECT_EQ(s.transfer.termType, 2);
    EXPECT_EQ(s.find.startAtTop, true);
    EXPECT_EQ(s.find.promptOnReplace, true);
    EXPECT_EQ(s.compile.confirmConnect, true);
    EXPECT_EQ(s.compile.maxAsmLines, 1000);
}

TEST_F(SettingsStore, OlderPortKeysMigrate) {
    const struct {
        const char* what;
        QList<QPair<QString, QString>> stored;
        const char* comNum;
        const char* baud;
    } cases[] = {
        {"only older keys", {{"Baud rate", "9600"}, {"Com port", "2"}}, "COM2", "9600"},
        {"newer values win", {{"Baud rate", "9600"}, {"Com port", "2"}, {"ComNum", "COM3"}, {"Baud", "1200"}},
         "COM3", "1200"},
        {"unreadable older values are dropped", {{"Baud rate", "fast"}, {"Com port", "x"}}, "COM0", "19200"},
        {"older baud alone", {{"Baud rate", "300"}}, "COM0", "300"},
    };
    for (const auto& c : cases) {
        QFile::remove(path());
        {
            auto st = store();
            st->beginGroup("Ports");
            for (const auto& [k, v] : c.stored) {
                st->setValue(k, v);
            }
        }
        {
            auto st = store();
            const PortSection ports = loadPortSection(*st);
            EXPECT_EQ(ports.comNum, c.comNum) << c.what;
            EXPECT_EQ(ports.baud, c.baud) << c.what;
            savePortSection(*st, ports);
        }
        QSettings raw(path(), QSettings::IniFormat);
        EXPECT_FALSE(raw.contains("Ports/Baud rate")) << c.what;
        EXPECT_FALSE(raw.contains("Ports/Com port")) << c.what;
        EXPECT_EQ(raw.value("Ports/ComNum").toString(), c.comNum) << c.what;
        EXPECT_EQ(raw.value("Ports/Baud").toString(), c.baud) << c.what;
    }
}

TEST_F(SettingsStore, ReadingEverySectionLeavesTheFileAsItWas) {
    // Older port keys, keys of other programs' sections, garbage and an unusual layout: none of it is
    // tidied by a read.
    const QByteArray files[] = {
        "[Ports]\nBaud rate=9600\nCom port=2\nCOM2Device=/dev/ttyUSB0\n",
        "; kept by hand\n[Program]\nVersion=414\nNumMRU=1\nMRUFile00=/a.qob\n\n[Ports]\nComNum = COM1\nBaud=fast\n"
        "[Compile]\nMaxLabels=70000\n[Plotter]\nYLow=1,5\nNumHidden=2\n[Other]\nkey=\"a, b\"\n",
        "",
    };
    for (const QByteArray& text : files) {
        QFile::remove(path());
        if (!text.isEmpty()) {
            writeRaw(text);
        }
        {
            auto st = store();
            AllSettings loaded;
            loadSettings(*st, context, loaded);
            (void)loadDeviceMap(*st);
        }
        QFile f(path());
        if (text.isEmpty()) {
            EXPECT_FALSE(f.exists()) << "a read creates no store";
            continue;
        }
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), text);
    }
}

TEST_F(SettingsStore, GarbageTakesTheDefaults) {
    writeRaw("[Program]\nVersion=banana\nNumMRU=-4\nFileExAction=7\n"
             "[Window]\nLeft=x\nWidth=\nTabSize=0\nMaximized=yes\n"
             "[Compile]\nMaxLabels=70000\nMaxAsmLines=-5\nConfirmConnect=2\nEmbedLineNum=off\n"
             "[Transfer]\nTermTimeout=0\nCharDelay=-3\nTermType=9\n"
             "[Find]\nNumFindStrings=99999999\n"
             "\x01\x02 garbage line without equals\n[unterminated\n");
    AllSettings s;
    auto st = store();
    EXPECT_FALSE(loadSettings(*st, context, s)) << "a Version that is not a number counts as none";
    EXPECT_TRUE(s.program.recentFiles.isEmpty());
    EXPECT_EQ(s.program.fileExAction, 0);
    EXPECT_EQ(s.window.bounds.x(), 0);
    EXPECT_EQ(s.window.bounds.width(), 1200);
    EXPECT_EQ(s.window.tabSize, 8);
    EXPECT_TRUE(s.window.liveCheck) << "on by default";
    EXPECT_EQ(s.window.maximized, false);
    EXPECT_EQ(s.compile.maxLabels, 1000) << "would wrap to a negative table size";
    EXPECT_EQ(s.compile.maxAsmLines, 1000);
    EXPECT_EQ(s.compile.confirmConnect, true) << "any nonzero number is true";
    EXPECT_EQ(s.compile.embedLineNum, true) << "not a number: the default";
    EXPECT_EQ(s.transfer.termTimeout, 1);
    EXPECT_EQ(s.transfer.charDelay, 0);
    EXPECT_EQ(s.transfer.termType, 2);
    EXPECT_EQ(s.find.findHistory.size(), 100) << "an absurd count is bounded, not followed";
}

TEST_F(SettingsStore, ListsReadOnlyTheStoredCountAndKeepStaleEntries) {
    writeRaw("[Program]\nVersion=414\nNumMRU=3\nMRUFile00=/1\nMRUFile01=/2\nMRUFile02=/3\nMRUFile03=/4\n"
             "MRUFile04=/5\n");
    {
        auto st = store();
        ProgramSection p = loadProgramSection(*st, context);
        EXPECT_EQ(p.recentFiles, (QStringList{"/1", "/2", "/3"}));
        p.recentFiles = {"/9"};
        saveProgramSection(*st, p);
    }
    QSettings raw(path(), QSettings::IniFormat);
    EXPECT_EQ(raw.value("Program/NumMRU").toString(), "1");
    EXPECT_EQ(raw.value("Program/MRUFile00").toString(), "/9");
    EXPECT_EQ(raw.value("Program/MRUFile04").toString(), "/5") << "entries beyond the count stay";
}

TEST_F(SettingsStore, EmptyStringsStayEmptyAndOddTextSurvives) {
    writeRaw("[Ports]\nComNum=\nParity=none\n");
    auto st = store();
    const PortSection p = loadPortSection(*st);
    EXPECT_EQ(p.comNum, "") << "an existing empty value is not replaced by the default";
    EXPECT_EQ(p.parity, "none") << "strings are taken as they are";

    st->beginGroup("Program");
    writeString(*st, "OpenDir", "/path, with, commas");
    EXPECT_EQ(readString(*st, "OpenDir", {}), "/path, with, commas");
    st->endGroup();
}

TEST_F(SettingsStore, DeviceMapKeysAreReadAndLeftAlone) {
    writeRaw("[Ports]\nComNum=COM1\nCOM1Device=/dev/ttyUSB0\nCOM4Device=/dev/pts/3\n");
    {
        auto st = store();
        const PortSection p = loadPortSection(*st);
        EXPECT_EQ(p.devices, (QMap<int, QString>{{1, "/dev/ttyUSB0"}, {4, "/dev/pts/3"}}));
        savePortSection(*st, p);
    }
    QSettings raw(path(), QSettings::IniFormat);
    EXPECT_EQ(raw.value("Ports/COM1Device").toString(), "/dev/ttyUSB0");
}

TEST(WindowClamp, WindowsThatNoLongerFitMoveToTheEdge) {
    const QRect area(0, 0, 1024, 768);
    const struct {
        QRect in, out;
    } cases[] = {
        {QRect(100, 100, 800, 600), QRect(100, 100, 800, 600)},
        {QRect(500, 100, 800, 600), QRect(0, 100, 1024, 600)},
        {QRect(100, 300, 800, 600), QRect(100, 0, 800, 768)},
        {QRect(900, 700, 2000, 2000), QRect(0, 0, 1024, 768)},
        {QRect(224, 168, 800, 600), QRect(224, 168, 800, 600)},  // exactly fits
        {QRect(225, 169, 800, 600), QRect(0, 0, 1024, 768)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(clampToArea(c.in, area), c.out) << c.in.x() << "," << c.in.y();
    }
}

// Data kept inside the build tree goes with the next clean build, and an install folder is not the
// user's: remembered folders there are replaced by the home folder, the user's own ones are kept.
TEST_F(SettingsStore, DataFoldersInTheBuildOrInstallFolderAreMended) {
    const QString build = dir.filePath("src/build");
    const QString program = build + "/shell";
    ASSERT_TRUE(QDir().mkpath(program));
    ASSERT_TRUE(QDir().mkpath(dir.filePath("usr/bin")));
    QFile cache(build + "/CMakeCache.txt");
    ASSERT_TRUE(cache.open(QIODevice::WriteOnly));
    cache.close();
    const struct {
        const char* name;
        QString programDir;
        QString stored;  // OffloadDir in the store, empty for none
        QString offloadDir;
    } cases[] = {
        {"nothing stored", program + "/", "", QDir::homePath()},
        {"the program's folder", program + "/", program + "/", QDir::homePath()},
        {"elsewhere in the build tree", program + "/", build + "/data", QDir::homePath()},
        {"the source tree beside it", program + "/", dir.filePath("src/examples"),
         dir.filePath("src/examples")},
        {"a folder whose name only starts like it", program + "/", build + "x", build + "x"},
        {"an install folder", dir.filePath("usr/bin") + "/", dir.filePath("usr/bin"), QDir::homePath()},
        {"the user's folder", program + "/", "/home/user/logs", "/home/user/logs"},
    };
    for (const auto& c : cases) {
        writeRaw(c.stored.isEmpty() ? QByteArray("[Program]\nVersion=414\n")
                                    : "[Program]\nVersion=414\nOffloadDir=" + c.stored.toUtf8() +
                                          "\n[Terminal]\nCapture file=" + c.stored.toUtf8() + "/cap.txt\n");
        SettingsContext here = context;
        here.programDir = c.programDir;
        AllSettings s;
        auto st = store();
        loadSettings(*st, here, s);
        EXPECT_EQ(s.program.offloadDir, c.offloadDir) << c.name;
        if (!c.stored.isEmpty()) {
            EXPECT_EQ(s.terminal.captureFile, QDir(c.offloadDir).filePath("cap.txt")) << c.name;
        }
    }
}

// A first start centres the window; a stored place keeps the whole frame, title bar included, on the
// screen it is on.
TEST(MainWindowPlace, TheTitleBarIsAlwaysWithinReach) {
    const QRect area(0, 30, 1280, 994);  // a panel at the top
    const QRect second(1280, 0, 1024, 768);
    const QMargins frame(4, 24, 4, 4);
    const struct {
        const char* name;
        QRect stored;
        bool placeStored;
        QRect placed;
    } cases[] = {
        {"first start", QRect(0, 0, 960, 768), false, QRect(160, 153, 960, 768)},
        {"stored at the top left corner", QRect(0, 0, 800, 600), true, QRect(4, 54, 800, 600)},
        {"stored where it fits", QRect(100, 200, 800, 600), true, QRect(100, 200, 800, 600)},
        {"stored past the bottom right", QRect(900, 700, 800, 600), true, QRect(476, 420, 800, 600)},
        {"larger than the work area", QRect(0, 0, 3000, 2000), true, QRect(4, 54, 1272, 966)},
        {"on the second screen", QRect(1400, 100, 800, 600), true, QRect(1400, 100, 800, 600)},
        {"title bar above the second screen", QRect(1400, 10, 800, 600), true, QRect(1400, 24, 800, 600)},
    };
    for (const auto& c : cases) {
        WindowSection w;
        w.bounds = c.stored;
        w.placeStored = c.placeStored;
        EXPECT_EQ(placeMainWindow(w, frame, area, {area, second}), c.placed) << c.name;
    }
}

TEST_F(SettingsStore, SavedWindowTooLargeForTheScreenReopensInside) {
    writeRaw("[Window]\nLeft=1500\nTop=10\nWidth=1000\nHeight=300\n");
    auto st = store();
    const WindowSection w = loadWindowSection(*st, QRect(0, 0, 1280, 1024));
    EXPECT_EQ(w.bounds, QRect(0, 10, 1280, 300));
}

}  // namespace
