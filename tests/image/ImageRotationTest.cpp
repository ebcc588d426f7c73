#include "support/ImageFactory.h"

#include "image/ImageDocumentModel.h"

#include <gtest/gtest.h>

using namespace scrivola;
using namespace scrivola::testing;

// Positive angles turn counterclockwise, by exact quarter turns that keep the resolution.
TEST(ImageRotationTest, QuarterTurnsCounterclockwiseAreExactAndKeepTheDpi) {
    QImage source = quadrantImage(400, 300);
    source.setDotsPerMeterX(11811);  // 300 DPI
    source.setDotsPerMeterY(11811);
    const QImage left = rotated(source, 90);
    ASSERT_EQ(left.size(), QSize(300, 400));
    EXPECT_EQ(left.pixel(0, 0), qRgb(0, 255, 0));        // top-right quadrant comes to the top-left
    EXPECT_EQ(left.pixel(299, 399), qRgb(255, 255, 0));  // bottom-left comes to the bottom-right
    EXPECT_EQ(left.dotsPerMeterX(), 11811);
    const QImage right = rotated(source, -90);
    EXPECT_EQ(right.pixel(0, 0), qRgb(255, 255, 0));
    EXPECT_EQ(rotated(source, 270), right);
    EXPECT_EQ(rotated(source, -450), right);
    EXPECT_EQ(rotated(source, 180).pixel(0, 0), qRgb(0, 0, 255));
    EXPECT_EQ(rotated(source, 360), source);
    EXPECT_TRUE(rotated(QImage(), 90).isNull());
}
