#include "terminalwin.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPainter>
#include <QTimer>
#include <QVBoxLayout>

#include "apdcomport.h"
#include "capturemode.h"

namespace orrery::terminal {

// ---------------------------------------------------------------------------------------------------
// Status bar

TerminalStatusBar::TerminalStatusBar(QWidget* parent) : QWidget(parent) {
    for (const char* text : term::kStatusPanelDesignTexts) {
        m_texts << QString::fromLatin1(text);
    }
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    updateWidths();
}

void TerminalStatusBar::setPanelText(int panel, const QString& text) {
    if (panel < 0 || panel >= m_texts.size() || m_texts[panel] == text) {
        return;
    }
    m_texts[panel] = text;
    const auto before = m_widths;
    updateWidths();
    if (m_widths != before) {
        updateGeometry();
        update();
    } else {
        update(panelLeft(panel), 0, panelWidth(panel), height());
    }
}

void TerminalStatusBar::updateWidths() {
    constexpr int kPadding = 12;  // the panel's frame and some air on either side of the text
    for (int panel = 0; panel < term::kStatusPanelCount; ++panel) {
        const int needed = fontMetrics().horizontalAdvance(m_texts[panel]) + kPadding;
        m_widths[std::size_t(panel)] = std::max(term::kStatusPanelWidths[std::size_t(panel)], needed);
    }
}

int TerminalStatusBar::panelLeft(int panel) const {
    int left = 0;
    for (int i = 0; i < panel && i < term::kStatusPanelCount; ++i) {
        left += m_widths[std::size_t(i)];
    }
    return left;
}

QSize TerminalStatusBar::sizeHint() const {
    return {panelLeft(term::kStatusPanelCount), fontMetrics().height() + 6};
}

void TerminalStatusBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    for (int panel = 0; panel < term::kStatusPanelCount; ++panel) {
        const QRect box(panelLeft(panel), 0, panelWidth(panel), height());
        const QRect inner = box.adjusted(1, 1, -2, -2);
        painter.setPen(palette().color(QPalette::Mid));
        painter.drawRect(inner);
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(inner, Qt::AlignCenter, m_texts[panel]);
    }
}

void TerminalStatusBar::mousePressEvent(QMouseEvent* event) {
    m_lastPress = event->position().toPoint();
}

void TerminalStatusBar::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        emit panelClicked(term::statusPanelAt(m_lastPress.x(), m_widths));
    }
}

// ---------------------------------------------------------------------------------------------------
// Terminal window

TTerminalForm::TTerminalForm(serial::TApdComPort& port, Prompts& prompts, QWidget* parent)
    : QWidget(parent), m_port(port), m_prompts(prompts) {
    setWindowTitle(QString::fromLatin1(kCaption));
    m_display = new term::TermView(this);
    m_logic = std::make_unique<term::TerminalLogic>(m_display->emulator());
    m_statusBar = new TerminalStatusBar(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_display, 1);
    layout->addWidget(m_statusBar);
    setFocusProxy(m_display);

    const auto makeCheck = [this](const char* text) {
        auto* action = new QAction(QString::fromLatin1(text), this);
        action->setCheckable(true);
        return action;
    };
    bindMenuActions(makeCheck("&Hex display"), makeCheck("&Capture to file..."), makeCheck("Break"));

    m_logic->onBell = [] { QApplication::beep(); };
    m_logic->onError = [this](const std::string& message) {
        m_prompts.showMessage(QString::fromStdString(message), PromptIcon::Error);
    };
    m_display->setKeyInterceptor([this](QKeyEvent* event) { return interceptKey(event); });
    connect(m_display, &term::TermView::bytesTyped, this, &TTerminalForm::sendToPort);
    connect(m_display, &term::TermView::geometryChanged, this, &TTerminalForm::displayGeometryChanged);
    connect(m_display, &term::TermView::scrollbackEntered, this, &TTerminalForm::refreshStatus);
    connect(m_statusBar, &TerminalStatusBar::panelClicked, this, &TTerminalForm::statusPanelClicked);
    connect(&m_port, &serial::TApdComPort::dataAvailable, this, [this] {
        m_portHasNews = true;
        schedulePump();
    });
    refreshStatus();
}

TTerminalForm::~TTerminalForm() {
    closeCapture();
}

