#include "findreplace.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace orrery::shell {

void addToHistory(QStringList& history, const QString& text) {
    if (text.isEmpty()) {
        return;
    }
    for (qsizetype i = 0; i < history.size(); ++i) {
        if (history[i].compare(text, Qt::CaseInsensitive) == 0) {
            history.move(i, 0);
            return;
        }
    }
    while (history.size() >= kHistorySize) {
        history.removeLast();
    }
    history.prepend(text);
}

namespace {

QStringList historyFromStore(const QStringList& stored) {
    QStringList history;
    for (const QString& text : stored) {
        const bool known = std::any_of(history.cbegin(), history.cend(), [&](const QString& h) {
            return h.compare(text, Qt::CaseInsensitive) == 0;
        });
        if (!text.isEmpty() && !known && history.size() < kHistorySize) {
            history.append(text);
        }
    }
    return history;
}

}  // namespace

QString tabMarkersToTabs(QString text) { return text.replace(kTabMarker, QLatin1Char('\t')); }

TFindReplaceForm::TFindReplaceForm(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Find / Replace"));
    m_findCombo = new QComboBox;
    m_replaceCombo = new QComboBox;
    for (QComboBox* combo : {m_findCombo, m_replaceCombo}) {
        combo->setEditable(true);
        combo->setInsertPolicy(QComboBox::NoInsert);
        combo->setMinimumWidth(260);
        // Keys typed in the box reach the combo box itself (its line edit hands the focus to it), so
        // both are watched.
        combo->installEventFilter(this);
        combo->lineEdit()->installEventFilter(this);
    }
    connect(m_findCombo, &QComboBox::activated, this,
            [this](int index) { historyChosen(m_findCombo, m_findHistory, index); });
    connect(m_replaceCombo, &QComboBox::activated, this,
            [this](int index) { historyChosen(m_replaceCombo, m_replaceHistory, index); });

    auto* findLabel = new QLabel(QStringLiteral("&Find"));
    findLabel->setBuddy(m_findCombo);
    m_replaceLabel = new QLabel(QStringLiteral("&Replace"));
    m_replaceLabel->setBuddy(m_replaceCombo);

    m_startAtTop = new QCheckBox(QStringLiteral("Start at &top"));
    m_selectedText = new QCheckBox(QStringLiteral("&Selected text"));
    m_wholeWords = new QCheckBox(QStringLiteral("&Whole words"));
    m_caseSensitive = new QCheckBox(QStringLiteral("&Case sensitive"));
    m_wrapAround = new QCheckBox(QStringLiteral("Wrap &around"));
    m_useAsDefault = new QCheckBox(QStringLiteral("&Use as default"));
    m_promptOnReplace = new QCheckBox(QStringLiteral("&Prompt on replace"));
    m_replaceAll = new QCheckBox(QStringLiteral("Replace a&ll"));

    m_findButton = new QPushButton(QStringLiteral("Find"));
    m_findButton->setDefault(true);
    auto* cancelButton = new QPushButton(QStringLiteral("Cancel"));
    connect(m_findButton, &QPushButton::clicked, this, &TFindReplaceForm::findClicked);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);

    auto* texts = new QGridLayout;
    texts->addWidget(findLabel, 0, 0);
    texts->addWidget(m_findCombo, 0, 1);
    texts->addWidget(m_replaceLabel, 1, 0);
    texts->addWidget(m_replaceCombo, 1, 1);

    auto* boxes = new QGridLayout;
    boxes->addWidget(m_startAtTop, 0, 0);
    boxes->addWidget(m_selectedText, 1, 0);
    boxes->addWidget(m_wholeWords, 2, 0);
    boxes->addWidget(m_caseSensitive, 3, 0);
    boxes->addWidget(m_wrapAround, 0, 1);
    boxes->addWidget(m_useAsDefault, 1, 1);
    boxes->addWidget(m_promptOnReplace, 2, 1);
    boxes->addWidget(m_replaceAll, 3, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_findButton);
    buttons->addWidget(cancelButton);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(texts);
    layout->addLayout(boxes);
    layout->addLayout(buttons);
}

void TFindReplaceForm::prepare(Mode mode) {
    const bool replacing = mode == Mode::Replace;
    for (QWidget* w : std::initializer_list<QWidget*>{m_replaceCombo, m_replaceLabel, m_promptOnReplace, m_replaceAll}) {
        w->setEnabled(replacing);
    }
    setChecks(m_defaults);
    m_useAsDefault->setChecked(false);
    fillCombo(m_findCombo, m_findHistory);
    fillCombo(m_replaceCombo, m_replaceHistory);
    m_findCombo->setFocus();
    m_findCombo->lineEdit()->selectAll();
}

