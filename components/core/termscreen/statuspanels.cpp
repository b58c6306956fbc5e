#include "statuspanels.h"

namespace orrery::term {

std::array<std::string, kStatusPanelCount> statusPanelTexts(const TerminalStatus& s) {
    std::array<std::string, kStatusPanelCount> texts;
    texts[0] = std::to_string(s.baud) + " ";
    texts[1] = "Com " + std::to_string(s.portNumber);
    if (s.portNumber != 0 && !s.portDescription.empty()) {
        texts[1] += " (" + s.portDescription + ")";
    }
    texts[2] = std::string(s.captureOn ? "Capt on-" : "Capt off-") + (s.captureAppend ? "A" : "O");
    texts[3] = s.hexDisplay ? "Hex on" : "Hex off";
    texts[4] = s.scrollback ? "Scroll on" : "Scroll off";
    texts[5] = std::to_string(s.visibleRows) + ":" + std::to_string(s.visibleColumns);
    texts[6] = s.breakOn ? "Break on" : "Break off";
    texts[7] = kStatusPanelDesignTexts[7];
    texts[8] = kStatusPanelDesignTexts[8];
    return texts;
}

int statusPanelAt(int x, const std::array<int, kStatusPanelCount>& widths) {
    if (x < 0) {
        return -1;
    }
    int right = 0;
    for (int panel = 0; panel < kStatusPanelCount; ++panel) {
        right += widths[std::size_t(panel)];
        if (x < right) {
            return panel;
        }
    }
    return -1;
}

StatusAction statusActionFor(int panel, int portNumber) {
    const bool portOpen = portNumber != 0;
    switch (panel) {
        case 0:
        case 1:
            return StatusAction::PortSetup;
        case 2:
            return portOpen ? StatusAction::Capture : StatusAction::None;
        case 3:
            return portOpen ? StatusAction::HexDisplay : StatusAction::None;
        case 4:
            return portOpen ? StatusAction::Scrollback : StatusAction::None;
        case 6:
            return StatusAction::Break;
        case 7:
            return StatusAction::Clear;
        default:
            return StatusAction::None;
    }
}

}  // namespace orrery::term
