// The font chooser measures: whatever fonts the machine has, the chosen font advances every printable
// character by the same width, and a family that does not measure right is passed over.
#include <gtest/gtest.h>

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>

#include "cellfont.h"

using namespace orrery;

TEST(CellFont, TheChosenFontHasEqualAdvancesWhateverIsWanted) {
    const QStringList wants[] = {{}, {"Fixedsys"}, {"Terminal"}, {"DejaVu Sans"}, {"No Such Family 123"}};
    for (const QStringList& wanted : wants) {
        const QFont font = chooseCellFont(wanted, 10);
        const QFontMetricsF metrics(font);
        const qreal width = cellAdvance(font);
        EXPECT_GT(width, 0) << wanted.join(",").toStdString();
        for (char c : {'i', 'W', '1', '~', '.', '@', 'm'}) {
            EXPECT_EQ(metrics.horizontalAdvance(QLatin1Char(c)), width)
                << font.family().toStdString() << " '" << c << "' wanted " << wanted.join(",").toStdString();
        }
        // A line of N characters is N cells long.
        EXPECT_NEAR(metrics.horizontalAdvance(QStringLiteral("MMMMiiii....WWWW")), 16 * width, 0.02);
    }
}

TEST(CellFont, AProportionalFamilyIsPassedOver) {
    for (const QString& family : QFontDatabase::families()) {
        QFont proportional(family);
        proportional.setPointSize(10);
        if (hasEqualAdvances(proportional)) {
            continue;
        }
        const QFont chosen = chooseCellFont({family}, 10);
        EXPECT_NE(QFontInfo(chosen).family(), QFontInfo(proportional).family()) << family.toStdString();
        EXPECT_TRUE(hasEqualAdvances(chosen));
        return;  // one proportional family is enough to show it
    }
    GTEST_SKIP() << "no proportional family installed";
}
