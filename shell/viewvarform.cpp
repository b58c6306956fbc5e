#include "viewvarform.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLocale>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace orrery {

namespace {

constexpr int kColumnWidths[link::kViewerColumns] = {92, 49, 75, 288};
// The widest text each column shows; the widths above suit small fonts, larger ones need more room.
const char* const kWidestTexts[link::kViewerColumns] = {"Variable Name", "Integer", "Address (hex)",
                                                        "Data (floats in scientific format)"};
constexpr int kCellPadding = 16;
constexpr int kRowHeight = 18;
constexpr int kVisibleRows = 16;

}  // namespace

TViewVariableDialog::TViewVariableDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setWindowTitle(QStringLiteral("View Variables"));
    StringGrid1 = new QTableWidget(1, link::kViewerColumns, this);
    StringGrid1->verticalHeader()->hide();
    StringGrid1->verticalHeader()->setDefaultSectionSize(kRowHeight);
    StringGrid1->verticalHeader()->setMinimumSectionSize(kRowHeight);
    StringGrid1->horizontalHeader()->setSectionsClickable(true);
    StringGrid1->horizontalHeader()->setHighlightSections(false);
    StringGrid1->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    StringGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    StringGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    StringGrid1->setSelectionBehavior(QAbstractItemView::SelectItems);
    int width = 0;
    const QFontMetrics metrics = StringGrid1->horizontalHeader()->fontMetrics();
    for (int c = 0; c < link::kViewerColumns; ++c) {
        const int needed = metrics.horizontalAdvance(QString::fromLatin1(kWidestTexts[c])) + kCellPadding;
        const int columnWidth = std::max(kColumnWidths[c], needed);
        StringGrid1->setColumnWidth(c, columnWidth);
        width += columnWidth;
    }
    StringGrid1->setMinimumSize(width + 24, kRowHeight * (kVisibleRows + 1) + 8);

    OpenButton = new QPushButton(QStringLiteral("Open"), this);
    AllDataButton = new QPushButton(QStringLiteral("All data"), this);
    DoneButton = new QPushButton(QStringLiteral("Done"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OpenButton);
    buttons->addWidget(AllDataButton);
    buttons->addWidget(DoneButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(StringGrid1);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(OpenButton, &QPushButton::clicked, this, &TViewVariableDialog::OpenButtonClick);
    connect(AllDataButton, &QPushButton::clicked, this, &TViewVariableDialog::AllDataButtonClick);
    connect(DoneButton, &QPushButton::clicked, this, &QDialog::accept);
    // Both signals come only for a left click released over the cell (or header) it was pressed on.
    connect(StringGrid1, &QTableWidget::cellClicked, this, [this](int row, int column) { cellClick(column, row + 1); });
    connect(StringGrid1->horizontalHeader(), &QHeaderView::sectionClicked, this,
            [this](int column) { cellClick(column, 0); });
}

TViewVariableDialog::~TViewVariableDialog() = default;

void TViewVariableDialog::setViewer(link::VariableViewer* viewer) {
    m_viewer = viewer;
    if (m_viewer) {
        m_viewer->decimalSeparator = QLocale().decimalPoint().at(0);
    }
}

void TViewVariableDialog::run() {
    if (m_runner) {
        m_runner(*this);
        return;
    }
    // The symbol file is asked for once the dialog is on the screen, as its first show.
    QTimer::singleShot(0, this, &TViewVariableDialog::FormShow);
    exec();
}

void TViewVariableDialog::FormShow() {
    if (m_viewer) {
        m_viewer->FormShow();
        StringGrid1->setCurrentCell(0, 0);
        refresh();
    }
}

void TViewVariableDialog::OpenButtonClick() {
    if (m_viewer) {
        m_viewer->openSymbolFile();
        refresh();
    }
}

void TViewVariableDialog::AllDataButtonClick() {
    if (m_viewer) {
        m_viewer->ReadAllVariables();
        refresh();
    }
}

void TViewVariableDialog::cellClick(int column, int row) {
    if (m_viewer) {
        m_viewer->cellChosen(column, row);
        refresh();
    }
}

void TViewVariableDialog::refresh() {
    if (!m_viewer) {
        return;
    }
    const int rows = m_viewer->rowCount() - 1;
    StringGrid1->setRowCount(rows);
    QStringList headers;
    for (int c = 0; c < link::kViewerColumns; ++c) {
        headers << m_viewer->cellText(c, 0);
    }
    StringGrid1->setHorizontalHeaderLabels(headers);
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < link::kViewerColumns; ++c) {
            const QString text = m_viewer->cellText(c, r + 1);
            QTableWidgetItem* item = StringGrid1->item(r, c);
            if (!item) {
                StringGrid1->setItem(r, c, new QTableWidgetItem(text));
            } else if (item->text() != text) {
                item->setText(text);
            }
        }
    }
}

}  // namespace orrery
