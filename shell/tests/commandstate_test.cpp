// The command-state rules on plain inputs.
#include <gtest/gtest.h>

#include "mainformmenu.h"
#include "menuitems.h"

using namespace orrery;

namespace {

TEST(CommandState, RulesPerActiveChild) {
    const char* U = nullptr;  // unchanged
    const struct {
        const char* what;
        CommandInputs in;
        // Expected state of each item: "1" enabled, "0" disabled, nullptr unchanged.
        std::map<std::string, const char*> expect;
        EditShortcuts shortcuts;
    } cases[] = {
        {"no children",
         {ActiveChild::NoChildren, true, true, true},
         {{"Cut1", "0"}, {"Copy1", "0"}, {"Paste1", "0"}, {"Close1", "0"}, {"Save1", "0"}, {"SaveAs1", "0"},
          {"Cascade1", "0"}, {"Tile1", "0"}, {"Next1", "0"}, {"Previous1", "0"}, {"Undo1", U}, {"Print1", U},
          {"Find1", U}, {"Saveall1", U}, {"Clear1", U}},
         EditShortcuts::Unchanged},
        {"editor with selection, undo and clipboard text",
         {ActiveChild::Editor, true, true, true},
         {{"Close1", "1"}, {"Save1", "1"}, {"SaveAs1", "1"}, {"Print1", "1"}, {"Find1", "1"}, {"Findagain1", "1"},
          {"Replace1", "1"}, {"Gotoline1", "1"}, {"Editoroptions1", "1"}, {"Syntaxcheck1", "1"}, {"Cascade1", "1"},
          {"Tile1", "1"}, {"Next1", "1"}, {"Previous1", "1"}, {"Cut1", "1"}, {"Copy1", "1"}, {"Clear1", "1"},
          {"Undo1", "1"}, {"Paste1", "1"}, {"Saveall1", U}, {"Run1", U}},
         EditShortcuts::Editor},
        {"editor without selection, undo or clipboard",
         {ActiveChild::Editor, false, false, false},
         {{"Cut1", "0"}, {"Copy1", "0"}, {"Clear1", "0"}, {"Undo1", "0"}, {"Paste1", "0"}, {"Save1", "1"}},
         EditShortcuts::Editor},
        {"terminal with clipboard text",
         {ActiveChild::OtherChild, true, true, true},
         {{"Copy1", "1"}, {"Cascade1", "1"}, {"Tile1", "1"}, {"Next1", "1"}, {"Previous1", "1"}, {"Paste1", "1"},
          {"Close1", "0"}, {"Save1", "0"}, {"SaveAs1", "0"}, {"Print1", "0"}, {"Find1", "0"}, {"Findagain1", "0"},
          {"Replace1", "0"}, {"Gotoline1", "0"}, {"Cut1", "0"}, {"Clear1", "0"}, {"Undo1", "0"},
          {"Editoroptions1", "0"}, {"Syntaxcheck1", "0"}, {"Saveall1", U}},
         EditShortcuts::None},
        {"terminal, empty clipboard", {ActiveChild::OtherChild, false, false, false}, {{"Paste1", "0"}},
         EditShortcuts::None},
        {"children but none active",
         {ActiveChild::NoneActive, true, true, true},
         {{"Cut1", U}, {"Copy1", U}, {"Close1", U}, {"Cascade1", U}},
         EditShortcuts::Unchanged},
    };
    for (const auto& c : cases) {
        const CommandState s = computeCommandState(c.in);
        EXPECT_EQ(s.shortcuts, c.shortcuts) << c.what;
        for (const auto& [name, want] : c.expect) {
            const std::optional<bool> got = s.enabledOf(menuSlot(QString::fromStdString(name)));
            if (want == nullptr) {
                EXPECT_FALSE(got.has_value()) << c.what << ": " << name;
            } else {
                ASSERT_TRUE(got.has_value()) << c.what << ": " << name;
                EXPECT_EQ(*got, want[0] == '1') << c.what << ": " << name;
            }
        }
    }
}

TEST(CommandState, TableNamesAreUniqueAndKeptCaptionsExist) {
    QStringList names;
    QStringList captions;
    QList<MenuItem> items;
    for (const MenuDef& def : menuBarTable()) {
        for (const MenuEntry& e : def.entries) {
            if (e.name != nullptr) {
                EXPECT_FALSE(names.contains(e.name)) << e.name;
                EXPECT_FALSE(items.contains(e.item)) << e.name;
                names << e.name;
                items << e.item;
                captions << e.caption;
            }
        }
    }
    for (const QString& keep : lockKeepCaptions()) {
        if (keep != "&Help") {  // a menu title, never an item
            EXPECT_TRUE(captions.contains(keep)) << keep.toStdString();
        }
    }
    // Every item a rule names exists in the table.
    const CommandState all = computeCommandState({ActiveChild::OtherChild, true, true, true});
    for (const auto& [item, on] : all.enabled) {
        EXPECT_TRUE(items.contains(item));
    }
}

}  // namespace
