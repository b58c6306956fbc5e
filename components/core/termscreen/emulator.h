#pragma once
// The emulator between the input and the screen: every character, received or stuffed, first passes the
// per-character hook, which may replace the display command the character would produce; then the command
// is carried out on the screen.
//
// Stuffed characters are the terminal's own input: a hook (or the window) pushes them to drive multi-step
// sequences. They are processed before the next received byte, in the order they were stuffed; stuffing
// from outside any processing runs them at once, so a caller can change its state between stuffs.

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "screen.h"

namespace orrery::term {

enum class CommandKind : std::uint8_t {
    Nothing,
    ShowChar,
    ShowString,  // one or two characters
    MoveToColumn,
    HorizontalTab,
    SaveCursor,
    RestoreCursor,
    ClearTabStop,
    SetTabStop,
};

struct DisplayCommand {
    CommandKind kind = CommandKind::ShowChar;
    std::uint8_t text[2] = {0, 0};
    int length = 0;  // of text, for ShowString
    int column = 0;  // for MoveToColumn

    static DisplayCommand nothing() { return {CommandKind::Nothing}; }
    static DisplayCommand show(std::uint8_t c) { return {CommandKind::ShowChar, {c, 0}, 1}; }
    static DisplayCommand showString(std::uint8_t a, std::uint8_t b) {
        return {CommandKind::ShowString, {a, b}, 2};
    }
    static DisplayCommand moveTo(int column) { return {CommandKind::MoveToColumn, {0, 0}, 0, column}; }
    static DisplayCommand simple(CommandKind kind) { return {kind}; }
};

class CharHook {
public:
    virtual ~CharHook() = default;
    // Called for every character before it is processed; `command` arrives as "show the character" and
    // may be replaced. `stuffed` tells the terminal's own input from received bytes.
    virtual void onChar(std::uint8_t c, bool stuffed, DisplayCommand& command) = 0;
};

class Emulator {
public:
    explicit Emulator(Screen& screen) : m_screen(screen) {}

    Screen& screen() { return m_screen; }
    const Screen& screen() const { return m_screen; }
    void setHook(CharHook* hook) { m_hook = hook; }

    // Processes received bytes, each followed by everything stuffed while it was processed.
    void receive(const std::uint8_t* data, std::size_t count);
    void receive(std::string_view bytes) {
        receive(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    }

    void stuff(std::uint8_t c);
    void stuff(std::string_view chars);

    void execute(const DisplayCommand& command);

private:
    void process(std::uint8_t c, bool stuffed);
    void drainStuffed();

    Screen& m_screen;
    CharHook* m_hook = nullptr;
    std::vector<std::uint8_t> m_stuffed;
    std::size_t m_stuffedNext = 0;
    bool m_processing = false;
};

}  // namespace orrery::term
