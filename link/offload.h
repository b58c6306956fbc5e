#pragma once
// The two offload commands: a range of the logger's data memory ("Offload datafile...", byte 0x0F) or
// of its numbered disk files ("Doffload disk...", byte 0x04) brought into a file on the desktop. Both
// ask for the range, then for the destination, send the command byte and the range line, and receive
// the data by XMODEM from the logger (XmodemSession). The command function returns once the transfer
// has started; the claim on the line and the suspended terminal are given back when it ends.
//
// The range line: start and end in lowercase hexadecimal without leading zeros, a comma, CR.
//   start 0, end 0      ->  "0,0\r"
//   start 256, end 4096 ->  "100,1000\r"
// An end of 0 stands for an open end.

#include <QByteArray>
#include <QObject>
#include <QString>
#include <functional>
#include <optional>

#include "loggerlink.h"

namespace orrery::xmodem {
class XmodemSession;
}

namespace orrery::link {

enum class OffloadKind { Serial, Disk };

// What tells the two commands apart, as the user meets it.
struct OffloadTraits {
    const char* rangeCaption;
    const char* startLabel;
    const char* endLabel;
    const char* rangeError;
    const char* saveTitle;
    const char* defaultName;
    const char* progressCaption;
    quint8 command;
    bool waitsForU;  // "U" after the range line (when ConfirmConnect is on)
};
const OffloadTraits& offloadTraits(OffloadKind kind);

QByteArray rangeLine(qint32 start, qint32 end);

// The range dialog: shown with both fields preset to "0"; false when cancelled.
using AskOffloadRange = std::function<bool(OffloadKind kind, QString& startText, QString& endText)>;

// Save dialog filter of the data files.
inline const QString kDataFileFilter = QStringLiteral("Data file (*.dat);;All files (*)");

class OffloadCommand : public QObject {
    Q_OBJECT
public:
    OffloadCommand(LoggerLink& link, xmodem::XmodemSession& session, QObject* parent = nullptr);

    // The whole command from the range dialog on (Offloaddatafile1Click, Doffloaddisk1Click).
    void run(OffloadKind kind, const AskOffloadRange& askRange);
    // From the range on, with the values already known (the loggerlink tool). destination empty: ask
    // through the save dialog. Returns false when the command ended before the transfer started.
    bool start(OffloadKind kind, const QString& startText, const QString& endText, QString destination = {});
    bool inProgress() const { return m_claim.has_value(); }

signals:
    // The transfer ended (0 = complete).
    void finished(int code);

private:
    std::optional<qint32> toValue(const QString& text);
    QString chooseDestination(const OffloadTraits& traits);
    bool mayReplace(const QString& path);
    bool handshake(const OffloadTraits& traits, qint32 start, qint32 end);

    LoggerLink& m_link;
    xmodem::XmodemSession& m_session;
    std::optional<LinkClaim> m_claim;
};

}  // namespace orrery::link
