#pragma once
// "ASCII Transfer Options": prefix, suffix and pacing of ASCII sends, and how ASCII receives end.

#include <QDialog>
#include <functional>
#include <optional>

#include "asciiloops.h"

class QLineEdit;
class QRadioButton;

namespace orrery {
class Prompts;
}

namespace orrery::terminal {

// What the Character field may hold while typing: nothing, one character, a backslash and one of
// a b f n r t v x (either case), or a backslash, x and up to two hexadecimal digits.
bool acceptsTermCharText(const QString& text);
// On OK: "\x" becomes "\x00" and "\x5" becomes "\x05".
QString completeTermChar(const QString& text);

class TAsciiOptionsDialog : public QDialog {
    Q_OBJECT
public:
    explicit TAsciiOptionsDialog(QWidget* parent = nullptr);

    // Fills the fields from options, runs the dialog and, after OK, stores the fields into options.
    // A number field that does not convert shows the standard message; the fields before it are
    // already stored, the later ones are not. Returns whether OK was chosen.
    bool run(AsciiOptions& options, Prompts& prompts);
    void setRunner(std::function<bool(TAsciiOptionsDialog&)> runner) { m_runner = std::move(runner); }

    QLineEdit* prefixEdit() const { return m_prefix; }
    QLineEdit* suffixEdit() const { return m_suffix; }
    QLineEdit* charDelayEdit() const { return m_charDelay; }
    QLineEdit* lineDelayEdit() const { return m_lineDelay; }
    QLineEdit* termCharEdit() const { return m_termChar; }
    QLineEdit* timeoutEdit() const { return m_timeout; }
    QRadioButton* kindButton(TerminationKind kind) const;

private:
    void load(const AsciiOptions& options);
    void updateEnabled();

    QLineEdit* m_prefix;
    QLineEdit* m_suffix;
    QLineEdit* m_charDelay;
    QLineEdit* m_lineDelay;
    QLineEdit* m_termChar;
    QLineEdit* m_timeout;
    QRadioButton* m_character;
    QRadioButton* m_timeoutKind;
    QRadioButton* m_userCancel;
    std::function<bool(TAsciiOptionsDialog&)> m_runner;
};

}  // namespace orrery::terminal
