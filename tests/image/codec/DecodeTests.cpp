// Decoding and probing every readable format, orientation, colour profiles and multi-frame files.

#include "CodecTestHelpers.h"

#include <QColorSpace>

using namespace scrivola;
using namespace scrivola::testing;

namespace {

struct FormatCase {
    const char* extension;
    QByteArray bytes;
    const char* expectedFormat;
    int tolerance;
};

class DecodeTest : public CodecTest {};

TEST_F(DecodeTest, EveryFormatDecodesAndProbesWithItsSize) {
    const QSize size(120, 80);
    QList<FormatCase> cases = {
        {"png", imageBytes(size, "png"), "png", 0},       {"jpg", imageBytes(size, "jpeg"), "jpeg", 12},
        {"tiff", imageBytes(size, "tiff"), "tiff", 0},    {"bmp", imageBytes(size, "bmp"), "bmp", 0},
        {"gif", gifBytes(size), "gif", 0},                {"webp", imageBytes(size, "webp"), "webp", 12},
        {"svg", svgBytes(size), "svg", 0},                {"heic", heicBytes(size), "heic", 20},
    };
    if (const QByteArray avif = avifBytes(size); !avif.isEmpty()) cases.append({"avif", avif, "avif", 24});
    for (const FormatCase& c : cases) {
        SCOPED_TRACE(c.extension);
        ASSERT_FALSE(c.bytes.isEmpty());
        const QString file = write(QStringLiteral("image.%1").arg(QLatin1String(c.extension)), c.bytes);
        const ImageInfo info = ImageCodec::probe(file);
        EXPECT_EQ(info.format, QLatin1String(c.expectedFormat));
        EXPECT_EQ(info.pixelSize, size);
        EXPECT_EQ(info.frameCount, 1);
        const QImage image = ImageCodec::decode(file);
        EXPECT_EQ(image.size(), size);
        expectPattern(image, c.tolerance);
        // The bytes alone decide the format; the hint is only a fallback.
        EXPECT_EQ(ImageCodec::decode(c.bytes).size(), size);
    }
    const QString misnamed = write("actually-a-png.jpg", imageBytes({40, 30}, "png"));
    EXPECT_EQ(ImageCodec::probe(misnamed).format, "png");
    expectPattern(ImageCodec::decode(misnamed), 0);
}

TEST_F(DecodeTest, AlphaIsReportedAndKept) {
    const QString png = write("alpha.png", imageBytes({64, 64}, "png", true));
    EXPECT_TRUE(ImageCodec::probe(png).hasAlpha);
    const QImage image = ImageCodec::decode(png);
    EXPECT_TRUE(image.hasAlphaChannel());
    expectPattern(image, 0, Qt::transparent);

    EXPECT_FALSE(ImageCodec::probe(write("opaque.jpg", imageBytes({64, 64}, "jpeg"))).hasAlpha);
    const QString heic = write("alpha.heic", heicBytes({64, 64}, true));
    EXPECT_TRUE(ImageCodec::probe(heic).hasAlpha);
    expectPattern(ImageCodec::decode(heic), 24, Qt::transparent);
}

TEST_F(DecodeTest, ExifOrientationAndHeicRotationAreApplied) {
    const QSize display(160, 100);
    for (const auto& [name, bytes, tolerance] : {std::tuple{"rotated.jpg", jpegWithExifOrientation6(display), 12},
                                                  std::tuple{"rotated.heic", heicWithRotation(display), 24}}) {
        SCOPED_TRACE(name);
        const QString file = write(name, bytes);
        EXPECT_EQ(ImageCodec::probe(file).pixelSize, display);  // stored 100 × 160, shown turned
        const QImage image = ImageCodec::decode(file);
        EXPECT_EQ(image.size(), display);
        expectPattern(image, tolerance);
    }
}

TEST_F(DecodeTest, MultiFrameFilesReportTheirFramesAndDecodeTheFirst) {
    const QString gif = write("anim.gif", multiFrameGif({30, 20}, {Qt::red, Qt::green, Qt::blue}));
    EXPECT_EQ(ImageCodec::probe(gif).frameCount, 3);
    const QImage first = ImageCodec::decode(gif);
    EXPECT_TRUE(colourNear(first.pixel(10, 10), Qt::red, 0));

    const QString tiff = write("pages.tiff", multiPageTiff({30, 20}, {Qt::cyan, Qt::magenta}));
    const ImageInfo info = ImageCodec::probe(tiff);
    EXPECT_EQ(info.frameCount, 2);
    EXPECT_EQ(info.pixelSize, QSize(30, 20));
    EXPECT_TRUE(colourNear(ImageCodec::decode(tiff).pixel(5, 5), Qt::cyan, 0));
}

TEST_F(DecodeTest, EmbeddedColourProfileBecomesTheColourSpace) {
    QImage tagged = patternImage({50, 40});
    tagged.setColorSpace(QColorSpace::AdobeRgb);
    for (const ImageEncoding encoding : {ImageEncoding::png, ImageEncoding::jpeg, ImageEncoding::tiff, ImageEncoding::heic}) {
        SCOPED_TRACE(ImageCodec::extension(encoding).toStdString());
        const QImage decoded = ImageCodec::decode(ImageCodec::encode(tagged, encoding));
        EXPECT_TRUE(decoded.colorSpace().isValid());
        EXPECT_EQ(decoded.colorSpace().primaries(), QColorSpace::Primaries::AdobeRgb);
    }
    // Re-encoding a decoded file keeps the profile a second time round.
    const QImage once = ImageCodec::decode(ImageCodec::encode(tagged, ImageEncoding::jpeg));
    const QImage twice = ImageCodec::decode(ImageCodec::encode(once, ImageEncoding::png));
    EXPECT_EQ(twice.colorSpace().primaries(), QColorSpace::Primaries::AdobeRgb);
    EXPECT_EQ(ImageCodec::decode(heicBytes({32, 32})).colorSpace(), QColorSpace(QColorSpace::SRgb));  // untagged
}

TEST_F(DecodeTest, DisplayConversionMapsWideGamutToSrgbAndLeavesSrgbAlone) {
    QImage adobe(8, 8, QImage::Format_RGB32);
    adobe.fill(QColor(60, 160, 90));
    adobe.setColorSpace(QColorSpace::AdobeRgb);
    const QImage shown = ImageCodec::toDisplayColorSpace(adobe);
    EXPECT_EQ(shown.colorSpace(), QColorSpace(QColorSpace::SRgb));
    // Adobe RGB's green primary is more saturated than sRGB's: the same numbers mean a stronger green.
    const QColor converted = QColor::fromRgb(shown.pixel(0, 0));
    EXPECT_LT(converted.red(), 60);
    EXPECT_GT(converted.green(), 160);
    // Indexed images are widened before converting.
    QImage indexed = adobe.convertToFormat(QImage::Format_Indexed8);
    indexed.setColorSpace(QColorSpace::AdobeRgb);
    EXPECT_EQ(ImageCodec::toDisplayColorSpace(indexed).pixel(1, 1), shown.pixel(1, 1));
    QImage srgb = adobe;
    srgb.setColorSpace(QColorSpace::SRgb);
    EXPECT_EQ(ImageCodec::toDisplayColorSpace(srgb).pixel(0, 0), srgb.pixel(0, 0));
}

TEST_F(DecodeTest, ProbingReadsTheHeaderOnly) {
    // A photo cut short after its first kilobytes: the header alone gives the size.
    const QByteArray jpeg = imageBytes({3000, 2000}, "jpeg");
    EXPECT_EQ(ImageCodec::probe(write(QStringLiteral("cut.jpg"), jpeg.left(2048))).pixelSize, QSize(3000, 2000));
}

}  // namespace
