// The View Variables dialog: its grid shows the viewer's texts, and real mouse clicks on the header and
// on value cells reach the viewer.
#include <gtest/gtest.h>

#include <QFile>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <cstring>

#include "scriptedprompts.h"
#include "viewvarform.h"

using namespace orrery;

namespace {

class BigEndianMemory : public link::VariableMemory {
public:
    QByteArray bytes = QByteArray(0x10000, '\0');
    bool failAll = false;
    link::MemoryRead ReadLoggerMemory(quint8* buffer, quint16 address, int count) override {
        if (failAll) {
            return link::MemoryRead::Failed;
        }
        std::memcpy(buffer, bytes.constData() + address, std::size_t(count));
        return link::MemoryRead::Done;
    }
    link::MemoryRead ReadLoggerLong(quint16 address, quint8* destination) override {
        for (int i = 0; i < 4; ++i) {
            destination[i] = quint8(bytes[address + 3 - i]);
        }
        return outcome();
    }
    link::MemoryRead ReadLoggerString(quint16 address, quint8& length, quint8* characters) override {
        length = quint8(bytes[address]);
        std::memcpy(characters, bytes.constData() + address + 1, length);
        return outcome();
    }

private:
    link::MemoryRead outcome() const { return failAll ? link::MemoryRead::Failed : link::MemoryRead::Done; }
};

class ViewVarForm : public ::testing::Test {
protected:
    QTemporaryDir dir;
    BigEndianMemory memory;
    ScriptedPrompts prompts;
    QString programDir;
    link::VariableViewer viewer{memory, prompts, programDir};
    TViewVariableDialog dialog;

    void SetUp() override {
        viewer.chooseSymbolFile = [this](const QString& folder) {
            return prompts.openFileName("Open", folder, "");
        };
        const QString sym = dir.filePath("p.sym");
        QFile f(sym);
        f.open(QIODevice::WriteOnly);
        f.write("QUOBOL SYMBOL TABLE\r\nCOUNT V I 7400\r\nNAME V S 7410\r\nTEMPS A F 7420 2\r\n[VCRC]=0\r\n");
        f.close();
        memory.bytes[0x7403] = 42;
        memory.bytes.replace(0x7410, 3, "\x02OK");
        memory.bytes.replace(0x7420, 4, QByteArray("\x3F\xC0\x00\x00", 4));  // 1.5
        memory.bytes.replace(0x7424, 4, QByteArray("\xC1\x20\x00\x00", 4));  // -10
        prompts.answerFile(sym);
        dialog.setViewer(&viewer);
        viewer.decimalSeparator = QLatin1Char('.');
        dialog.show();
        dialog.FormShow();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    }

    QString cell(int row, int column) {
        QTableWidgetItem* item = dialog.grid()->item(row, column);
        return item ? item->text() : QString();
    }
    QString header(int column) { return dialog.grid()->horizontalHeaderItem(column)->text(); }

    void clickCell(int row, int column) {
        QTableWidget* grid = dialog.grid();
        const QRect rect = grid->visualItemRect(grid->item(row, column));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, rect.center());
    }
    void clickHeader(int column) {
        QHeaderView* h = dialog.grid()->horizontalHeader();
        QTest::mouseClick(h->viewport(), Qt::LeftButton, {},
                          QPoint(h->sectionViewportPosition(column) + h->sectionSize(column) / 2, h->height() / 2));
    }
};

TEST_F(ViewVarForm, ShowsTheSymbolFileAsAGridUnderItsHeaders) {
    EXPECT_EQ(dialog.windowTitle(), "View Variables");
    EXPECT_FALSE(dialog.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_EQ(dialog.grid()->rowCount(), 4);
    const QStringList headers = {"Variable Name", "Type", "Address (hex)", "Data (floats in fixed point format)"};
    for (int c = 0; c < 4; ++c) {
        EXPECT_EQ(header(c), headers[c]);
    }
    EXPECT_EQ(cell(0, 0), "COUNT");
    EXPECT_EQ(cell(1, 0), "NAME$");
    EXPECT_EQ(cell(3, 0), "TEMPS!(1)");
    EXPECT_EQ(cell(3, 1), "Float");
    EXPECT_EQ(cell(3, 2), "7424");
    // At least the designed widths, and room for the headers in any font.
    const QFontMetrics metrics = dialog.grid()->horizontalHeader()->fontMetrics();
    EXPECT_GE(dialog.grid()->columnWidth(0), 92);
    EXPECT_GE(dialog.grid()->columnWidth(3), 288);
    EXPECT_GE(dialog.grid()->columnWidth(2), metrics.horizontalAdvance("Address (hex)"));
    EXPECT_EQ(dialog.grid()->editTriggers(), QAbstractItemView::NoEditTriggers);
}

TEST_F(ViewVarForm, ClicksReadValuesAndToggleTheHeaders) {
    clickCell(0, 3);
    clickCell(2, 3);
    clickCell(0, 1);  // the type column reads nothing
    EXPECT_EQ(cell(0, 3), "42");
    EXPECT_EQ(cell(2, 3), "1.5000000");
    EXPECT_EQ(cell(1, 3), "");

    clickHeader(2);
    EXPECT_EQ(header(2), "Address (dec)");
    EXPECT_EQ(cell(0, 2), "29696");
    clickHeader(3);
    EXPECT_EQ(header(3), "Data (floats in scientific format)");
    EXPECT_EQ(cell(2, 3), "1.500000E+00");
    clickHeader(0);
    EXPECT_EQ(header(3), "Data (floats in scientific format)");

    QTest::mouseClick(dialog.allDataButton(), Qt::LeftButton);
    EXPECT_EQ(cell(1, 3), "OK");
    EXPECT_EQ(cell(3, 3), "-1.000000E+01");
    EXPECT_EQ(prompts.messages(), QStringList());

    memory.failAll = true;
    QTest::mouseClick(dialog.allDataButton(), Qt::LeftButton);
    EXPECT_EQ(prompts.messages(), QStringList{"Error reading data from Brackwater"});
    EXPECT_EQ(cell(1, 3), "OK");
}

TEST_F(ViewVarForm, OpenLoadsAnotherFileAndDoneCloses) {
    const QString other = dir.filePath("other.sym");
    QFile f(other);
    f.open(QIODevice::WriteOnly);
    f.write("QUOBOL SYMBOL TABLE\r\nONLY V I 7000\r\n");
    f.close();
    prompts.answerFile(other);
    QTest::mouseClick(dialog.openButton(), Qt::LeftButton);
    EXPECT_EQ(dialog.grid()->rowCount(), 1);
    EXPECT_EQ(cell(0, 0), "ONLY");
    QTest::mouseClick(dialog.doneButton(), Qt::LeftButton);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

}  // namespace
