#pragma once
// TPlotterForm: a plot of every number in lines of text.
//
// The live plotter is fed the bytes the terminal window received (it never reads the port itself, so
// it sees nothing while a logger command or a transfer holds the line) and draws the readings of each
// line (see lineparser.h) against a rolling axis of the last samples or seconds. A file plotter draws
// a text file (a capture, an ASCII receive, an offload in text form) with the whole file on the axis,
// its line numbers as X.
//
// Bytes are parsed as they come, into a bounded store; the chart is redrawn at most every kRedrawMs and
// only when there is news, with at most kMaxDrawnPoints points a series, so that a burst of megabytes
// neither freezes the window nor grows its memory. Series are shown and hidden by a click on their
// legend entry; Pause freezes the drawing while the samples keep arriving.

#include <QElapsedTimer>
#include <QSet>
#include <QTimer>
#include <QWidget>
#include <functional>

#include "linesplitter.h"
#include "plotmodel.h"
#include "plottersettings.h"

class QChart;
class QChartView;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLegendMarker;
class QLineSeries;
class QPushButton;
class QSpinBox;
class QValueAxis;

namespace orrery {
class Prompts;
}

namespace orrery::plotter {

// What the plotter keeps between runs is a section of the settings store.
using settings::kMaxSamplesShown;
using settings::kMaxSecondsShown;
using settings::kMinShown;
using settings::PlotterSettings;
using settings::XAxisMode;
using settings::YRangeMode;

class TPlotterForm : public QWidget {
    Q_OBJECT
public:
    enum class Source { Live, File };
    static constexpr const char* kLiveCaption = "Plotter";
    static constexpr std::size_t kLiveCapacity = std::size_t(kMaxSamplesShown);
    static constexpr std::size_t kFileCapacity = std::size_t(1) << 17;
    static constexpr int kRedrawMs = 100;
    static constexpr std::size_t kMaxDrawnPoints = 4000;
    // Most bytes of a file read at once.
    static constexpr qint64 kFileChunk = 64 * 1024;

    TPlotterForm(Prompts& prompts, Source source, QWidget* parent = nullptr);
    ~TPlotterForm() override;

    Source source() const { return m_source; }
    // --- live plotter --------------------------------------------------------------------------------
    // Takes bytes only while listening (the window is open).
    void setListening(bool on);
    bool listening() const { return m_listening; }
    void receiveBytes(const QByteArray& bytes);
    // Someone else took bytes from the line (the terminal was suspended): the unfinished line is not
    // continued by what comes after.
    void streamInterrupted() { m_splitter.reset(); }
    void setPaused(bool paused);
    bool paused() const { return m_paused; }
    void clearPlot();

    // --- file plotter --------------------------------------------------------------------------------
    // Reads the whole file; false (the user has been told) when it cannot be read.
    bool loadFile(const QString& path);
    QString fileName() const { return m_fileName; }

    // --- both ----------------------------------------------------------------------------------------
    // The commands of the buttons: each asks for a file through the prompts.
    void savePngCommand();
    void saveCsvCommand();
    void plotDataFileCommand();
    // Writes the chart as shown / the stored samples; the file is complete or not there at all.
    bool savePng(const QString& path);
    bool saveCsv(const QString& path);
    // What "Plot data file..." does with the chosen file (the main window opens a window for it).
    void setPlotFileHandler(std::function<void(const QString&)> handler) { m_plotFile = std::move(handler); }
    void setFileDirectory(const QString& dir) { m_fileDirectory = dir; }

    void applySettings(const PlotterSettings& settings);
    // The view's settings (the window's place is the caller's business).
    PlotterSettings viewSettings() const;
    void setXAxis(XAxisMode mode);
    void setShown(int count);
    void setYRange(YRangeMode mode, double low, double high);
    void setSeriesShown(const QString& name, bool shown);
    bool seriesShown(const QString& name) const { return !m_hidden.contains(name); }

    // Draws what arrived since the last drawing (the timer does this every kRedrawMs).
    void redraw();
    const plot::PlotModel& model() const { return m_model; }
    QChart* chart() const { return m_chart; }
    QChartView* chartView() const { return m_view; }
    QLineSeries* lineSeries(const QString& name) const;
    QValueAxis* xAxis() const { return m_xAxis; }
    QValueAxis* yAxis() const { return m_yAxis; }
    QString statusText() const;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void takeLine(std::string_view line, std::uint64_t sample);
    void ensureLineSeries();
    void legendMarkerClicked(QLegendMarker* marker);
    void showMarkerState(QLegendMarker* marker, bool shown);
    void updateStatus();
    void controlsChanged();
    std::pair<std::size_t, std::size_t> shownRows() const;
    plot::XAxis modelAxis() const;
    bool writeFileAtomically(const QString& path, const QByteArray& bytes);

    Prompts& m_prompts;
    Source m_source;
    plot::LineSplitter m_splitter;
    plot::PlotModel m_model;
    std::vector<plot::Reading> m_readings;
    std::uint64_t m_samples = 0;
    QElapsedTimer m_clock;
    bool m_listening = false;
    bool m_paused = false;
    std::uint64_t m_drawnRevision = ~std::uint64_t(0);
    QString m_fileName;
    QString m_fileDirectory;
    std::function<void(const QString&)> m_plotFile;

    XAxisMode m_xMode = XAxisMode::Samples;
    int m_samplesShown = 500;
    int m_secondsShown = 60;
    YRangeMode m_yMode = YRangeMode::Automatic;
    double m_yLow = 0.0;
    double m_yHigh = 100.0;
    QSet<QString> m_hidden;

    QChart* m_chart = nullptr;
    QChartView* m_view = nullptr;
    QValueAxis* m_xAxis = nullptr;
    QValueAxis* m_yAxis = nullptr;
    QList<QLineSeries*> m_lines;  // one per series of the model, in its order
    QPushButton* m_pause = nullptr;
    QPushButton* m_clear = nullptr;
    QComboBox* m_xCombo = nullptr;
    QSpinBox* m_shownSpin = nullptr;
    QComboBox* m_yCombo = nullptr;
    QDoubleSpinBox* m_yLowSpin = nullptr;
    QDoubleSpinBox* m_yHighSpin = nullptr;
    QLabel* m_status = nullptr;
    QTimer m_redrawTimer;
    bool m_settingControls = false;
};

}  // namespace orrery::plotter
