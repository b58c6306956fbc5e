#pragma once
// The menu bar of the main window as one table: every item with its designer name (the key by which
// handlers are connected), caption, shortcut and status-bar hint, in menu order. The window builds its
// menus from this table and the command-state rules below name items by the same keys.

#include <QList>
#include <QPair>
#include <QString>
#include <optional>
#include <span>

namespace orrery {

struct MenuEntry {
    const char* name;      // designer name, e.g. "Open1"; nullptr for a separator
    const char* caption;   // exact caption with its ampersand
    const char* shortcut;  // QKeySequence text, "" for none
    const char* hint;      // status-bar hint, "" for none
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
    QList<QPair<QString, bool>> enabled;  // item name -> enabled; items not listed keep their state
    EditShortcuts shortcuts = EditShortcuts::Unchanged;
    std::optional<bool> enabledOf(const QString& name) const;
};

CommandState computeCommandState(const CommandInputs& in);

}  // namespace orrery
