#include "viewvarsession.h"

#include "loggerlink.h"
#include "prompts.h"

namespace orrery::link {

namespace {

// Opening memory access can take the logger a while; leaving it answers at once.
constexpr quint16 kMemoryAccessTimeoutMs = 2000;
constexpr int kLeaveTries = 10;
// The prompt after 0x18: CR within 500 ms, then LF and "#" right behind it.
struct PromptByte {
    quint8 byte;
    quint16 timeoutMs;
};
constexpr PromptByte kLeavePrompt[] = {{'\r', 500}, {'\n', 50}, {'#', 50}};

bool leaveMemoryAccessOnce(LoggerLink& link) {
    if (!link.SendByte(kLeaveMemoryAccessCommand)) {
        return false;
    }
    for (const PromptByte& expected : kLeavePrompt) {
        if (link.WaitByte(expected.timeoutMs) != expected.byte) {
            return false;
        }
    }
    return true;
}

}  // namespace

MemoryRead LinkMemory::ReadLoggerMemory(quint8* buffer, quint16 address, int count) {
    return m_link.ReadLoggerMemory(buffer, address, count);
}

MemoryRead LinkMemory::ReadLoggerLong(quint16 address, quint8* destination) {
    return m_link.ReadLoggerLong(address, destination);
}

MemoryRead LinkMemory::ReadLoggerString(quint16 address, quint8& length, quint8* characters) {
    return m_link.ReadLoggerString(address, length, characters);
}

bool withMemoryAccess(LoggerLink& link, const std::function<void()>& showDialog) {
    std::optional<LinkClaim> claim = link.claim();
    if (!claim) {
        return false;
    }
    bool shown = false;
    {
        TerminalHold hold(link);
        const bool echoed = link.SendByte(kMemoryAccessCommand) &&
                            link.WaitAnswer(kMemoryAccessTimeoutMs) == kMemoryAccessCommand;
        if (echoed) {
            showDialog();
            shown = true;
        } else {
            link.report(kErrorCommunicating);
        }
        // A logger still busy with an answer cut short may swallow the first 0x18; a logger that never
        // gives the prompt is left as it is.
        for (int attempt = 0; attempt < kLeaveTries && !link.lineFailed() && !link.abandoned(); ++attempt) {
            if (leaveMemoryAccessOnce(link)) {
                break;
            }
        }
    }
    (void)link.SendByte(kCarriageReturn);
    return shown;
}

VariableReadResult readVariables(LoggerLink& link, const VariableReadRequest& request) {
    VariableReadResult result;
    result.status = LinkStatus::Failed;
    LinkMemory memory(link);
    QString programDir;
    // The viewer's own reads and CRC check, without its window: the same rules as in the dialog.
    VariableViewer viewer(memory, link.prompts(), programDir);
    viewer.Items = request.items;
    viewer.FileCrc = request.fileCrc;
    bool failed = true;
    const bool opened = withMemoryAccess(link, [&] {
        viewer.CheckSymbolCrc(kErrorCommunicating);
        failed = false;
        for (TVarItem& item : viewer.Items) {
            failed = viewer.readItem(item) == MemoryRead::Failed || failed;
        }
    });
    if (!opened) {
        result.message = kErrorCommunicating;
        return result;
    }
    if (failed) {
        result.message = QStringLiteral("Error reading data from Brackwater");
        link.report(result.message);
        return result;
    }
    result.status = LinkStatus::Done;
    result.items = viewer.Items;
    result.bytes = viewer.Items.size();
    result.message = QStringLiteral("Read %1 variables").arg(viewer.Items.size());
    return result;
}

}  // namespace orrery::link
