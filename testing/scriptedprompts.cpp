#include "scriptedprompts.h"

namespace orrery {

namespace {
QString withoutAccelerator(QString caption) {
    return caption.remove(QLatin1Char('&'));
}
}  // namespace

void ScriptedProgress::start(const QString& caption, qint64 maximum, bool) {
    captions << caption;
    maximums << maximum;
    value = 0;
    open = true;
    m_cancelRequested = false;
}

bool ScriptedProgress::cancelRequested() {
    return calls++ == m_cancelAt || m_cancelRequested;
}

bool ScriptedProgress::update(qint64 v) {
    value = v;
    return cancelRequested();
}

bool ScriptedProgress::add(qint64 delta) {
    value += delta;
    return cancelRequested();
}

bool ScriptedProgress::poll() {
    return cancelRequested();
}

void ScriptedProgress::close() {
    open = false;
}

void ScriptedPrompts::answerButton(const QString& buttonText) {
    m_script.append({Kind::Button, withoutAccelerator(buttonText)});
}
void ScriptedPrompts::answerIndex(int index) {
    m_script.append({Kind::Index, index});
}
void ScriptedPrompts::answerFile(const QString& path) {
    m_script.append({Kind::File, path});
}
void ScriptedPrompts::answerText(const QString& text) {
    m_script.append({Kind::Text, text});
}
void ScriptedPrompts::answerCancel() {
    m_script.append({Kind::Cancel, {}});
}

QStringList ScriptedPrompts::messages() const {
    QStringList out;
    for (const Event& e : m_events) {
        if (e.kind == QLatin1String("message")) out << e.text;
    }
    return out;
}

QStringList ScriptedPrompts::questions() const {
    QStringList out;
    for (const Event& e : m_events) {
        if (e.kind == QLatin1String("choose")) out << e.text;
    }
    return out;
}

bool ScriptedPrompts::takeAnswer(Kind wanted, const Event& event, Scripted& out) {
    if (m_script.isEmpty()) {
        m_unexpected << QStringLiteral("%1 with no scripted answer: %2").arg(event.kind, event.text);
        return false;
    }
    out = m_script.takeFirst();
    if (out.kind == Kind::Cancel) return false;
    // A button may be answered by caption or by index.
    const bool fits = out.kind == wanted || (wanted == Kind::Button && out.kind == Kind::Index);
    if (!fits) {
        m_unexpected << QStringLiteral("%1 got an answer of another kind: %2").arg(event.kind, event.text);
        return false;
    }
    return true;
}

void ScriptedPrompts::showMessage(const QString& text, PromptIcon, const QString& caption) {
    m_events.append({QStringLiteral("message"), caption, text});
}

int ScriptedPrompts::choose(const QString& caption, const QString& text, const QStringList& buttons, int,
                            PromptIcon) {
    const Event event{QStringLiteral("choose"), caption, text};
    m_events.append(event);
    Scripted answer;
    if (!takeAnswer(Kind::Button, event, answer)) return -1;
    if (answer.kind == Kind::Index) return answer.value.toInt();
    for (int i = 0; i < buttons.size(); ++i) {
        if (withoutAccelerator(buttons[i]) == answer.value.toString()) return i;
    }
    m_unexpected << QStringLiteral("no button \"%1\" in: %2").arg(answer.value.toString(), text);
    return -1;
}

QString ScriptedPrompts::fileDialog(const QString& kind, const QString& caption, const QString& text,
                                    bool asksReplace) {
    const Event event{kind, caption, text, asksReplace};
    m_events.append(event);
    Scripted answer;
    if (!takeAnswer(Kind::File, event, answer)) return QString();
    return answer.value.toString();
}

QString ScriptedPrompts::openFileName(const QString& caption, const QString& directory, const QString&) {
    return fileDialog(QStringLiteral("open"), caption, directory);
}

QString ScriptedPrompts::saveFileName(const QString& caption, const QString& suggestedPath, const QString&) {
    return fileDialog(QStringLiteral("save"), caption, suggestedPath, true);
}

QString ScriptedPrompts::saveFileNameNoReplacePrompt(const QString& caption, const QString& suggestedPath,
                                                     const QString&) {
    return fileDialog(QStringLiteral("save"), caption, suggestedPath, false);
}

bool ScriptedPrompts::getText(const QString& caption, const QString& label, QString& text) {
    const Event event{QStringLiteral("text"), caption, label};
    m_events.append(event);
    Scripted answer;
    if (!takeAnswer(Kind::Text, event, answer)) return false;
    text = answer.value.toString();
    return true;
}

}  // namespace orrery
