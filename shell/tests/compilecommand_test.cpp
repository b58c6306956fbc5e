#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>

#include "compilecommand.h"
#include "compileinfo.h"
#include "editorcontrol.h"
#include "qstringprint.h"
#include "scriptedprompts.h"

using namespace orrery;
using namespace orrery::shell;

namespace {

struct Summary {
    bool shown = false;
    QString program, header, variables;
};

void captureSummary(TCompileInfoForm& form, Summary& out) {
    form.setRunner([&out](TCompileInfoForm& f) {
        out.shown = true;
        out.program = f.ProgramSizeLabel->text();
        out.header = f.HeaderSizeLabel->text();
        out.variables = f.VariablesSizeLabel->text();
    });
}

// Runs the current folder elsewhere for one test and restores it.
struct CurrentFolder {
    explicit CurrentFolder(const QString& path) : saved(QDir::currentPath()) { QDir::setCurrent(path); }
    ~CurrentFolder() { QDir::setCurrent(saved); }
    QString saved;
};

TEST(SyntaxCheck, SuccessShowsTheSummaryAndWritesNothingByDefault) {
    const struct {
        const char* text;
        const char* program;
        const char* header;
        const char* variables;
    } cases[] = {
        {"MODEL 700\nX = 1\nY=2\nZ=X+Y", "44", "82", "12"},
        {"X = 1", "13", "14", "4"},
    };
    for (const auto& c : cases) {
        QTemporaryDir dir;
        const QString path = dir.filePath("prog.qob");
        EditorControl editor;
        editor.setText(c.text);
        ScriptedPrompts prompts;
        TCompileInfoForm form;
        Summary summary;
        captureSummary(form, summary);
        syntaxCheckCommand(editor, {path, path, editor.text()}, {}, prompts, form);
        EXPECT_TRUE(summary.shown) << c.text;
        EXPECT_EQ(summary.program, c.program) << c.text;
        EXPECT_EQ(summary.header, c.header) << c.text;
        EXPECT_EQ(summary.variables, c.variables) << c.text;
        EXPECT_TRUE(prompts.messages().isEmpty()) << prompts.messages().join('|').toStdString();
        EXPECT_EQ(prompts.scriptedProgress().captions, QStringList{"Tokenizing File"});
        EXPECT_FALSE(prompts.scriptedProgress().open) << "the status dialog is closed again";
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{}) << "no output file without its option";
    }
}

TEST(SyntaxCheck, FailureShowsTheMessageAndPlacesTheCaret) {
    const struct {
        const char* text;
        int line;
        int column;
        const char* box;
    } cases[] = {
        // The caret lands on the offending token: the second "=", the label's name, the extension's name.
        {"MODEL 700\nX = 1\n  Y = = 2", 3, 7, "bad.qob:3:7: parse error"},
        {"X = 1\n  GOTO Far", 2, 8, "bad.qob:2:8: \"Far\" : Undefined label reference"},
        {"MODEL 510\nEXTENSION Foo", 2, 11, "bad.qob:2:11: command unavailable this model"},
        {"Y = *", 1, 5, "bad.qob:1:5: parse error"},
    };
    for (const auto& c : cases) {
        EditorControl editor;
        editor.setText(c.text);
        editor.setCaretPosition(1, 1);
        ScriptedPrompts prompts;
        TCompileInfoForm form;
        Summary summary;
        captureSummary(form, summary);
        compiler::CompilerOptions options;
        options.createBinFile = true;
        QTemporaryDir dir;
        const QString path = dir.filePath("bad.qob");
        syntaxCheckCommand(editor, {path, path, editor.text()}, options, prompts, form);
        EXPECT_FALSE(summary.shown);
        ASSERT_EQ(prompts.messages().size(), 1);
        EXPECT_EQ(prompts.messages().first(), c.box);
        EXPECT_EQ(editor.caretLine(), c.line);
        EXPECT_EQ(editor.caretColumn(), c.column);
        EXPECT_FALSE(QFile::exists(dir.filePath("bad.bin"))) << "no output after a compile error";
    }
}

