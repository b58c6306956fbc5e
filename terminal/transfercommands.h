#pragma once
// The terminal's file transfers: XMODEM send and receive (run in the background by the XMODEM session,
// the terminal suspended until it finishes) and ASCII send and receive (synchronous loops with the
// progress dialog), plus the ASCII transfer options. The shell connects them to the CommPort menu.

#include <QObject>
#include <QString>
#include <functional>

#include "asciiloops.h"
#include "asciireceive.h"

namespace orrery {
class Prompts;
}
namespace orrery::serial {
class TApdComPort;
}
namespace orrery::xmodem {
class XmodemSession;
}
namespace orrery::link {
class LoggerLink;
class XmodemTransferCommand;
}  // namespace orrery::link

namespace orrery::terminal {

class TTerminalForm;

// The File Exists question: 0 Overwrite, 1 Append, 2 Make back-up, -1 Cancel.
using AskFileExists = std::function<int(const QString& fileName, int preselectedIndex)>;

struct TransferContext {
    link::LoggerLink& link;
    serial::TApdComPort& port;
    link::XmodemTransferCommand& xmodem;
    Prompts& prompts;
    TTerminalForm& terminal;
    QString& offloadDir;
    AsciiOptions& ascii;
    int& fileExistsAction;
    AskFileExists askFileExists;
    // Takes the line for a transfer (false: another command holds it) and gives it back.
    std::function<bool()> claimLine = [] { return true; };
    std::function<void()> releaseLine = [] {};
    // Says how a finished transfer ended (the main window's status bar).
    std::function<void(const QString&)> reportResult = [](const QString&) {};
};

class TransferCommands {
public:
    explicit TransferCommands(TransferContext context) : m_c(std::move(context)) {}

    void sendXmodem();
    void receiveXmodem();
    void sendAsciiFile();
    void receiveAsciiFile();

private:
    void rememberFolder(const QString& path);

    TransferContext m_c;
};

using link::backupPathFor;

}  // namespace orrery::terminal
