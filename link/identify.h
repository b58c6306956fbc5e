#pragma once
// The identify exchange: the logger names its model and says a few words about itself.
//
//   out: 0x13
//   in:  0x13 | n | n bytes        each within 500 ms
//
// The first two reply bytes are the model number, most significant first; what follows is the
// logger's own text. A reply byte that does not come in time is kept as 0xFF and the reading goes on,
// so a logger that falls silent half-way still gives its model number.

#include <QByteArray>
#include <optional>

#include "loggerlink.h"

namespace orrery::link {

inline constexpr quint16 kIdentifyReplyMs = 500;

struct IdentifyReply {
    QByteArray bytes;  // all n reply bytes
    // The model number, when the reply holds at least two bytes.
    std::optional<quint16> modelNumber() const;
    // The reply after the model number.
    QByteArray text() const { return bytes.mid(2); }
};

// Flushes the port, sends 0x13 and reads the reply. nullopt when the echo or the count does not come
// (or the line stopped transmitting); the caller reports. The terminal is left as the caller set it.
std::optional<IdentifyReply> Identify(LoggerLink& link);

}  // namespace orrery::link
