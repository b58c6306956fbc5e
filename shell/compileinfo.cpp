#include "compileinfo.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "compiler.h"

namespace orrery::shell {

TCompileInfoForm::TCompileInfoForm(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("No Errors"));
    auto* heading = new QLabel(QStringLiteral("Information for Tokenized Program"));
    QFont bold = heading->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.15);
    heading->setFont(bold);
    heading->setAlignment(Qt::AlignCenter);

    ProgramSizeLabel = new QLabel;
    HeaderSizeLabel = new QLabel;
    VariablesSizeLabel = new QLabel;
    auto* grid = new QGridLayout;
    const std::pair<const char*, QLabel*> rows[] = {{"Program size:", ProgramSizeLabel},
                                                    {"Program header:", HeaderSizeLabel},
                                                    {"Variables size:", VariablesSizeLabel}};
    int row = 0;
    for (const auto& [caption, value] : rows) {
        value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        value->setMinimumWidth(80);
        grid->addWidget(new QLabel(QString::fromLatin1(caption)), row, 0);
        grid->addWidget(value, row, 1);
        grid->addWidget(new QLabel(QStringLiteral("bytes")), row, 2);
        ++row;
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addSpacing(8);
    layout->addLayout(grid);
    layout->addWidget(buttons);
}

void TCompileInfoForm::setValues(const compiler::HeaderSummary& summary) {
    ProgramSizeLabel->setText(QString::number(summary.codeSize));
    HeaderSizeLabel->setText(QString::number(summary.headerSize));
    VariablesSizeLabel->setText(QString::number(summary.variablesSize));
}

void TCompileInfoForm::showSummary(const compiler::HeaderSummary& summary) {
    setValues(summary);
    if (m_runner) {
        m_runner(*this);
    } else {
        exec();
    }
}

}  // namespace orrery::shell
