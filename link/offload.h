#pragma once
// The two offload commands: a range of the logger's data memory ("Offload datafile...", byte 0x0F) or
// of its numbered disk files ("Doffload disk...", byte 0x04) brought into a file on the desktop. Each
// sends its command byte and the range line and receives the data by XMODEM from the logger
// (XmodemSession). The command returns once the transfer has started; the claim on the line and the
// suspended terminal are given back when it ends, and finished() says how.
//
// The command asks nothing: the front end (the workbench's dialogs, loggerlink's options) gathers the
// range and the destination, asks whether an existing file may be replaced, and passes the answers in
// an OffloadRequest. Before the first command byte the destination is checked (destination.h), so a
// logger is never set sending into a file that cannot be written.
//
// The range line: start and end in lowercase hexadecimal without leading zeros, a comma, CR.
//   start 0, end 0      ->  "0,0\r"
//   start 256, end 4096 ->  "100,1000\r"
// An end of 0 stands for an open end.

#include <QByteArray>
#include <QObject>
#include <QString>
#include <optional>

#include "linkresult.h"
#include "loggerlink.h"

namespace orrery::xmodem {
class XmodemSession;
}

namespace orrery::link {

enum class OffloadKind { Serial, Disk };

// What tells the two commands apart on the line.
struct OffloadProtocol {
    quint8 command;
    bool waitsForU;  // "U" after the range line
    const char* rangeError;
    const char* progressCaption;
};
const OffloadProtocol& offloadProtocol(OffloadKind kind);

struct OffloadRequest {
    OffloadKind kind = OffloadKind::Serial;
    qint32 start = 0;
    qint32 end = 0;                // 0: open end
    QString destination;           // absolute path of the file to write
    bool replaceExisting = false;  // an existing file under destination may be replaced
};

QByteArray rangeLine(qint32 start, qint32 end);

// The range as typed into the dialog (decimal texts) into the request; empty when it is usable, else
// the message: "'%s' is not a valid integer value", a negative value, or the command's range error.
QString parseOffloadRange(const QString& startText, const QString& endText, OffloadRequest& request);

// Save dialog filter of the data files.
inline const QString kDataFileFilter = QStringLiteral("Data file (*.dat);;All files (*)");

class OffloadCommand : public QObject {
    Q_OBJECT
public:
    OffloadCommand(LoggerLink& link, xmodem::XmodemSession& session, QObject* parent = nullptr);

    // Checks the destination, claims the line and starts the transfer. False when the command ended
    // before the transfer (result() says why; a failure was shown through the prompts); finished()
    // comes only after a true.
    bool start(const OffloadRequest& request);
    bool inProgress() const { return m_claim.has_value(); }
    // How the last command ended (or why it did not start).
    const LinkResult& result() const { return m_result; }

signals:
    // The transfer ended: "Offloaded 5 632 bytes into /home/u/field.dat", or why not.
    void finished(const orrery::link::LinkResult& result);

private:
    bool refuse(LinkStatus status, const QString& message);
    bool handshake(const OffloadProtocol& protocol, const OffloadRequest& request);
    bool takeReply(quint8 expected);
    void onTransferEnd(int code);

    LoggerLink& m_link;
    xmodem::XmodemSession& m_session;
    std::optional<LinkClaim> m_claim;
    LinkResult m_result;
    QString m_destination;
};

}  // namespace orrery::link