TEST(CompileStep, OutputFilesGoBesideTheSource) {
    QTemporaryDir sourceDir, elsewhere;
    CurrentFolder cwd(elsewhere.path());
    compiler::CompilerOptions options;
    options.createListFile = true;
    options.createBinFile = true;
    options.createSymFile = true;
    const QString path = sourceDir.filePath("site.qob");
    const CompileSource source{path, path, "MODEL 700\nX = 1\nY=2"};
    ScriptedPrompts prompts;
    compiler::CompileOutcome outcome = runCompileStep(source, options, prompts);
    ASSERT_TRUE(outcome.ok());
    compiler::CompileJob& job = outcome.job;
    EXPECT_TRUE(prompts.messages().isEmpty()) << prompts.messages().join('|').toStdString();
    EXPECT_EQ(QDir(sourceDir.path()).entryList(QDir::Files), (QStringList{"site.bin", "site.lst", "site.sym"}));
    EXPECT_TRUE(QDir(elsewhere.path()).entryList(QDir::Files).isEmpty());
    EXPECT_EQ(prompts.scriptedProgress().captions, (QStringList{"Tokenizing File", "Creating List file"}));
    QFile bin(sourceDir.filePath("site.bin"));
    ASSERT_TRUE(bin.open(QIODevice::ReadOnly));
    EXPECT_EQ(bin.readAll(), QByteArray(reinterpret_cast<const char*>(job.image.data()), qsizetype(job.image.size())));
    compiler::releaseJob(job);
}

TEST(CompileStep, UntitledEditorWritesToTheCurrentFolderUnderItsCaption) {
    QTemporaryDir cwdDir;
    CurrentFolder cwd(cwdDir.path());
    compiler::CompilerOptions options;
    options.createListFile = true;
    const CompileSource source{"NONAME3", {}, "X = 1"};
    compiler::CompileJob job = makeCompileJob(source, options);
    EXPECT_EQ(job.sourceName, "NONAME3");
    EXPECT_EQ(job.sourceText, "X = 1\r\n");
    ScriptedPrompts prompts;
    ASSERT_TRUE(runCompileStep(source, options, prompts).ok());
    EXPECT_TRUE(QFile::exists(QDir(cwdDir.path()).filePath("NONAME3.lst")));
    compiler::releaseJob(job);
}

TEST(CompileStep, UnwritableOutputsAreReported) {
    const struct {
        bool list, bin, sym;
        bool ok;
        int messages;
    } cases[] = {
        {true, false, true, true, 2},   // listing and symbol file: reported, the step goes on
        {false, true, true, false, 1},  // binary image: reported, the step stops before the symbol file
    };
    for (const auto& c : cases) {
        compiler::CompilerOptions options;
        options.createListFile = c.list;
        options.createBinFile = c.bin;
        options.createSymFile = c.sym;
        const CompileSource source{"/nonexistent-folder/p.qob", "/nonexistent-folder/p.qob", "X = 1"};
        ScriptedPrompts prompts;
        compiler::CompileOutcome outcome = runCompileStep(source, options, prompts);
        compiler::CompileJob& job = outcome.job;
        EXPECT_EQ(outcome.ok(), c.ok);
        ASSERT_EQ(prompts.messages().size(), c.messages);
        for (const QString& m : prompts.messages()) {
            EXPECT_TRUE(m.contains("/nonexistent-folder/p.")) << m.toStdString();
        }
        compiler::releaseJob(job);
    }
}

TEST(CompileStep, EmptyTextCompilesAsALineEnd) {
    const CompileSource source{"NONAME0", {}, ""};
    const compiler::CompileJob job = makeCompileJob(source, {});
    EXPECT_EQ(job.sourceText, "\r\n");
    EXPECT_EQ(job.sourceLength, 2u);
    compiler::CompilerOptions noLines;
    noLines.embedLineNum = false;
    noLines.maxLabels = 7;
    const compiler::CompileJob job2 = makeCompileJob(source, noLines);
    EXPECT_EQ(job2.flags & compiler::kEmbedLineNumbers, 0);
    EXPECT_EQ(job2.maxLabels, 7);
}

}  // namespace
