#include "datetime.h"

#include <QGuiApplication>
#include <QLocale>

#include "editorcontrol.h"

namespace orrery::shell {

QString dateTimeText(const QDateTime& when, bool longForm) {
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    return longForm ? english.toString(when, QStringLiteral("dddd, MMMM dd, yyyy, hh:mm AP"))
                    : english.toString(when, QStringLiteral("MM/dd/yyyy HH:mm:ss"));
}

bool longDateTimeRequested() {
    return QGuiApplication::queryKeyboardModifiers().testFlag(Qt::ShiftModifier);
}

void pasteDateTime(EditorControl* activeEditor, bool longForm,
                   const std::function<void(const QByteArray&)>& sendToPort, const QDateTime& now) {
    const QString text = dateTimeText(now, longForm);
    if (activeEditor) {
        activeEditor->insertAtCaret(text);
    } else if (sendToPort) {
        sendToPort(text.toLatin1());
    }
}

}  // namespace orrery::shell
