#include "ImageModelTestFiles.h"

#include "image/ImageDocumentModel.h"

#include <QColorSpace>
#include <gtest/gtest.h>

using namespace scrivola;
using namespace scrivola::imagetest;

namespace {

TEST(ImageRotationTest, QuarterTurnsAreExactAndKeepResolutionAndDpi) {
    QImage source = quadrantImage(400, 300);
    source.setDotsPerMeterX(11811);  // 300 DPI
    source.setDotsPerMeterY(11811);
    source.setColorSpace(QColorSpace::DisplayP3);

    const QImage left = rotated(source, 90);  // counterclockwise
    ASSERT_EQ(left.size(), QSize(300, 400));
    EXPECT_EQ(left.pixel(0, 0), qRgb(0, 255, 0));      // top-right quadrant comes to the top-left
    EXPECT_EQ(left.pixel(299, 399), qRgb(255, 255, 0)); // bottom-left comes to the bottom-right
    EXPECT_EQ(left.dotsPerMeterX(), 11811);
    EXPECT_EQ(left.dotsPerMeterY(), 11811);
    EXPECT_EQ(left.colorSpace(), QColorSpace(QColorSpace::DisplayP3));

    const QImage right = rotated(source, -90);  // clockwise
    ASSERT_EQ(right.size(), QSize(300, 400));
    EXPECT_EQ(right.pixel(0, 0), qRgb(255, 255, 0));
    EXPECT_EQ(right.pixel(299, 0), qRgb(255, 0, 0));

    const QImage half = rotated(source, 180);
    ASSERT_EQ(half.size(), QSize(400, 300));
    EXPECT_EQ(half.pixel(0, 0), qRgb(0, 0, 255));
    EXPECT_EQ(rotated(source, -180), half);
    EXPECT_EQ(rotated(source, 270), right);
    EXPECT_EQ(rotated(source, -450), right);

    QImage turned = source;
    for (int i = 0; i < 4; ++i) turned = rotated(turned, 90);
    EXPECT_EQ(turned, source);
    EXPECT_EQ(rotated(source, 360), source);
    EXPECT_TRUE(rotated(QImage(), 90).isNull());
}

}  // namespace
