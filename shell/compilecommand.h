#pragma once
// The compile step shared by Syntax check, Load and Run: the active editor's text is compiled with the
// status dialog up ("Tokenizing File"), then the chosen output files are written beside the source
// file (an untitled editor's go to the current folder): the listing with its own status dialog
// ("Creating List file"), the binary image and the symbol file. Each file is complete or absent.

#include <QString>

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

// The job inputs for a source: the text with CR LF appended, the caption's file name as source name,
// the options' line-number flag and limits.
compiler::CompileJob makeCompileJob(const CompileSource& source, const compiler::CompilerOptions& options);

// Compiles and writes the output files the options ask for. Returns true on success. A listing or
// symbol file that cannot be written is reported and the step goes on; a binary image that cannot be
// written is reported and ends the step as a failure (nothing must load a program whose image
// file the user asked for and did not get). After a compile error nothing is written.
bool runCompileStep(compiler::CompileJob& job, const compiler::CompilerOptions& options,
                    const QString& outputFolder, Prompts& prompts);

// Shows the compile error's message and puts the editor's caret on its line and column.
void reportCompileError(EditorControl& editor, const compiler::CompileJob& job, Prompts& prompts);

// "S&yntax check": compiles the editor's text; shows the summary, or the error in a message with the
// caret placed on the error's line and column.
void syntaxCheckCommand(EditorControl& editor, const CompileSource& source,
                        const compiler::CompilerOptions& options, Prompts& prompts,
                        TCompileInfoForm& summary);

}  // namespace orrery::shell
