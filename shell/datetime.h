#pragma once
// "Paste &Date/time": the current date and time as text, in the short form or (Shift held) the long
// one, typed into the active editor or, when the terminal is active, sent to the logger.
//
//   short  "mm/dd/yyyy hh:nn:ss"              12/08/2026 14:05:09
//   long   "dddd, mmmm dd, yyyy, hh:nn AM/PM"  Tuesday, December 08, 2026, 02:05 PM
//
// Day and month names are English, as the logger programs that read them back expect fixed text.

#include <QByteArray>
#include <QDateTime>
#include <functional>

namespace orrery {
class EditorControl;
}

namespace orrery::shell {

QString dateTimeText(const QDateTime& when, bool longForm);

// Whether Shift is held now, which selects the long form.
bool longDateTimeRequested();

// With an editor, inserts the text at its caret; otherwise hands its bytes to sendToPort.
void pasteDateTime(EditorControl* activeEditor, bool longForm,
                   const std::function<void(const QByteArray&)>& sendToPort,
                   const QDateTime& now = QDateTime::currentDateTime());

}  // namespace orrery::shell
