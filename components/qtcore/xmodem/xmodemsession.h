#pragma once
// One XMODEM transfer as the user sees it: the progress dialog opened with the caller's caption, fed by
// the engine's status events and able to cancel it; at the end the dialog closed, the caller's clean-up
// run (flush the port, give the terminal back, release the line) and, for a transfer that did not
// complete, a message saying what happened, how many bytes moved and where received data was kept.
// A complete transfer ends silently.

#include <QObject>
#include <QString>
#include <functional>

#include "apdprotocol.h"

namespace orrery {
class Prompts;
}

namespace orrery::xmodem {

class XmodemSession : public QObject {
    Q_OBJECT
public:
    XmodemSession(TApdProtocol& protocol, Prompts& prompts, QObject* parent = nullptr);

    // Starts a receive into path (or a send of it). cleanUp runs once when the transfer has ended,
    // before any message.
    void startReceive(const QString& path, const QString& caption, qint64 maximum, bool wrap,
                      std::function<void()> cleanUp);
    void startTransmit(const QString& path, const QString& caption, qint64 maximum, bool wrap,
                       std::function<void()> cleanUp);
    bool inProgress() const { return m_active; }
    const TApdProtocol& protocol() const { return m_protocol; }

    // The message for a transfer that ended with code (empty when it completed).
    static QString failureMessage(int code, bool receiving, qint64 bytes, const QString& savedPath);

signals:
    void finished(int code);

private:
    void begin(const QString& path, const QString& caption, qint64 maximum, bool wrap,
               std::function<void()> cleanUp);
    void onStatus(qint64 bytes);
    void onFinish(int code);

    TApdProtocol& m_protocol;
    Prompts& m_prompts;
    std::function<void()> m_cleanUp;
    bool m_receiving = false;
    bool m_active = false;
};

}  // namespace orrery::xmodem
