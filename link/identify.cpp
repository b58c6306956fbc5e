#include "identify.h"

namespace orrery::link {

std::optional<IdentifyReply> Identify(LoggerLink& link, bool* answered) {
    if (answered) {
        *answered = false;
    }
    link.FlushPort();
    if (!link.SendByte(kIdentifyCommand) || link.WaitAnswer(kIdentifyReplyMs) != kIdentifyCommand) {
        return std::nullopt;
    }
    if (answered) {
        *answered = true;
    }
    const qint16 count = link.WaitByte(kIdentifyReplyMs);
    if (count < 0) {
        return std::nullopt;
    }
    IdentifyReply reply;
    for (int i = 0; i < count; ++i) {
        const qint16 byte = link.WaitByte(kIdentifyReplyMs);
        if (byte < 0) {
            return std::nullopt;
        }
        if (reply.bytes.size() < kIdentifyReplyLimit) {
            reply.bytes.append(char(byte));
        }
    }
    if (reply.bytes.size() < 2) {
        return std::nullopt;
    }
    return reply;
}

IdentifyResult identifyLogger(LoggerLink& link) {
    IdentifyResult result;
    std::optional<LinkClaim> claim = link.tryClaim();
    if (!claim) {
        result.status = LinkStatus::Refused;
        result.message = link.refusal();
        return result;
    }
    TerminalHold hold(link);
    bool answered = false;
    const std::optional<IdentifyReply> reply = Identify(link, &answered);
    if (!reply) {
        const bool silent = !answered && !link.lineFailed();
        result.status = silent ? LinkStatus::NotResponding : LinkStatus::Failed;
        result.message = silent ? kNotResponding : kErrorCommunicating;
        return result;
    }
    result.status = LinkStatus::Done;
    result.reply = *reply;
    result.bytes = reply->bytes.size();
    result.message = QStringLiteral("Brackwater model %1").arg(reply->modelNumber());
    return result;
}

}  // namespace orrery::link
