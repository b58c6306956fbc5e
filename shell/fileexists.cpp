#include "fileexists.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

#include "pathshort.h"

namespace orrery::shell {

FileExistsAction actionForIndex(int index) {
    switch (index) {
        case 0:
            return FileExistsAction::Overwrite;
        case 1:
            return FileExistsAction::Append;
        case 2:
            return FileExistsAction::MakeBackup;
        default:
            return FileExistsAction::Cancel;
    }
}

TFileExistsForm::TFileExistsForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setWindowTitle(QStringLiteral("File Exists"));
    m_name = new QLabel;
    m_name->setAlignment(Qt::AlignCenter);
    m_name->setFixedWidth(320);
    auto* group = new QGroupBox(QStringLiteral("File exists:"));
    auto* groupLayout = new QVBoxLayout(group);
    m_choices = new QButtonGroup(this);
    const char* captions[] = {"&Overwrite", "&Append", "Make &back-up"};
    for (int i = 0; i < 3; ++i) {
        auto* button = new QRadioButton(QString::fromLatin1(captions[i]));
        m_choices->addButton(button, i);
        groupLayout->addWidget(button);
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_name);
    layout->addWidget(group);
    layout->addWidget(buttons);
}

FileExistsChoice TFileExistsForm::run(const QString& fileName, int preselectedIndex) {
    const QFontMetrics metrics(m_name->font());
    const int width = m_name->width();
    m_name->setText(shortenPathToFit(
        fileName, [&](const QString& text) { return metrics.horizontalAdvance(text) <= width; }));
    m_name->setToolTip(fileName);
    if (QAbstractButton* preselected = m_choices->button(preselectedIndex)) {
        preselected->setChecked(true);
    }
    const bool ok = m_runner ? m_runner(*this) : exec() == QDialog::Accepted;
    if (!ok) {
        return {FileExistsAction::Cancel, m_choices->checkedId()};
    }
    return {actionForIndex(m_choices->checkedId()), m_choices->checkedId()};
}

}  // namespace orrery::shell
