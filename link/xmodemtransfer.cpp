#include "xmodemtransfer.h"

#include <QDir>
#include <QFileInfo>

#include "destination.h"
#include "prompts.h"
#include "xmodemsession.h"

namespace orrery::link {

namespace {
// The gauge wraps at this count: an XMODEM transfer does not say its size.
constexpr qint64 kXmodemGauge = 10000;
}  // namespace

XmodemTransferCommand::XmodemTransferCommand(LoggerLink& link, xmodem::XmodemSession& session,
                                             QObject* parent)
    : QObject(parent), m_link(link), m_session(session) {}

bool XmodemTransferCommand::start(const XmodemRequest& request) {
    m_request = request;
    m_request.path = QFileInfo(request.path).absoluteFilePath();
    const QString shown = QDir::toNativeSeparators(m_request.path);
    QString problem;
    if (request.sending) {
        if (!QFileInfo(m_request.path).isReadable() || QFileInfo(m_request.path).isDir()) {
            problem = QStringLiteral("Cannot read %1").arg(shown);
        }
    } else {
        problem = destinationProblem(m_request.path, request.replaceExisting);
    }
    if (!problem.isEmpty()) {
        m_result = LinkResult::failure(LinkStatus::Refused, problem);
        m_link.report(problem);
        return false;
    }
    std::optional<LinkClaim> claim = m_link.claim();
    if (!claim) {
        m_result = LinkResult::failure(LinkStatus::Refused, m_link.refusal());
        return false;
    }
    m_claim = std::move(claim);
    m_link.SuspendTerminal();
    connect(&m_session, &xmodem::XmodemSession::finished, this, &XmodemTransferCommand::onTransferEnd,
            Qt::SingleShotConnection);
    auto cleanUp = [this] {
        // Input only: the output may still hold the transfer's last acknowledgement or cancel.
        m_link.port().flushInBuffer();
        m_link.ResumeTerminal();
        m_claim.reset();
    };
    if (request.sending) {
        m_session.startTransmit(m_request.path, QStringLiteral("XMODEM Transmit"), kXmodemGauge, true,
                                cleanUp);
    } else {
        m_session.startReceive(m_request.path, QStringLiteral("XMODEM Receive"), kXmodemGauge, true, cleanUp);
    }
    return true;
}

void XmodemTransferCommand::onTransferEnd(int code) {
    const xmodem::TApdProtocol& protocol = m_session.protocol();
    const QString shown = QDir::toNativeSeparators(m_request.path);
    if (code == int(xmodem::Result::Ok)) {
        const qint64 size = QFileInfo(m_request.path).size();
        const QString count = groupedCount(size);
        m_result = {LinkStatus::Done, size, m_request.path,
                    m_request.sending
                        ? QStringLiteral("Sent %1 by XMODEM (%2 bytes)").arg(shown, count)
                        : QStringLiteral("Received %1 bytes by XMODEM into %2").arg(count, shown)};
    } else {
        m_result.status =
            code == int(xmodem::Result::LocalCancel) ? LinkStatus::Cancelled : LinkStatus::Failed;
        m_result.bytes = protocol.bytesTransferred();
        m_result.path = m_request.sending ? QString() : protocol.savedPath();
        m_result.message =
            xmodem::XmodemSession::failureMessage(code, !m_request.sending, m_result.bytes, m_result.path);
    }
    emit finished(m_result);
}

}  // namespace orrery::link
