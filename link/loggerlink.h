#pragma once
// LoggerLink: the byte-level conversation with a Brackwater logger over the workbench's one serial port.
//
// The logger understands one-byte commands and answers with single bytes or short fixed sequences, each
// within its own time-out (50, 500 or 2000 ms). This class holds what every logger command needs for
// that: the port, the one-shot reply timer, the Prompts seam for messages and progress, the terminal gate
// (so that the terminal window keeps its hands off the line while a command owns it), the link state
// (ConfirmConnect, ProgramDir, OffloadDir) and the guard that keeps two commands from interleaving.
// The commands themselves (load, offload, EPROM export, variable viewer) are functions elsewhere in link/
// that take a LoggerLink; the workbench, the loggerlink tool and the tests all drive the same ones.
//
// What it does not do: open, close or configure the port (the port settings and the start-up do that),
// and show windows (QtCore only; the workbench hands in a TerminalGate and its own Prompts).
//
// How a command uses it:
//
//   std::optional<LinkClaim> claim = link.claim();   // refused with a message when busy or port closed
//   if (!claim) return;
//   TerminalHold hold(link);                          // terminal off the line until hold ends
//   if (!link.SendByte(0x13)) { link.report(kErrorCommunicating); return; }
//   if (link.WaitByte(500) != 0x13) { link.report(kNotResponding); return; }
//
// A port that stops transmitting. SendByte and DrainOutput wait in the port's drainOutput(), which serves
// the event loop (the progress dialog's Cancel stays live), and they do not wait for ever: when the output
// makes no progress for stallTimeoutMs() (flow control held, adapter unplugged, port closed underneath)
// they return false. From then on the link is "failed" (lineFailed()) until the next claim: every further
// SendByte, SendBytes and DrainOutput returns false at once, so a command may check once per step instead
// of once per byte. A command that sees false shows kErrorCommunicating through report() and ends,
// resuming the terminal as on every other path.
//
// Closing the workbench during a command. Waits keep the event loop running, so the main window can be
// asked to close in the middle of an exchange. It then calls abandon(): every wait returns -1 at once,
// report() stays silent, and the command unwinds along its failure path (sends still go out, so a
// command can leave the logger in a clean state, as the loader does with its end byte). When the claim
// ends the link emits idle() and the window closes for real.

#include <QObject>
#include <QString>
#include <QTimer>
#include <optional>

#include "apdcomport.h"
#include "linkresult.h"

namespace orrery {
class Prompts;
}

