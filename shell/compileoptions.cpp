#include "compileoptions.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QVBoxLayout>

#include "prompts.h"
#include "utilities.h"

namespace orrery::shell {

namespace {

// The limits size tables of the compile; zero, negative or beyond 16 bits would make no table at all
// or wrap to a negative size, so such entries are refused like text that is not a number.
constexpr int kMaxLimit = 32767;

bool convertLimit(const QLineEdit* field, const QString& name, std::int16_t& out, Prompts& prompts) {
    const QString text = field->text();
    const std::optional<int> value = parseInteger(text);
    if (!value) {
        prompts.showMessage(invalidIntegerMessage(text), PromptIcon::Error);
        return false;
    }
    if (*value < 1 || *value > kMaxLimit) {
        prompts.showMessage(QStringLiteral("%1 must be between 1 and %2").arg(name).arg(kMaxLimit),
                            PromptIcon::Error);
        return false;
    }
    out = std::int16_t(*value);
    return true;
}

}  // namespace

TCompileOptionsDialog::TCompileOptionsDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Compiler options"));
    m_confirmConnect = new QCheckBox(QStringLiteral("Confirm connection"));
    m_embedLineNum = new QCheckBox(QStringLiteral("Embed line numbers"));
    m_createListFile = new QCheckBox(QStringLiteral("Create list file"));
    m_createBinFile = new QCheckBox(QStringLiteral("Create binary file"));
    m_createSymFile = new QCheckBox(QStringLiteral("Create symbol table file"));
    m_caseInsensitiveSym = new QCheckBox(QStringLiteral("Case insensitive symbol names"));
    m_maxLabels = new QLineEdit;
    m_maxAsmLines = new QLineEdit;
    for (QLineEdit* field : {m_maxLabels, m_maxAsmLines}) {
        field->setMaxLength(6);
        field->setMaximumWidth(80);
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    for (QCheckBox* box : {m_confirmConnect, m_embedLineNum, m_createListFile, m_createBinFile, m_createSymFile,
                           m_caseInsensitiveSym}) {
        layout->addWidget(box);
    }
    auto* limits = new QFormLayout;
    limits->addRow(QStringLiteral("Maximum symbols"), m_maxLabels);
    limits->addRow(QStringLiteral("Maximum ASM lines"), m_maxAsmLines);
    layout->addLayout(limits);
    layout->addWidget(buttons);
}

void TCompileOptionsDialog::setValues(const compiler::CompilerOptions& o) {
    m_confirmConnect->setChecked(o.confirmConnect);
    m_embedLineNum->setChecked(o.embedLineNum);
    m_createListFile->setChecked(o.createListFile);
    m_createBinFile->setChecked(o.createBinFile);
    m_createSymFile->setChecked(o.createSymFile);
    m_caseInsensitiveSym->setChecked(o.caseInsensitiveSym);
    m_maxLabels->setText(QString::number(o.maxLabels));
    m_maxAsmLines->setText(QString::number(o.maxAsmLines));
}

bool TCompileOptionsDialog::copyValuesTo(compiler::CompilerOptions& o, Prompts& prompts) const {
    o.confirmConnect = m_confirmConnect->isChecked();
    o.embedLineNum = m_embedLineNum->isChecked();
    o.createListFile = m_createListFile->isChecked();
    o.createBinFile = m_createBinFile->isChecked();
    o.createSymFile = m_createSymFile->isChecked();
    o.caseInsensitiveSym = m_caseInsensitiveSym->isChecked();
    return convertLimit(m_maxLabels, QStringLiteral("Maximum symbols"), o.maxLabels, prompts) &&
           convertLimit(m_maxAsmLines, QStringLiteral("Maximum ASM lines"), o.maxAsmLines, prompts);
}

bool TCompileOptionsDialog::run(compiler::CompilerOptions& options, Prompts& prompts) {
    setValues(options);
    const bool ok = m_runner ? m_runner(*this) : exec() == QDialog::Accepted;
    if (ok) {
        copyValuesTo(options, prompts);
    }
    return ok;
}

}  // namespace orrery::shell
