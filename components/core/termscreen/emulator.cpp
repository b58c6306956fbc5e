#include "emulator.h"

namespace orrery::term {

void Emulator::execute(const DisplayCommand& command) {
    switch (command.kind) {
        case CommandKind::Nothing:
            break;
        case CommandKind::ShowChar:
            m_screen.putChar(command.text[0]);
            break;
        case CommandKind::ShowString:
            m_screen.putString(command.text, command.length < 2 ? command.length : 2);
            break;
        case CommandKind::MoveToColumn:
            m_screen.moveToColumn(command.column);
            break;
        case CommandKind::HorizontalTab:
            m_screen.horizontalTab();
            break;
        case CommandKind::SaveCursor:
            m_screen.saveCursor();
            break;
        case CommandKind::RestoreCursor:
            m_screen.restoreCursor();
            break;
        case CommandKind::ClearTabStop:
            m_screen.clearTabStop();
            break;
        case CommandKind::SetTabStop:
            m_screen.setTabStop();
            break;
    }
}

void Emulator::process(std::uint8_t c, bool stuffed) {
    DisplayCommand command = DisplayCommand::show(c);
    if (m_hook != nullptr) {
        m_hook->onChar(c, stuffed, command);
    }
    execute(command);
}

void Emulator::drainStuffed() {
    // The hook may stuff more while the queue drains; those join the end of the queue.
    while (m_stuffedNext < m_stuffed.size()) {
        const std::uint8_t c = m_stuffed[m_stuffedNext++];
        process(c, true);
    }
    m_stuffed.clear();
    m_stuffedNext = 0;
}

void Emulator::receive(const std::uint8_t* data, std::size_t count) {
    const bool outermost = !m_processing;
    m_processing = true;
    for (std::size_t i = 0; i < count; ++i) {
        process(data[i], false);
        drainStuffed();
    }
    m_processing = !outermost;
}

void Emulator::stuff(std::uint8_t c) {
    m_stuffed.push_back(c);
    if (!m_processing) {
        m_processing = true;
        drainStuffed();
        m_processing = false;
    }
}

void Emulator::stuff(std::string_view chars) {
    for (char c : chars) {
        stuff(static_cast<std::uint8_t>(c));
    }
}

}  // namespace orrery::term
