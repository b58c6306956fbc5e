#include "scriptedprompts.h"

#include <gtest/gtest.h>

using namespace orrery;

TEST(ScriptedPrompts, AnswersInOrderAndRecordsEveryPrompt) {
    ScriptedPrompts p;
    p.answerButton("No");
    p.answerFile("/tmp/a.qob");
    p.answerText("42");

    EXPECT_EQ(p.askYesNoCancel("x.qob has changed, do you wish to save?"), Answer::No);
    EXPECT_EQ(p.saveFileName("Save As", "x.qob", "*.qob"), "/tmp/a.qob");
    QString text;
    EXPECT_TRUE(p.getText("Go to line", "Line:", text));
    EXPECT_EQ(text, "42");
    p.showMessage("Text not found");

    EXPECT_EQ(p.questions(), QStringList{"x.qob has changed, do you wish to save?"});
    EXPECT_EQ(p.messages(), QStringList{"Text not found"});
    EXPECT_TRUE(p.unexpected().isEmpty());
}

TEST(ScriptedPrompts, MissingOrWrongAnswersActAsCancelAndAreReported) {
    ScriptedPrompts p;
    EXPECT_EQ(p.askYesNoCancel("Save?"), Answer::Cancel);  // nothing scripted
    p.answerText("oops");
    EXPECT_EQ(p.openFileName("Open", "/", "*"), QString());  // wrong kind
    p.answerButton("Maybe");
    EXPECT_EQ(p.choose("c", "t", {"&Yes", "&No"}), -1);  // no such button
    EXPECT_EQ(p.unexpected().size(), 3);
}

TEST(ScriptedPrompts, ProgressCancelsAtTheScriptedCall) {
    ScriptedPrompts p;
    p.scriptedProgress().cancelAtCall(2);
    Progress& progress = p.progress();
    progress.start("Loading", 100);
    EXPECT_FALSE(progress.update(10));
    EXPECT_FALSE(progress.add(5));
    EXPECT_TRUE(progress.poll());
    EXPECT_EQ(p.scriptedProgress().value, 15);
    progress.close();
    EXPECT_FALSE(p.scriptedProgress().open);
    EXPECT_EQ(p.scriptedProgress().captions, QStringList{"Loading"});
}
