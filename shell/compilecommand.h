#pragma once
// The compile step shared by Syntax check, Load and Run: the active editor's text is compiled with the
// status dialog up ("Tokenizing File"), then the chosen output files are written beside the source
// file (an untitled editor's go to the current folder): the listing with its own status dialog
// ("Creating List file"), the binary image and the symbol file. Each file is complete or absent.

#include <QString>
#include <functional>

#include "compilejob.h"
#include "compiler.h"

namespace orrery {
class EditorControl;
class Prompts;
}  // namespace orrery

namespace orrery::shell {

class TCompileInfoForm;

// What to compile: the editor's text and caption, and its file (empty for an untitled editor).
struct CompileSource {
    QString caption;
    QString filePath;
    QString text;
};

// The folder output files go to: the source file's, or the current folder when there is no file.
QString outputFolderFor(const CompileSource& source);

// The compile job of a source: the text as the editor holds it, one byte per character (so that the
// compiler's columns are the editor's), named by the caption's file name, its outputs going to
// outputFolderFor(source).
compiler::CompileRequest compileRequestFor(const CompileSource& source,
                                           const compiler::CompilerOptions& options);

// The job inputs for a source (the text with CR LF appended, the name, the options' flag and limits),
// for a compile that writes nothing.
compiler::CompileJob makeCompileJob(const CompileSource& source, const compiler::CompilerOptions& options);

// Runs the compile job of a source with the status dialogs up ("Tokenizing File", "Creating List
// file") and names every output file that could not be written. The outcome's ok() tells whether the
// program may be used (loaded); after a compile error nothing is written.
compiler::CompileOutcome runCompileStep(const CompileSource& source, const compiler::CompilerOptions& options,
                                        Prompts& prompts);

// Shows where the compile error is and what it is (compileErrorText) and puts the editor's caret on its
// line and column.
void reportCompileError(EditorControl& editor, const compiler::CompileJob& job, const QString& caption,
                        Prompts& prompts);

// The text of the compile error box: where the error is and what it is, in the form the command-line
// compiler prints ("prog.qob:3:6: parse error"), the file named by the caption's file name.
QString compileErrorText(const compiler::CompileJob& job, const QString& caption);

// The status-bar line of a finished compile step for the command named ("Syntax check", "Load"):
// "Syntax check: no errors in prog.qob (44 bytes of code)", "Load: prog.qob:3:6: parse error", or, when
// an output file could not be written, that the program image is missing.
QString compileResultText(const QString& command, const compiler::CompileJob& job, bool compiled,
                          const QString& caption);

// "S&yntax check": compiles the editor's text; shows the summary, or the error in a message with the
// caret placed on the error's line and column. Returns the status-bar line of how it ended, which is
// also handed to showResult (when given) before the summary or the error box comes up.
QString syntaxCheckCommand(EditorControl& editor, const CompileSource& source,
                           const compiler::CompilerOptions& options, Prompts& prompts,
                           TCompileInfoForm& summary,
                           const std::function<void(const QString&)>& showResult = {});

}  // namespace orrery::shell
