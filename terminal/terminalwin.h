#pragma once
// TTerminalForm: the "Terminal Window", a plain serial terminal on the workbench's one port.
//
// Whatever arrives on the port is shown in the display (TermView); whatever the user types goes to the
// port. On top of the display the window adds a hex dump mode, capture of received bytes to a file, a
// break toggle and a nine-panel status bar whose panels are also buttons. The check marks of the menu
// items "&Hex display", "&Capture to file..." and "Break" are the on/off state of those three; the window
// works on actions handed over by the main window, or on its own when it stands alone (tests).
//
// Received bytes are taken from the port only while the display is active, so bytes that arrive while a
// logger command or a transfer has suspended the terminal stay in the port's input buffer for that
// command; what was taken before the suspension is shown at once. A long burst is shown in slices, one per
// turn of the event loop, so the window keeps painting and answering keys; each slice's captured bytes
// are written and flushed before the next slice.
//
// The window is created once, never closes, and keeps capture, hex display and break off at start.

#include <QAction>
#include <QFile>
#include <QPoint>
#include <QWidget>
#include <functional>
#include <memory>

#include "prompts.h"
#include "statuspanels.h"
#include "terminallogic.h"
#include "terminalsettings.h"
#include "termview.h"

namespace orrery::serial {
class TApdComPort;
}

namespace orrery::terminal {

// The status bar: nine panels with centred text, each as wide as its design width or, when its text
// needs more ("Com 1 (simulated logger)"), as its text; a click reports the panel under the place where
// the mouse was pressed.
class TerminalStatusBar : public QWidget {
    Q_OBJECT
public:
    explicit TerminalStatusBar(QWidget* parent = nullptr);
    void setPanelText(int panel, const QString& text);
    QString panelText(int panel) const { return m_texts.value(panel); }
    // Left edge of a panel in pixels.
    int panelLeft(int panel) const;
    int panelWidth(int panel) const { return m_widths[std::size_t(panel)]; }
    QSize sizeHint() const override;

signals:
    void panelClicked(int panel);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void updateWidths();

    QStringList m_texts;
    std::array<int, term::kStatusPanelCount> m_widths = term::kStatusPanelWidths;
    QPoint m_lastPress;  // where the mouse was last pressed
};

class TTerminalForm : public QWidget {
    Q_OBJECT
public:
    static constexpr const char* kCaption = "Terminal Window";
    // Most bytes shown per turn of the event loop.
    static constexpr int kSliceBytes = 32 * 1024;

    TTerminalForm(serial::TApdComPort& port, Prompts& prompts, QWidget* parent = nullptr);
    ~TTerminalForm() override;

    // The main window's check items; until called the window uses its own.
    void bindMenuActions(QAction* hexDisplay, QAction* capture, QAction* breakLine);
    QAction* hexDisplayAction() const { return m_hexAction; }
    QAction* captureAction() const { return m_captureAction; }
    QAction* breakAction() const { return m_breakAction; }
    // What a click on the port panels opens (the port setup of the main window).
    void setPortSetupHandler(std::function<void()> handler) { m_portSetup = std::move(handler); }
    // Folder of the default capture file name, with a trailing separator.
    void setProgramDir(const QString& dir) { m_programDir = dir; }

    term::TermView* display() const { return m_display; }
    TerminalStatusBar* statusBar() const { return m_statusBar; }
    const term::TerminalLogic& logic() const { return *m_logic; }

    // Rewrites panels 0 to 6 from the current state.
    void refreshStatus();

    bool hexDisplay() const { return m_hexAction->isChecked(); }
    void setHexDisplay(bool on);
    void toggleHexDisplay() { setHexDisplay(!hexDisplay()); }

    // Turns capture on (asking for the file and, if it exists, for the mode) or off; false when the user
    // cancelled or the file cannot be opened (the user has been told), and capture is then off.
    bool setCapture(bool on);
    // The menu command and the status panel: flips the check mark and clears it again on failure.
    void toggleCapture() { captureCommand(!capturing()); }
    void captureCommand(bool on);
    // Activates the window in the main window and gives the display the focus.
    void bringToFront();
    bool capturing() const { return m_captureFile != nullptr; }
    QString captureFileName() const { return m_captureFileName; }
    bool captureAppend() const { return m_captureAppend; }

