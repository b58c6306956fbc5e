#include "plotterwin.h"

#include "flowlayout.h"

#include <QBuffer>
#include <QChart>
#include <QChartView>
#include <QCloseEvent>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QSaveFile>
#include <QSpinBox>
#include <QValueAxis>
#include <QVBoxLayout>
#include <algorithm>
#include <sstream>

#include "prompts.h"

namespace orrery::plotter {

namespace {

constexpr double kYLimit = 1e12;

QPushButton* makeButton(const char* text, QWidget* parent) {
    auto* button = new QPushButton(QString::fromLatin1(text), parent);
    button->setAutoDefault(false);
    return button;
}

}  // namespace

TPlotterForm::TPlotterForm(Prompts& prompts, Source source, QWidget* parent)
    : QWidget(parent),
      m_prompts(prompts),
      m_source(source),
      m_model(source == Source::Live ? kLiveCapacity : kFileCapacity,
              source == Source::Live ? plot::PlotModel::WhenFull::DropOldest : plot::PlotModel::WhenFull::Thin) {
    setWindowTitle(QString::fromLatin1(kLiveCaption));
    m_chart = new QChart;
    m_chart->setAnimationOptions(QChart::NoAnimation);
    m_chart->legend()->setAlignment(Qt::AlignBottom);
    m_xAxis = new QValueAxis(m_chart);
    m_yAxis = new QValueAxis(m_chart);
    m_xAxis->setLabelFormat(QStringLiteral("%g"));
    m_xAxis->setTickType(QValueAxis::TicksDynamic);
    m_yAxis->setLabelFormat(QStringLiteral("%g"));
    m_chart->addAxis(m_xAxis, Qt::AlignBottom);
    m_chart->addAxis(m_yAxis, Qt::AlignLeft);
    m_xAxis->setTitleText(source == Source::Live ? QStringLiteral("Sample") : QStringLiteral("Line"));
    m_view = new QChartView(m_chart, this);
    m_view->setRenderHint(QPainter::Antialiasing);
    m_view->setMinimumSize(200, 150);
    buildControls();
    setXAxis(m_xMode);
    connect(&m_redrawTimer, &QTimer::timeout, this, &TPlotterForm::redraw);
    if (m_source == Source::Live) {
        m_redrawTimer.start(kRedrawMs);
    }
    redraw();
}

TPlotterForm::~TPlotterForm() = default;

namespace {

// Controls that belong together ("Show last", its number and its unit) stay on one row; the group is as
// wide as its contents need.
QHBoxLayout* addGroup(FlowLayout& flow, QWidget* parent) {
    auto* group = new QWidget(parent);
    group->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    auto* row = new QHBoxLayout(group);
    row->setContentsMargins(0, 0, 0, 0);
    flow.addWidget(group);
    return row;
}

void sizeToContents(QComboBox* combo) {
    combo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
}

}  // namespace

void TPlotterForm::buildControls() {
    auto* controls = new FlowLayout;
    controls->setContentsMargins(4, 4, 4, 0);
    controls->setSpacing(12);
    if (m_source == Source::Live) {
        QHBoxLayout* buttons = addGroup(*controls, this);
        m_pause = makeButton("Pause", this);
        m_pause->setCheckable(true);
        // The button says "Resume" while paused; it is as wide as the longer of its two texts.
        m_pause->setText(QStringLiteral("Resume"));
        const int resumeWidth = m_pause->sizeHint().width();
        m_pause->setText(QStringLiteral("Pause"));
        m_pause->setMinimumWidth(qMax(resumeWidth, m_pause->sizeHint().width()));
        connect(m_pause, &QPushButton::toggled, this, &TPlotterForm::setPaused);
        m_clear = makeButton("Clear", this);
        connect(m_clear, &QPushButton::clicked, this, &TPlotterForm::clearPlot);
        buttons->addWidget(m_pause);
        buttons->addWidget(m_clear);

        QHBoxLayout* shown = addGroup(*controls, this);
        m_xCombo = new QComboBox(this);
        m_xCombo->addItems({QStringLiteral("Samples"), QStringLiteral("Seconds")});
        sizeToContents(m_xCombo);
        m_shownSpin = new QSpinBox(this);
        m_shownSpin->setRange(kMinShown, kMaxSamplesShown);
        shown->addWidget(new QLabel(QStringLiteral("Show last"), this));
        shown->addWidget(m_shownSpin);
        shown->addWidget(m_xCombo);
        connect(m_xCombo, &QComboBox::currentIndexChanged, this, [this](int index) {
            if (!m_settingControls) {
                setXAxis(index == 1 ? XAxisMode::Seconds : XAxisMode::Samples);
            }
        });
        connect(m_shownSpin, &QSpinBox::valueChanged, this, [this](int value) {
            if (!m_settingControls) {
                setShown(value);
            }
        });
    }
    m_yCombo = new QComboBox(this);
    m_yCombo->addItems({QStringLiteral("Automatic"), QStringLiteral("Fixed")});
    sizeToContents(m_yCombo);
    m_yLowSpin = new QDoubleSpinBox(this);
    m_yHighSpin = new QDoubleSpinBox(this);
    for (QDoubleSpinBox* spin : {m_yLowSpin, m_yHighSpin}) {
        spin->setRange(-kYLimit, kYLimit);
        spin->setDecimals(3);
        connect(spin, &QDoubleSpinBox::valueChanged, this, &TPlotterForm::controlsChanged);
    }
    connect(m_yCombo, &QComboBox::currentIndexChanged, this, &TPlotterForm::controlsChanged);
    QHBoxLayout* yRange = addGroup(*controls, this);
    yRange->addWidget(new QLabel(QStringLiteral("Y range"), this));
    yRange->addWidget(m_yCombo);
    QHBoxLayout* yLimits = addGroup(*controls, this);
    yLimits->addWidget(m_yLowSpin);
    yLimits->addWidget(new QLabel(QStringLiteral("to"), this));
    yLimits->addWidget(m_yHighSpin);

    auto* files = new QHBoxLayout;
    files->setContentsMargins(4, 0, 4, 4);
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("statusLabel"));
    files->addWidget(m_status, 1);
    auto* png = makeButton("Save PNG...", this);
    auto* csv = makeButton("Save CSV...", this);
    auto* dataFile = makeButton("Plot data file...", this);
    connect(png, &QPushButton::clicked, this, &TPlotterForm::savePngCommand);
    connect(csv, &QPushButton::clicked, this, &TPlotterForm::saveCsvCommand);
    connect(dataFile, &QPushButton::clicked, this, &TPlotterForm::plotDataFileCommand);
    files->addWidget(png);
    files->addWidget(csv);
    files->addWidget(dataFile);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addLayout(controls);
    layout->addWidget(m_view, 1);
    layout->addLayout(files);
    setYRange(m_yMode, m_yLow, m_yHigh);
}