void TTerminalForm::bindMenuActions(QAction* hexDisplay, QAction* capture, QAction* breakLine) {
    // Capture, hex display and break always start off.
    for (QAction* old : {m_hexAction, m_captureAction, m_breakAction}) {
        if (old != nullptr) {
            disconnect(old, nullptr, this, nullptr);
        }
    }
    m_hexAction = hexDisplay;
    m_captureAction = capture;
    m_breakAction = breakLine;
    for (QAction* action : {m_hexAction, m_captureAction, m_breakAction}) {
        action->setCheckable(true);
        action->setChecked(false);
    }
    // A checkable action has flipped its check mark already when it reports the trigger.
    connect(m_hexAction, &QAction::triggered, this, &TTerminalForm::setHexDisplay);
    connect(m_breakAction, &QAction::triggered, this, &TTerminalForm::setBreak);
    connect(m_captureAction, &QAction::triggered, this, [this](bool checked) {
        captureCommand(checked);
        bringToFront();
    });
    m_logic->setHexDisplay(false);
    closeCapture();
    refreshStatus();
}

void TTerminalForm::refreshStatus() {
    term::TerminalStatus status;
    status.baud = m_port.baud();
    status.portNumber = m_port.comNumber();
    status.portDescription = m_port.portMap().description(status.portNumber).toStdString();
    status.captureOn = capturing();
    status.captureAppend = m_captureAppend;
    status.hexDisplay = hexDisplay();
    status.scrollback = m_display->scrollback();
    status.visibleRows = m_display->visibleRows();
    status.visibleColumns = m_display->visibleColumns();
    status.breakOn = breakOn();
    const auto texts = term::statusPanelTexts(status);
    for (int panel = 0; panel <= 6; ++panel) {
        m_statusBar->setPanelText(panel, QString::fromStdString(texts[std::size_t(panel)]));
    }
}

// --- hex display -----------------------------------------------------------------------------------

void TTerminalForm::setHexDisplay(bool on) {
    m_logic->setHexDisplay(on);
    m_hexAction->setChecked(on);
    m_display->refresh();
    refreshStatus();
}

// --- capture ---------------------------------------------------------------------------------------

bool TTerminalForm::openCapture(const QString& fileName, bool append) {
    auto file = std::make_unique<QFile>(fileName);
    const QIODevice::OpenMode mode = QIODevice::WriteOnly | (append ? QIODevice::Append : QIODevice::Truncate);
    if (!file->open(mode)) {
        // Marking capture on with nothing written would lose everything the user meant to keep.
        m_prompts.showMessage(QStringLiteral("Cannot open capture file %1\n%2").arg(fileName, file->errorString()),
                              PromptIcon::Error);
        return false;
    }
    m_captureFile = std::move(file);
    m_logic->setCapturing(true);
    return true;
}

void TTerminalForm::closeCapture() {
    if (m_logic) {
        writeCaptured();
        m_logic->setCapturing(false);
    }
    if (m_captureFile) {
        m_captureFile->close();
        m_captureFile.reset();
    }
}

bool TTerminalForm::setCapture(bool on) {
    if (!on) {
        closeCapture();
        refreshStatus();
        return true;
    }
    if (m_captureFileName.isEmpty()) {
        m_captureFileName = m_programDir + QStringLiteral("capture.txt");
    }
    // The dialog does not ask about an existing file: the capture mode question below does, with Append
    // among its answers.
    const QString chosen = m_prompts.saveFileNameNoReplacePrompt(
        QStringLiteral("Capture to file"), m_captureFileName, QStringLiteral("Text files (*.txt);;All files (*)"));
    if (chosen.isEmpty()) {
        return false;
    }
    m_captureFileName = chosen;
    bool append = m_captureAppend;
    if (QFileInfo::exists(chosen)) {
        switch (askCaptureMode(m_prompts, chosen, m_captureAppend)) {
            case CaptureMode::Append:
                append = m_captureAppend = true;
                break;
            case CaptureMode::Overwrite:
                append = m_captureAppend = false;
                break;
            case CaptureMode::Cancel:
                return false;
        }
    }
    closeCapture();
    if (!openCapture(chosen, append)) {
        refreshStatus();
        return false;
    }
    refreshStatus();
    return true;
}

void TTerminalForm::captureCommand(bool on) {
    m_captureAction->setChecked(on);
    if (!setCapture(on)) {
        m_captureAction->setChecked(false);
    }
    refreshStatus();
}

void TTerminalForm::bringToFront() {
    QWidget* frame = frameWindow();
    if (auto* sub = qobject_cast<QMdiSubWindow*>(frame); sub != nullptr && sub->mdiArea() != nullptr) {
        sub->mdiArea()->setActiveSubWindow(sub);
    }
    frame->raise();
    m_display->setFocus();
}