    bool breakOn() const { return m_breakAction->isChecked(); }
    void setBreak(bool on);
    void toggleBreak() { setBreak(!breakOn()); }

    bool scrollback() const { return m_display->scrollback(); }
    void toggleScrollback();

    int tabSize() const { return m_logic->tabSize(); }
    void setTabSize(int size);

    void clearTerminal();
    // Shows a note of the workbench's own in the display (line ends CR LF); nothing goes to the port,
    // the capture file or the plotter. Left out while hex display or capture is on, where it would be
    // taken for the logger's bytes.
    void showLocalText(const QString& text);
    // Copies the selection without the line end that ends it.
    void copySelection();
    // Sends the clipboard text to the port as one block.
    void pasteClipboard();

    // Suspend and resume for commands that read the port themselves. While suspended the window takes
    // nothing from the port; what arrives stays in the port's input buffer for the command.
    bool displayActive() const { return m_logic->active(); }
    void setDisplayActive(bool active);
    void SuspendTerminal() { setDisplayActive(false); }
    void ResumeTerminal() { setDisplayActive(true); }

    void loadSettings(const TerminalSettings& settings);
    TerminalSettings saveSettings() const;

    // Shows the next slice of received bytes, taking the port's bytes when it announced new ones; the
    // rest follows on later turns of the event loop.
    void pumpPort();
    // Received bytes taken from the port and not shown yet.
    qsizetype pendingBytes() const { return m_pending.size() - m_pendingAt; }

signals:
    // The received bytes as the window takes them in, for watchers beside it (the plotter). While the
    // window is suspended it takes nothing, so nothing is reported either.
    void bytesReceived(const QByteArray& bytes);
    // The window was suspended (false) or resumed (true).
    void displayActiveChanged(bool active);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void sendToPort(const QByteArray& bytes);
    bool interceptKey(QKeyEvent* event);
    void schedulePump();
    void showPending(qsizetype count);
    void writeCaptured();
    void closeCapture();
    bool openCapture(const QString& fileName, bool append);
    void statusPanelClicked(int panel);
    void displayGeometryChanged();
    // Sizes the window so that the display shows columns x rows, as far as there is room.
    void fitCells(int columns, int rows, const QRect& area);
    QWidget* frameWindow();
    const QWidget* frameWindow() const;

    serial::TApdComPort& m_port;
    Prompts& m_prompts;
    term::TermView* m_display = nullptr;
    std::unique_ptr<term::TerminalLogic> m_logic;
    TerminalStatusBar* m_statusBar = nullptr;
    QAction* m_hexAction = nullptr;
    QAction* m_captureAction = nullptr;
    QAction* m_breakAction = nullptr;
    std::function<void()> m_portSetup;

    QString m_programDir;
    QString m_captureFileName;
    bool m_captureAppend = true;
    std::unique_ptr<QFile> m_captureFile;
    int m_loadedTabSize = term::kDefaultTabSize;
    bool m_firstShow = true;
    bool m_pumpScheduled = false;
    bool m_portHasNews = true;
    QByteArray m_pending;  // taken from the port, shown from m_pendingAt on
    qsizetype m_pendingAt = 0;
};

// Keeps the terminal suspended for its lifetime, so that a command gives the line back on every path,
// early returns and exceptions included.
class TerminalOffLineScope {
public:
    explicit TerminalOffLineScope(TTerminalForm& terminal) : m_terminal(terminal) {
        m_terminal.SuspendTerminal();
    }
    ~TerminalOffLineScope() { m_terminal.ResumeTerminal(); }
    TerminalOffLineScope(const TerminalOffLineScope&) = delete;
    TerminalOffLineScope& operator=(const TerminalOffLineScope&) = delete;

private:
    TTerminalForm& m_terminal;
};

}  // namespace orrery::terminal
