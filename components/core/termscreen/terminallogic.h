#pragma once
// What the terminal window does with each character: the per-character hook of the emulator.
//
// In priority order: the two tab set-up phases (driven by stuffed characters 0 to 3), an inactive display
// dropping everything, hex display (each received byte laid out by five stuffed steps as a 16-bytes-per-
// line dump), and text mode (bell, tab, everything else shown as itself). Received bytes are collected
// for the capture file while capture is on; the window writes them out after each batch.
//
// A hex dump line:  byte i (0..15) as two digits at columns 3i+1 and 3i+2, its character at column 52+i
// (printable 32..126 as itself, else character 250), CR LF after the sixteenth byte.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "emulator.h"

namespace orrery::term {

inline constexpr int kHexCharColumn = 52;
inline constexpr int kHexBytesPerLine = 16;
inline constexpr std::uint8_t kUnprintableGlyph = 250;
inline constexpr std::uint8_t kBell = 7;
inline constexpr std::uint8_t kTab = 9;
inline constexpr int kDefaultTabSize = 8;
inline constexpr const char* kInternalError1 = "Brackterm internal error #1";

// A tab size outside 1..255 becomes the default.
int clampTabSize(int size);

class TerminalLogic : public CharHook {
public:
    enum class TabPhase { None, Clearing, Setting };

    explicit TerminalLogic(Emulator& emulator);
    ~TerminalLogic() override;
    TerminalLogic(const TerminalLogic&) = delete;
    TerminalLogic& operator=(const TerminalLogic&) = delete;

    void onChar(std::uint8_t c, bool stuffed, DisplayCommand& command) override;

    // Feeds received bytes through the emulator.
    void receive(const std::uint8_t* data, std::size_t count) { m_emulator.receive(data, count); }
    void receive(std::string_view bytes) { m_emulator.receive(bytes); }

    // While inactive, characters that reach the hook are dropped (not shown, not captured).
    bool active() const { return m_active; }
    void setActive(bool active) { m_active = active; }

    // Hex display on or off; each change starts a new line, turning it on restarts the dump line.
    bool hexDisplay() const { return m_hexDisplay; }
    void setHexDisplay(bool on);
    int hexColumn() const { return m_hexColumn; }

    // Capture: while on, received bytes (never the terminal's own stuffed characters) are collected.
    bool capturing() const { return m_capturing; }
    void setCapturing(bool on) { m_capturing = on; }
    // Hands over the bytes collected since the last call.
    std::vector<std::uint8_t> takeCaptured();
    bool hasCaptured() const { return !m_captured.empty(); }

    // Clears the tab stops of the visible columns and sets them at column 1 and every multiple of the
    // (clamped) size below the visible column count; the cursor comes back where it was.
    void setTabSize(int size, int visibleColumns);
    int tabSize() const { return m_tabSize; }
    TabPhase tabPhase() const { return m_tabPhase; }

    // Empties the display and restarts the hex dump line.
    void clear();

    // Called for a bell in text mode, and with the message of an unexpected character in a hex step.
    std::function<void()> onBell;
    std::function<void(const std::string&)> onError;

private:
    bool tabSetupChar(std::uint8_t c, DisplayCommand& command);
    void startHexByte(std::uint8_t b, bool stuffed, DisplayCommand& command);
    void hexStep(std::uint8_t step, DisplayCommand& command);
    void textChar(std::uint8_t c, bool stuffed, DisplayCommand& command);
    void capture(std::uint8_t c);

    Emulator& m_emulator;
    bool m_active = true;
    bool m_hexDisplay = false;
    int m_hexColumn = 0;
    std::uint8_t m_hexByte = 0;
    bool m_hexStepPending = false;
    bool m_capturing = false;
    std::vector<std::uint8_t> m_captured;
    int m_tabSize = kDefaultTabSize;
    TabPhase m_tabPhase = TabPhase::None;
    int m_tabColumn = 0;
};

}  // namespace orrery::term
