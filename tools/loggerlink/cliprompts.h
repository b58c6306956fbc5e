#pragma once
// Prompts of the loggerlink tool. Messages go to stderr. The link commands ask nothing (their options
// answer everything in the request), so a question or file dialog that reaches here is printed and
// counts as cancelled: the tool never waits for input. The progress "dialog" is a bar on stderr, drawn only
// when stderr is a terminal; Ctrl+C is its Cancel button (a second Ctrl+C ends the tool at once).

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

    // The port's device, named after the messages about the logger.
    void setDevice(const QString& device) { m_device = device; }

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
    QString m_device;
    QStringList m_messages;
};

// Ctrl+C: the first press asks the running command to cancel (see cancelRequested()), the second ends
// the tool.
void installInterruptHandler();
bool cancelRequested();

}  // namespace orrery::loggerlink
