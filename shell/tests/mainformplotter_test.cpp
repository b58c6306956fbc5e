// The plotter in the workbench: its menu item, its settings section through the start-up, what it takes
// from the terminal (and not while a command holds the line), file plots, and a real pseudo-terminal.
#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineSeries>
#include <QMdiArea>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <fcntl.h>
#include <unistd.h>

#include "commsettingsform.h"
#include "mainform.h"
#include "mainformplotter.h"
#include "mainformterminal.h"
#include "pairbackend.h"
#include "plotterwin.h"
#include "scriptedprompts.h"
#include "terminaloptionsform.h"
#include "terminalwin.h"
#include "scriptedportdialogs.h"

using namespace orrery;
using namespace orrery::serial;

namespace {

// The workbench as main() puts it together, on a store written beforehand; the port's backend is the
// in-process line unless a test names a device.
class Workbench {
public:
    Workbench(const QTemporaryDir& dir, const QByteArray& store, std::shared_ptr<PairBench> bench) {
        qputenv("ORRERY_SETTINGS", dir.filePath("orrery.ini").toLocal8Bit());
        QFile f(dir.filePath("orrery.ini"));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(store);
        f.close();
        form = std::make_unique<TMainForm>(prompts, dialogs);
        if (bench) {
            form->ApdComPort1.setBackendFactory(bench->factory());
        }
        form->setSettingsContext({dir.path() + "/", QRect(0, 0, 1280, 1024), QRect(0, 0, 800, 600)});
        term = new terminal::TTerminalForm(form->ApdComPort1, prompts);
        attachTerminal(*form, *term, options, prompts, [](terminal::TTerminalOptionsDialog&) { return false; });
        plotter = new plotter::TPlotterForm(prompts, plotter::TPlotterForm::Source::Live);
        sub = attachPlotter(*form, *term, *plotter, prompts);
        form->FormShow();
    }
    ~Workbench() {
        form.reset();
        qunsetenv("ORRERY_SETTINGS");
    }
    ScriptedPrompts prompts;
    ScriptedPortDialogs dialogs;
    terminal::TTerminalOptionsDialog options;
    std::unique_ptr<TMainForm> form;
    terminal::TTerminalForm* term = nullptr;
    plotter::TPlotterForm* plotter = nullptr;
    QMdiSubWindow* sub = nullptr;
};

bool waitFor(const std::function<bool()>& condition, int timeoutMs = 10000) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QTest::qWait(5);
    }
    return true;
}

class PlotterInMainForm : public ::testing::Test {
protected:
    void SetUp() override {
        qputenv("ORRERY_COM1", "/dev/virt1");
        line = &bench->addDevice("/dev/virt1");
    }
    void TearDown() override { qunsetenv("ORRERY_COM1"); }
    void settle() {
        for (int i = 0; i < 10; ++i) {
            QCoreApplication::processEvents();
        }
    }
    QTemporaryDir dir;
    std::shared_ptr<PairBench> bench = std::make_shared<PairBench>();
    VirtualLine* line = nullptr;
};

TEST_F(PlotterInMainForm, SettingsSectionComesBackAtStartAndIsSavedAtTheEnd) {
    Workbench bench_(dir,
                     "[Program]\nVersion=414\n[Ports]\nComNum=COM1\n"
                     "[Plotter]\nOpen=1\nLeft=10\nTop=20\nWidth=400\nHeight=300\nXAxis=1\nSecondsShown=30\n"
                     "YRange=1\nYLow=-2.5\nYHigh=40\nNumHidden=1\nHidden00=RH\n",
                     bench);
    Workbench& w = bench_;
    EXPECT_FALSE(w.sub->isHidden());
    EXPECT_TRUE(w.plotter->listening());
    EXPECT_EQ(w.sub->geometry(), QRect(10, 20, 400, 300));
    const plotter::PlotterSettings view = w.plotter->viewSettings();
    EXPECT_EQ(view.xAxis, plotter::XAxisMode::Seconds);
    EXPECT_EQ(view.secondsShown, 30);
    EXPECT_EQ(view.yRange, plotter::YRangeMode::Fixed);
    EXPECT_EQ(view.yLow, -2.5);
    EXPECT_EQ(view.yHigh, 40);
    EXPECT_EQ(view.hiddenSeries, QStringList{"RH"});

    w.plotter->setYRange(plotter::YRangeMode::Fixed, 0.125, 1e6);
    w.plotter->setSeriesShown("T2", false);
    ASSERT_TRUE(w.form->close());
    QSettings st(dir.filePath("orrery.ini"), QSettings::IniFormat);
    const QList<QPair<const char*, const char*>> expected = {
        {"Plotter/Open", "1"},      {"Plotter/XAxis", "1"},      {"Plotter/SecondsShown", "30"},
        {"Plotter/YRange", "1"},    {"Plotter/YLow", "0.125"},   {"Plotter/YHigh", "1e+06"},
        {"Plotter/NumHidden", "2"}, {"Plotter/Hidden00", "RH"},  {"Plotter/Hidden01", "T2"},
        {"Plotter/Left", "10"},     {"Plotter/Width", "400"},    {"Plotter/Maximized", "0"},
    };
    for (const auto& [key, value] : expected) {
        EXPECT_EQ(st.value(key).toString(), value) << key;
    }
}

