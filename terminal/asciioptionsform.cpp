#include "asciioptionsform.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include "prompts.h"

namespace orrery::terminal {

namespace {

const QRegularExpression kTermCharPattern(
    QStringLiteral("^(|[^\\\\]|\\\\|\\\\[abfnrtvABFNRTV]|\\\\[xX][0-9a-fA-F]{0,2})$"));

std::optional<int> toInteger(const QString& text, Prompts& prompts) {
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    if (!ok) {
        prompts.showMessage(QStringLiteral("'%1' is not a valid integer value").arg(text), PromptIcon::Error);
        return std::nullopt;
    }
    return value;
}

QLineEdit* field(int maxLength) {
    auto* edit = new QLineEdit;
    edit->setMaxLength(maxLength);
    // Enter selects the field's text instead of closing the dialog.
    QObject::connect(edit, &QLineEdit::returnPressed, edit, &QLineEdit::selectAll);
    return edit;
}

}  // namespace

bool acceptsTermCharText(const QString& text) {
    return kTermCharPattern.match(text).hasMatch();
}

QString completeTermChar(const QString& text) {
    if (text.size() < 2 || text[0] != QLatin1Char('\\') || text[1].toLower() != QLatin1Char('x')) {
        return text;
    }
    const QString digits = text.mid(2);
    return text.left(2) + QStringLiteral("00").left(2 - digits.size()) + digits;
}

TAsciiOptionsDialog::TAsciiOptionsDialog(QWidget* parent)
    : QDialog(parent),
      m_prefix(field(16)),
      m_suffix(field(16)),
      m_charDelay(field(4)),
      m_lineDelay(field(4)),
      m_termChar(field(4)),
      m_timeout(field(3)),
      m_character(new QRadioButton(QStringLiteral("Character"))),
      m_timeoutKind(new QRadioButton(QStringLiteral("Time-out (sec)"))),
      m_userCancel(new QRadioButton(QStringLiteral("User cancel"))) {
    setWindowTitle(QStringLiteral("ASCII Transfer Options"));
    m_termChar->setValidator(new QRegularExpressionValidator(kTermCharPattern, m_termChar));
    m_timeout->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("^-?[0-9]*$")), m_timeout));

    auto* transmit = new QGroupBox(QStringLiteral("ASCII Transmit Options"));
    auto* transmitForm = new QFormLayout(transmit);
    transmitForm->addRow(QStringLiteral("Send prefix"), m_prefix);
    transmitForm->addRow(QStringLiteral("Send suffix"), m_suffix);
    transmitForm->addRow(QStringLiteral("Character delay"), m_charDelay);
    transmitForm->addRow(QStringLiteral("Line delay"), m_lineDelay);

    auto* receive = new QGroupBox(QStringLiteral("ASCII Receive Options"));
    auto* receiveGrid = new QGridLayout(receive);
    receiveGrid->addWidget(m_character, 0, 0);
    receiveGrid->addWidget(m_termChar, 0, 1);
    receiveGrid->addWidget(m_timeoutKind, 1, 0);
    receiveGrid->addWidget(m_timeout, 1, 1);
    receiveGrid->addWidget(m_userCancel, 2, 0);
    for (QRadioButton* b : {m_character, m_timeoutKind, m_userCancel}) {
        connect(b, &QRadioButton::toggled, this, &TAsciiOptionsDialog::updateEnabled);
    }

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    for (QAbstractButton* b : buttons->buttons()) {
        if (auto* push = qobject_cast<QPushButton*>(b)) {
            push->setAutoDefault(false);
        }
    }
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(transmit);
    layout->addWidget(receive);
    layout->addWidget(buttons);
}

QRadioButton* TAsciiOptionsDialog::kindButton(TerminationKind kind) const {
    switch (kind) {
    case TerminationKind::Character: return m_character;
    case TerminationKind::Timeout: return m_timeoutKind;
    case TerminationKind::UserCancel: return m_userCancel;
    }
    return m_userCancel;
}

void TAsciiOptionsDialog::updateEnabled() {
    m_termChar->setEnabled(m_character->isChecked());
    m_timeout->setEnabled(m_timeoutKind->isChecked());
}

void TAsciiOptionsDialog::load(const AsciiOptions& options) {
    kindButton(options.kind)->setChecked(true);
    // The field of the other kind keeps what it held before.
    if (options.kind == TerminationKind::Character) {
        m_termChar->setText(options.termChar);
    } else if (options.kind == TerminationKind::Timeout) {
        m_timeout->setText(QString::number(options.termTimeout));
    }
    m_prefix->setText(options.prefix);
    m_suffix->setText(options.suffix);
    m_charDelay->setText(QString::number(options.charDelay));
    m_lineDelay->setText(QString::number(options.lineDelay));
    updateEnabled();
}

bool TAsciiOptionsDialog::run(AsciiOptions& options, Prompts& prompts) {
    load(options);
    const bool ok = m_runner ? m_runner(*this) : exec() == QDialog::Accepted;
    if (!ok) {
        return false;
    }
    if (m_character->isChecked()) {
        m_termChar->setText(completeTermChar(m_termChar->text()));
        options.kind = TerminationKind::Character;
        options.termChar = m_termChar->text();
    } else if (m_timeoutKind->isChecked()) {
        const auto seconds = toInteger(m_timeout->text(), prompts);
        if (!seconds) {
            return true;
        }
        options.kind = TerminationKind::Timeout;
        options.termTimeout = std::max(1, *seconds);
    } else {
        options.kind = TerminationKind::UserCancel;
    }
    options.prefix = m_prefix->text();
    options.suffix = m_suffix->text();
    const auto charDelay = toInteger(m_charDelay->text(), prompts);
    if (!charDelay) {
        return true;
    }
    options.charDelay = std::max(0, *charDelay);
    const auto lineDelay = toInteger(m_lineDelay->text(), prompts);
    if (!lineDelay) {
        return true;
    }
    options.lineDelay = std::max(0, *lineDelay);
    return true;
}

}  // namespace orrery::terminal
