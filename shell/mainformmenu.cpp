#include "mainformmenu.h"

#include <QStringList>
#include <cstddef>

namespace orrery {

namespace {

constexpr MenuEntry kSeparator{nullptr, "", "", ""};

constexpr MenuEntry kFileMenu[] = {
    {"New1", "&New", "", "Create a new file", &MenuActions::newFile},
    {"Open1", "&Open...", "F4", "Open an existing file", &MenuActions::open},
    {"Close1", "&Close", "", "Close current file", &MenuActions::close},
    kSeparator,
    {"Save1", "&Save", "F2", "Save current file", &MenuActions::save},
    {"SaveAs1", "Save &As...", "", "Save current file as...", &MenuActions::saveAs},
    {"Saveall1", "Sa&ve all", "", "", &MenuActions::saveAll},
    kSeparator,
    {"Print1", "&Print...", "Alt+P", "", &MenuActions::print},
    kSeparator,
    {"Recent1", "1", "", "", &MenuActions::recent1},
    {"Recent2", "2", "", "", &MenuActions::recent2},
    {"Recent3", "3", "", "", &MenuActions::recent3},
    {"Recent4", "4", "", "", &MenuActions::recent4},
    {"Recent5", "5", "", "", &MenuActions::recent5},
    // a separator the recent-files rebuild shows and hides
    {"RecentSeparator", "", "", "", &MenuActions::recentSeparator},
    {"Exit1", "E&xit", "Alt+Q", "Exit the application", &MenuActions::exit},
};

constexpr MenuEntry kEditMenu[] = {
    {"Undo1", "&Undo", "Ctrl+Z", "", &MenuActions::undo},
    kSeparator,
    {"Cut1", "Cu&t", "Ctrl+X", "Cut to clipboard", &MenuActions::cut},
    {"Copy1", "&Copy", "Ctrl+C", "Copy to clipboard", &MenuActions::copy},
    {"Paste1", "&Paste", "Ctrl+V", "Paste from clipboard", &MenuActions::paste},
    {"Clear1", "C&lear", "Ctrl+Del", "", &MenuActions::clear},
    kSeparator,
    {"PasteDatetime1", "Paste &Date/time", "Alt+D", "", &MenuActions::pasteDateTime},
    kSeparator,
    {"Editoroptions1", "&Editor options...", "", "", &MenuActions::editorOptions},
};

constexpr MenuEntry kSearchMenu[] = {
    {"Find1", "&Find...", "", "", &MenuActions::find},
    {"Findagain1", "Find &again", "F3", "", &MenuActions::findAgain},
    {"Replace1", "&Replace...", "", "", &MenuActions::replace},
    kSeparator,
    {"Gotoline1", "&Go to line...", "", "", &MenuActions::goToLine},
};

constexpr MenuEntry kBrackwaterMenu[] = {
    {"Run1", "&Run", "Alt+R", "", &MenuActions::run},
    {"Load1", "&Load", "Alt+L", "", &MenuActions::load},
    {"Syntaxcheck1", "S&yntax check", "Alt+Y", "", &MenuActions::syntaxCheck},
    kSeparator,
    {"BootEPROM1", "&Boot EPROM", "Alt+B", "", &MenuActions::bootEprom},
    {"Offloaddatafile1", "&Offload datafile...", "Alt+O", "", &MenuActions::offloadDataFile},
    {"Doffloaddisk1", "&Doffload disk...", "", "", &MenuActions::doffloadDisk},
    {"RepriseEPROM1", "R&eprise EPROM...", "Alt+E", "", &MenuActions::repriseEprom},
    kSeparator,
    {"ViewVariables1", "&View Variables...", "Alt+V", "", &MenuActions::viewVariables},
    {"ModifyVariables1", "&Modify Variables...", "Alt+M", "", &MenuActions::modifyVariables},
    kSeparator,
    {"Compileroptions1", "&Compiler options...", "", "", &MenuActions::compilerOptions},
};

constexpr MenuEntry kCommPortMenu[] = {
    {"SndfileASCII1", "&Snd file ASCII...", "", "", &MenuActions::sndFileAscii},
    {"RcvfileASCII1", "&Rcv file ASCII...", "", "", &MenuActions::rcvFileAscii},
    {"SndfileXMODEM1", "Snd file &XMODEM...", "", "", &MenuActions::sndFileXmodem},
    {"RcvfileXMODEM1", "Rcv file X&MODEM...", "", "", &MenuActions::rcvFileXmodem},
    kSeparator,
    {"Hexdisplay1", "&Hex display", "Alt+X", "", &MenuActions::hexDisplay, true},
    {"Capturetofile1", "&Capture to file...", "Alt+Z", "", &MenuActions::captureToFile, true},
    {"Portsetup1", "&Port setup...", "Alt+P", "", &MenuActions::portSetup},
    {"Break1", "Break", "Alt+K", "", &MenuActions::lineBreak, true},
    kSeparator,
    {"Clearterminal1", "C&lear terminal", "", "", &MenuActions::clearTerminal},
    {"Plotter1", "Pl&otter", "F8", "Plot the numbers in the received text", &MenuActions::plotter},
    kSeparator,
    {"Terminaloptions1", "&Terminal options...", "", "", &MenuActions::terminalOptions},
    {"ASCIItransferoptions1", "&ASCII transfer options...", "", "", &MenuActions::asciiTransferOptions},
};

constexpr MenuEntry kWindowMenu[] = {
    {"Tile1", "&Tile", "", "", &MenuActions::tile},  // submenu
    {"Cascade1", "&Cascade", "", "", &MenuActions::cascade},
    {"Next1", "&Next", "F6", "", &MenuActions::next},
    {"Previous1", "&Previous", "Shift+F6", "", &MenuActions::previous},
};

constexpr MenuEntry kTileMenu[] = {
    {"Horizontal1", "&Horizontal", "", "", &MenuActions::horizontal},
    {"Vertical1", "&Vertical", "", "", &MenuActions::vertical},
};

constexpr MenuEntry kHelpMenu[] = {
    {"About1", "&About", "", "", &MenuActions::about},
    {"QUOBOLsummary1", "&QUOBOL summary...", "", "", &MenuActions::quobolSummary},
    {"Keyboardequivalents1", "&Keyboard equivalents...", "", "", &MenuActions::keyboardEquivalents},
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
constexpr MenuItem kEditorOnly[] = {
    &MenuActions::close,         &MenuActions::save,       &MenuActions::saveAs,  &MenuActions::print,
    &MenuActions::find,          &MenuActions::findAgain,  &MenuActions::replace, &MenuActions::goToLine,
    &MenuActions::editorOptions, &MenuActions::syntaxCheck};
constexpr MenuItem kWindowArrangement[] = {&MenuActions::cascade, &MenuActions::tile, &MenuActions::next,
                                           &MenuActions::previous};

// Every member of MenuActions is filled by exactly one entry of the tables.
constexpr std::size_t itemCount(std::span<const MenuEntry> entries) {
    std::size_t n = 0;
    for (const MenuEntry& e : entries) {
        n += e.item != nullptr ? 1 : 0;
    }
    return n;
}
static_assert(itemCount(kFileMenu) + itemCount(kEditMenu) + itemCount(kSearchMenu) +
                      itemCount(kBrackwaterMenu) + itemCount(kCommPortMenu) + itemCount(kWindowMenu) +
                      itemCount(kTileMenu) + itemCount(kHelpMenu) ==
                  sizeof(MenuActions) / sizeof(QAction*),
              "a menu item without a member, or a member without an item");

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

std::optional<bool> CommandState::enabledOf(MenuItem wanted) const {
    std::optional<bool> result;
    for (const auto& [item, on] : enabled) {
        if (item == wanted) {
            result = on;
        }
    }
    return result;
}

CommandState computeCommandState(const CommandInputs& in) {
    CommandState s;
    auto set = [&s](MenuItem item, bool on) { s.enabled.append({item, on}); };
    switch (in.active) {
        case ActiveChild::NoChildren:
            for (const MenuItem item : {&MenuActions::cut, &MenuActions::copy, &MenuActions::paste,
                                        &MenuActions::close, &MenuActions::save, &MenuActions::saveAs}) {
                set(item, false);
            }
            for (const MenuItem item : kWindowArrangement) {
                set(item, false);
            }
            break;
        case ActiveChild::Editor:
            for (const MenuItem item : kEditorOnly) {
                set(item, true);
            }
            for (const MenuItem item : kWindowArrangement) {
                set(item, true);
            }
            set(&MenuActions::cut, in.hasSelection);
            set(&MenuActions::copy, in.hasSelection);
            set(&MenuActions::clear, in.hasSelection);
            set(&MenuActions::undo, in.canUndo);
            set(&MenuActions::paste, in.clipboardHasText);
            s.shortcuts = EditShortcuts::Editor;
            break;
        case ActiveChild::OtherChild:
            set(&MenuActions::copy, true);
            for (const MenuItem item : kWindowArrangement) {
                set(item, true);
            }
            set(&MenuActions::paste, in.clipboardHasText);
            for (const MenuItem item : kEditorOnly) {
                set(item, false);
            }
            set(&MenuActions::cut, false);
            set(&MenuActions::clear, false);
            set(&MenuActions::undo, false);
            s.shortcuts = EditShortcuts::None;
            break;
        case ActiveChild::NoneActive:
            break;
    }
    return s;
}

}  // namespace orrery
