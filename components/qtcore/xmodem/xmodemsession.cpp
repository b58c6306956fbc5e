#include "xmodemsession.h"

#include <QDir>

#include "prompts.h"

namespace orrery::xmodem {

XmodemSession::XmodemSession(TApdProtocol& protocol, Prompts& prompts, QObject* parent)
    : QObject(parent), m_protocol(protocol), m_prompts(prompts) {
    connect(&m_protocol, &TApdProtocol::protocolStatus, this, &XmodemSession::onStatus);
    connect(&m_protocol, &TApdProtocol::protocolFinish, this, &XmodemSession::onFinish);
}

void XmodemSession::begin(const QString& path, const QString& caption, qint64 maximum, bool wrap,
                          std::function<void()> cleanUp) {
    m_cleanUp = std::move(cleanUp);
    m_active = true;
    m_protocol.setFileMask(path);
    m_protocol.setFileName(path);
    m_protocol.setProtocolType(ProtocolType::Xmodem);
    Progress& progress = m_prompts.progress();
    progress.start(caption, maximum, wrap);
}

void XmodemSession::startReceive(const QString& path, const QString& caption, qint64 maximum, bool wrap,
                                 std::function<void()> cleanUp) {
    m_receiving = true;
    begin(path, caption, maximum, wrap, std::move(cleanUp));
    m_protocol.startReceive();
}

void XmodemSession::startTransmit(const QString& path, const QString& caption, qint64 maximum, bool wrap,
                                  std::function<void()> cleanUp) {
    m_receiving = false;
    begin(path, caption, maximum, wrap, std::move(cleanUp));
    m_protocol.startTransmit();
}

void XmodemSession::onStatus(qint64 bytes) {
    if (m_active && m_prompts.progress().update(bytes)) {
        m_protocol.cancelProtocol();
    }
}

void XmodemSession::onFinish(int code) {
    if (!m_active) {
        return;
    }
    m_active = false;
    m_prompts.progress().close();
    if (auto cleanUp = std::exchange(m_cleanUp, nullptr)) {
        cleanUp();
    }
    const QString message =
        failureMessage(code, m_receiving, m_protocol.bytesTransferred(), m_protocol.savedPath());
    if (!message.isEmpty()) {
        m_prompts.showMessage(message, PromptIcon::Warning);
    }
    emit finished(code);
}

QString XmodemSession::failureMessage(int code, bool receiving, qint64 bytes, const QString& savedPath) {
    if (code == int(Result::Ok)) {
        return {};
    }
    const QString what = QString::fromLatin1(describe(Result(code)));
    if (!receiving) {
        return QStringLiteral("XMODEM transfer failed: %1.\n%2 bytes were sent.").arg(what).arg(bytes);
    }
    if (savedPath.isEmpty()) {
        return QStringLiteral("XMODEM transfer failed: %1.\nNothing was received.").arg(what);
    }
    return QStringLiteral("XMODEM transfer failed: %1.\n%2 bytes were received and kept in\n%3")
        .arg(what)
        .arg(bytes)
        .arg(QDir::toNativeSeparators(savedPath));
}

}  // namespace orrery::xmodem
