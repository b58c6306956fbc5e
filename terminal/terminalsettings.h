#pragma once
// The terminal window's part of the settings store (section "Terminal"): what the main window reads at
// start-up and hands over, and what it takes back at shut-down.

#include <QRect>
#include <QString>

namespace orrery::terminal {

struct TerminalSettings {
    int columns = 128;  // visible columns
    int rows = 128;     // visible rows
    QRect bounds;       // within the main window's client area; empty = leave as placed
    bool maximized = false;
    QString captureFile;
    bool captureAppend = true;
    int tabSize = 8;
    bool cellsStored = false;  // columns and rows come from the store, not from the defaults
};

}  // namespace orrery::terminal
