#pragma once
// Prompts of the loggerlink tool. Messages go to stderr. Questions and file dialogs take the answers a
// command queued from its options; a question without one is printed and counts as cancelled, so the
// tool never waits for input. The progress "dialog" is a bar on stderr, drawn only when stderr is a
// terminal; Ctrl+C is its Cancel button (a second Ctrl+C ends the tool at once).

#include <QStringList>
#include <iosfwd>

#include "prompts.h"

namespace orrery::loggerlink {

class StderrProgress : public Progress {
public:
    StderrProgress(std::ostream& err, bool draw) : m_err(err), m_draw(draw) {}
    void start(const QString& caption, qint64 maximum, bool wrap = false) override;
    bool update(qint64 value) override;
    bool add(qint64 delta) override;
    bool poll() override;
    void close() override;

private:
    void draw(bool force);
    std::ostream& m_err;
    bool m_draw;
    bool m_open = false;
    bool m_wrap = false;
    QString m_caption;
    qint64 m_maximum = 0;
    qint64 m_value = 0;
    qint64 m_lastDrawnMs = -1000;
};

class CliPrompts : public Prompts {
public:
    CliPrompts(std::ostream& err, bool drawProgress);

    // Answers for the next questions, in order: a button caption (without '&') or a file path.
    void queueButton(const QString& caption) { m_buttons << caption; }
    void queueFile(const QString& path) { m_files << path; }
    void queueText(const QString& text) { m_texts << text; }

    void showMessage(const QString& text, PromptIcon icon = PromptIcon::None,
                     const QString& caption = QString()) override;
    int choose(const QString& caption, const QString& text, const QStringList& buttons, int defaultButton = 0,
               PromptIcon icon = PromptIcon::Question) override;
    QString openFileName(const QString& caption, const QString& directory, const QString& filter) override;
    QString saveFileName(const QString& caption, const QString& suggestedPath,
                         const QString& filter) override;
    bool getText(const QString& caption, const QString& label, QString& text) override;
    Progress& progress() override { return m_progress; }

    // Every message shown, in order.
    const QStringList& messages() const { return m_messages; }

private:
    std::ostream& m_err;
    StderrProgress m_progress;
    QStringList m_buttons;
    QStringList m_files;
    QStringList m_texts;
    QStringList m_messages;
};

// Ctrl+C: the first press asks the running command to cancel (see cancelRequested()), the second ends
// the tool.
void installInterruptHandler();
bool cancelRequested();

}  // namespace orrery::loggerlink
