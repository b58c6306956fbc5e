#pragma once
// The variable viewer on the logger's line: its reads through the link, and the memory-access session
// that the dialog runs inside.

#include <functional>

#include "linkresult.h"
#include "viewvariables.h"

namespace orrery::link {

class LoggerLink;

// The viewer's reads as checked memory reads on the link.
class LinkMemory : public VariableMemory {
public:
    explicit LinkMemory(LoggerLink& link) : m_link(link) {}
    MemoryRead ReadLoggerMemory(quint8* buffer, quint16 address, int count) override;
    MemoryRead ReadLoggerLong(quint16 address, quint8* destination) override;
    MemoryRead ReadLoggerString(quint16 address, quint8& length, quint8* characters) override;

private:
    LoggerLink& m_link;
};

// The memory-access session around the viewer dialog: 0x16 and its echo open memory access (the
// logger's unasked prompt ahead of the echo is passed over), then showDialog runs the dialog (modal);
// without the echo the dialog is not shown. Either way memory access is left with up to ten tries of
// 0x18, each awaiting the prompt CR LF "#", and a CR follows once the terminal has the line again.
// Refused with a message while another command holds the line. Returns whether the dialog was shown.
bool withMemoryAccess(LoggerLink& link, const std::function<void()>& showDialog);

struct VariableReadRequest {
    QList<TVarItem> items;  // from a symbol file (readSymbolFile)
    quint16 fileCrc = 0;    // its VCRC, compared with the loaded program's
};

struct VariableReadResult : LinkResult {
    QList<TVarItem> items;  // the request's items, each Loaded with its value
};

// Reads every item of the request in one memory-access session, after comparing the symbol file's CRC
// with the loaded program's (a mismatch is said through the link, as the viewer says it, and the reads
// go on). bytes counts the values read. Fails with "Error reading data from Brackwater" when any read
// fails, and then carries no values.
VariableReadResult readVariables(LoggerLink& link, const VariableReadRequest& request);

}  // namespace orrery::link
