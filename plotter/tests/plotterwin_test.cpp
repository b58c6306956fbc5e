// The plotter window without the main window: what it draws from bytes and files, and what it writes.
#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QLineSeries>
#include <QTemporaryDir>
#include <QValueAxis>

#include "plotterwin.h"
#include "scriptedprompts.h"

namespace orrery::plotter {
namespace {

QList<QPointF> pointsOf(const TPlotterForm& form, const char* name) {
    QLineSeries* line = form.lineSeries(QString::fromLatin1(name));
    return line != nullptr ? line->points() : QList<QPointF>{};
}

class LivePlotter : public ::testing::Test {
protected:
    void feed(const QByteArray& bytes) {
        form.receiveBytes(bytes);
        form.redraw();
    }
    ScriptedPrompts prompts;
    TPlotterForm form{prompts, TPlotterForm::Source::Live};
};

TEST_F(LivePlotter, DrawsEachSeriesFromLinesCutAnywhere) {
    form.setListening(true);
    feed("T1=21.5 T2=19");
    feed(".5 RH=64%\r\nT1=22 T2=20 RH=65%\r");
    feed("\nnoise without numbers\r\n3,4\r\n");
    EXPECT_EQ(pointsOf(form, "T1"), (QList<QPointF>{{1, 21.5}, {2, 22}}));
    EXPECT_EQ(pointsOf(form, "T2"), (QList<QPointF>{{1, 19.5}, {2, 20}}));
    EXPECT_EQ(pointsOf(form, "1"), (QList<QPointF>{{3, 3}}));
    EXPECT_EQ(form.model().seriesCount(), 5u);
    EXPECT_EQ(form.statusText(), "3 samples, 5 series");
}

TEST_F(LivePlotter, TakesNothingUntilOpenedAndForgetsTheLineAnInterruptionCut) {
    feed("T=1\n");
    EXPECT_EQ(form.model().rowCount(), 0u);
    form.setListening(true);
    feed("T=2");
    form.streamInterrupted();
    feed("5\nT=3\n");
    EXPECT_EQ(pointsOf(form, "T"), (QList<QPointF>{{2, 3}})) << "\"T=2\" and \"5\" are not one line";
    EXPECT_EQ(pointsOf(form, "1"), (QList<QPointF>{{1, 5}}));
}

TEST_F(LivePlotter, RollingAxisKeepsTheLastSamples) {
    form.setListening(true);
    form.setShown(10);
    QByteArray lines;
    for (int i = 1; i <= 25; ++i) {
        lines += "v=" + QByteArray::number(i) + "\n";
    }
    feed(lines);
    EXPECT_EQ(form.xAxis()->min(), 16);
    EXPECT_EQ(form.xAxis()->max(), 25);
    const QList<QPointF> drawn = pointsOf(form, "v");
    ASSERT_EQ(drawn.size(), 10);
    EXPECT_EQ(drawn.front(), QPointF(16, 16));
}

TEST_F(LivePlotter, PauseFreezesTheDrawingButKeepsTheSamples) {
    form.setListening(true);
    feed("v=1\n");
    form.setPaused(true);
    feed("v=2\nv=3\n");
    EXPECT_EQ(pointsOf(form, "v").size(), 1);
    EXPECT_EQ(form.model().rowCount(), 3u);
    form.setPaused(false);
    EXPECT_EQ(pointsOf(form, "v").size(), 3);
    form.clearPlot();
    EXPECT_EQ(form.model().rowCount(), 0u);
    EXPECT_EQ(form.lineSeries("v"), nullptr);
}

TEST_F(LivePlotter, HiddenSeriesLeaveTheAutomaticRangeAndAFixedRangeHolds) {
    form.setListening(true);
    feed("small=1 big=1000\nsmall=2 big=2000\n");
    EXPECT_GE(form.yAxis()->max(), 2000);
    form.setSeriesShown("big", false);
    EXPECT_FALSE(form.lineSeries("big")->isVisible());
    EXPECT_LT(form.yAxis()->max(), 10);
    EXPECT_EQ(form.viewSettings().hiddenSeries, QStringList{"big"});
    form.setYRange(YRangeMode::Fixed, -5, 50);
    EXPECT_EQ(form.yAxis()->min(), -5);
    EXPECT_EQ(form.yAxis()->max(), 50);
    // A series first seen after it was hidden in an earlier run starts hidden.
    PlotterSettings settings = form.viewSettings();
    settings.hiddenSeries = {"late"};
    form.applySettings(settings);
    EXPECT_TRUE(form.lineSeries("big")->isVisible());
    feed("late=7\n");
    EXPECT_FALSE(form.lineSeries("late")->isVisible());
}

TEST_F(LivePlotter, AStreamOfBinaryBytesStaysBounded) {
    form.setListening(true);
    QByteArray junk(4 * 1024 * 1024, '\0');
    quint32 x = 2463534242u;
    for (char& c : junk) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        c = char(x);
    }
    for (qsizetype at = 0; at < junk.size(); at += 32 * 1024) {
        form.receiveBytes(junk.mid(at, 32 * 1024));
    }
    QByteArray lines;
    for (int i = 0; i < 60000; ++i) {
        lines += "a=" + QByteArray::number(i) + "\n";
    }
    feed(lines);
    EXPECT_EQ(form.model().rowCount(), TPlotterForm::kLiveCapacity);
    EXPECT_LE(form.model().seriesCount(), plot::PlotModel::kMaxSeries);
    EXPECT_LE(std::size_t(pointsOf(form, "a").size()), TPlotterForm::kMaxDrawnPoints);
}

class FilePlotter : public ::testing::Test {
protected:
    QString write(const QString& name, const QByteArray& bytes) {
        const QString path = dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    }
    QTemporaryDir dir;
    ScriptedPrompts prompts;
    TPlotterForm form{prompts, TPlotterForm::Source::File};
};

TEST_F(FilePlotter, TheWholeFileIsOnTheAxisByLineNumber) {
    const QString path = write("capture.txt", "Brackwater ready\r\n\r\n21.5,19.8\r\n" + QByteArray(5000, 'x') +
                                                  "\r\n22.0,,64\r\n23.5,20.1");
    ASSERT_TRUE(form.loadFile(path));
    EXPECT_EQ(form.windowTitle(), "Plot of capture.txt");
    EXPECT_EQ(pointsOf(form, "1"), (QList<QPointF>{{3, 21.5}, {5, 22}, {6, 23.5}}));
    EXPECT_EQ(form.xAxis()->min(), 3);
    EXPECT_EQ(form.xAxis()->max(), 6);
    EXPECT_EQ(form.statusText(), "6 lines, 3 samples, 3 series, 1 over-long lines skipped");

    const QString csv = dir.filePath("out.csv");
    prompts.answerFile(csv);
    form.saveCsvCommand();
    QFile f(csv);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), "line,1,2,3\r\n3,21.5,19.8,\r\n5,22,,64\r\n6,23.5,20.1,\r\n");

    const QString png = dir.filePath("out.png");
    prompts.answerFile(png);
    form.resize(640, 400);
    form.savePngCommand();
    QImage image(png);
    EXPECT_FALSE(image.isNull());
    EXPECT_TRUE(prompts.unexpected().isEmpty());
}

TEST_F(FilePlotter, FailuresAreToldAndLeaveNoFile) {
    EXPECT_FALSE(form.loadFile(dir.filePath("missing.txt")));
    const QString blocked = dir.filePath("no/such/dir/out.csv");
    EXPECT_FALSE(form.saveCsv(blocked));
    EXPECT_FALSE(QFile::exists(blocked));
    ASSERT_EQ(prompts.messages().size(), 2);
    EXPECT_TRUE(prompts.messages().at(0).startsWith("Cannot open " + dir.filePath("missing.txt")));
    EXPECT_TRUE(prompts.messages().at(1).startsWith("Cannot write " + blocked));
}

TEST_F(FilePlotter, PlotDataFileHandsTheChosenFileOn) {
    QString handed;
    form.setPlotFileHandler([&handed](const QString& path) { handed = path; });
    prompts.answerFile("/some/file.dat");
    form.plotDataFileCommand();
    EXPECT_EQ(handed, "/some/file.dat");
    prompts.answerCancel();
    handed.clear();
    form.plotDataFileCommand();
    EXPECT_TRUE(handed.isEmpty());
}

}  // namespace
}  // namespace orrery::plotter
