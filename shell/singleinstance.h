#pragma once
// One workbench per user. The first instance listens on a per-user local socket; a second start hands
// its command-line files over and ends without touching the serial port.
//
// Each file travels as one message, the way the workbench always handed files over:
//   +-----------------+-----------------+------------------------------+
//   | id: u32 = 101   | length: u32     | UTF-8 path + one zero byte   |
//   +-----------------+-----------------+------------------------------+
// (both integers big-endian; length counts the zero byte). Other ids are ignored.
//
// A socket left behind by a crashed instance answers no connection; it is removed and the new instance
// listens in its place.

#include <QByteArray>
#include <QLocalServer>
#include <QObject>
#include <QStringList>

class QLocalSocket;

namespace orrery {

inline constexpr quint32 kOpenFileMessage = 101;

class SingleInstance : public QObject {
    Q_OBJECT
public:
    // name: the socket name; empty for the per-user default.
    explicit SingleInstance(const QString& name = QString(), QObject* parent = nullptr);

    static QString defaultName();
    // One message as it goes over the socket.
    static QByteArray encodeMessage(quint32 id, const QByteArray& payload);

    // Sends the files to a running instance. True when one was running and took them; false when none
    // is running (this one is the first).
    bool handOver(const QStringList& canonicalPaths, int timeoutMs = 2000);
    // Starts listening, removing a stale socket. False when it cannot (reason in errorString()).
    bool listen();
    QString errorString() const { return m_error; }
    QString serverName() const { return m_name; }

signals:
    void fileReceived(const QString& path);

private:
    void onNewConnection();
    void readMessages(QLocalSocket* socket);

    QString m_name;
    QString m_error;
    QLocalServer m_server;
};

}  // namespace orrery
