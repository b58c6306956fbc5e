#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QSettings>
#include <QTemporaryDir>

#include "compileinfo.h"
#include "compileoptions.h"
#include "qstringprint.h"
#include "scriptedprompts.h"

using namespace orrery;
using namespace orrery::shell;

namespace {

TEST(CompileOptionsDialog, CopiesBackInFieldOrderAndStopsAtABadLimit) {
    const struct {
        const char* maxLabels;
        const char* maxAsmLines;
        int expectLabels;
        int expectAsm;
        QStringList messages;
    } cases[] = {
        {"2000", "300", 2000, 300, {}},
        {" 5 ", "7", 5, 7, {}},
        {"abc", "300", 1000, 1000, {"'abc' is not a valid integer value"}},
        {"2000", "x1", 2000, 1000, {"'x1' is not a valid integer value"}},
        {"40000", "300", 1000, 1000, {"Maximum symbols must be between 1 and 32767"}},
        {"10", "0", 10, 1000, {"Maximum ASM lines must be between 1 and 32767"}},
    };
    for (const auto& c : cases) {
        compiler::CompilerOptions options;
        TCompileOptionsDialog dialog;
        dialog.setRunner([&](TCompileOptionsDialog& d) {
            EXPECT_EQ(d.maxLabelsField()->text(), "1000");
            EXPECT_TRUE(d.confirmConnectBox()->isChecked());
            EXPECT_FALSE(d.createListFileBox()->isChecked());
            d.createListFileBox()->setChecked(true);
            d.embedLineNumBox()->setChecked(false);
            d.maxLabelsField()->setText(c.maxLabels);
            d.maxAsmLinesField()->setText(c.maxAsmLines);
            return true;
        });
        ScriptedPrompts prompts;
        EXPECT_TRUE(dialog.run(options, prompts));
        EXPECT_TRUE(options.createListFile) << "check boxes come first and are always copied";
        EXPECT_FALSE(options.embedLineNum);
        EXPECT_EQ(options.maxLabels, c.expectLabels) << c.maxLabels;
        EXPECT_EQ(options.maxAsmLines, c.expectAsm) << c.maxAsmLines;
        EXPECT_EQ(prompts.messages(), c.messages);
    }
}

TEST(CompileOptionsDialog, CancelKeepsTheOptions) {
    compiler::CompilerOptions options;
    TCompileOptionsDialog dialog;
    dialog.setRunner([](TCompileOptionsDialog& d) {
        d.createBinFileBox()->setChecked(true);
        d.maxLabelsField()->setText("junk");
        return false;
    });
    ScriptedPrompts prompts;
    EXPECT_FALSE(dialog.run(options, prompts));
    EXPECT_FALSE(options.createBinFile);
    EXPECT_TRUE(prompts.events().isEmpty());
}

TEST(CompileOptionsDialog, RoundTripThroughTheSettingsStore) {
    QTemporaryDir dir;
    const QString file = dir.filePath("orrery.ini");
    compiler::CompilerOptions options;
    TCompileOptionsDialog dialog;
    dialog.setRunner([](TCompileOptionsDialog& d) {
        d.confirmConnectBox()->setChecked(false);
        d.createBinFileBox()->setChecked(true);
        d.createSymFileBox()->setChecked(true);
        d.caseInsensitiveSymBox()->setChecked(true);
        d.maxLabelsField()->setText("1234");
        d.maxAsmLinesField()->setText("32767");
        return true;
    });
    ScriptedPrompts prompts;
    dialog.run(options, prompts);
    {
        QSettings store(file, QSettings::IniFormat);
        settings::saveCompileSection(store, options);
    }
    {
        QSettings raw(file, QSettings::IniFormat);
        EXPECT_EQ(raw.value("Compile/ConfirmConnect").toString(), "0");
        EXPECT_EQ(raw.value("Compile/CreateBinFile").toString(), "1");
        EXPECT_EQ(raw.value("Compile/MaxLabels").toString(), "1234");
        EXPECT_EQ(raw.value("Compile/MaxAsmLines").toString(), "32767");
    }
    QSettings store(file, QSettings::IniFormat);
    const compiler::CompilerOptions back = settings::loadCompileSection(store);
    EXPECT_FALSE(back.confirmConnect);
    EXPECT_TRUE(back.embedLineNum);
    EXPECT_FALSE(back.createListFile);
    EXPECT_TRUE(back.createBinFile);
    EXPECT_TRUE(back.createSymFile);
    EXPECT_TRUE(back.caseInsensitiveSym);
    EXPECT_EQ(back.maxLabels, 1234);
    EXPECT_EQ(back.maxAsmLines, 32767);

    dialog.setRunner([](TCompileOptionsDialog& d) {
        EXPECT_FALSE(d.confirmConnectBox()->isChecked());
        EXPECT_TRUE(d.caseInsensitiveSymBox()->isChecked());
        EXPECT_EQ(d.maxLabelsField()->text(), "1234");
        return false;
    });
    compiler::CompilerOptions again = back;
    dialog.run(again, prompts);
}

TEST(CompileInfoForm, ShowsTheThreeSizes) {
    compiler::HeaderSummary summary;
    summary.codeSize = 1234;
    summary.headerSize = 82;
    summary.variablesSize = 40;
    TCompileInfoForm form;
    bool shown = false;
    form.setRunner([&](TCompileInfoForm& f) {
        shown = true;
        EXPECT_EQ(f.windowTitle(), "No Errors");
        EXPECT_EQ(f.ProgramSizeLabel->text(), "1234");
        EXPECT_EQ(f.HeaderSizeLabel->text(), "82");
        EXPECT_EQ(f.VariablesSizeLabel->text(), "40");
    });
    form.showSummary(summary);
    EXPECT_TRUE(shown);
}

}  // namespace
