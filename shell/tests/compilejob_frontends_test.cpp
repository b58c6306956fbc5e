// One compile job behind three front ends: the workbench's Syntax check, `loggerlink load` and `qobc`
// compile the same sources to the same image bytes and put a compile error at the same line and column.
// The two tools run as the built binaries, each in a folder of its own.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "compilecommand.h"
#include "compileinfo.h"
#include "editor.h"
#include "editorcontrol.h"
#include "scriptedprompts.h"

using namespace orrery;

namespace {

struct FrontEndResult {
    QByteArray image;  // FILE.bin as written; empty when none was
    int line = 0;      // of the compile error; 0 without one
    int column = 0;
};

QString writeSource(const QTemporaryDir& dir, const QByteArray& text) {
    const QString path = dir.filePath("prog.qob");
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
    return path;
}

QByteArray readImage(const QTemporaryDir& dir) {
    QFile f(dir.filePath("prog.bin"));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// "...prog.qob:LINE:COLUMN: error: ..." as both tools print it.
void takeErrorPlace(const QString& text, FrontEndResult& r) {
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("prog\\.qob:(\\d+):(\\d+): ")).match(text);
    if (m.hasMatch()) {
        r.line = m.captured(1).toInt();
        r.column = m.captured(2).toInt();
    }
}

QString runTool(const QString& program, const QStringList& arguments, const QProcessEnvironment& env) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, arguments);
    EXPECT_TRUE(p.waitForFinished(60000)) << program.toStdString();
    return QString::fromLocal8Bit(p.readAllStandardError());
}

FrontEndResult viaWorkbench(const QByteArray& text) {
    QTemporaryDir dir;
    const QString path = writeSource(dir, text);
    // The file opened in an editor, as the workbench opens it.
    ScriptedPrompts prompts;
    TEditor file(prompts);
    QString error;
    EXPECT_TRUE(file.loadFromFile(path, error)) << error.toStdString();
    EditorControl& editor = file.control();
    shell::TCompileInfoForm summary;
    summary.setRunner([](shell::TCompileInfoForm&) { return true; });
    compiler::CompilerOptions options;
    options.createBinFile = true;
    shell::syntaxCheckCommand(editor, {path, path, editor.text()}, options, prompts, summary);
    FrontEndResult r{readImage(dir)};
    if (!prompts.messages().isEmpty()) {
        takeErrorPlace(prompts.messages().first(), r);
    }
    return r;
}

FrontEndResult viaLoggerlink(const QByteArray& text) {
    QTemporaryDir dir;
    const QString path = writeSource(dir, text);
    QFile store(dir.filePath("orrery.ini"));
    EXPECT_TRUE(store.open(QIODevice::WriteOnly));
    store.write("[Compile]\nCreateBinFile=1\n");
    store.close();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ORRERY_SETTINGS"), store.fileName());
    // No logger on this port: the image is written before the line is opened, and nothing is loaded.
    const QString err = runTool(QStringLiteral(LOGGERLINK_PATH),
                                {"--port", dir.filePath("no-logger-here"), "load", path}, env);
    FrontEndResult r{readImage(dir)};
    takeErrorPlace(err, r);
    return r;
}

FrontEndResult viaQobc(const QByteArray& text) {
    QTemporaryDir dir;
    const QString path = writeSource(dir, text);
    const QString err =
        runTool(QStringLiteral(QOBC_PATH), {"-b", path}, QProcessEnvironment::systemEnvironment());
    FrontEndResult r{readImage(dir)};
    takeErrorPlace(err, r);
    return r;
}

QByteArray example(const char* name) {
    QFile f(QStringLiteral(ORRERY_SOURCE_DIR "/examples/") + QLatin1String(name));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << name;
    return f.readAll();
}

TEST(CompileJobFrontEnds, SameBytesAndSameErrorPlaces) {
    const struct {
        const char* what;
        QByteArray text;
        int line;  // expected error place; 0: the program compiles
        int column;
    } cases[] = {
        {"an example with assembler", example("asm_call.qob"), 0, 0},
        {"an example writing a data file", example("datafile.qob"), 0, 0},
        {"a last line without a line end", "MODEL 700\r\nX = 1\r\nY = X + 2", 0, 0},
        {"a token out of place", "MODEL 700\r\nX = 1\r\n  Total = Total + * I\r\n", 3, 19},
        {"an error at the end of a line", "Y$ = 5\r\n", 1, 7},
        {"an error at the end of the program", "FOR I = 1 TO 2", 2, 1},
    };
    for (const auto& c : cases) {
        const FrontEndResult workbench = viaWorkbench(c.text);
        const FrontEndResult loggerlink = viaLoggerlink(c.text);
        const FrontEndResult qobc = viaQobc(c.text);
        EXPECT_EQ(workbench.line, c.line) << c.what;
        EXPECT_EQ(workbench.column, c.column) << c.what;
        if (c.line == 0) {
            EXPECT_FALSE(workbench.image.isEmpty()) << c.what;
        } else {
            EXPECT_TRUE(workbench.image.isEmpty()) << c.what << ": nothing is written after an error";
        }
        for (const auto& [name, other] : {std::pair{"loggerlink", loggerlink}, std::pair{"qobc", qobc}}) {
            EXPECT_EQ(other.image.toHex(), workbench.image.toHex()) << c.what << ": " << name;
            EXPECT_EQ(other.line, workbench.line) << c.what << ": " << name;
            EXPECT_EQ(other.column, workbench.column) << c.what << ": " << name;
        }
    }
}

}  // namespace
