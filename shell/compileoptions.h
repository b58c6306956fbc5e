#pragma once
// "&Compiler options...": the six compiler switches and the two limits. The dialog edits a copy; only
// OK writes the values back, in field order, and a limit that does not convert stops the copy there.

#include <QDialog>
#include <functional>

#include "compiler.h"
#include "settings.h"

class QCheckBox;
class QLineEdit;

namespace orrery {
class Prompts;
}

namespace orrery::shell {

class TCompileOptionsDialog : public QDialog {
    Q_OBJECT
public:
    explicit TCompileOptionsDialog(QWidget* parent = nullptr);

    // Fills the controls from options and runs the dialog; on OK copies the controls back into options
    // (reporting a bad limit through prompts). Returns whether OK was pressed.
    bool run(compiler::CompilerOptions& options, Prompts& prompts);
    void setRunner(std::function<bool(TCompileOptionsDialog&)> runner) { m_runner = std::move(runner); }

    void setValues(const compiler::CompilerOptions& options);
    // Copies the controls into options; false (after the message) when a limit field is refused.
    bool copyValuesTo(compiler::CompilerOptions& options, Prompts& prompts) const;

    QCheckBox* confirmConnectBox() const { return m_confirmConnect; }
    QCheckBox* embedLineNumBox() const { return m_embedLineNum; }
    QCheckBox* createListFileBox() const { return m_createListFile; }
    QCheckBox* createBinFileBox() const { return m_createBinFile; }
    QCheckBox* createSymFileBox() const { return m_createSymFile; }
    QCheckBox* caseInsensitiveSymBox() const { return m_caseInsensitiveSym; }
    QLineEdit* maxLabelsField() const { return m_maxLabels; }
    QLineEdit* maxAsmLinesField() const { return m_maxAsmLines; }

private:
    QCheckBox* m_confirmConnect;
    QCheckBox* m_embedLineNum;
    QCheckBox* m_createListFile;
    QCheckBox* m_createBinFile;
    QCheckBox* m_createSymFile;
    QCheckBox* m_caseInsensitiveSym;
    QLineEdit* m_maxLabels;
    QLineEdit* m_maxAsmLines;
    std::function<bool(TCompileOptionsDialog&)> m_runner;
};

}  // namespace orrery::shell
