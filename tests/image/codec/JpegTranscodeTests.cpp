// Streaming JPEG re-encoding: same picture, metadata kept, damage refused.

#include "CodecTestHelpers.h"

#include <QColorSpace>

namespace scrivola::testing {
namespace {

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
}  // namespace scrivola::testing
