#pragma once
// For tables of cases keyed by an item's designer name (the object name the menus show): the item of
// the menu table with that name.

#include <QString>
#include <stdexcept>
#include <string>

#include "mainform.h"
#include "mainformmenu.h"

namespace orrery {

inline MenuItem menuSlot(const QString& name) {
    auto find = [&name](std::span<const MenuEntry> entries) -> MenuItem {
        for (const MenuEntry& e : entries) {
            if (e.name != nullptr && name == QLatin1String(e.name)) {
                return e.item;
            }
        }
        return nullptr;
    };
    for (const MenuDef& def : menuBarTable()) {
        if (const MenuItem item = find(def.entries)) {
            return item;
        }
    }
    if (const MenuItem item = find(tileSubmenuTable())) {
        return item;
    }
    throw std::invalid_argument("no menu item " + name.toStdString());
}

inline QAction* menuItem(const TMainForm& form, const QString& name) {
    return form.actions().*menuSlot(name);
}

}  // namespace orrery