TEST_F(PlotterInMainForm, ClosedUntilTheMenuOpensItAndUnreadableValuesTakeDefaults) {
    Workbench w(dir, "[Program]\nVersion=414\n[Ports]\nComNum=COM1\n[Plotter]\nYLow=1,5\nSamplesShown=9999999\n",
                bench);
    EXPECT_TRUE(w.sub->isHidden());
    EXPECT_EQ(w.plotter->viewSettings().yLow, 0.0) << "a decimal comma is not a number of the store";
    EXPECT_EQ(w.plotter->viewSettings().samplesShown, plotter::kMaxSamplesShown);
    QAction* item = w.form->actions().plotter;
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->text(), "Pl&otter");
    EXPECT_EQ(item->shortcut(), QKeySequence(Qt::Key_F8));
    item->trigger();
    EXPECT_FALSE(w.sub->isHidden());
    EXPECT_EQ(w.form->mdiArea()->currentSubWindow(), w.sub);
    // Closing hides it: it stops listening and stays ready for the next opening.
    w.sub->close();
    EXPECT_TRUE(w.sub->isHidden());
    EXPECT_FALSE(w.plotter->listening());
    EXPECT_TRUE(w.prompts.messages().isEmpty()) << w.prompts.messages().join("|").toStdString();
}

TEST_F(PlotterInMainForm, SeesWhatTheTerminalTakesAndNothingWhileACommandHoldsTheLine) {
    Workbench w(dir, "[Program]\nVersion=414\n[Ports]\nComNum=COM1\n", bench);
    ASSERT_TRUE(w.form->ApdComPort1.isOpen());
    w.form->actions().plotter->trigger();
    line->send("T=1\r\nT=");
    settle();
    {
        terminal::TerminalOffLineScope suspended(*w.term);
        line->send("9\r\nT=8\r\n");
        settle();
        EXPECT_EQ(w.form->ApdComPort1.readAvailable(), "9\r\nT=8\r\n") << "the command gets the bytes";
    }
    line->send("5\r\nT=3\r\n");
    settle();
    w.plotter->redraw();
    QLineSeries* t = w.plotter->lineSeries("T");
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->points(), (QList<QPointF>{{1, 1}, {3, 3}})) << "\"T=\" before and \"5\" after make no T=95";
    ASSERT_NE(w.plotter->lineSeries("1"), nullptr);
    EXPECT_EQ(w.plotter->lineSeries("1")->points(), (QList<QPointF>{{2, 5}}));
}

TEST_F(PlotterInMainForm, PlotDataFileOpensAWindowPerFile) {
    Workbench w(dir, "[Program]\nVersion=414\n[Ports]\nComNum=COM1\n", bench);
    const QString path = dir.filePath("offload.txt");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("1 2\n3 4\n");
    f.close();
    const int before = int(w.form->mdiArea()->subWindowList().size());
    w.prompts.answerFile(path);
    w.plotter->plotDataFileCommand();
    ASSERT_EQ(w.form->mdiArea()->subWindowList().size(), before + 1);
    QMdiSubWindow* plot = w.form->mdiArea()->currentSubWindow();
    EXPECT_EQ(plot->windowTitle(), "Plot of offload.txt");
    w.prompts.answerFile(dir.filePath("gone.txt"));
    w.plotter->plotDataFileCommand();
    EXPECT_EQ(w.form->mdiArea()->subWindowList().size(), before + 1);
    EXPECT_EQ(w.prompts.messages().size(), 1);
    plot->close();
    settle();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(w.form->mdiArea()->subWindowList().size(), before);
}

