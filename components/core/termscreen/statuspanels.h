#pragma once
// The terminal window's status bar: nine panels, their texts from the terminal's state, and which
// command a click on a panel stands for.

#include <array>
#include <string>

namespace orrery::term {

inline constexpr int kStatusPanelCount = 9;
inline constexpr std::array<int, kStatusPanelCount> kStatusPanelWidths{70, 50, 65, 55, 65, 50, 65, 50, 50};
// Texts the panels carry before the first refresh.
inline constexpr std::array<const char*, kStatusPanelCount> kStatusPanelDesignTexts{
    "Protocol", "Com #", "Capture", "Hex mode", "Scrollback", "Row/Col", "Break", "Clear", ""};

struct TerminalStatus {
    long baud = 0;
    int portNumber = 0;
    std::string portDescription;  // what is behind the port ("simulated logger"), shown beside its number
    bool captureOn = false;
    bool captureAppend = true;
    bool hexDisplay = false;
    bool scrollback = false;
    int visibleRows = 0;
    int visibleColumns = 0;
    bool breakOn = false;
};

// Texts of all nine panels (panels 7 and 8 never change).
std::array<std::string, kStatusPanelCount> statusPanelTexts(const TerminalStatus& status);

// The panel under a mouse x position (pixels from the bar's left edge), or -1 outside every panel;
// the panels have the widths given (kStatusPanelWidths unless their texts need more).
int statusPanelAt(int x, const std::array<int, kStatusPanelCount>& widths = kStatusPanelWidths);

enum class StatusAction { None, PortSetup, Capture, HexDisplay, Scrollback, Break, Clear };

// The command of a click on a panel. Capture, hex display and scroll-back need an open port number.
StatusAction statusActionFor(int panel, int portNumber);

}  // namespace orrery::term
