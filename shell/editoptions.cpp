#include "editoptions.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QIntValidator>
#include <QLineEdit>
#include <QVBoxLayout>

#include "editorcontrol.h"
#include "prompts.h"
#include "utilities.h"

namespace orrery::shell {

TEditOptionsForm::TEditOptionsForm(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Editor options"));
    m_tabSize = new QLineEdit;
    m_tabSize->setMaxLength(2);
    m_tabSize->setMaximumWidth(50);
    m_autoIndent = new QCheckBox(QStringLiteral("&Autoindent mode"));
    m_liveCheck = new QCheckBox(QStringLiteral("&Check the program while typing"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&Tab size"), m_tabSize);
    form->addRow(m_autoIndent);
    form->addRow(m_liveCheck);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

bool TEditOptionsForm::run(const EditorSettings& current) {
    m_tabSize->setText(QString::number(current.tabSize));
    m_autoIndent->setChecked(current.autoIndent);
    m_liveCheck->setChecked(current.liveCheck);
    m_tabSize->setFocus();
    m_tabSize->selectAll();
    if (m_runner) {
        return m_runner(*this);
    }
    return exec() == QDialog::Accepted;
}

void editorOptionsCommand(TEditOptionsForm& form, EditorSettings& settings, const QList<EditorControl*>& editors,
                          Prompts& prompts) {
    if (!form.run(settings)) {
        return;
    }
    settings.autoIndent = form.autoIndentBox()->isChecked();
    settings.liveCheck = form.liveCheckBox()->isChecked();
    const QString text = form.tabSizeField()->text();
    const std::optional<int> tabSize = parseInteger(text);
    if (!tabSize) {
        prompts.showMessage(invalidIntegerMessage(text), PromptIcon::Error);
        return;
    }
    settings.tabSize = std::clamp(*tabSize, 1, kMaxTabSize);
    for (EditorControl* editor : editors) {
        editor->setAutoIndent(settings.autoIndent);
        editor->setTabSize(settings.tabSize);
    }
}

}  // namespace orrery::shell
