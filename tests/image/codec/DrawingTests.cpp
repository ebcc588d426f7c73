// Drawing helpers: quarter turns, scaling, point sizes and images drawn by a handler.

#include "CodecTestHelpers.h"

#include <QColorSpace>
#include <QPainter>

using namespace scrivola;
using namespace scrivola::testing;

namespace {

// A 400 × 300 image whose four corner pixels have distinct colours.
QImage cornerImage() {
    QImage image(400, 300, QImage::Format_ARGB32);
    image.fill(Qt::gray);
    image.setPixel(0, 0, qRgb(255, 0, 0));        // top-left red
    image.setPixel(399, 0, qRgb(0, 255, 0));      // top-right green
    image.setPixel(0, 299, qRgb(0, 0, 255));      // bottom-left blue
    image.setPixel(399, 299, qRgb(255, 255, 0));  // bottom-right yellow
    image.setDotsPerMeterX(11811);                // 300 DPI across
    image.setDotsPerMeterY(5906);                 // 150 DPI down
    image.setColorSpace(QColorSpace::DisplayP3);
    return image;
}

TEST(DrawingTest, QuarterTurnsMovePixelsExactly) {
    const QImage source = cornerImage();
    const QImage cw = ImageDrawing::rotated(source, 90);
    ASSERT_EQ(cw.size(), QSize(300, 400));
    // Turned clockwise: the old left edge becomes the top edge.
    EXPECT_EQ(cw.pixel(299, 0), qRgb(255, 0, 0));
    EXPECT_EQ(cw.pixel(299, 399), qRgb(0, 255, 0));
    EXPECT_EQ(cw.pixel(0, 0), qRgb(0, 0, 255));
    EXPECT_EQ(cw.pixel(0, 399), qRgb(255, 255, 0));

    EXPECT_EQ(ImageDrawing::rotated(source, 180).pixel(399, 299), qRgb(255, 0, 0));
    const QImage ccw = ImageDrawing::rotated(source, -90);
    EXPECT_EQ(ccw.pixel(0, 399), qRgb(255, 0, 0));
    EXPECT_EQ(ImageDrawing::rotated(source, -450), ccw);
    EXPECT_EQ(ImageDrawing::rotated(source, 360), source);

    EXPECT_EQ(cw.dotsPerMeterX(), 5906);  // the axes swap with the picture
    EXPECT_EQ(cw.dotsPerMeterY(), 11811);
    EXPECT_EQ(cw.colorSpace(), QColorSpace(QColorSpace::DisplayP3));
    // Point size turns with the picture: 400 px at 300 DPI = 96 pt, 300 px at 150 DPI = 144 pt;
    // without a resolution, 72 DPI.
    EXPECT_NEAR(ImageDrawing::pointSize(source).width(), 96.0, 0.1);
    EXPECT_NEAR(ImageDrawing::pointSize(cw).width(), 144.0, 0.1);
    EXPECT_EQ(ImageDrawing::pointSize(QImage(144, 72, QImage::Format_RGB32)), QSizeF(144, 72));
}

TEST(DrawingTest, OtherAnglesKeepTheWholePicture) {
    QImage square(100, 100, QImage::Format_RGB32);
    square.fill(Qt::red);
    const QImage tilted = ImageDrawing::rotated(square, 45);
    EXPECT_NEAR(tilted.width(), 141, 2);
    EXPECT_NEAR(tilted.height(), 141, 2);
    EXPECT_EQ(qAlpha(tilted.pixel(1, 1)), 0);  // corner outside the picture
    EXPECT_TRUE(colourNear(tilted.pixel(tilted.width() / 2, tilted.height() / 2), Qt::red, 2));
}

TEST(DrawingTest, ScalingDownKeepsContentAndMetadata) {
    QImage source = patternImage({4000, 3000});
    source.setColorSpace(QColorSpace::AdobeRgb);
    const QImage small = ImageDrawing::scaled(source, {200, 150});
    EXPECT_EQ(small.size(), QSize(200, 150));
    expectPattern(small, 2);
    EXPECT_EQ(small.colorSpace(), QColorSpace(QColorSpace::AdobeRgb));
    // A fine checkerboard averages to grey instead of aliasing to black or white.
    QImage checker(1024, 1024, QImage::Format_RGB32);
    for (int y = 0; y < 1024; ++y)
        for (int x = 0; x < 1024; ++x) checker.setPixel(x, y, ((x + y) & 1) ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
    const QImage reduced = ImageDrawing::scaled(checker, {37, 37});
    EXPECT_TRUE(colourNear(reduced.pixel(18, 18), QColor(128, 128, 128), 12));
    EXPECT_EQ(ImageDrawing::scaled(source, {300, 0}), QImage());
}

TEST(DrawingTest, DrawImageStartsTransparentAndDrawsAntialiased) {
    const QImage image = ImageDrawing::drawImage({50, 40}, [](QPainter& painter) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::blue);
        painter.drawEllipse(QRectF(5, 5, 30, 30));
    });
    EXPECT_EQ(qAlpha(image.pixel(45, 35)), 0);
    EXPECT_EQ(image.pixel(20, 20), QColor(Qt::blue).rgb());
    // Antialiased edge: some pixels on the circle's rim are partly covered.
    bool partial = false;
    for (int x = 0; x < 50 && !partial; ++x) partial = qAlpha(image.pixel(x, 20)) > 0 && qAlpha(image.pixel(x, 20)) < 255;
    EXPECT_TRUE(partial);
    EXPECT_TRUE(ImageDrawing::drawImage({100000, 100000}, nullptr).isNull());
}

}  // namespace
