#include "mainformmenu.h"

#include <QStringList>

namespace orrery {

namespace {

constexpr MenuEntry kSeparator{nullptr, "", "", ""};

constexpr MenuEntry kFileMenu[] = {
    {"New1", "&New", "", "Create a new file"},
    {"Open1", "&Open...", "F4", "Open an existing file"},
    {"Close1", "&Close", "", "Close current file"},
    kSeparator,
    {"Save1", "&Save", "F2", "Save current file"},
    {"SaveAs1", "Save &As...", "", "Save current file as..."},
    {"Saveall1", "Sa&ve all", "", ""},
    kSeparator,
    {"Print1", "&Print...", "Alt+P", ""},
    kSeparator,
    {"Recent1", "1", "", ""},
    {"Recent2", "2", "", ""},
    {"Recent3", "3", "", ""},
    {"Recent4", "4", "", ""},
    {"Recent5", "5", "", ""},
    {"RecentSeparator", "", "", ""},  // a separator the recent-files rebuild shows and hides
    {"Exit1", "E&xit", "Alt+Q", "Exit the application"},
};

constexpr MenuEntry kEditMenu[] = {
    {"Undo1", "&Undo", "Ctrl+Z", ""},
    kSeparator,
    {"Cut1", "Cu&t", "Ctrl+X", "Cut to clipboard"},
    {"Copy1", "&Copy", "Ctrl+C", "Copy to clipboard"},
    {"Paste1", "&Paste", "Ctrl+V", "Paste from clipboard"},
    {"Clear1", "C&lear", "Ctrl+Del", ""},
    kSeparator,
    {"PasteDatetime1", "Paste &Date/time", "Alt+D", ""},
    kSeparator,
    {"Editoroptions1", "&Editor options...", "", ""},
};

constexpr MenuEntry kSearchMenu[] = {
    {"Find1", "&Find...", "", ""},
    {"Findagain1", "Find &again", "F3", ""},
    {"Replace1", "&Replace...", "", ""},
    kSeparator,
    {"Gotoline1", "&Go to line...", "", ""},
};

constexpr MenuEntry kBrackwaterMenu[] = {
    {"Run1", "&Run", "Alt+R", ""},
    {"Load1", "&Load", "Alt+L", ""},
    {"Syntaxcheck1", "S&yntax check", "Alt+Y", ""},
    kSeparator,
    {"BootEPROM1", "&Boot EPROM", "Alt+B", ""},
    {"Offloaddatafile1", "&Offload datafile...", "Alt+O", ""},
    {"Doffloaddisk1", "&Doffload disk...", "", ""},
    {"RepriseEPROM1", "R&eprise EPROM...", "Alt+E", ""},
    kSeparator,
    {"ViewVariables1", "&View Variables...", "Alt+V", ""},
    {"ModifyVariables1", "&Modify Variables...", "Alt+M", ""},
    kSeparator,
    {"Compileroptions1", "&Compiler options...", "", ""},
};

constexpr MenuEntry kCommPortMenu[] = {
    {"SndfileASCII1", "&Snd file ASCII...", "", ""},
    {"RcvfileASCII1", "&Rcv file ASCII...", "", ""},
    {"SndfileXMODEM1", "Snd file &XMODEM...", "", ""},
    {"RcvfileXMODEM1", "Rcv file X&MODEM...", "", ""},
    kSeparator,
    {"Hexdisplay1", "&Hex display", "Alt+X", "", true},
    {"Capturetofile1", "&Capture to file...", "Alt+Z", "", true},
    {"Portsetup1", "&Port setup...", "Alt+P", ""},
    {"Break1", "Break", "Alt+K", "", true},
    kSeparator,
    {"Clearterminal1", "C&lear terminal", "", ""},
    {"Plotter1", "Pl&otter", "F8", "Plot the numbers in the received text"},
    kSeparator,
    {"Terminaloptions1", "&Terminal options...", "", ""},
    {"ASCIItransferoptions1", "&ASCII transfer options...", "", ""},
};

constexpr MenuEntry kWindowMenu[] = {
    {"Tile1", "&Tile", "", ""},  // submenu
    {"Cascade1", "&Cascade", "", ""},
    {"Next1", "&Next", "F6", ""},
    {"Previous1", "&Previous", "Shift+F6", ""},
};

constexpr MenuEntry kTileMenu[] = {
    {"Horizontal1", "&Horizontal", "", ""},
    {"Vertical1", "&Vertical", "", ""},
};

constexpr MenuEntry kHelpMenu[] = {
    {"About1", "&About", "", ""},
    {"QUOBOLsummary1", "&QUOBOL summary...", "", ""},
    {"Keyboardequivalents1", "&Keyboard equivalents...", "", ""},
};

constexpr MenuDef kMenuBar[] = {
    {"File1", "&File", "File related commands", kFileMenu},
    {"Edit1", "&Edit", "", kEditMenu},
    {"Search1", "&Search", "", kSearchMenu},
    {"Brackwater1", "&Brackwater", "", kBrackwaterMenu},
    {"CommPort1", "&CommPort", "", kCommPortMenu},
    {"Window1", "&Window", "Window related commands such as Tile and Cascade", kWindowMenu},
    {"Help1", "&Help", "Help topics", kHelpMenu},
};

// Rule sets of the command-state update.
const char* const kEditorOnly[] = {"Close1", "Save1", "SaveAs1", "Print1", "Find1", "Findagain1",
                                   "Replace1", "Gotoline1", "Editoroptions1", "Syntaxcheck1"};
const char* const kWindowArrangement[] = {"Cascade1", "Tile1", "Next1", "Previous1"};

}  // namespace

std::span<const MenuDef> menuBarTable() {
    return kMenuBar;
}

std::span<const MenuEntry> tileSubmenuTable() {
    return kTileMenu;
}

QStringList lockKeepCaptions() {
    return {QStringLiteral("E&xit"), QStringLiteral("&Port setup..."), QStringLiteral("&About"),
            QStringLiteral("&Help")};
}

std::optional<bool> CommandState::enabledOf(const QString& name) const {
    std::optional<bool> result;
    for (const auto& [item, on] : enabled) {
        if (item == name) {
            result = on;
        }
    }
    return result;
}

CommandState computeCommandState(const CommandInputs& in) {
    CommandState s;
    auto set = [&s](const char* name, bool on) { s.enabled.append({QString::fromLatin1(name), on}); };
    switch (in.active) {
        case ActiveChild::NoChildren:
            for (const char* name : {"Cut1", "Copy1", "Paste1", "Close1", "Save1", "SaveAs1"}) {
                set(name, false);
            }
            for (const char* name : kWindowArrangement) {
                set(name, false);
            }
            break;
        case ActiveChild::Editor:
            for (const char* name : kEditorOnly) {
                set(name, true);
            }
            for (const char* name : kWindowArrangement) {
                set(name, true);
            }
            set("Cut1", in.hasSelection);
            set("Copy1", in.hasSelection);
            set("Clear1", in.hasSelection);
            set("Undo1", in.canUndo);
            set("Paste1", in.clipboardHasText);
            s.shortcuts = EditShortcuts::Editor;
            break;
        case ActiveChild::OtherChild:
            set("Copy1", true);
            for (const char* name : kWindowArrangement) {
                set(name, true);
            }
            set("Paste1", in.clipboardHasText);
            for (const char* name : kEditorOnly) {
                set(name, false);
            }
            set("Cut1", false);
            set("Clear1", false);
            set("Undo1", false);
            s.shortcuts = EditShortcuts::None;
            break;
        case ActiveChild::NoneActive:
            break;
    }
    return s;
}

}  // namespace orrery
