// Encoding round trips per format (size, pixels, alpha, quality, DPI), the hand-written GIF
// encoder checked through Qt's GIF reader, and streaming JPEG re-encoding.

#include "CodecTestHelpers.h"
#include "image/codec/GifEncoder.h"

#include <QBuffer>
#include <QColorSpace>
#include <QImageReader>
#include <QRandomGenerator>

#include <cmath>

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

TEST(EncodeTest, NullImageFailsAndExtensionsAreReadCaseInsensitively) {
    for (const ImageEncoding encoding : {ImageEncoding::jpeg, ImageEncoding::gif, ImageEncoding::heic})
        EXPECT_EQ(codecErrorOf([&] { ImageCodec::encode(QImage(), encoding); }), ImageCodecError::Kind::encodeFailed);
    EXPECT_EQ(ImageCodec::encodingForExtension(".PNG"), ImageEncoding::png);
    EXPECT_EQ(ImageCodec::encodingForExtension("Tif"), ImageEncoding::tiff);
    EXPECT_EQ(ImageCodec::encodingForExtension("webp"), std::nullopt);  // read, never written
}

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

TEST(JpegTranscode, KeepsThePictureItsOrientationAndItsColourProfile) {
    // Orientation 6: stored turned, shown upright once the Exif tag is applied.
    const QSize display(160, 100);
    const QByteArray original = jpegWithExifOrientation6(display);
    const auto transcoded = ImageCodec::transcodeJpeg(original, 0.8);
    ASSERT_TRUE(transcoded.has_value());
    const QImage shown = ImageCodec::decode(*transcoded);
    EXPECT_EQ(shown.size(), display);
    expectPattern(shown, 16);

    QImage tagged = patternImage({120, 90});
    tagged.setColorSpace(QColorSpace::AdobeRgb);
    const auto retagged = ImageCodec::transcodeJpeg(ImageCodec::encode(tagged, ImageEncoding::jpeg), 0.6);
    ASSERT_TRUE(retagged.has_value());
    const QImage decoded = ImageCodec::decode(*retagged);
    EXPECT_EQ(decoded.colorSpace().primaries(), QColorSpace::Primaries::AdobeRgb);
    expectPattern(decoded, 16);

    // Grey pictures stay grey.
    const QImage grey = patternImage({64, 64}).convertToFormat(QImage::Format_Grayscale8);
    const auto greyOut = ImageCodec::transcodeJpeg(ImageCodec::encode(grey, ImageEncoding::jpeg), 0.7);
    ASSERT_TRUE(greyOut.has_value());
    EXPECT_TRUE(ImageCodec::decode(*greyOut).isGrayscale());
}

TEST(JpegTranscode, QualityDecidesTheSizeAsTheGeneralEncoderDoes) {
    // A busy picture, so that quality shows in the size.
    QImage noise(400, 300, QImage::Format_RGB32);
    std::srand(7);
    for (int y = 0; y < noise.height(); ++y)
        for (int x = 0; x < noise.width(); ++x) noise.setPixel(x, y, qRgb(std::rand() % 256, (x * 3) % 256, (y * 5) % 256));
    const QByteArray source = ImageCodec::encode(noise, ImageEncoding::jpeg, {0.95});
    const auto low = ImageCodec::transcodeJpeg(source, 0.3);
    const auto high = ImageCodec::transcodeJpeg(source, 0.9);
    ASSERT_TRUE(low && high);
    EXPECT_LT(low->size(), high->size());
    // The same pixels through the general encoder at the same quality give the same bytes' worth.
    const QByteArray general = ImageCodec::encode(ImageCodec::decode(source), ImageEncoding::jpeg, {0.3});
    EXPECT_NEAR(double(low->size()), double(general.size()), general.size() * 0.05);
}

TEST(JpegTranscode, DamagedOrForeignDataIsRefused) {
    EXPECT_EQ(codecErrorOf([] { ImageCodec::transcodeJpeg(truncatedJpeg({200, 150}), 0.7); }),
              ImageCodecError::Kind::corrupted);
    QByteArray broken = imageBytes({200, 150}, "jpeg");
    broken.truncate(40);
    EXPECT_EQ(codecErrorOf([&] { ImageCodec::transcodeJpeg(broken, 0.7); }), ImageCodecError::Kind::corrupted);
    EXPECT_FALSE(ImageCodec::transcodeJpeg(imageBytes({20, 20}, "png"), 0.7).has_value());
    EXPECT_FALSE(ImageCodec::transcodeJpeg(QByteArray(), 0.7).has_value());

    // A header declaring 65,000 × 65,000 pixels is refused before any row is decoded.
    QByteArray huge = imageBytes({16, 16}, "jpeg");
    const qsizetype sof = huge.indexOf("\xFF\xC0");
    ASSERT_GT(sof, 0);
    for (qsizetype at : {sof + 5, sof + 7}) {
        huge[at] = char(0xFD);
        huge[at + 1] = char(0xE8);
    }
    EXPECT_EQ(codecErrorOf([&] { ImageCodec::transcodeJpeg(huge, 0.7); }), ImageCodecError::Kind::tooLarge);
}

}  // namespace