// --- live stream -------------------------------------------------------------------------------------

void TPlotterForm::setListening(bool on) {
    if (m_source != Source::Live || on == m_listening) {
        return;
    }
    m_listening = on;
    // What came while the window was closed is not there; a line cut in two is not joined across it.
    m_splitter.reset();
}

void TPlotterForm::receiveBytes(const QByteArray& bytes) {
    if (!m_listening) {
        return;
    }
    if (!m_clock.isValid()) {
        m_clock.start();
    }
    const double seconds = double(m_clock.elapsed()) / 1000.0;
    m_splitter.feed(std::string_view(bytes.constData(), std::size_t(bytes.size())),
                    [this, seconds](std::string_view line) {
                        if (plot::parseLine(line, m_readings) > 0) {
                            m_model.addRow(m_readings, ++m_samples, seconds);
                        }
                    });
}

void TPlotterForm::setPaused(bool paused) {
    m_paused = paused;
    if (m_pause != nullptr) {
        const QSignalBlocker block(m_pause);
        m_pause->setChecked(paused);
        m_pause->setText(paused ? QStringLiteral("Resume") : QStringLiteral("Pause"));
    }
    if (!paused) {
        m_drawnRevision = ~std::uint64_t(0);
        redraw();
    }
    updateStatus();
}

void TPlotterForm::clearPlot() {
    m_model.clear();
    m_splitter.reset();
    m_samples = 0;
    m_clock.invalidate();
    m_chart->removeAllSeries();
    m_lines.clear();
    m_drawnRevision = ~std::uint64_t(0);
    const bool paused = m_paused;
    m_paused = false;  // an emptied plot is shown empty even while paused
    redraw();
    m_paused = paused;
}

// --- file --------------------------------------------------------------------------------------------

