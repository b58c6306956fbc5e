#pragma once
// Connects the offload commands (Brackwater menu) and the terminal's file transfers (CommPort menu) to
// the main window: the XMODEM engine bound to the port (ApdProtocol1), the session around it, the range
// and options dialogs, the settings of section "Transfer" and the folder of offloaded files.

#include <functional>
#include <memory>

namespace orrery {

class Prompts;
class TMainForm;

namespace link {
class LoggerLink;
}
namespace terminal {
class TTerminalForm;
class TAsciiOptionsDialog;
}
namespace shell {
class TOffloadRangeDialog;
class TFileExistsForm;
}

// What the transfer commands own; lives as long as the main window.
struct TransferParts;

struct TransferDialogs {
    shell::TOffloadRangeDialog& serialRange;
    shell::TOffloadRangeDialog& diskRange;
    terminal::TAsciiOptionsDialog& asciiOptions;
    shell::TFileExistsForm& fileExists;
};

std::shared_ptr<TransferParts> attachTransfers(TMainForm& form, terminal::TTerminalForm& term,
                                               link::LoggerLink& link, Prompts& prompts,
                                               TransferDialogs dialogs);

}  // namespace orrery
