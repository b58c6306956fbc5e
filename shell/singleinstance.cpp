#include "singleinstance.h"

#include <QLocalSocket>
#include <QtEndian>
#include <unistd.h>

namespace orrery {

namespace {

constexpr int kHeaderSize = 8;
// A path longer than this is not a path; the connection is dropped rather than buffered for ever.
constexpr quint32 kMaxPayload = 64 * 1024;

}  // namespace

SingleInstance::SingleInstance(const QString& name, QObject* parent)
    : QObject(parent), m_name(name.isEmpty() ? defaultName() : name) {
    connect(&m_server, &QLocalServer::newConnection, this, &SingleInstance::onNewConnection);
}

QString SingleInstance::defaultName() {
    const QString fromEnv = qEnvironmentVariable("ORRERY_INSTANCE");
    if (!fromEnv.isEmpty()) {
        return fromEnv;
    }
    return QStringLiteral("orrery-workbench-%1").arg(::getuid());
}

QByteArray SingleInstance::encodeMessage(quint32 id, const QByteArray& payload) {
    QByteArray message(kHeaderSize, '\0');
    qToBigEndian(id, message.data());
    qToBigEndian(quint32(payload.size()), message.data() + 4);
    return message + payload;
}

bool SingleInstance::handOver(const QStringList& canonicalPaths, int timeoutMs) {
    QLocalSocket socket;
    socket.connectToServer(m_name);
    if (!socket.waitForConnected(timeoutMs)) {
        return false;
    }
    for (const QString& path : canonicalPaths) {
        socket.write(encodeMessage(kOpenFileMessage, path.toUtf8() + '\0'));
    }
    while (socket.bytesToWrite() > 0 && socket.waitForBytesWritten(timeoutMs)) {
    }
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState) {
        socket.waitForDisconnected(timeoutMs);
    }
    return true;
}

bool SingleInstance::listen() {
    // Someone answering is a live instance, never to be displaced (listening with access options
    // replaces an existing socket file silently, so this is checked first). Nobody answering means a
    // socket left by a crash, which is removed.
    QLocalSocket probe;
    probe.connectToServer(m_name);
    if (probe.waitForConnected(500)) {
        probe.disconnectFromServer();
        m_error = QStringLiteral("another instance is listening on %1").arg(m_name);
        return false;
    }
    QLocalServer::removeServer(m_name);
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server.listen(m_name)) {
        m_error = m_server.errorString();
        return false;
    }
    return true;
}

void SingleInstance::onNewConnection() {
    while (QLocalSocket* socket = m_server.nextPendingConnection()) {
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readMessages(socket); });
        connect(socket, &QLocalSocket::disconnected, this, [this, socket] {
            readMessages(socket);
            socket->deleteLater();
        });
        readMessages(socket);
    }
}

void SingleInstance::readMessages(QLocalSocket* socket) {
    // Messages stay in the socket's buffer until they are complete.
    while (socket->bytesAvailable() >= kHeaderSize) {
        const QByteArray header = socket->peek(kHeaderSize);
        const auto id = qFromBigEndian<quint32>(header.constData());
        const auto length = qFromBigEndian<quint32>(header.constData() + 4);
        if (length > kMaxPayload) {
            socket->abort();
            return;
        }
        if (socket->bytesAvailable() < kHeaderSize + qint64(length)) {
            return;
        }
        socket->read(kHeaderSize);
        QByteArray payload = socket->read(length);
        if (id != kOpenFileMessage) {
            continue;
        }
        // The path ends at its zero byte.
        const qsizetype zero = payload.indexOf('\0');
        if (zero >= 0) {
            payload.truncate(zero);
        }
        if (!payload.isEmpty()) {
            emit fileReceived(QString::fromUtf8(payload));
        }
    }
}

}  // namespace orrery
