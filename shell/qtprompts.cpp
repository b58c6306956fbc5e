#include "qtprompts.h"

#include <QApplication>
#include <QFileDialog>
#include <QGridLayout>
#include <QInputDialog>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>

namespace orrery {

namespace {

QMessageBox::Icon toQt(PromptIcon icon) {
    switch (icon) {
        case PromptIcon::Information:
            return QMessageBox::Information;
        case PromptIcon::Warning:
            return QMessageBox::Warning;
        case PromptIcon::Error:
            return QMessageBox::Critical;
        case PromptIcon::Question:
            return QMessageBox::Question;
        default:
            return QMessageBox::NoIcon;
    }
}

// Message texts use CR LF between lines, as the logger world does; the dialog wants plain LF.
QString displayText(QString text) {
    return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

QString caption(const QString& given) {
    return given.isEmpty() ? QStringLiteral("Orrery for Windows") : given;
}

}  // namespace

int widthForTitle(const QWidget& window) {
    // Room is kept for the title bar's icon and its three buttons; the title bar's font is taken to be
    // at most a fifth wider than the window's own.
    constexpr int kTitleBarExtras = 120;
    return window.fontMetrics().horizontalAdvance(window.windowTitle()) * 6 / 5 + kTitleBarExtras;
}

void widenToTitle(QWidget& window) {
    // A small dialog would otherwise be sized to its contents, and the window manager cuts the title
    // down to "Termi... ptions".
    if (qobject_cast<QMessageBox*>(&window) != nullptr) {
        return;  // sized by widenToCaption, through its layout
    }
    const int width = widthForTitle(window);
    if (window.minimumWidth() < width) {
        window.setMinimumWidth(width);
    }
    if (window.width() < width) {
        window.resize(width, window.height());
    }
}

void widenToCaption(QMessageBox& box) {
    // A short message would otherwise size the box to its text, and the window manager cuts the caption
    // down to "Orr... ows".
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    if (!grid) {
        return;
    }
    const int width = widthForTitle(box);
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Fixed), grid->rowCount(), 0, 1,
                  grid->columnCount());
}

SimpleProgress::~SimpleProgress() {
    delete m_dialog;
}

void SimpleProgress::start(const QString& caption, qint64 maximum, bool wrap) {
    if (!m_dialog) {
        m_dialog = new QProgressDialog(m_parent);
        m_dialog->setWindowTitle(QStringLiteral("Status"));
        m_dialog->setCancelButtonText(QStringLiteral("Cancel"));
        m_dialog->setAutoClose(false);
        m_dialog->setAutoReset(false);
        m_dialog->setMinimumDuration(0);
    }
    m_dialog->reset();
    m_dialog->setLabelText(caption);
    m_maximum = qMax<qint64>(maximum, 1);
    m_wrap = wrap;
    m_value = 0;
    m_dialog->setRange(0, int(qMin<qint64>(m_maximum, INT_MAX)));
    show(0);
    m_dialog->show();
}

void SimpleProgress::show(qint64 value) {
    m_value = value;
    if (m_dialog) {
        const qint64 shown = m_wrap ? value % m_maximum : qMin(value, m_maximum);
        m_dialog->setValue(int(qMin<qint64>(shown, INT_MAX)));
        m_dialog->setLabelText(QString::number(value));
    }
}

bool SimpleProgress::update(qint64 value) {
    show(value);
    return poll();
}

bool SimpleProgress::add(qint64 delta) {
    show(m_value + delta);
    return poll();
}

bool SimpleProgress::poll() {
    QApplication::processEvents();
    return m_dialog && m_dialog->wasCanceled();
}

void SimpleProgress::requestCancel() {
    if (m_dialog) {
        m_dialog->cancel();
    }
}

void SimpleProgress::close() {
    if (m_dialog) {
        m_dialog->hide();
    }
}

QtPrompts::QtPrompts(QWidget* parent) : m_parent(parent) {}

void QtPrompts::showMessage(const QString& text, PromptIcon icon, const QString& captionText) {
    QMessageBox box(toQt(icon), caption(captionText), displayText(text), QMessageBox::Ok, m_parent);
    widenToCaption(box);
    box.exec();
}

int QtPrompts::choose(const QString& captionText, const QString& text, const QStringList& buttons, int defaultButton,
                      PromptIcon icon) {
    QMessageBox box(toQt(icon), caption(captionText), displayText(text), QMessageBox::NoButton, m_parent);
    QList<QPushButton*> pushButtons;
    for (const QString& label : buttons) {
        const bool cancel = QString(label).remove(QLatin1Char('&')).compare(QLatin1String("Cancel"),
                                                                            Qt::CaseInsensitive) == 0;
        pushButtons << box.addButton(label, cancel ? QMessageBox::RejectRole : QMessageBox::AcceptRole);
    }
    if (defaultButton >= 0 && defaultButton < pushButtons.size()) {
        box.setDefaultButton(pushButtons.at(defaultButton));
    }
    widenToCaption(box);
    box.exec();
    return int(pushButtons.indexOf(qobject_cast<QPushButton*>(box.clickedButton())));
}

QString QtPrompts::openFileName(const QString& captionText, const QString& directory, const QString& filter) {
    return QFileDialog::getOpenFileName(m_parent, captionText, directory, filter);
}

QString QtPrompts::saveFileName(const QString& captionText, const QString& suggestedPath, const QString& filter) {
    const QFileDialog::Options options =
        m_confirmOverwrite ? QFileDialog::Options() : QFileDialog::DontConfirmOverwrite;
    return QFileDialog::getSaveFileName(m_parent, captionText, suggestedPath, filter, nullptr, options);
}

QString QtPrompts::saveFileNameNoReplacePrompt(const QString& captionText, const QString& suggestedPath,
                                              const QString& filter) {
    return QFileDialog::getSaveFileName(m_parent, captionText, suggestedPath, filter, nullptr,
                                        QFileDialog::DontConfirmOverwrite);
}

bool QtPrompts::getText(const QString& captionText, const QString& label, QString& text) {
    bool ok = false;
    const QString result = QInputDialog::getText(m_parent, captionText, label, QLineEdit::Normal, text, &ok);
    if (ok) {
        text = result;
    }
    return ok;
}

Progress& QtPrompts::progress() {
    if (m_progress != nullptr) {
        return *m_progress;
    }
    if (!m_fallback) {
        m_fallback = std::make_unique<SimpleProgress>(m_parent);
    }
    return *m_fallback;
}

}  // namespace orrery
