#pragma once
// The variable viewer on the logger's line: its reads through the link, and the memory-access session
// that the dialog runs inside.

#include <functional>

#include "viewvariables.h"

namespace orrery::link {

class LoggerLink;

// The viewer's reads as checked memory reads on the link.
class LinkMemory : public VariableMemory {
public:
    explicit LinkMemory(LoggerLink& link) : m_link(link) {}
    bool ReadLoggerMemory(quint8* buffer, quint16 address, int count) override;
    bool ReadLoggerLong(quint16 address, quint8* destination) override;
    bool ReadLoggerString(quint16 address, quint8& length, quint8* characters) override;

private:
    LoggerLink& m_link;
};

// "&View Variables...": 0x16 and its echo open memory access, then showDialog runs the dialog (modal);
// without the echo the dialog is not shown. Either way memory access is left with up to ten tries of
// 0x18, each awaiting the prompt CR LF "#", and a CR follows once the terminal has the line again.
// Refused with a message while another command holds the line. Returns whether the dialog was shown.
bool ViewVariables1Click(LoggerLink& link, const std::function<void()>& showDialog);

}  // namespace orrery::link
