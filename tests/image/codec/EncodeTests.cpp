// Encoding round trips per format: size, pixels, alpha, quality, DPI and the extension table.

#include "CodecTestHelpers.h"

#include <ctime>

using namespace scrivola;
using namespace scrivola::testing;

namespace {

QImage decodedRoundTrip(const QImage& image, ImageEncoding encoding, const EncodeOptions& options = {}) {
    return ImageCodec::decode(ImageCodec::encode(image, encoding, options), ImageCodec::extension(encoding));
}

TEST(EncodeTest, EveryEncodingRoundTripsSizeAndPixels) {
    const QImage source = patternImage({101, 67});  // odd sizes catch chroma subsampling and padding errors
    const QList<std::pair<ImageEncoding, int>> cases = {{ImageEncoding::png, 0},  {ImageEncoding::tiff, 0},
                                                        {ImageEncoding::bmp, 0},  {ImageEncoding::gif, 0},
                                                        {ImageEncoding::jpeg, 12}, {ImageEncoding::heic, 20}};
    for (const auto& [encoding, tolerance] : cases) {
        SCOPED_TRACE(ImageCodec::extension(encoding).toStdString());
        const QImage decoded = decodedRoundTrip(source, encoding);
        EXPECT_EQ(decoded.size(), source.size());
        expectPattern(decoded, tolerance);
    }
}

TEST(EncodeTest, LosslessEncodingsKeepEveryPixelAndResolutionSurvives) {
    const QImage source = photoImage({64, 48});
    for (const ImageEncoding encoding : {ImageEncoding::png, ImageEncoding::tiff, ImageEncoding::bmp}) {
        SCOPED_TRACE(ImageCodec::extension(encoding).toStdString());
        EXPECT_EQ(decodedRoundTrip(source, encoding).convertToFormat(QImage::Format_RGB32), source);
    }
    QImage translucent(7, 5, QImage::Format_ARGB32);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x) translucent.setPixel(x, y, qRgba(30 * x, 50 * y, 200, 40 * y + 10));
    EXPECT_EQ(decodedRoundTrip(translucent, ImageEncoding::png).convertToFormat(QImage::Format_ARGB32), translucent);
    QImage dense = patternImage({40, 40});
    dense.setDotsPerMeterX(11811);  // 300 DPI
    dense.setDotsPerMeterY(11811);
    for (const ImageEncoding encoding : {ImageEncoding::png, ImageEncoding::jpeg, ImageEncoding::tiff}) {
        SCOPED_TRACE(ImageCodec::extension(encoding).toStdString());
        const QImage decoded = decodedRoundTrip(dense, encoding);
        EXPECT_NEAR(decoded.dotsPerMeterX(), 11811, 40);
        EXPECT_NEAR(decoded.dotsPerMeterY(), 11811, 40);
    }
}

TEST(EncodeTest, AlphaKeptWhereTheFormatHasItAndFlattenedOntoWhiteElsewhere) {
    const QImage source = patternImage({80, 60}, true);
    for (const ImageEncoding encoding : {ImageEncoding::png, ImageEncoding::tiff, ImageEncoding::gif, ImageEncoding::heic}) {
        SCOPED_TRACE(ImageCodec::extension(encoding).toStdString());
        const QImage decoded = decodedRoundTrip(source, encoding);
        EXPECT_TRUE(decoded.hasAlphaChannel());
        expectPattern(decoded, encoding == ImageEncoding::heic ? 24 : 0, Qt::transparent);
    }
    for (const ImageEncoding encoding : {ImageEncoding::jpeg, ImageEncoding::bmp}) {
        SCOPED_TRACE(ImageCodec::extension(encoding).toStdString());
        expectPattern(decodedRoundTrip(source, encoding), encoding == ImageEncoding::jpeg ? 12 : 0, Qt::white);
    }
    QImage halfTransparent(16, 16, QImage::Format_ARGB32);
    halfTransparent.fill(QColor(0, 0, 0, 128));
    EXPECT_TRUE(colourNear(decodedRoundTrip(halfTransparent, ImageEncoding::jpeg).pixel(8, 8), QColor(127, 127, 127), 6));
}

TEST(EncodeTest, LossyQualityChangesSizeAndDefaultsAreSensible) {
    const QImage photo = photoImage({400, 300});
    for (const ImageEncoding encoding : {ImageEncoding::jpeg, ImageEncoding::heic}) {
        SCOPED_TRACE(ImageCodec::extension(encoding).toStdString());
        EncodeOptions low, high;
        low.quality = 0.1;
        high.quality = 1.0;
        const qsizetype lowSize = ImageCodec::encode(photo, encoding, low).size();
        const qsizetype highSize = ImageCodec::encode(photo, encoding, high).size();
        const qsizetype defaultSize = ImageCodec::encode(photo, encoding).size();
        EXPECT_LT(lowSize * 2, highSize);
        EXPECT_LT(lowSize, defaultSize);
        EXPECT_LT(defaultSize, highSize);
    }
    // Out-of-range values are clamped, not rejected.
    EncodeOptions silly;
    silly.quality = 7;
    EXPECT_EQ(ImageCodec::decode(ImageCodec::encode(photo, ImageEncoding::jpeg, silly)).size(), photo.size());
}

TEST(EncodeTest, FastHeicTakesLessWork) {
    // Processor time, not wall time: the encoder's threads count, other processes on the machine do not.
    const QImage photo = photoImage({640, 480});
    EncodeOptions fast, slow;
    fast.quality = slow.quality = 0.7;
    slow.fastHeic = false;
    std::clock_t start = std::clock();
    const QByteArray fastBytes = ImageCodec::encode(photo, ImageEncoding::heic, fast);
    const std::clock_t fastTicks = std::clock() - start;
    start = std::clock();
    const QByteArray slowBytes = ImageCodec::encode(photo, ImageEncoding::heic, slow);
    const std::clock_t slowTicks = std::clock() - start;
    EXPECT_LT(fastTicks * 3, slowTicks * 2);
    expectPattern(ImageCodec::decode(ImageCodec::encode(patternImage({64, 64}), ImageEncoding::heic, fast)), 20);
    EXPECT_EQ(ImageCodec::decode(fastBytes).size(), photo.size());
    EXPECT_EQ(ImageCodec::decode(slowBytes).size(), photo.size());
}

TEST(EncodeTest, NullImageFailsAndExtensionsAreReadCaseInsensitively) {
    for (const ImageEncoding encoding : {ImageEncoding::jpeg, ImageEncoding::png, ImageEncoding::tiff, ImageEncoding::bmp,
                                         ImageEncoding::gif, ImageEncoding::heic}) {
        EXPECT_EQ(codecErrorOf([&] { ImageCodec::encode(QImage(), encoding); }), ImageCodecError::Kind::encodeFailed);
        EXPECT_EQ(ImageCodec::encodingForExtension(ImageCodec::extension(encoding).toUpper()), encoding);
    }
    EXPECT_EQ(ImageCodec::encodingForExtension(".png"), ImageEncoding::png);
    EXPECT_EQ(ImageCodec::encodingForExtension("Tif"), ImageEncoding::tiff);
    EXPECT_EQ(ImageCodec::encodingForExtension("webp"), std::nullopt);  // read, never written
}

}  // namespace
