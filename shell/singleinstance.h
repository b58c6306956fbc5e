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
// The socket lives in the user's private runtime folder ($XDG_RUNTIME_DIR, else a folder
// "orrery-<uid>" of mode 0700 in the temporary folder that this user owns), never in a folder others can
// write to: there a name could be taken, or a file of someone else's removed. ORRERY_INSTANCE names the
// socket inside that folder; an absolute path is used as it stands.
//
// A socket left behind by a crashed instance answers no connection; it is removed and the new instance
// listens in its place. Nothing but a socket is ever removed: when a file or a folder stands at the
// socket's path, the next of a few fixed alternative names ("name.1", "name.2") is used, by the first
// instance to listen and by a second start to find it alike.

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
    // name: the socket's path or its name in the runtime folder; empty for the per-user default.
    explicit SingleInstance(const QString& name = QString(), QObject* parent = nullptr);

    // The socket's path: ORRERY_INSTANCE or "orrery-workbench" in the runtime folder. Empty when there
    // is no private folder to put it in (reason in *error).
    static QString defaultName(QString* error = nullptr);
    // The user's private runtime folder, created if needed; empty when none can be had safely.
    static QString runtimeFolder(QString* error = nullptr);
    // The paths tried in turn, the first one first.
    QStringList candidatePaths() const;
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
    // Another start reached this instance (with or without files): the window should come forward.
    void activated();

private:
    void onNewConnection();
    void readMessages(QLocalSocket* socket);

    bool listenAt(const QString& path);

    QString m_name;
    QString m_error;
    QLocalServer m_server;
};

}  // namespace orrery
