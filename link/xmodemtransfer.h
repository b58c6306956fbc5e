#pragma once
// The terminal's XMODEM transfers as a link command: a file sent to, or received from, whatever is on
// the line (a logger typed into "rx" or "sx" at its prompt, another computer). The command claims the
// line, keeps the terminal off it and runs the XMODEM session; it returns once the transfer has started
// and finished() says how it ended ("Sent x.bin by XMODEM (3 000 064 bytes)").
//
// It asks nothing: the front end chooses the file and, for a receive, whether an existing one may be
// replaced. A received file is checked writable (read-only attribute included) before the transfer
// starts, and arrives under its name only when complete (the engine's ".partial" rule).

#include <QObject>
#include <QString>
#include <optional>

#include "linkresult.h"
#include "loggerlink.h"

namespace orrery::xmodem {
class XmodemSession;
}

namespace orrery::link {

struct XmodemRequest {
    bool sending = false;
    QString path;                  // the file to send, or to receive into
    bool replaceExisting = false;  // receive: an existing file under path may be replaced
};

class XmodemTransferCommand : public QObject {
    Q_OBJECT
public:
    XmodemTransferCommand(LoggerLink& link, xmodem::XmodemSession& session, QObject* parent = nullptr);

    // False when the command ended before the transfer (result() says why; a failure was shown).
    bool start(const XmodemRequest& request);
    const LinkResult& result() const { return m_result; }

signals:
    void finished(const orrery::link::LinkResult& result);

private:
    void onTransferEnd(int code);

    LoggerLink& m_link;
    xmodem::XmodemSession& m_session;
    std::optional<LinkClaim> m_claim;
    XmodemRequest m_request;
    LinkResult m_result;
};

}  // namespace orrery::link
