// The hand-written GIF encoder, checked by decoding its output with Qt's GIF reader.

#include "CodecTestHelpers.h"
#include "image/codec/GifEncoder.h"

#include <QBuffer>
#include <QImageReader>
#include <QRandomGenerator>

#include <cmath>

using namespace scrivola;
using namespace scrivola::testing;

namespace {

QImage decodeGif(const QByteArray& bytes) {
    return ImageCodec::decode(bytes, "gif").convertToFormat(QImage::Format_ARGB32);
}

TEST(GifEncoderTest, FewColoursRoundTripExactlyThroughManyDictionaryResets) {
    // 200 random colours over 500 × 400 noise: the LZW table fills and restarts hundreds of times.
    QRandomGenerator random(42);
    QList<QRgb> colours;
    for (int i = 0; i < 200; ++i) colours << (random.generate() | 0xFF000000);
    QImage noise(500, 400, QImage::Format_ARGB32);
    for (int y = 0; y < noise.height(); ++y)
        for (int x = 0; x < noise.width(); ++x) noise.setPixel(x, y, colours[int(random.bounded(200))]);
    EXPECT_EQ(decodeGif(codec::encodeGif({noise})), noise);

    // Exactly 256 colours fit without transparency; one colour and one pixel work too.
    QImage full(256, 3, QImage::Format_ARGB32);
    for (int x = 0; x < 256; ++x)
        for (int y = 0; y < 3; ++y) full.setPixel(x, y, qRgb(x, 255 - x, (x * 7) & 0xFF));
    EXPECT_EQ(decodeGif(codec::encodeGif({full})), full);
    QImage single(1, 1, QImage::Format_ARGB32);
    single.fill(QColor(12, 34, 56));
    EXPECT_EQ(decodeGif(codec::encodeGif({single})), single);
}

TEST(GifEncoderTest, ManyColoursAreQuantisedCloselyWithAMedianCutPalette) {
    QImage gradient(256, 256, QImage::Format_ARGB32);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) gradient.setPixel(x, y, qRgb(x, y, 255 - (x + y) / 2));
    const QImage decoded = decodeGif(codec::encodeGif({gradient}));
    ASSERT_EQ(decoded.size(), gradient.size());
    double error = 0;
    int worst = 0;
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            const QRgb a = gradient.pixel(x, y), b = decoded.pixel(x, y);
            const int d = std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b))});
            error += d;
            worst = std::max(worst, d);
        }
    EXPECT_LT(error / (256 * 256), 8.0);  // 65,536 colours in 256: a few levels off on average
    EXPECT_LT(worst, 40);
}

TEST(GifEncoderTest, TransparencyAndAnimation) {
    QImage frame(20, 10, QImage::Format_ARGB32);
    frame.fill(Qt::transparent);
    for (int x = 0; x < 10; ++x)
        for (int y = 0; y < 10; ++y) frame.setPixel(x, y, qRgba(200, 10, 10, 255));
    const QImage decoded = decodeGif(codec::encodeGif({frame}));
    EXPECT_EQ(qAlpha(decoded.pixel(15, 5)), 0);
    EXPECT_EQ(decoded.pixel(5, 5), qRgba(200, 10, 10, 255));

    QImage red(16, 16, QImage::Format_RGB32), blue(16, 16, QImage::Format_RGB32);
    red.fill(Qt::red);
    blue.fill(Qt::blue);
    QByteArray bytes = codec::encodeGif({red, blue}, 25);
    QBuffer buffer(&bytes);
    QImageReader reader(&buffer, "gif");
    EXPECT_EQ(reader.imageCount(), 2);
    EXPECT_EQ(reader.loopCount(), -1);  // forever
    EXPECT_EQ(reader.read().pixel(3, 3), QColor(Qt::red).rgb());
    EXPECT_EQ(reader.nextImageDelay(), 250);
    EXPECT_EQ(reader.read().pixel(3, 3), QColor(Qt::blue).rgb());

    EXPECT_TRUE(codec::encodeGif({}).isEmpty());
    EXPECT_TRUE(codec::encodeGif({QImage()}).isEmpty());
}

}  // namespace