namespace orrery::link {

// The messages every link command shares, as the user reads them.
inline const QString kNotResponding = QStringLiteral("Brackwater not responding");
inline const QString kDataBitsMessage = QStringLiteral("Serial port must use 8 data bits for this operation");
inline const QString kFlowControlMessage = QStringLiteral("Flow control must be OFF for this operation");
inline const QString kBusyMessage = QStringLiteral("Another logger command is still running");

// Command bytes of the logger.
inline constexpr quint8 kBootEpromCommand = 0x02;
inline constexpr quint8 kDiskOffloadCommand = 0x04;
inline constexpr quint8 kEpromExportCommand = 0x05;
inline constexpr quint8 kLoadCommand = 0x0C;
inline constexpr quint8 kCarriageReturn = 0x0D;
// The logger's prompt is CR, LF, "#".
inline constexpr quint8 kLineFeed = 0x0A;
inline constexpr quint8 kPromptMark = '#';
inline constexpr quint8 kSerialOffloadCommand = 0x0F;
inline constexpr quint8 kRunCommand = 0x12;
inline constexpr quint8 kIdentifyCommand = 0x13;
inline constexpr quint8 kMemoryAccessCommand = 0x16;
inline constexpr quint8 kLeaveMemoryAccessCommand = 0x18;
// The logger's acknowledgement of each step of a memory read.
inline constexpr quint8 kMemoryAck = 0xFF;

// The terminal window as the link sees it. The workbench implements it with its terminal window; the
// loggerlink tool and most tests have no terminal and leave the gate unset.
class TerminalGate {
public:
    virtual ~TerminalGate() = default;
    // While suspended the terminal takes no bytes from the port; they stay in the port's input buffer.
    virtual void suspendTerminal() = 0;
    virtual void resumeTerminal() = 0;
    // Gives the terminal window the focus and brings it to the front (after Run, Boot EPROM).
    virtual void bringTerminalToFront() = 0;
};

class LoggerLink;

// "The link is busy": held by a command for as long as it owns the line. Move-only; a command whose
// exchange outlives its function (an offload that ends in the transfer's finish event) keeps it in a
// member and calls release() there.
class LinkClaim {
public:
    LinkClaim(LinkClaim&& other) noexcept : m_link(other.m_link) { other.m_link = nullptr; }
    LinkClaim& operator=(LinkClaim&& other) noexcept;
    LinkClaim(const LinkClaim&) = delete;
    LinkClaim& operator=(const LinkClaim&) = delete;
    ~LinkClaim() { release(); }
    void release();

private:
    friend class LoggerLink;
    explicit LinkClaim(LoggerLink* link) : m_link(link) {}
    LoggerLink* m_link;
};

class LoggerLink : public QObject {
    Q_OBJECT
public:
    // The smallest room in the output buffer SendByte waits for before queueing a byte.
    static constexpr int kMinOutputRoom = 10;
    // Largest count of one memory read.
    static constexpr int kMaxReadCount = 255;

    LoggerLink(serial::TApdComPort& port, Prompts& prompts, QObject* parent = nullptr);
    ~LoggerLink() override;

    serial::TApdComPort& port() { return m_port; }
    Prompts& prompts() { return *m_prompts; }
    void setPrompts(Prompts& prompts) { m_prompts = &prompts; }
    // The terminal to suspend and resume; nullptr for none. Not owned.
    void setTerminalGate(TerminalGate* gate) { m_gate = gate; }
    TerminalGate* terminalGate() const { return m_gate; }

    // --- link state ---------------------------------------------------------------------------------
    // The "Confirm connection" option: when off, the offload and EPROM commands do not insist on the
    // logger's echo.
    bool ConfirmConnect = true;
    // Folder of the program last loaded or symbol file last opened; empty at start (current folder).
    QString ProgramDir;
    // Folder of the last offloaded or transferred data file.
    QString OffloadDir;

    // --- the re-entry guard -------------------------------------------------------------------------
    // Claims the line for one command. Refused (nullopt) with a message through the prompts when another
    // command holds it, or when the port is not open (the message names the port and its device); then
    // nothing at all is exchanged. A successful claim clears lineFailed() and abandoned().
    std::optional<LinkClaim> claim();
    // The same without any message, for callers that report in their own way.
    std::optional<LinkClaim> tryClaim();
    bool isBusy() const { return m_busy; }
    // Why claim() would refuse right now, or an empty string.
    QString refusal() const;

    // Ends the running command as soon as it next waits or sends (see the header comment).
    void abandon();
    bool abandoned() const { return m_abandoned; }
    // Shows a command's message unless the command was abandoned.
    void report(const QString& text);

