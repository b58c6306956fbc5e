#pragma once
// The one seam through which commands talk to the user.
//
// Message boxes, yes/no/cancel questions, open and save dialogs and the progress dialog all go through
// Prompts. The workbench implements it with Qt dialogs; tests implement it with ScriptedPrompts, which
// answers from a script and records every text it was shown, so whole commands run headless and never
// block on a modal dialog.

#include <QString>
#include <QStringList>

namespace orrery {

enum class PromptIcon { None, Information, Warning, Error, Question };

// Answers of the standard questions.
enum class Answer { Ok, Cancel, Yes, No };

// A progress dialog with a Cancel button. Long commands update it and poll for Cancel.
class Progress {
public:
    virtual ~Progress() = default;
    // Opens the dialog with a caption and the gauge maximum. In wrap mode the gauge shows the value
    // modulo the maximum instead of capping it.
    virtual void start(const QString& caption, qint64 maximum, bool wrap = false) = 0;
    // Sets the value; returns true when the user pressed Cancel.
    virtual bool update(qint64 value) = 0;
    // Advances the value; returns true when the user pressed Cancel.
    virtual bool add(qint64 delta) = 0;
    // Returns true when the user pressed Cancel (and lets pending events run).
    virtual bool poll() = 0;
    virtual void close() = 0;
    // As if the user pressed Cancel: the running command sees it at its next update, add or poll (the
    // main window does this when it is closed during a transfer).
    virtual void requestCancel() {}
};

class Prompts {
public:
    virtual ~Prompts() = default;

    // A plain message box with an OK button.
    virtual void showMessage(const QString& text, PromptIcon icon = PromptIcon::None,
                             const QString& caption = QString()) = 0;

    // A question with the given buttons; returns the index of the chosen button, or -1 when the dialog
    // was closed without a choice (Escape, window close).
    virtual int choose(const QString& caption, const QString& text, const QStringList& buttons,
                       int defaultButton = 0, PromptIcon icon = PromptIcon::Question) = 0;

    // File dialogs; an empty result means the user cancelled.
    virtual QString openFileName(const QString& caption, const QString& directory,
                                 const QString& filter) = 0;
    virtual QString saveFileName(const QString& caption, const QString& suggestedPath,
                                 const QString& filter) = 0;
    // A save dialog that never asks whether to replace an existing file, for commands that ask their
    // own question about it (the capture's Append/Overwrite). Front ends without such a question in
    // their save dialog need not override it.
    virtual QString saveFileNameNoReplacePrompt(const QString& caption, const QString& suggestedPath,
                                                const QString& filter) {
        return saveFileName(caption, suggestedPath, filter);
    }

    // A line of text (e.g. a number); returns false when the user cancelled.
    virtual bool getText(const QString& caption, const QString& label, QString& text) = 0;

    // The progress dialog shared by long commands.
    virtual Progress& progress() = 0;

    // Conveniences built on choose().
    Answer askYesNoCancel(const QString& text, const QString& caption = QString());
    Answer askYesNo(const QString& text, const QString& caption = QString());
    Answer askOkCancel(const QString& text, const QString& caption = QString());
};

}  // namespace orrery