void TTerminalForm::writeCaptured() {
    if (!m_logic->hasCaptured()) {
        return;
    }
    const std::vector<std::uint8_t> bytes = m_logic->takeCaptured();
    if (!m_captureFile) {
        return;
    }
    const qint64 size = qint64(bytes.size());
    if (m_captureFile->write(reinterpret_cast<const char*>(bytes.data()), size) != size ||
        !m_captureFile->flush()) {
        // A full disk or a vanished drive: stop capturing and say so rather than drop bytes silently.
        const QString error = m_captureFile->errorString();
        m_captureFile->close();
        m_captureFile.reset();
        m_logic->setCapturing(false);
        m_captureAction->setChecked(false);
        refreshStatus();
        m_prompts.showMessage(QStringLiteral("Error writing capture file %1\n%2").arg(m_captureFileName, error),
                              PromptIcon::Error);
    }
}

// --- break, scroll-back, tabs, clear -----------------------------------------------------------------

void TTerminalForm::setBreak(bool on) {
    m_breakAction->setChecked(on);
    if (!m_port.setBreak(on) && on) {
        m_breakAction->setChecked(false);
        m_prompts.showMessage(QStringLiteral("Cannot set the break state: the serial port is not open"),
                              PromptIcon::Warning);
    }
    refreshStatus();
}

void TTerminalForm::toggleScrollback() {
    m_display->setScrollback(!m_display->scrollback());
    refreshStatus();
}

void TTerminalForm::setTabSize(int size) {
    m_logic->setTabSize(size, m_display->visibleColumns());
    m_display->refresh();
}

void TTerminalForm::clearTerminal() {
    m_logic->clear();
    m_display->refresh();
}

void TTerminalForm::showLocalText(const QString& text) {
    if (capturing() || hexDisplay()) {
        return;
    }
    m_display->receive(text.toLatin1());
}

// --- clipboard -------------------------------------------------------------------------------------

void TTerminalForm::copySelection() {
    QString text = m_display->selectedText();
    if (text.isEmpty()) {
        return;  // nothing selected: the clipboard keeps what it holds
    }
    if (text.endsWith(QStringLiteral("\r\n"))) {
        text.chop(2);
    }
    QApplication::clipboard()->setText(text);
}

void TTerminalForm::pasteClipboard() {
    const QString text = QApplication::clipboard()->text();
    if (!text.isEmpty()) {
        sendToPort(text.toLatin1());
    }
}

void TTerminalForm::sendToPort(const QByteArray& bytes) {
    if (m_port.isOpen()) {
        m_port.putBlock(bytes);
    }
}

// --- keys ------------------------------------------------------------------------------------------

bool TTerminalForm::interceptKey(QKeyEvent* event) {
    const int key = event->key();
    if (!m_display->scrollback()) {
        if (key == Qt::Key_Up) {
            toggleScrollback();
            return true;
        }
        return false;
    }
    if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape) {
        // The key that leaves scroll-back is not sent to the port.
        toggleScrollback();
        return true;
    }
    return false;
}

// --- received bytes --------------------------------------------------------------------------------

void TTerminalForm::setDisplayActive(bool active) {
    if (!active) {
        // Bytes taken from the port before the suspension are shown and captured now; from here on the
        // port keeps what arrives for the command that suspended the terminal.
        showPending(m_pending.size());
    }
    m_logic->setActive(active);
    emit displayActiveChanged(active);
    if (active) {
        m_portHasNews = true;  // whatever arrived meanwhile and was left in the port
        schedulePump();
    }
}

void TTerminalForm::schedulePump() {
    if (m_pumpScheduled || !m_logic->active()) {
        return;
    }
    m_pumpScheduled = true;
    QTimer::singleShot(0, this, [this] {
        m_pumpScheduled = false;
        pumpPort();
    });
}

void TTerminalForm::showPending(qsizetype count) {
    count = std::min(count, m_pending.size() - m_pendingAt);
    if (count <= 0) {
        return;
    }
    m_display->receive(QByteArray::fromRawData(m_pending.constData() + m_pendingAt, count));
    emit bytesReceived(QByteArray(m_pending.constData() + m_pendingAt, count));
    m_pendingAt += count;
    if (m_pendingAt >= m_pending.size()) {
        m_pending.clear();
        m_pendingAt = 0;
    }
    writeCaptured();
}