// A socat pair of pseudo-terminals: the workbench opens one end as COM1 through its real port, the test
// plays the logger on the other.
TEST(PlotterOnPty, HundredsOfLinesFromTheLoggerBecomeSeriesAndCsv) {
    const QString socat = QStandardPaths::findExecutable("socat");
    if (socat.isEmpty()) {
        GTEST_SKIP() << "socat is not installed";
    }
    QTemporaryDir dir;
    const QString workbenchEnd = dir.filePath("com1");
    const QString loggerEnd = dir.filePath("logger");
    QProcess pair;
    pair.start(socat, {"pty,raw,echo=0,link=" + workbenchEnd, "pty,raw,echo=0,link=" + loggerEnd});
    ASSERT_TRUE(pair.waitForStarted());
    ASSERT_TRUE(waitFor([&] { return QFileInfo::exists(workbenchEnd) && QFileInfo::exists(loggerEnd); }));
    qputenv("ORRERY_COM1", workbenchEnd.toLocal8Bit());
    {
        Workbench w(dir, "[Program]\nVersion=414\n[Ports]\nComNum=COM1\nBaud=57600\n", nullptr);
        ASSERT_TRUE(w.form->ApdComPort1.isOpen()) << w.prompts.messages().join("|").toStdString();
        w.form->actions().plotter->trigger();

        const int fd = ::open(loggerEnd.toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
        ASSERT_GE(fd, 0);
        QByteArray lines;
        constexpr int kLines = 300;
        for (int i = 1; i <= kLines; ++i) {
            lines += QStringLiteral("T1=%1 T2=%2 RH=%3%\r\n")
                         .arg(20 + i / 100.0, 0, 'f', 2)
                         .arg(-i)
                         .arg(i % 50)
                         .toLatin1();
        }
        for (qsizetype at = 0; at < lines.size(); at += 700) {
            const QByteArray piece = lines.mid(at, 700);
            ASSERT_EQ(::write(fd, piece.constData(), size_t(piece.size())), piece.size());
            QCoreApplication::processEvents();
        }
        const bool all = waitFor([&] { return w.plotter->model().rowCount() == kLines; });
        ::close(fd);
        ASSERT_TRUE(all) << "samples: " << w.plotter->model().rowCount();
        w.plotter->redraw();
        ASSERT_EQ(w.plotter->model().seriesCount(), 3u);
        QLineSeries* t1 = w.plotter->lineSeries("T1");
        ASSERT_NE(t1, nullptr);
        EXPECT_EQ(t1->count(), kLines) << "the default window shows the last 500 samples";
        EXPECT_EQ(t1->at(kLines - 1), QPointF(kLines, 23.0));

        const QString csv = dir.filePath("samples.csv");
        w.prompts.answerFile(csv);
        w.plotter->saveCsvCommand();
        QFile f(csv);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QList<QByteArray> rows = f.readAll().split('\n');
        ASSERT_EQ(rows.size(), kLines + 2);  // header, the rows, and nothing after the last line end
        EXPECT_EQ(rows.front(), "sample,seconds,T1,T2,RH\r");
        for (int i : {1, 150, kLines}) {
            const QList<QByteArray> fields = rows.at(i).trimmed().split(',');
            ASSERT_EQ(fields.size(), 5) << i;
            EXPECT_EQ(fields[0], QByteArray::number(i));
            EXPECT_EQ(fields[2].toDouble(), 20 + i / 100.0) << fields[2].constData();
            EXPECT_EQ(fields[3], QByteArray::number(-i));
            EXPECT_EQ(fields[4], QByteArray::number(i % 50));
        }
        EXPECT_TRUE(w.prompts.unexpected().isEmpty());
    }
    qunsetenv("ORRERY_COM1");
    pair.terminate();
    pair.waitForFinished(5000);
}

}  // namespace
