#pragma once
// Prompts for tests: answers come from a script queued beforehand, and every prompt is recorded.
//
//   ScriptedPrompts p;
//   p.answerButton("Yes");           // the next choose() picks the button captioned "&Yes"
//   p.answerFile("/tmp/out.txt");   // the next save or open dialog returns this path
//   runCommand(p);
//   EXPECT_EQ(p.messages(), QStringList{"Text not found"});
//   EXPECT_TRUE(p.unexpected().isEmpty());
//
// A prompt with no scripted answer (or an answer of the wrong kind) is recorded in unexpected() and
// answered as if the user cancelled, so a test never blocks.

#include <QList>
#include <QVariant>

#include "prompts.h"

namespace orrery {

class ScriptedProgress : public Progress {
public:
    void start(const QString& caption, qint64 maximum, bool wrap = false) override;
    bool update(qint64 value) override;
    bool add(qint64 delta) override;
    bool poll() override;
    void close() override;
    void requestCancel() override { m_cancelRequested = true; }

    // Makes the update/add/poll call with this 0-based index (counted over all three) report Cancel.
    void cancelAtCall(int index) { m_cancelAt = index; }

    QStringList captions;     // caption of every start()
    QList<qint64> maximums;   // maximum of every start()
    qint64 value = 0;         // current value
    bool open = false;        // between start() and close()
    int calls = 0;            // update/add/poll calls so far

private:
    bool cancelRequested();
    int m_cancelAt = -1;
    bool m_cancelRequested = false;
};

class ScriptedPrompts : public Prompts {
public:
    struct Event {
        QString kind;  // "message", "choose", "open", "save", "text"
        QString caption;
        QString text;
        bool asksReplace = false;  // a save dialog that asks before replacing an existing file
    };

    // Queue answers, consumed in order.
    void answerButton(const QString& buttonText);  // matched against button captions without '&'
    void answerIndex(int index);                   // -1 = closed without a choice
    void answerFile(const QString& path);          // empty = cancelled
    void answerText(const QString& text);
    void answerCancel();                           // cancels whatever prompt comes next

    const QList<Event>& events() const { return m_events; }
    QStringList messages() const;     // texts of showMessage() calls, in order
    QStringList questions() const;    // texts of choose() calls, in order
    const QStringList& unexpected() const { return m_unexpected; }
    int pendingAnswers() const { return int(m_script.size()); }

    void showMessage(const QString& text, PromptIcon icon = PromptIcon::None,
                     const QString& caption = QString()) override;
    int choose(const QString& caption, const QString& text, const QStringList& buttons, int defaultButton = 0,
               PromptIcon icon = PromptIcon::Question) override;
    QString openFileName(const QString& caption, const QString& directory, const QString& filter) override;
    QString saveFileName(const QString& caption, const QString& suggestedPath, const QString& filter) override;
    QString saveFileNameNoReplacePrompt(const QString& caption, const QString& suggestedPath,
                                        const QString& filter) override;
    bool getText(const QString& caption, const QString& label, QString& text) override;
    Progress& progress() override { return m_progress; }
    ScriptedProgress& scriptedProgress() { return m_progress; }

private:
    enum class Kind { Button, Index, File, Text, Cancel };
    struct Scripted {
        Kind kind;
        QVariant value;
    };
    bool takeAnswer(Kind wanted, const Event& event, Scripted& out);
    QString fileDialog(const QString& kind, const QString& caption, const QString& text, bool asksReplace = false);

    QList<Scripted> m_script;
    QList<Event> m_events;
    QStringList m_unexpected;
    ScriptedProgress m_progress;
};

}  // namespace orrery