void TTerminalForm::pumpPort() {
    if (!m_logic->active()) {
        return;
    }
    // The port is read only after it announced bytes (or after a resume): asking an empty port makes it
    // poll the device, which this loop has no need of.
    if (m_pending.isEmpty() && m_portHasNews) {
        m_portHasNews = false;
        m_pending = m_port.readAvailable();
        m_pendingAt = 0;
    }
    showPending(kSliceBytes);
    if (!m_pending.isEmpty() || m_portHasNews) {
        schedulePump();
    }
}

// --- geometry, settings, life cycle ------------------------------------------------------------------

void TTerminalForm::displayGeometryChanged() {
    if (m_display->scrollback()) {
        m_display->setScrollback(false);
    }
    refreshStatus();
}

QWidget* TTerminalForm::frameWindow() {
    auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget());
    return sub != nullptr ? static_cast<QWidget*>(sub) : this;
}

const QWidget* TTerminalForm::frameWindow() const {
    auto* sub = qobject_cast<const QMdiSubWindow*>(parentWidget());
    return sub != nullptr ? static_cast<const QWidget*>(sub) : this;
}

void TTerminalForm::loadSettings(const TerminalSettings& settings) {
    m_captureFileName = settings.captureFile;
    m_captureAppend = settings.captureAppend;
    m_loadedTabSize = settings.tabSize;
    QWidget* frame = frameWindow();
    if (settings.bounds.isValid()) {
        frame->setGeometry(settings.bounds);
    }
    if (settings.cellsStored && !settings.maximized) {
        fitCells(settings.columns, settings.rows, settings.bounds);
    }
    if (settings.maximized) {
        frame->showMaximized();
    }
    // The settings arrive after the window was first shown; the tab stops are set up again with the
    // loaded size, which is also the one saved at the end.
    if (!m_firstShow) {
        setTabSize(m_loadedTabSize);
    }
    refreshStatus();
}

void TTerminalForm::fitCells(int columns, int rows, const QRect& area) {
    if (m_display->visibleColumns() == columns && m_display->visibleRows() == rows) {
        return;  // the stored size shows them already
    }
    // The cells were stored with another font or size: the frame is sized to show them, within the
    // space the frame may take.
    QWidget* frame = frameWindow();
    const QSize chrome = frame->size() - m_display->viewport()->size();
    QSize wanted = m_display->sizeForCells(columns, rows) + chrome;
    if (auto* sub = qobject_cast<QMdiSubWindow*>(frame); sub != nullptr && sub->mdiArea() != nullptr) {
        const QSize room = sub->mdiArea()->viewport()->size() - QSize(frame->x(), frame->y());
        wanted = wanted.boundedTo(room.expandedTo(QSize(1, 1)));
    } else if (area.isValid()) {
        wanted = wanted.boundedTo(area.size());
    }
    frame->resize(wanted);
}

TerminalSettings TTerminalForm::saveSettings() const {
    TerminalSettings settings;
    const QWidget* frame = frameWindow();
    settings.maximized = frame->isMaximized();
    settings.bounds = frame->isMaximized() ? frame->normalGeometry() : frame->geometry();
    if (!settings.bounds.isValid()) {
        settings.bounds = frame->geometry();
    }
    settings.columns = m_display->visibleColumns();
    settings.rows = m_display->visibleRows();
    settings.captureFile = m_captureFileName;
    settings.captureAppend = m_captureAppend;
    settings.tabSize = m_logic->tabSize();
    return settings;
}

void TTerminalForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (m_firstShow) {
        m_firstShow = false;
        setTabSize(m_loadedTabSize);
        refreshStatus();
        schedulePump();
    }
}

void TTerminalForm::closeEvent(QCloseEvent* event) {
    // The terminal lives as long as the workbench.
    event->ignore();
}

void TTerminalForm::statusPanelClicked(int panel) {
    switch (term::statusActionFor(panel, m_port.comNumber())) {
        case term::StatusAction::PortSetup:
            if (m_portSetup) {
                m_portSetup();
            }
            break;
        case term::StatusAction::Capture:
            toggleCapture();
            break;
        case term::StatusAction::HexDisplay:
            toggleHexDisplay();
            break;
        case term::StatusAction::Scrollback:
            toggleScrollback();
            break;
        case term::StatusAction::Break:
            toggleBreak();
            break;
        case term::StatusAction::Clear:
            clearTerminal();
            break;
        case term::StatusAction::None:
            break;
    }
}

}  // namespace orrery::terminal