bool TFindReplaceForm::run(Mode mode) {
    prepare(mode);
    if (m_runner) {
        return m_runner(*this);
    }
    return exec() == QDialog::Accepted;
}

void TFindReplaceForm::fillCombo(QComboBox* combo, const QStringList& history) {
    const QSignalBlocker block(combo);
    combo->clear();
    combo->addItems(history);
    combo->setEditText(history.isEmpty() ? QString() : history.first());
}

void TFindReplaceForm::historyChosen(QComboBox* combo, QStringList& history, int index) {
    if (index < 0 || index >= history.size()) {
        return;
    }
    const QString text = history[index];
    history.move(index, 0);
    fillCombo(combo, history);
    combo->setEditText(text);
}

void TFindReplaceForm::findClicked() {
    addToHistory(m_findHistory, m_findCombo->currentText());
    addToHistory(m_replaceHistory, m_replaceCombo->currentText());
    const QString findText = m_findCombo->currentText();
    const QString replaceText = m_replaceCombo->currentText();
    fillCombo(m_findCombo, m_findHistory);
    fillCombo(m_replaceCombo, m_replaceHistory);
    m_findCombo->setEditText(findText);
    m_replaceCombo->setEditText(replaceText);
    m_findCombo->setFocus();
    if (m_useAsDefault->isChecked()) {
        m_defaults = checks();
    }
    accept();
}

bool TFindReplaceForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) {
        return QDialog::eventFilter(watched, event);
    }
    auto* lineEdit = qobject_cast<QLineEdit*>(watched);
    if (auto* combo = qobject_cast<QComboBox*>(watched)) {
        lineEdit = combo->lineEdit();
    }
    const auto* key = static_cast<QKeyEvent*>(event);
    if (lineEdit && key->key() == Qt::Key_Tab && key->modifiers() == Qt::NoModifier) {
        // A tab cannot be typed into a one-line box, so » stands in for it.
        lineEdit->setText(lineEdit->text() + kTabMarker);
        lineEdit->end(false);
        return true;
    }
    if (lineEdit && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
        m_findButton->click();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

QString TFindReplaceForm::searchText() const { return tabMarkersToTabs(m_findCombo->currentText()); }

QString TFindReplaceForm::replacementText() const { return tabMarkersToTabs(m_replaceCombo->currentText()); }

FindReplaceChecks TFindReplaceForm::checks() const {
    return {m_startAtTop->isChecked(),    m_selectedText->isChecked(), m_wholeWords->isChecked(),
            m_caseSensitive->isChecked(), m_wrapAround->isChecked(),   m_promptOnReplace->isChecked(),
            m_replaceAll->isChecked()};
}

void TFindReplaceForm::setChecks(const FindReplaceChecks& c) {
    m_startAtTop->setChecked(c.startAtTop);
    m_selectedText->setChecked(c.selectedText);
    m_wholeWords->setChecked(c.wholeWords);
    m_caseSensitive->setChecked(c.caseSensitive);
    m_wrapAround->setChecked(c.wrapAround);
    m_promptOnReplace->setChecked(c.promptOnReplace);
    m_replaceAll->setChecked(c.replaceAll);
}

void TFindReplaceForm::loadFrom(const settings::FindSection& section) {
    // A stored list may come from an edited or older file: keep the history rules on what is read.
    m_findHistory = historyFromStore(section.findHistory);
    m_replaceHistory = historyFromStore(section.replaceHistory);
    m_defaults = {section.startAtTop,    section.selectedText, section.wholeWords,
                  section.caseSensitive, section.wrapAround,   section.promptOnReplace,
                  section.replaceAll};
}

settings::FindSection TFindReplaceForm::section() const {
    settings::FindSection s;
    s.findHistory = m_findHistory;
    s.replaceHistory = m_replaceHistory;
    s.startAtTop = m_defaults.startAtTop;
    s.selectedText = m_defaults.selectedText;
    s.wrapAround = m_defaults.wrapAround;
    s.wholeWords = m_defaults.wholeWords;
    s.caseSensitive = m_defaults.caseSensitive;
    s.promptOnReplace = m_defaults.promptOnReplace;
    s.replaceAll = m_defaults.replaceAll;
    return s;
}

}  // namespace orrery::shell
