// Small decodes for lists of images: every format fitted and oriented, the Exif thumbnail used
// only when it is large enough.

#include "CodecTestHelpers.h"

using namespace scrivola;
using namespace scrivola::testing;

namespace {

class ThumbnailTest : public CodecTest {};

TEST_F(ThumbnailTest, EveryFormatGivesTheWholePictureFittedIntoTheBound) {
    const QSize size(600, 400);
    QList<std::pair<const char*, QByteArray>> cases = {
        {"png", imageBytes(size, "png")}, {"jpg", imageBytes(size, "jpeg")}, {"tiff", imageBytes(size, "tiff")},
        {"bmp", imageBytes(size, "bmp")}, {"gif", gifBytes(size)},           {"webp", imageBytes(size, "webp")},
        {"svg", svgBytes(size)},          {"heic", heicBytes(size)},         {"jpeg", jpegWithExifOrientation6(size)},
    };
    for (const auto& [extension, bytes] : cases) {
        SCOPED_TRACE(extension);
        const QImage small = ImageCodec::decodeThumbnail(write(QStringLiteral("i.%1").arg(extension), bytes), {200, 100});
        EXPECT_EQ(small.size(), QSize(150, 100));
        expectPattern(small, 24);
    }
    // Never enlarged.
    EXPECT_EQ(ImageCodec::decodeThumbnail(write("tiny.png", imageBytes({40, 30}, "png")), {200, 100}).size(), QSize(40, 30));
    EXPECT_EQ(codecErrorOf([&] { ImageCodec::decodeThumbnail(path("missing.png"), {200, 100}); }),
              ImageCodecError::Kind::notFound);
    EXPECT_EQ(codecErrorOf([&] { ImageCodec::decodeThumbnail(write("bad.png", undecodablePng(64, 64)), {200, 100}); }),
              ImageCodecError::Kind::corrupted);
}

TEST_F(ThumbnailTest, ExifThumbnailIsUsedOrientedWhenLargeEnoughAndOfTheSameShape) {
    QImage magenta(300, 200, QImage::Format_RGB32);
    magenta.fill(QColor(230, 0, 230));
    const QString file = write("photo.jpg", jpegWithExifOrientation6({900, 600}, magenta));
    const QImage fromExif = ImageCodec::decodeThumbnail(file, {240, 120});
    EXPECT_EQ(fromExif.size(), QSize(180, 120));
    EXPECT_TRUE(colourNear(fromExif.pixel(90, 60), QColor(230, 0, 230), 24));
    // Too small for the bound: the picture itself, scaled while decoding.
    const QImage decoded = ImageCodec::decodeThumbnail(file, {600, 400});
    EXPECT_EQ(decoded.size(), QSize(600, 400));
    expectPattern(decoded, 24);
    // A thumbnail of another shape (black bars) is not used.
    QImage square(300, 300, QImage::Format_RGB32);
    square.fill(QColor(230, 0, 230));
    const QImage padded = ImageCodec::decodeThumbnail(write("padded.jpg", jpegWithExifOrientation6({900, 600}, square)), {240, 120});
    EXPECT_EQ(padded.size(), QSize(180, 120));
    expectPattern(padded, 24);
    // A thumbnail offset pointing past the Exif data (at byte 48 of this layout) is ignored.
    QByteArray damaged = jpegWithExifOrientation6({900, 600}, magenta);
    damaged.replace(48, 4, QByteArray("\xFF\xFF\xFF\xF0", 4));
    expectPattern(ImageCodec::decodeThumbnail(write("damaged.jpg", damaged), {240, 120}), 24);
}

}  // namespace