bool TPlotterForm::loadFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        m_prompts.showMessage(QStringLiteral("Cannot open %1\n%2").arg(path, file.errorString()), PromptIcon::Error);
        return false;
    }
    m_model.clear();
    m_splitter = plot::LineSplitter();
    m_chart->removeAllSeries();
    m_lines.clear();
    const auto take = [this](std::string_view line) {
        if (plot::parseLine(line, m_readings) > 0) {
            m_model.addRow(m_readings, m_splitter.lineEnds(), 0.0);
        }
    };
    while (true) {
        const QByteArray chunk = file.read(kFileChunk);
        if (chunk.isEmpty()) {
            break;
        }
        m_splitter.feed(std::string_view(chunk.constData(), std::size_t(chunk.size())), take);
    }
    if (file.error() != QFileDevice::NoError) {
        m_prompts.showMessage(QStringLiteral("Error reading %1\n%2").arg(path, file.errorString()), PromptIcon::Error);
        return false;
    }
    m_splitter.finish(take);
    m_fileName = path;
    setWindowTitle(QStringLiteral("Plot of %1").arg(QFileInfo(path).fileName()));
    m_drawnRevision = ~std::uint64_t(0);
    redraw();
    return true;
}

// --- drawing -----------------------------------------------------------------------------------------

plot::XAxis TPlotterForm::modelAxis() const {
    return m_source == Source::Live && m_xMode == XAxisMode::Seconds ? plot::XAxis::Seconds : plot::XAxis::Samples;
}

std::pair<std::size_t, std::size_t> TPlotterForm::shownRows() const {
    const std::size_t end = m_model.rowCount();
    if (m_source == Source::File || end == 0) {
        return {0, end};
    }
    const double last = m_model.x(end - 1, modelAxis());
    const double from = m_xMode == XAxisMode::Seconds ? last - m_secondsShown : last - m_samplesShown + 1;
    return {m_model.firstRowFrom(from, modelAxis()), end};
}

void TPlotterForm::ensureLineSeries() {
    for (std::size_t i = std::size_t(m_lines.size()); i < m_model.seriesCount(); ++i) {
        const QString name = QString::fromStdString(m_model.seriesName(i));
        auto* line = new QLineSeries;
        line->setName(name);
        m_chart->addSeries(line);
        line->attachAxis(m_xAxis);
        line->attachAxis(m_yAxis);
        m_lines << line;
        const bool shown = !m_hidden.contains(name);
        line->setVisible(shown);
        for (QLegendMarker* marker : m_chart->legend()->markers(line)) {
            connect(marker, &QLegendMarker::clicked, this, [this, marker] { legendMarkerClicked(marker); });
            showMarkerState(marker, shown);
        }
    }
}

void TPlotterForm::redraw() {
    if (m_paused || m_model.revision() == m_drawnRevision) {
        return;
    }
    m_drawnRevision = m_model.revision();
    ensureLineSeries();
    const auto [first, end] = shownRows();
    const plot::XAxis axis = modelAxis();
    std::vector<bool> shown;
    for (std::size_t i = 0; i < std::size_t(m_lines.size()); ++i) {
        const std::vector<plot::PlotPoint> points = m_model.points(i, first, end, axis, kMaxDrawnPoints);
        QList<QPointF> list;
        list.reserve(qsizetype(points.size()));
        for (const plot::PlotPoint& p : points) {
            list.append(QPointF(p.x, p.y));
        }
        m_lines[qsizetype(i)]->replace(list);
        shown.push_back(m_lines[qsizetype(i)]->isVisible());
    }

    double xLow = 0;
    double xHigh = 1;
    if (m_source == Source::File) {
        if (end > first) {
            xLow = m_model.x(first, axis);
            xHigh = std::max(m_model.x(end - 1, axis), xLow + 1);
        }
    } else if (m_xMode == XAxisMode::Seconds) {
        xHigh = std::max(end > 0 ? m_model.x(end - 1, axis) : 0.0, double(m_secondsShown));
        xLow = xHigh - m_secondsShown;
    } else {
        // The axis keeps its width from the first sample on, so the curve grows from the left edge.
        xHigh = std::max(end > 0 ? m_model.x(end - 1, axis) : 0.0, double(m_samplesShown));
        xLow = xHigh - m_samplesShown + 1;
    }
    m_xAxis->setRange(xLow, xHigh);
    // Ticks on round numbers: the rolling axis would otherwise label 100.75, 200.5, ...
    double step = plot::tickStep(xHigh - xLow, 6);
    if (modelAxis() == plot::XAxis::Samples) {
        step = std::max(step, 1.0);
    }
    m_xAxis->setTickAnchor(0);
    m_xAxis->setTickInterval(step);

    if (m_yMode == YRangeMode::Fixed) {
        m_yAxis->setRange(std::min(m_yLow, m_yHigh), std::max(m_yHigh, m_yLow + 1e-9));
    } else {
        const plot::ValueRange range = m_model.valueRange(shown, first, end);
        double low = range.empty ? 0.0 : range.low;
        double high = range.empty ? 1.0 : range.high;
        const double margin = high > low ? (high - low) * 0.05 : std::max(1.0, std::abs(low) * 0.05);
        low -= margin;
        high += margin;
        m_yAxis->setRange(low, high);
        m_yAxis->applyNiceNumbers();
    }
    updateStatus();
}

