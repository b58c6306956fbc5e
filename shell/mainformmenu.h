#pragma once
// The menu bar of the main window as one table: every item with its designer name (its object name),
// caption, shortcut, status-bar hint and the member of MenuActions it fills, in menu order. The window
// builds its menus from this table into one MenuActions; every part of the workbench connects its
// commands to those members (connect(actions.load, &QAction::triggered, ...)), so an item that has no
// member cannot be wired at all and "go to definition" leads from an item to its code.

#include <QList>
#include <QPair>
#include <QString>
#include <array>
#include <optional>
#include <span>

class QAction;

namespace orrery {

// One member per menu item, named after the item.
struct MenuActions {
    // &File
    QAction* newFile = nullptr;
    QAction* open = nullptr;
    QAction* close = nullptr;
    QAction* save = nullptr;
    QAction* saveAs = nullptr;
    QAction* saveAll = nullptr;
    QAction* print = nullptr;
    QAction* recent1 = nullptr;
    QAction* recent2 = nullptr;
    QAction* recent3 = nullptr;
    QAction* recent4 = nullptr;
    QAction* recent5 = nullptr;
    QAction* recentSeparator = nullptr;
    QAction* exit = nullptr;
    // &Edit
    QAction* undo = nullptr;
    QAction* cut = nullptr;
    QAction* copy = nullptr;
    QAction* paste = nullptr;
    QAction* clear = nullptr;
    QAction* pasteDateTime = nullptr;
    QAction* editorOptions = nullptr;
    // &Search
    QAction* find = nullptr;
    QAction* findAgain = nullptr;
    QAction* replace = nullptr;
    QAction* goToLine = nullptr;
    // &Brackwater
    QAction* run = nullptr;
    QAction* load = nullptr;
    QAction* syntaxCheck = nullptr;
    QAction* bootEprom = nullptr;
    QAction* offloadDataFile = nullptr;
    QAction* doffloadDisk = nullptr;
    QAction* repriseEprom = nullptr;
    QAction* viewVariables = nullptr;
    QAction* modifyVariables = nullptr;
    QAction* compilerOptions = nullptr;
    // &CommPort
    QAction* sndFileAscii = nullptr;
    QAction* rcvFileAscii = nullptr;
    QAction* sndFileXmodem = nullptr;
    QAction* rcvFileXmodem = nullptr;
    QAction* hexDisplay = nullptr;
    QAction* captureToFile = nullptr;
    QAction* portSetup = nullptr;
    QAction* lineBreak = nullptr;  // "Break"
    QAction* clearTerminal = nullptr;
    QAction* plotter = nullptr;
    QAction* terminalOptions = nullptr;
    QAction* asciiTransferOptions = nullptr;
    // &Window
    QAction* tile = nullptr;  // the submenu's own item
    QAction* horizontal = nullptr;
    QAction* vertical = nullptr;
    QAction* cascade = nullptr;
    QAction* next = nullptr;
    QAction* previous = nullptr;
    // &Help
    QAction* about = nullptr;
    QAction* quobolSummary = nullptr;
    QAction* keyboardEquivalents = nullptr;

    std::array<QAction*, 5> recentItems() const { return {recent1, recent2, recent3, recent4, recent5}; }
};

using MenuItem = QAction* MenuActions::*;

struct MenuEntry {
    const char* name;      // designer name, e.g. "Open1"; nullptr for a separator
    const char* caption;   // exact caption with its ampersand
    const char* shortcut;  // QKeySequence text, "" for none
    const char* hint;      // status-bar hint, "" for none
    MenuItem item = nullptr;
    bool checkable = false;
};

struct MenuDef {
    const char* name;     // "File1"
    const char* caption;  // "&File"
    const char* hint;
    std::span<const MenuEntry> entries;
};

// The seven top-level menus in order.
std::span<const MenuDef> menuBarTable();
// The items of the "&Tile" submenu.
std::span<const MenuEntry> tileSubmenuTable();

// Items that stay usable while the menu is locked (no port): captions compared exactly.
QStringList lockKeepCaptions();

// What the active-child rules look at; plain values so the rules run without windows.
enum class ActiveChild { NoChildren, Editor, OtherChild, NoneActive };

struct CommandInputs {
    ActiveChild active = ActiveChild::NoChildren;
    bool hasSelection = false;
    bool canUndo = false;
    bool clipboardHasText = false;
};

// Which shortcut set Copy, Cut, Paste and Undo carry: the editor's (Ctrl+C ...) or none, so those keys
// reach the terminal.
enum class EditShortcuts { Unchanged, Editor, None };

struct CommandState {
    QList<QPair<MenuItem, bool>> enabled;  // item -> enabled; items not listed keep their state
    EditShortcuts shortcuts = EditShortcuts::Unchanged;
    std::optional<bool> enabledOf(MenuItem item) const;
};

CommandState computeCommandState(const CommandInputs& in);

}  // namespace orrery
