#include "singleinstance.h"

#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <QtEndian>
#include <sys/stat.h>
#include <unistd.h>

namespace orrery {

namespace {

constexpr int kHeaderSize = 8;
// A path longer than this is not a path; the connection is dropped rather than buffered for ever.
constexpr quint32 kMaxPayload = 64 * 1024;
// Alternative names after the first, for paths taken by something that is not a socket.
constexpr int kAlternatives = 2;

enum class PathKind { Nothing, Socket, Other };

PathKind kindAt(const QString& path) {
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0) {
        return PathKind::Nothing;
    }
    return S_ISSOCK(st.st_mode) ? PathKind::Socket : PathKind::Other;
}

// A folder is private when it is a real folder (no link), this user's, and closed to everyone else.
bool isPrivateFolder(const QString& path) {
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISDIR(st.st_mode) &&
           st.st_uid == ::getuid() && (st.st_mode & 077) == 0;
}

}  // namespace

SingleInstance::SingleInstance(const QString& name, QObject* parent) : QObject(parent) {
    if (name.isEmpty()) {
        m_name = defaultName(&m_error);
    } else if (QDir::isAbsolutePath(name)) {
        m_name = name;
    } else {
        const QString folder = runtimeFolder(&m_error);
        m_name = folder.isEmpty() ? QString() : folder + QLatin1Char('/') + name;
    }
    connect(&m_server, &QLocalServer::newConnection, this, &SingleInstance::onNewConnection);
}

QString SingleInstance::runtimeFolder(QString* error) {
    const QString xdg = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!xdg.isEmpty() && isPrivateFolder(xdg)) {
        return QDir::cleanPath(xdg);
    }
    const QString own = QDir::tempPath() + QStringLiteral("/orrery-%1").arg(::getuid());
    if (kindAt(own) == PathKind::Nothing) {
        ::mkdir(QFile::encodeName(own).constData(), 0700);
    }
    if (isPrivateFolder(own)) {
        return own;
    }
    if (error != nullptr) {
        *error = QStringLiteral("%1 is not a folder of this user's closed to others").arg(own);
    }
    return QString();
}

QString SingleInstance::defaultName(QString* error) {
    QString name = qEnvironmentVariable("ORRERY_INSTANCE");
    if (name.isEmpty()) {
        name = QStringLiteral("orrery-workbench");
    }
    if (QDir::isAbsolutePath(name)) {
        return name;
    }
    const QString folder = runtimeFolder(error);
    return folder.isEmpty() ? QString() : folder + QLatin1Char('/') + name;
}

QStringList SingleInstance::candidatePaths() const {
    if (m_name.isEmpty()) {
        return {};
    }
    QStringList paths{m_name};
    for (int i = 1; i <= kAlternatives; ++i) {
        paths << QStringLiteral("%1.%2").arg(m_name).arg(i);
    }
    return paths;
}

QByteArray SingleInstance::encodeMessage(quint32 id, const QByteArray& payload) {
    QByteArray message(kHeaderSize, '\0');
    qToBigEndian(id, message.data());
    qToBigEndian(quint32(payload.size()), message.data() + 4);
    return message + payload;
}

bool SingleInstance::handOver(const QStringList& canonicalPaths, int timeoutMs) {
    QLocalSocket socket;
    bool connected = false;
    for (const QString& path : candidatePaths()) {
        if (kindAt(path) != PathKind::Socket) {
            continue;
        }
        socket.connectToServer(path);
        if (socket.waitForConnected(timeoutMs)) {
            connected = true;
            break;
        }
        socket.abort();
    }
    if (!connected) {
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
    if (m_name.isEmpty()) {
        return false;  // m_error says why there is no place for the socket
    }
    QStringList taken;
    for (const QString& path : candidatePaths()) {
        switch (kindAt(path)) {
            case PathKind::Other:
                taken << path;
                continue;
            case PathKind::Socket: {
                // Someone answering is a live instance, never to be displaced. Nobody answering means a
                // socket left by a crash, which is removed.
                QLocalSocket probe;
                probe.connectToServer(path);
                if (probe.waitForConnected(500)) {
                    probe.disconnectFromServer();
                    m_error = QStringLiteral("another instance is listening on %1").arg(path);
                    return false;
                }
                if (kindAt(path) == PathKind::Socket) {
                    QFile::remove(path);
                }
                return listenAt(path);
            }
            case PathKind::Nothing:
                return listenAt(path);
        }
    }
    m_error = QStringLiteral("%1 are taken by files that are not sockets").arg(taken.join(QStringLiteral(", ")));
    return false;
}

bool SingleInstance::listenAt(const QString& path) {
    // Without access options the server binds the path itself: with them it would first remove
    // whatever stands there. The folder is private, so the socket needs no permissions of its own.
    if (!m_server.listen(path)) {
        m_error = QStringLiteral("%1: %2").arg(path, m_server.errorString());
        return false;
    }
    m_name = path;
    return true;
}

void SingleInstance::onNewConnection() {
    while (QLocalSocket* socket = m_server.nextPendingConnection()) {
        emit activated();
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
