#include "identify.h"

namespace orrery::link {

namespace {
constexpr quint8 kMissingByte = 0xFF;
}

std::optional<quint16> IdentifyReply::modelNumber() const {
    if (bytes.size() < 2) {
        return std::nullopt;
    }
    return quint16(quint8(bytes.at(0)) << 8 | quint8(bytes.at(1)));
}

std::optional<IdentifyReply> Identify(LoggerLink& link) {
    link.FlushPort();
    if (!link.SendByte(kIdentifyCommand) || link.WaitByte(kIdentifyReplyMs) != kIdentifyCommand) {
        return std::nullopt;
    }
    const qint16 count = link.WaitByte(kIdentifyReplyMs);
    if (count < 0) {
        return std::nullopt;
    }
    IdentifyReply reply;
    reply.bytes.reserve(count);
    for (int i = 0; i < count; ++i) {
        const qint16 byte = link.WaitByte(kIdentifyReplyMs);
        reply.bytes += char(byte < 0 ? kMissingByte : quint8(byte));
    }
    return reply;
}

}  // namespace orrery::link
