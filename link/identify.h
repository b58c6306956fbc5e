#pragma once
// The identify exchange: the logger names its model and says a few words about itself.
//
//   out: 0x13
//   in:  0x13 | n | n bytes        each within 500 ms
//
// The first two reply bytes are the model number, most significant first; what follows is the
// logger's own text. Every command that identifies the logger (the identify command itself, the EPROM
// export before it reads memory) reads the reply here, with one rule: a reply counts only when every
// byte came in time and it holds at least the model number. A guessed byte would name the wrong model,
// and with it the wrong program start.

#include <QByteArray>
#include <optional>

#include "linkresult.h"
#include "loggerlink.h"

namespace orrery::link {

inline constexpr quint16 kIdentifyReplyMs = 500;
// The reply is kept up to this length; a longer one is read to its end so the line stays in step, and
// its tail is dropped.
inline constexpr int kIdentifyReplyLimit = 129;

struct IdentifyReply {
    QByteArray bytes;  // the reply bytes (at least two, at most kIdentifyReplyLimit)
    quint16 modelNumber() const { return quint16(quint8(bytes.at(0)) << 8 | quint8(bytes.at(1))); }
    // The reply after the model number.
    QByteArray text() const { return bytes.mid(2); }
};

// Flushes the port, sends 0x13 and reads the reply, inside a command that already holds the line.
// nullopt when the echo, the count or any reply byte does not come in time, when the reply is shorter
// than two bytes, or when the line stopped transmitting; answered then tells whether the echo came.
std::optional<IdentifyReply> Identify(LoggerLink& link, bool* answered = nullptr);

struct IdentifyResult : LinkResult {
    IdentifyReply reply;  // when done()
};

// The identify command: claims the line, keeps the terminal off it, reads the reply. Not responding
// when the echo does not come, "Error communicating with Brackwater" for a reply cut short. Shows no
// message; the front end reports result.message.
IdentifyResult identifyLogger(LoggerLink& link);

}  // namespace orrery::link
