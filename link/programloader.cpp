#include "programloader.h"

#include <QThread>
#include <algorithm>

#include "prompts.h"

namespace orrery::link {

namespace {

// The memory a program may take, by model. 400 and 500 keep their variables in the same RAM as the
// program, so the two together are limited; 700 and 800 check nothing; every other model (and a
// program without MODEL) takes the image alone.
constexpr qint64 kProgramAndVariablesLimit = 29568;
constexpr qint64 kProgramLimit = 16064;

constexpr quint8 kEndOfLoad = 0x00;

bool sharesRamWithVariables(quint16 model) {
    return model == 400 || model == 500;
}
bool unlimited(quint16 model) {
    return model == 700 || model == 800;
}

// Sends one length-prefixed block and waits until it has left the output buffer.
bool sendBlock(LoggerLink& link, const char* bytes, int count) {
    return link.SendByte(count) && link.SendBytes(reinterpret_cast<const quint8*>(bytes), count) &&
           link.DrainOutput();
}

}  // namespace

std::optional<QString> loadSizeRefusal(qint64 imageLength, quint16 modelCode, quint32 variableAreaSize) {
    if (unlimited(modelCode)) {
        return std::nullopt;
    }
    if (sharesRamWithVariables(modelCode)) {
        if (imageLength + qint64(variableAreaSize) > kProgramAndVariablesLimit) {
            return kTooLargeForVariables;
        }
        return std::nullopt;
    }
    if (imageLength > kProgramLimit) {
        return kLargerThan16064;
    }
    return std::nullopt;
}

LoadOutcome LoadProgram(LoggerLink& link, const QByteArray& image, quint16 modelCode,
                        quint32 variableAreaSize) {
    if (const auto refusal = loadSizeRefusal(image.size(), modelCode, variableAreaSize)) {
        link.report(*refusal);
        return LoadOutcome::TooLarge;
    }

    // The handshake: the terminal must not eat the echo.
    {
        TerminalHold hold(link);
        link.FlushPort();
        if (!link.SendByte(kLoadCommand)) {
            hold.resume();
            link.report(kErrorCommunicating);
            return LoadOutcome::LineFailed;
        }
        const qint16 echo = link.WaitAnswer(kLoadEchoMs);
        hold.resume();
        if (echo != kLoadCommand) {
            link.report(kNotResponding);
            return LoadOutcome::NotResponding;
        }
    }

    const int length = int(image.size());
    const bool withProgress = length > kLoadProgressThreshold;
    Progress& progress = link.prompts().progress();
    if (withProgress) {
        progress.start(kLoadingCaption, length, false);
    }
    bool cancelled = false;
    bool lineFailed = false;
    int sent = 0;
    while (length - sent > 0 && !cancelled) {
        const int count = std::min(kLoadBlockSize, length - sent);
        if (!sendBlock(link, image.constData() + sent, count)) {
            lineFailed = true;
            break;
        }
        sent += count;
        if (withProgress && progress.add(count)) {
            link.report(kLoadCancelled);
            cancelled = true;
        }
        // The workbench closing: stop like a Cancel, without a word.
        cancelled = cancelled || link.abandoned();
    }
    // Even after a Cancel the logger gets its end byte, so it is not left waiting for a block.
    if (!lineFailed && !(link.SendByte(kEndOfLoad) && link.DrainOutput())) {
        lineFailed = true;
    }
    if (withProgress) {
        progress.close();
    }
    if (lineFailed) {
        link.report(kErrorCommunicating);
        return LoadOutcome::LineFailed;
    }
    return cancelled ? LoadOutcome::Cancelled : LoadOutcome::Loaded;
}

void runLoadedProgram(LoggerLink& link) {
    // A plain pause: nothing else may happen on the line before the run byte.
    QThread::msleep(kRunDelayMs);
    link.SendRunCommand();
    // Out before anything else happens to the port (a command-line tool closes it right after).
    (void)link.DrainOutput();
    if (TerminalGate* gate = link.terminalGate()) {
        gate->bringTerminalToFront();
    }
}

LinkResult loadProgram(LoggerLink& link, const LoadRequest& request) {
    std::optional<LinkClaim> claim = link.claim();
    if (!claim) {
        return LinkResult::failure(LinkStatus::Refused, link.refusal());
    }
    switch (LoadProgram(link, request.image, request.modelCode, request.variableAreaSize)) {
        case LoadOutcome::Loaded:
            break;
        case LoadOutcome::TooLarge:
            return LinkResult::failure(
                LinkStatus::Refused,
                loadSizeRefusal(request.image.size(), request.modelCode, request.variableAreaSize)
                    .value_or(QString()));
        case LoadOutcome::NotResponding:
            return LinkResult::failure(LinkStatus::NotResponding, kNotResponding);
        case LoadOutcome::Cancelled:
            return LinkResult::failure(LinkStatus::Cancelled, kLoadCancelled);
        case LoadOutcome::LineFailed:
            return LinkResult::failure(LinkStatus::Failed, kErrorCommunicating);
    }
    if (request.runAfter) {
        runLoadedProgram(link);
        if (link.lineFailed()) {
            link.report(kErrorCommunicating);
            return LinkResult::failure(LinkStatus::Failed, kErrorCommunicating);
        }
    }
    const QString model =
        request.modelCode == 0 ? QString() : QStringLiteral(" (model %1)").arg(request.modelCode);
    return {LinkStatus::Done,
            request.image.size(),
            {},
            QStringLiteral("%1 %2 bytes%3")
                .arg(request.runAfter ? QStringLiteral("Loaded and started") : QStringLiteral("Loaded"),
                     groupedCount(request.image.size()), model)};
}

}  // namespace orrery::link