    // --- primitives ---------------------------------------------------------------------------------
    // Discards the port's input buffer, then its output buffer.
    void FlushPort();
    // A waiting received byte as 0..255 (0xFF is 255), or -1 at once when none is waiting.
    qint16 PollByte();
    // Queues one byte (the low 8 bits) once the output buffer has kMinOutputRoom free bytes. False when
    // the port stalled or is closed (see the header comment).
    [[nodiscard]] bool SendByte(int byte);
    [[nodiscard]] bool SendBytes(const quint8* bytes, int count);
    [[nodiscard]] bool SendBytes(const QByteArray& bytes);
    // Waits at most timeoutMs for one received byte, serving the event loop meanwhile. The byte 0..255,
    // or -1 on time-out (or at once when abandoned).
    qint16 WaitByte(quint16 timeoutMs);
    // Waits at most timeoutMs for the logger's answer to a command byte, passing over the bytes of its
    // prompt (CR, LF, "#"). The logger sends its prompt unasked (the CR the workbench sends when the port
    // has just opened, a program that ended), and one that lands just after FlushPort would otherwise be
    // taken for the answer and fail a command the logger accepted. The answer 0..255, or -1.
    qint16 WaitAnswer(quint16 timeoutMs);
    // Bytes not yet on the line: the port's output buffer and what the operating system still holds.
    quint16 OutputPending();
    // Waits until OutputPending() is 0. False when the port stalled.
    [[nodiscard]] bool DrainOutput();
    // Sends the run byte 0x12; always returns 0.
    int SendRunCommand();
    // True when the port uses 8 data bits and no software flow control; otherwise shows which of the two
    // is wrong and returns false. Hardware flow control is not examined.
    bool CheckLinkSettings();
    void SuspendTerminal();
    void ResumeTerminal();
    bool terminalSuspended() const { return m_terminalSuspended; }

    // Checked reads of logger memory. Each shows no message; the caller reports a failure. Bytes
    // received before a failure stay in the buffer. count is 1..255; anything else fails without
    // sending.
    //   out:  0x16 | address as "%x" | CR |       | count |      |                 |
    //   in:        0x16               ...   0xFF          0xFF   count data bytes   checksum
    // The checksum is the 8-bit sum of the address's two bytes, the count and the data.
    [[nodiscard]] MemoryRead ReadLoggerMemory(quint8* buffer, quint16 address, int count);
    // A 4-byte value (stored most significant byte first in the logger), reversed into host
    // (little-endian) order on success; left as received on failure.
    [[nodiscard]] MemoryRead ReadLoggerLong(quint16 address, quint8* destination);
    // A length byte at address, then that many characters from address + 1 into characters (room for
    // 255). length is written only when both reads succeed.
    [[nodiscard]] MemoryRead ReadLoggerString(quint16 address, quint8& length, quint8* characters);

    // --- the port that stops transmitting -------------------------------------------------------------
    bool lineFailed() const { return m_lineFailed; }
    // How long the output may make no progress before a send or drain gives up: the port's default
    // (enough for a full kernel buffer to leave at its baud rate, never below 5 s).
    int stallTimeoutMs() const;
    // A fixed bound instead (tests); 0 restores the baud-rate rule.
    void setStallTimeoutMs(int ms) { m_stallOverrideMs = ms; }

signals:
    void busyChanged(bool busy);
    // The claim ended; the line is free again.
    void idle();

private:
    friend class LinkClaim;
    void releaseClaim();
    bool waitForOutputAtMost(int pending);
    void Timer1Timer();

    serial::TApdComPort& m_port;
    Prompts* m_prompts;
    TerminalGate* m_gate = nullptr;
    QTimer m_timer;  // Timer1: armed only inside WaitByte
    bool m_timedOut = false;
    bool m_busy = false;
    bool m_abandoned = false;
    bool m_lineFailed = false;
    bool m_terminalSuspended = false;
    int m_stallOverrideMs = 0;
};

// Keeps the terminal suspended for its lifetime, so that it is resumed on every path. resume() gives the
// line back early (the loader does after the load handshake).
class TerminalHold {
public:
    explicit TerminalHold(LoggerLink& link) : m_link(&link) { m_link->SuspendTerminal(); }
    ~TerminalHold() { resume(); }
    TerminalHold(const TerminalHold&) = delete;
    TerminalHold& operator=(const TerminalHold&) = delete;
    void resume() {
        if (m_link) {
            m_link->ResumeTerminal();
            m_link = nullptr;
        }
    }

private:
    LoggerLink* m_link;
};

}  // namespace orrery::link
