#include "editor.h"

#include <QCloseEvent>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QSaveFile>
#include <QStatusBar>
#include <QStringDecoder>
#include <QVBoxLayout>
#include <algorithm>

#include "prompts.h"

namespace orrery {

TEditor::TEditor(Prompts& prompts, QWidget* parent) : QWidget(parent), m_prompts(prompts) {
    setAttribute(Qt::WA_DeleteOnClose);
    m_control = new EditorControl(this);
    m_statusBar = new QStatusBar(this);
    m_statusBar->setSizeGripEnabled(false);
    m_linePanel = new QLabel(this);
    m_columnPanel = new QLabel(this);
    m_modePanel = new QLabel(this);
    const int widths[] = {60, 60, 50};
    QLabel* panels[] = {m_linePanel, m_columnPanel, m_modePanel};
    for (int i = 0; i < 3; ++i) {
        // A panel is never narrower than its longest text, so "Overwrite" is not cut short by a large
        // or wide desktop font.
        const int longest = i == 2 ? panels[i]->fontMetrics().horizontalAdvance(QStringLiteral("Overwrite"))
                                   : panels[i]->fontMetrics().horizontalAdvance(QStringLiteral("000000"));
        panels[i]->setFixedWidth(std::max(widths[i], longest + 2 * panels[i]->frameWidth() + 6));
        panels[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        m_statusBar->addWidget(panels[i]);
    }
    m_errorPanel = new QLabel(this);
    m_errorPanel->setTextFormat(Qt::PlainText);
    m_statusBar->addWidget(m_errorPanel, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_control);
    layout->addWidget(m_statusBar);
    setFocusProxy(m_control);
    connect(m_control, &EditorControl::caretChanged, this, &TEditor::refreshStatus);
    connect(m_control, &EditorControl::errorMarkChanged, this, &TEditor::refreshErrorStatus);
    refreshStatus(1, 1, false);
}

void TEditor::setLiveCheck(bool on, shell::LiveCheck::OptionsSource options) {
    delete m_liveCheck;
    m_liveCheck = new shell::LiveCheck(*m_control, std::move(options));
    m_liveCheck->setEnabled(on);
}

void TEditor::setLiveCheckEnabled(bool on) {
    if (m_liveCheck) m_liveCheck->setEnabled(on);
}

void TEditor::refreshErrorStatus() {
    const ErrorMark& mark = m_control->errorMark();
    m_errorPanel->setText(mark.isSet() && mark.line == m_control->caretLine() ? mark.message : QString());
}

QString TEditor::errorStatusText() const { return m_errorPanel->text(); }

void TEditor::refreshStatus(int line, int column, bool overwrite) {
    m_linePanel->setText(QString::number(line));
    m_columnPanel->setText(QString::number(column));
    m_modePanel->setText(overwrite ? QStringLiteral("Overwrite") : QStringLiteral("Insert"));
    refreshErrorStatus();
}

QStringList TEditor::statusTexts() const {
    return {m_linePanel->text(), m_columnPanel->text(), m_modePanel->text()};
}

bool TEditor::loadFromFile(const QString& path, QString& error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = file.errorString();
        return false;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFile::NoError) {
        error = file.errorString();
        return false;
    }
    // Sources written on the loggers' home platform are 8-bit text; UTF-8 is taken when the bytes
    // are valid UTF-8, and the file is written back in the encoding it came in.
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(bytes);
    m_latin1 = utf8.hasError();
    if (m_latin1) {
        text = QString::fromLatin1(bytes);
    }
    m_crlf = bytes.contains("\r\n") || !bytes.contains('\n');
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    m_control->setText(text);
    m_control->setModified(false);
    m_control->setCaretPosition(1, 1);
    return true;
}

bool TEditor::saveToFile(const QString& path, QString& error) {
    QString text = m_control->text();
    if (m_crlf) {
        text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    }
    // A character typed that 8-bit text cannot hold turns the file into UTF-8 rather than into '?'.
    const bool fitsLatin1 = std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 256; });
    const QByteArray bytes = (m_latin1 && fitsLatin1) ? text.toLatin1() : text.toUtf8();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        error = file.errorString();
        return false;
    }
    m_control->setModified(false);
    return true;
}

bool TEditor::closeQuery() {
    if (!isModified()) {
        return true;
    }
    if (auto* sub = parentWidget()) {
        sub->raise();
    }
    m_control->setFocus();
    const int choice = m_prompts.choose(QString(), QStringLiteral("%1 has changed, do you wish to save?").arg(caption()),
                                        {QStringLiteral("&Yes"), QStringLiteral("&No"), QStringLiteral("Cancel")}, 0,
                                        PromptIcon::Information);
    if (choice == 1) {
        return true;
    }
    // Yes closes only once the text is in a file: a cancelled Save As or a failed write keeps the window
    // open and modified, so nothing typed is lost.
    if (choice == 0 && m_save && m_save(*this)) {
        return true;
    }
    emit closeCancelled();
    return false;
}

void TEditor::closeEvent(QCloseEvent* event) {
    if (m_closeApproved || closeQuery()) {
        event->accept();
    } else {
        m_closeApproved = false;
        event->ignore();
    }
}

}  // namespace orrery
