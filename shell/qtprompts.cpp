#include "qtprompts.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLocale>
#include <QMessageBox>
#include <QMimeDatabase>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QTreeView>
#include <iterator>

#include "productname.h"

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
    return given.isEmpty() ? kProductName : given;
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

namespace {

// How the type column names the kinds of file the workbench reads and writes, and a folder.
QStringList fileTypeNames() {
    QStringList names{QFileSystemModel::tr("Folder")};
    const QMimeDatabase mimeTypes;
    for (const char* name :
         {"a.qob", "a.lst", "a.sym", "a.bin", "a.dat", "a.txt", "a.csv", "a.hex", "a.png"}) {
        names
            << mimeTypes.mimeTypeForFile(QString::fromLatin1(name), QMimeDatabase::MatchExtension).comment();
    }
    return names;
}

}  // namespace

void fitFileDialogColumns(QFileDialog& dialog) {
    auto* tree = dialog.findChild<QTreeView*>(QStringLiteral("treeView"));
    if (tree == nullptr) {
        return;  // the desktop's own dialog
    }
    // The widest texts the columns show: a name of ordinary length, "1,023 bytes" or "1,023.99 KiB"
    // spelled as this locale spells sizes, the types of the workbench's files and a date with its time.
    const QFontMetrics metrics(tree->font());
    const QLocale locale;
    const auto widthOf = [&metrics](const QStringList& texts) {
        int width = 0;
        for (const QString& text : texts) {
            width = qMax(width, metrics.horizontalAdvance(text));
        }
        return width + 3 * metrics.averageCharWidth();
    };
    const QDateTime lateInTheYear(QDate(2026, 12, 28), QTime(23, 58));
    const int columns[] = {
        widthOf({QString(32, QLatin1Char('n'))}) + tree->indentation() + tree->iconSize().width(),
        widthOf({QFileSystemModel::tr("%1 bytes").arg(locale.toString(1023)),
                 locale.formattedDataSize(1023 * 1024 + 1013),
                 locale.formattedDataSize(1023LL * 1024 * 1024 + 1000000)}),
        widthOf(fileTypeNames()),
        widthOf({locale.toString(lateInTheYear, QLocale::ShortFormat)}),
    };
    QHeaderView* header = tree->header();
    int total = 0;
    for (int column = 0; column < header->count() && column < int(std::size(columns)); ++column) {
        header->resizeSection(column, qMax(header->sectionSize(column), columns[column]));
        total += header->sectionSize(column);
    }
    // The places list beside the columns keeps its own width; the rest of the dialog grows to show every
    // column without a scroll bar.
    int sidebar = 0;
    if (const QWidget* places = dialog.findChild<QWidget*>(QStringLiteral("sidebar")); places != nullptr) {
        sidebar = places->isVisibleTo(&dialog) ? places->width() : 0;
    }
    const QStyle* style = dialog.style();
    const int frame = 4 * style->pixelMetric(QStyle::PM_LayoutLeftMargin) +
                      2 * style->pixelMetric(QStyle::PM_LayoutHorizontalSpacing) +
                      style->pixelMetric(QStyle::PM_SplitterWidth) +
                      tree->verticalScrollBar()->sizeHint().width() + 2 * tree->frameWidth() +
                      2 * metrics.averageCharWidth();
    int wanted = sidebar + total + frame;
    if (const QScreen* screen = dialog.screen()) {
        wanted = qMin(wanted, screen->availableGeometry().width());
    }
    if (dialog.width() < wanted) {
        dialog.resize(wanted, dialog.height());
    }
}

namespace {

QString runFileDialog(QWidget* parent, const QString& caption, const QString& path, const QString& filter,
                      QFileDialog::AcceptMode mode, QFileDialog::Options options) {
    // A bare file name (the EPROM export before any program was loaded) or no path at all starts in
    // the home folder, not in whatever folder the workbench was started from.
    const QString start = path.isEmpty() ? QDir::homePath() : QDir::home().filePath(path);
    QFileDialog dialog(parent, caption, start, filter);
    dialog.setOptions(options);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    fitFileDialogColumns(dialog);
    if (dialog.exec() != QDialog::Accepted) {
        return {};
    }
    return dialog.selectedFiles().value(0);
}

}  // namespace

QString QtPrompts::openFileName(const QString& captionText, const QString& directory, const QString& filter) {
    return runFileDialog(m_parent, captionText, directory, filter, QFileDialog::AcceptOpen, {});
}

QString QtPrompts::saveFileName(const QString& captionText, const QString& suggestedPath, const QString& filter) {
    const QFileDialog::Options options =
        m_confirmOverwrite ? QFileDialog::Options() : QFileDialog::DontConfirmOverwrite;
    return runFileDialog(m_parent, captionText, suggestedPath, filter, QFileDialog::AcceptSave, options);
}

QString QtPrompts::saveFileNameNoReplacePrompt(const QString& captionText, const QString& suggestedPath,
                                              const QString& filter) {
    return runFileDialog(m_parent, captionText, suggestedPath, filter, QFileDialog::AcceptSave,
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