QLineSeries* TPlotterForm::lineSeries(const QString& name) const {
    for (QLineSeries* line : m_lines) {
        if (line->name() == name) {
            return line;
        }
    }
    return nullptr;
}

void TPlotterForm::legendMarkerClicked(QLegendMarker* marker) {
    if (auto* line = qobject_cast<QLineSeries*>(marker->series())) {
        setSeriesShown(line->name(), !line->isVisible());
    }
}

void TPlotterForm::setSeriesShown(const QString& name, bool shown) {
    if (shown) {
        m_hidden.remove(name);
    } else {
        m_hidden.insert(name);
    }
    if (QLineSeries* line = lineSeries(name)) {
        line->setVisible(shown);
        // A hidden series keeps its legend entry, dimmed, so that it can be clicked back on.
        for (QLegendMarker* marker : m_chart->legend()->markers(line)) {
            marker->setVisible(true);
            showMarkerState(marker, shown);
        }
    }
    m_drawnRevision = ~std::uint64_t(0);
    redraw();
}

void TPlotterForm::showMarkerState(QLegendMarker* marker, bool shown) {
    const qreal alpha = shown ? 1.0 : 0.3;
    QColor label = marker->labelBrush().color();
    label.setAlphaF(alpha);
    marker->setLabelBrush(label);
    QBrush brush = marker->brush();
    QColor fill = brush.color();
    fill.setAlphaF(alpha);
    brush.setColor(fill);
    marker->setBrush(brush);
}

QString TPlotterForm::statusText() const {
    QStringList parts;
    if (m_source == Source::File) {
        parts << QStringLiteral("%1 lines").arg(m_splitter.lineEnds());
    }
    parts << QStringLiteral("%1 samples").arg(m_source == Source::Live ? m_samples : m_model.rowCount());
    parts << QStringLiteral("%1 series").arg(m_model.seriesCount());
    if (m_model.keepEvery() > 1) {
        parts << QStringLiteral("1 line in %1 drawn").arg(m_model.keepEvery());
    }
    if (m_splitter.overlongLines() > 0) {
        parts << QStringLiteral("%1 over-long lines skipped").arg(m_splitter.overlongLines());
    }
    if (m_model.readingsRefused() > 0) {
        parts << QStringLiteral("series beyond %1 ignored").arg(plot::PlotModel::kMaxSeries);
    }
    if (m_paused) {
        parts << QStringLiteral("paused");
    }
    return parts.join(QStringLiteral(", "));
}

void TPlotterForm::updateStatus() {
    m_status->setText(statusText());
}

// --- view settings -----------------------------------------------------------------------------------

void TPlotterForm::setXAxis(XAxisMode mode) {
    m_xMode = m_source == Source::Live ? mode : XAxisMode::Samples;
    if (m_xCombo != nullptr) {
        const QSignalBlocker blockCombo(m_xCombo);
        const QSignalBlocker blockSpin(m_shownSpin);
        m_xCombo->setCurrentIndex(m_xMode == XAxisMode::Seconds ? 1 : 0);
        const bool seconds = m_xMode == XAxisMode::Seconds;
        m_shownSpin->setRange(kMinShown, seconds ? kMaxSecondsShown : kMaxSamplesShown);
        m_shownSpin->setValue(seconds ? m_secondsShown : m_samplesShown);
    }
    if (m_source == Source::Live) {
        m_xAxis->setTitleText(m_xMode == XAxisMode::Seconds ? QStringLiteral("Seconds") : QStringLiteral("Sample"));
    }
    m_drawnRevision = ~std::uint64_t(0);
    redraw();
}

void TPlotterForm::setShown(int count) {
    if (m_xMode == XAxisMode::Seconds) {
        m_secondsShown = std::clamp(count, kMinShown, kMaxSecondsShown);
    } else {
        m_samplesShown = std::clamp(count, kMinShown, kMaxSamplesShown);
    }
    setXAxis(m_xMode);
}

