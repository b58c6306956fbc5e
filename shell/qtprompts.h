#pragma once
// Prompts answered by the user through Qt dialogs: message boxes, open and save dialogs, a text field,
// and the shared progress dialog.

#include <QPointer>
#include <QWidget>
#include <memory>

#include "prompts.h"

class QFileDialog;
class QMessageBox;
class QProgressDialog;

namespace orrery {

// Makes a message box at least as wide as its caption needs, so that the title is never cut short.
void widenToCaption(QMessageBox& box);
// The width a window needs for its title to show in full beside the title bar's icon and buttons.
int widthForTitle(const QWidget& window);
// Makes any dialog at least that wide (the workbench does this for every dialog it shows).
void widenToTitle(QWidget& window);

// Qt's own file dialog, where it stands in for the desktop's, opens wide enough for the columns of its
// detail view: the whole size ("473 bytes"), type and date with time, beside the places list.
void fitFileDialogColumns(QFileDialog& dialog);

// A plain progress dialog used until the workbench's own status dialog is handed in.
class SimpleProgress : public Progress {
public:
    explicit SimpleProgress(QWidget* parent) : m_parent(parent) {}
    ~SimpleProgress() override;
    void start(const QString& caption, qint64 maximum, bool wrap = false) override;
    bool update(qint64 value) override;
    bool add(qint64 delta) override;
    bool poll() override;
    void close() override;
    void requestCancel() override;

private:
    void show(qint64 value);
    QWidget* m_parent;
    QPointer<QProgressDialog> m_dialog;
    qint64 m_maximum = 0;
    qint64 m_value = 0;
    bool m_wrap = false;
};

class QtPrompts : public Prompts {
public:
    explicit QtPrompts(QWidget* parent = nullptr);
    void setParent(QWidget* parent) { m_parent = parent; }
    // The progress dialog to hand out from progress(); the built-in one when null.
    void setProgress(Progress* progress) { m_progress = progress; }
    // Whether the save dialog asks before overwriting an existing file (the receive commands ask their
    // own question and switch it off).
    void setConfirmOverwrite(bool confirm) { m_confirmOverwrite = confirm; }

    void showMessage(const QString& text, PromptIcon icon = PromptIcon::None,
                     const QString& caption = QString()) override;
    int choose(const QString& caption, const QString& text, const QStringList& buttons, int defaultButton = 0,
               PromptIcon icon = PromptIcon::Question) override;
    QString openFileName(const QString& caption, const QString& directory, const QString& filter) override;
    QString saveFileName(const QString& caption, const QString& suggestedPath, const QString& filter) override;
    QString saveFileNameNoReplacePrompt(const QString& caption, const QString& suggestedPath,
                                        const QString& filter) override;
    bool getText(const QString& caption, const QString& label, QString& text) override;
    Progress& progress() override;

private:
    QWidget* m_parent;
    Progress* m_progress = nullptr;
    std::unique_ptr<SimpleProgress> m_fallback;
    bool m_confirmOverwrite = true;
};

}  // namespace orrery
