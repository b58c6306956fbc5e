#include "terminallogic.h"

namespace orrery::term {

namespace {
constexpr char kHexDigits[] = "0123456789ABCDEF";
constexpr int kMaxTabSize = 255;

// Stuffed characters that drive the tab set-up phases.
constexpr std::uint8_t kTabSave = 0;
constexpr std::uint8_t kTabMove = 1;
constexpr std::uint8_t kTabApply = 2;
constexpr std::uint8_t kTabEnd = 3;

// Stuffed characters 1..5 are the steps of a hex byte.
constexpr std::uint8_t kHexFirstStep = 1;
constexpr std::uint8_t kHexLastStep = 5;

bool isPrintable(std::uint8_t c) { return c >= 32 && c <= 126; }
}  // namespace

int clampTabSize(int size) { return size >= 1 && size <= kMaxTabSize ? size : kDefaultTabSize; }

TerminalLogic::TerminalLogic(Emulator& emulator) : m_emulator(emulator) { m_emulator.setHook(this); }

TerminalLogic::~TerminalLogic() { m_emulator.setHook(nullptr); }

void TerminalLogic::onChar(std::uint8_t c, bool stuffed, DisplayCommand& command) {
    if (m_tabPhase != TabPhase::None && stuffed && tabSetupChar(c, command)) {
        return;
    }
    if (!m_active) {
        command = DisplayCommand::nothing();
        return;
    }
    if (m_hexDisplay) {
        if (!m_hexStepPending) {
            startHexByte(c, stuffed, command);
        } else if (stuffed && c >= kHexFirstStep && c <= kHexLastStep) {
            hexStep(c, command);
        } else {
            command = DisplayCommand::nothing();
            if (onError) {
                onError(kInternalError1);
            }
        }
        return;
    }
    textChar(c, stuffed, command);
}

bool TerminalLogic::tabSetupChar(std::uint8_t c, DisplayCommand& command) {
    const bool clearing = m_tabPhase == TabPhase::Clearing;
    switch (c) {
        case kTabSave:
            if (!clearing) {
                return false;
            }
            command = DisplayCommand::simple(CommandKind::SaveCursor);
            return true;
        case kTabMove:
            command = DisplayCommand::moveTo(m_tabColumn);
            return true;
        case kTabApply:
            command = DisplayCommand::simple(clearing ? CommandKind::ClearTabStop : CommandKind::SetTabStop);
            return true;
        case kTabEnd:
            m_tabPhase = TabPhase::None;
            command = clearing ? DisplayCommand::moveTo(1) : DisplayCommand::simple(CommandKind::RestoreCursor);
            return true;
        default:
            return false;
    }
}

void TerminalLogic::startHexByte(std::uint8_t b, bool stuffed, DisplayCommand& command) {
    m_hexStepPending = true;
    m_hexByte = b;
    if (!stuffed) {
        capture(b);
    }
    command = DisplayCommand::nothing();
    for (std::uint8_t step = kHexFirstStep; step <= kHexLastStep; ++step) {
        m_emulator.stuff(step);
    }
}

void TerminalLogic::hexStep(std::uint8_t step, DisplayCommand& command) {
    switch (step) {
        case 1:
            command = DisplayCommand::showString(std::uint8_t(kHexDigits[m_hexByte >> 4]),
                                                 std::uint8_t(kHexDigits[m_hexByte & 0x0F]));
            break;
        case 2:
            command = DisplayCommand::moveTo(kHexCharColumn + m_hexColumn);
            break;
        case 3:
            command = DisplayCommand::show(isPrintable(m_hexByte) ? m_hexByte : kUnprintableGlyph);
            break;
        case 4:
            if (m_hexColumn < kHexBytesPerLine - 1) {
                command = DisplayCommand::moveTo(3 * m_hexColumn + 4);
                ++m_hexColumn;
            } else {
                command = DisplayCommand::showString(kCarriageReturn, kLineFeed);
                m_hexColumn = 0;
            }
            break;
        default:
            m_hexStepPending = false;
            command = DisplayCommand::nothing();
            break;
    }
}

void TerminalLogic::textChar(std::uint8_t c, bool stuffed, DisplayCommand& command) {
    if (!stuffed) {
        capture(c);
    }
    if (c == kBell) {
        command = DisplayCommand::nothing();
        if (onBell) {
            onBell();
        }
    } else if (c == kTab) {
        command = DisplayCommand::simple(CommandKind::HorizontalTab);
    }
}

void TerminalLogic::capture(std::uint8_t c) {
    if (m_capturing) {
        m_captured.push_back(c);
    }
}

std::vector<std::uint8_t> TerminalLogic::takeCaptured() {
    std::vector<std::uint8_t> bytes;
    bytes.swap(m_captured);
    return bytes;
}

void TerminalLogic::setHexDisplay(bool on) {
    if (on == m_hexDisplay) {
        return;
    }
    // The line break is stuffed while the display is still (or already) in text mode, so it shows as a
    // plain new line and never as dump bytes.
    if (on) {
        m_emulator.stuff("\r\n");
        m_hexColumn = 0;
        m_hexStepPending = false;
        m_hexDisplay = true;
    } else {
        m_hexDisplay = false;
        m_hexStepPending = false;
        m_emulator.stuff("\r\n");
    }
}

void TerminalLogic::setTabSize(int size, int visibleColumns) {
    m_tabSize = size;
    m_tabPhase = TabPhase::Clearing;
    m_emulator.stuff(kTabSave);
    for (m_tabColumn = 0; m_tabColumn <= visibleColumns - 1; ++m_tabColumn) {
        m_emulator.stuff(kTabMove);
        m_emulator.stuff(kTabApply);
    }
    m_emulator.stuff(kTabEnd);

    m_tabSize = clampTabSize(size);
    m_tabPhase = TabPhase::Setting;
    for (m_tabColumn = 0; m_tabColumn < visibleColumns; m_tabColumn += m_tabSize) {
        m_emulator.stuff(kTabMove);
        m_emulator.stuff(kTabApply);
    }
    m_emulator.stuff(kTabEnd);
    m_tabPhase = TabPhase::None;
}

void TerminalLogic::clear() {
    m_emulator.screen().clear();
    m_hexColumn = 0;
    m_hexStepPending = false;
}

}  // namespace orrery::term