void TPlotterForm::setYRange(YRangeMode mode, double low, double high) {
    m_yMode = mode;
    m_yLow = std::clamp(low, -kYLimit, kYLimit);
    m_yHigh = std::clamp(high, -kYLimit, kYLimit);
    {
        m_settingControls = true;
        const QSignalBlocker blockCombo(m_yCombo);
        const QSignalBlocker blockLow(m_yLowSpin);
        const QSignalBlocker blockHigh(m_yHighSpin);
        m_yCombo->setCurrentIndex(mode == YRangeMode::Fixed ? 1 : 0);
        m_yLowSpin->setValue(m_yLow);
        m_yHighSpin->setValue(m_yHigh);
        m_yLowSpin->setEnabled(mode == YRangeMode::Fixed);
        m_yHighSpin->setEnabled(mode == YRangeMode::Fixed);
        m_settingControls = false;
    }
    m_drawnRevision = ~std::uint64_t(0);
    redraw();
}

void TPlotterForm::controlsChanged() {
    if (!m_settingControls) {
        setYRange(m_yCombo->currentIndex() == 1 ? YRangeMode::Fixed : YRangeMode::Automatic, m_yLowSpin->value(),
                  m_yHighSpin->value());
    }
}

void TPlotterForm::applySettings(const PlotterSettings& settings) {
    m_samplesShown = std::clamp(settings.samplesShown, kMinShown, kMaxSamplesShown);
    m_secondsShown = std::clamp(settings.secondsShown, kMinShown, kMaxSecondsShown);
    m_hidden = QSet<QString>(settings.hiddenSeries.begin(), settings.hiddenSeries.end());
    for (QLineSeries* line : m_lines) {
        setSeriesShown(line->name(), !m_hidden.contains(line->name()));
    }
    setYRange(settings.yRange, settings.yLow, settings.yHigh);
    setXAxis(settings.xAxis);
}

PlotterSettings TPlotterForm::viewSettings() const {
    PlotterSettings s;
    s.xAxis = m_xMode;
    s.samplesShown = m_samplesShown;
    s.secondsShown = m_secondsShown;
    s.yRange = m_yMode;
    s.yLow = m_yLow;
    s.yHigh = m_yHigh;
    s.hiddenSeries = QStringList(m_hidden.begin(), m_hidden.end());
    s.hiddenSeries.sort();
    return s;
}

// --- files -------------------------------------------------------------------------------------------

bool TPlotterForm::writeFileAtomically(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        m_prompts.showMessage(QStringLiteral("Cannot write %1\n%2").arg(path, file.errorString()), PromptIcon::Error);
        return false;
    }
    return true;
}

bool TPlotterForm::savePng(const QString& path) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!m_view->grab().save(&buffer, "PNG")) {
        m_prompts.showMessage(QStringLiteral("Cannot make an image of the plot"), PromptIcon::Error);
        return false;
    }
    return writeFileAtomically(path, bytes);
}

bool TPlotterForm::saveCsv(const QString& path) {
    std::ostringstream out;
    if (m_source == Source::Live) {
        m_model.writeCsv(out, "sample", true);
    } else {
        m_model.writeCsv(out, "line", false);
    }
    return writeFileAtomically(path, QByteArray::fromStdString(out.str()));
}

void TPlotterForm::savePngCommand() {
    const QString path = m_prompts.saveFileName(QStringLiteral("Save plot as PNG"), m_fileDirectory + QStringLiteral("plot.png"),
                                                QStringLiteral("PNG images (*.png)"));
    if (!path.isEmpty()) {
        savePng(path);
    }
}

void TPlotterForm::saveCsvCommand() {
    const QString path = m_prompts.saveFileName(QStringLiteral("Save samples as CSV"),
                                                m_fileDirectory + QStringLiteral("samples.csv"),
                                                QStringLiteral("CSV files (*.csv);;All files (*)"));
    if (!path.isEmpty()) {
        saveCsv(path);
    }
}

void TPlotterForm::plotDataFileCommand() {
    const QString path = m_prompts.openFileName(
        QStringLiteral("Plot data file"), m_fileDirectory,
        QStringLiteral("Text files (*.txt *.dat *.csv *.cap *.log);;All files (*)"));
    if (path.isEmpty()) {
        return;
    }
    if (m_plotFile) {
        m_plotFile(path);
    } else if (m_source == Source::File) {
        loadFile(path);
    }
}

void TPlotterForm::closeEvent(QCloseEvent* event) {
    if (m_source == Source::File) {
        QWidget::closeEvent(event);
        return;
    }
    // The live plotter is made once and only hidden; it stops taking bytes until opened again.
    event->ignore();
    setListening(false);
    if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget())) {
        sub->hide();
    } else {
        hide();
    }
}

}  // namespace orrery::plotter
