#pragma once
// The "Terminal Options" dialog: the terminal's tab size in a two-digit field.

#include <QDialog>
#include <QLineEdit>
#include <functional>
#include <optional>

namespace orrery::terminal {

class TTerminalOptionsDialog : public QDialog {
    Q_OBJECT
public:
    explicit TTerminalOptionsDialog(QWidget* parent = nullptr);

    void setTabSize(int size);
    QString tabSizeText() const { return m_tabSize->text(); }
    QLineEdit* tabSizeField() const { return m_tabSize; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLineEdit* m_tabSize = nullptr;
};

// Opens the dialog with the given tab size; the field's text when the user chose OK, nothing when
// cancelled. `ask` runs the dialog modally and says whether OK was chosen (exec() in the workbench).
std::optional<QString> askTerminalOptions(TTerminalOptionsDialog& dialog, int tabSize,
                                          const std::function<bool(TTerminalOptionsDialog&)>& ask);

}  // namespace orrery::terminal
