// Page placement in the four display modes, and the lookups a view makes with it.

#include "pdf/PDFPageLayout.h"

#include <gtest/gtest.h>

#include <limits>

using namespace scrivola;

namespace {

const QSizeF kLetter(612, 792);
const QSizeF kLandscape(792, 612);

TEST(PDFPageLayout, ContinuousStacksPagesCentredWithGapsAndFindsThemByPoint) {
    const PDFPageLayout layout({kLetter, kLandscape, kLetter}, ViewMode::continuous);
    EXPECT_EQ(layout.documentSize(), QSizeF(792 + 20, 10 + 792 + 10 + 612 + 10 + 792 + 10));
    EXPECT_EQ(layout.pageRect(0), QRectF(100, 10, 612, 792));
    EXPECT_EQ(layout.pageRect(1), QRectF(10, 812, 792, 612));
    EXPECT_EQ(layout.pageRect(2).top(), 1434);
    EXPECT_TRUE(layout.pageRect(3).isNull());

    EXPECT_EQ(layout.pageAt({400, 1000}, false), 1);
    EXPECT_EQ(layout.pageAt({400, 806}, false), -1);  // in the gap
    EXPECT_EQ(layout.pageAt({400, 806}, true), 0);    // 4 points below the first page, 6 above the second
    EXPECT_EQ(layout.pageAt({50, 400}, true), 0);     // beside page 1
    EXPECT_EQ(layout.pageAt({400, 99999}, true), 2);  // below the last page
    EXPECT_EQ(layout.pageAt({400, -50}, true), 0);
    EXPECT_EQ(layout.pagesIn(QRectF(0, 700, 800, 200)), (std::vector<int>{0, 1}));
    EXPECT_EQ(layout.pagesIn(QRectF(0, 2300, 800, 50)), std::vector<int>{});

    const PDFPageLayout plain({kLetter, kLetter}, ViewMode::continuous, false);
    EXPECT_EQ(plain.documentSize(), QSizeF(612, 1584));
    EXPECT_EQ(plain.pageRect(1), QRectF(0, 792, 612, 792));
}

TEST(PDFPageLayout, TwoUpPairsPagesAndSingleModesShowOneRowAtATime) {
    const std::vector<QSizeF> sizes{kLetter, kLandscape, kLetter};
    const PDFPageLayout twoUp(sizes, ViewMode::twoPagesContinuous);
    ASSERT_EQ(twoUp.rowCount(), 2);
    EXPECT_EQ(twoUp.rowOf(1), 0);
    EXPECT_EQ(twoUp.rowOf(2), 1);
    EXPECT_EQ(twoUp.endPageOfRow(1), 3);
    // A row is as wide as its pages and the gap between them: 612 + 10 + 792.
    EXPECT_EQ(twoUp.documentSize().width(), 612 + 10 + 792 + 20);
    EXPECT_EQ(twoUp.pageRect(0), QRectF(10, 10, 612, 792));
    EXPECT_EQ(twoUp.pageRect(1), QRectF(632, 10 + 90, 792, 612));  // centred on the row's height
    EXPECT_EQ(twoUp.pageRect(2), QRectF((1434 - 612) / 2.0, 812, 612, 792));  // the odd last page, centred

    const PDFPageLayout single(sizes, ViewMode::singlePage);
    EXPECT_EQ(single.documentSize(), QSizeF(792 + 20, 792 + 20));  // the largest row, for every row
    EXPECT_EQ(single.pageRect(2).top(), 10);
    EXPECT_EQ(single.pageAt({400, 400}, false, 2), 2);
    EXPECT_EQ(single.pagesIn(QRectF(0, 0, 1000, 1000), 1), std::vector<int>{1});
    EXPECT_EQ(single.pageAt({400, 400}, true, 99), 2);  // a shown row past the end is the last

    const PDFPageLayout spreads(sizes, ViewMode::twoPages);
    EXPECT_EQ(spreads.pagesIn(QRectF(0, 0, 2000, 2000), 0), (std::vector<int>{0, 1}));
    EXPECT_EQ(spreads.pageAt({1500, 400}, true, 0), 1);
}

TEST(PDFPageLayout, EmptyAndDamagedSizesNeverBreakTheLookups) {
    const PDFPageLayout none({}, ViewMode::continuous);
    EXPECT_EQ(none.documentSize(), QSizeF(0, 0));
    EXPECT_EQ(none.pageAt({0, 0}, true), -1);
    EXPECT_TRUE(none.pagesIn(QRectF(0, 0, 100, 100)).empty());

    const double nan = std::numeric_limits<double>::quiet_NaN();
    const PDFPageLayout odd({QSizeF(-5, 10), QSizeF(nan, 100), kLetter}, ViewMode::continuous);
    EXPECT_EQ(odd.pageRect(0).size(), QSizeF(0, 10));
    EXPECT_EQ(odd.pageRect(1).size(), QSizeF(0, 100));
    EXPECT_EQ(odd.pageAt({100, odd.pageRect(2).center().y()}, false), 2);
    EXPECT_EQ(odd.pageAt({nan, 5}, true), -1);
}

TEST(PDFPageLayout, LookupsFindTheRightPagesDeepInAThousandPages) {
    const PDFPageLayout layout(std::vector<QSizeF>(1000, kLetter), ViewMode::continuous);
    const double rowStep = 792 + 10;
    EXPECT_EQ(layout.pageAt({300, 10 + 500 * rowStep + 5}, false), 500);
    EXPECT_EQ(layout.pagesIn(QRectF(0, 10 + 700 * rowStep + 400, 800, 900)), (std::vector<int>{700, 701}));
}

}  // namespace
