#pragma once
// The summary shown after a successful Syntax check ("No Errors"): program size, header size and
// variables size of the tokenized program.

#include <QDialog>
#include <functional>

class QLabel;

namespace orrery::compiler {
struct HeaderSummary;
}

namespace orrery::shell {

class TCompileInfoForm : public QDialog {
    Q_OBJECT
public:
    explicit TCompileInfoForm(QWidget* parent = nullptr);

    void setValues(const compiler::HeaderSummary& summary);
    // Shows the summary modally (or runs the test's replacement).
    void showSummary(const compiler::HeaderSummary& summary);
    void setRunner(std::function<void(TCompileInfoForm&)> runner) { m_runner = std::move(runner); }

    QLabel* ProgramSizeLabel;
    QLabel* HeaderSizeLabel;
    QLabel* VariablesSizeLabel;

private:
    std::function<void(TCompileInfoForm&)> m_runner;
};

}  // namespace orrery::shell
