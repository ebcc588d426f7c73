// Missing, unreadable, damaged, unknown and oversized inputs: each fails with its own error kind,
// quickly and without allocating pixels. Writing goes through a temporary file, so a failed write
// leaves the old file as it was.

#include "CodecTestHelpers.h"

#include <QDir>

using namespace scrivola;
using namespace scrivola::testing;
using Kind = ImageCodecError::Kind;

namespace {

class BadInputTest : public CodecTest {
protected:
    // The same kind from probe and decode of a file.
    void expectBoth(const QString& file, Kind kind) {
        SCOPED_TRACE(file.toStdString());
        EXPECT_EQ(codecErrorOf([&] { ImageCodec::probe(file); }), kind);
        EXPECT_EQ(codecErrorOf([&] { ImageCodec::decode(file); }), kind);
    }
};

TEST_F(BadInputTest, MissingUnknownOrBrokenInputFailsWithItsOwnKind) {
    const QByteArray garbage = QByteArray("this is plain text, no picture at all\n").repeated(20);
    expectBoth(write("notes.txt", garbage), Kind::unsupported);
    expectBoth(write("noextension", garbage), Kind::unsupported);
    // A name that promises an image we read, with other bytes inside, is a damaged file.
    expectBoth(write("photo.jpg", garbage), Kind::corrupted);
    expectBoth(write("photo.heic", garbage), Kind::corrupted);
    expectBoth(write("empty.png", {}), Kind::corrupted);
    EXPECT_EQ(codecErrorOf([&] { ImageCodec::decode(garbage, "png"); }), Kind::corrupted);
    EXPECT_EQ(codecErrorOf([&] { ImageCodec::decode(garbage); }), Kind::unsupported);
    expectBoth(write("broken.svg", "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"10\" <<<"), Kind::corrupted);
    expectBoth(path("missing.png"), Kind::notFound);
    expectBoth(QString(), Kind::notFound);
    ASSERT_TRUE(QDir(dir_.path()).mkdir("folder.png"));
    expectBoth(path("folder.png"), Kind::unreadable);
}

TEST_F(BadInputTest, TruncatedFilesAreCorrupted) {
    EXPECT_EQ(codecErrorOf([&] { ImageCodec::decode(write("cut.jpg", truncatedJpeg({300, 200}))); }), Kind::corrupted);
    const QByteArray png = imageBytes({300, 200}, "png");
    EXPECT_EQ(codecErrorOf([&] { ImageCodec::decode(write("cut.png", png.left(png.size() / 2))); }), Kind::corrupted);
    const QByteArray heic = heicBytes({128, 128});
    EXPECT_EQ(codecErrorOf([&] { ImageCodec::decode(write("cut.heic", heic.left(heic.size() / 2))); }), Kind::corrupted);
    // Just the signature of each format.
    for (const char* name : {"sig.png", "sig.gif", "sig.webp", "sig.tiff"}) {
        SCOPED_TRACE(name);
        const QByteArray full = QByteArray(name) == "sig.gif" ? gifBytes({20, 20})
                                                              : imageBytes({20, 20}, QByteArray(name).mid(4));
        const auto kind = codecErrorOf([&] { ImageCodec::decode(write(name, full.left(12))); });
        EXPECT_TRUE(kind == Kind::corrupted || kind == Kind::unreadable);
    }
}

TEST_F(BadInputTest, CompleteJpegWithTrailingDataStillDecodes) {
    // Cameras append data after the end-of-image marker; that is not damage.
    const QByteArray jpeg = imageBytes({64, 48}, "jpeg") + QByteArray(500, 'x');
    EXPECT_EQ(ImageCodec::decode(write("trailer.jpg", jpeg)).size(), QSize(64, 48));
    EXPECT_EQ(ImageCodec::decode(write("exif.jpg", jpegWithExifOrientation6({64, 48}))).size(), QSize(64, 48));
}

TEST_F(BadInputTest, HugeDeclaredSizeIsRefusedBeforeDecoding) {
    const QString file = write("huge.png", pngDeclaringSize(100000, 100000));
    expectBoth(file, Kind::tooLarge);
    EXPECT_EQ(codecErrorOf([&] { ImageCodec::decode(pngDeclaringSize(100000, 100000)); }), Kind::tooLarge);

    // Just over the budget (1 GiB at 4 bytes per pixel) is refused, a normal size is not.
    EXPECT_EQ(codecErrorOf([&] { ImageCodec::probe(write("over.png", pngDeclaringSize(16385, 16384))); }), Kind::tooLarge);
    EXPECT_EQ(ImageCodec::probe(write("fine.png", pngDeclaringSize(4000, 3000))).pixelSize, QSize(4000, 3000));

    const QString svg = write("huge.svg", "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"90000\" height=\"90000\"/>");
    expectBoth(svg, Kind::tooLarge);
}

class AtomicWriteTest : public CodecTest {};

TEST_F(AtomicWriteTest, WritesAndReplacesAndAFailureLeavesTheOldFileIntact) {
    const QString file = path("out.png");
    ImageCodec::writeFileAtomically(file, "first");
    EXPECT_EQ(readBytes(file), "first");
    ImageCodec::writeFileAtomically(file, "second, longer");
    EXPECT_EQ(readBytes(file), "second, longer");

    const QByteArray original = imageBytes({30, 30}, "png");
    const QString kept = write("keep.png", original);
    EXPECT_EQ(codecErrorOf([&] { ImageCodec::writeFileAtomically(path("missing/keep.png"), "new"); }),
              ImageCodecError::Kind::writeFailed);
    // A folder in the way of the target cannot be replaced by a file.
    ASSERT_TRUE(QDir(dir_.path()).mkdir("taken.png"));
    EXPECT_EQ(codecErrorOf([&] { ImageCodec::writeFileAtomically(path("taken.png"), "new"); }),
              ImageCodecError::Kind::writeFailed);
    EXPECT_TRUE(QFileInfo(path("taken.png")).isDir());
    EXPECT_EQ(codecErrorOf([&] { ImageCodec::writeFileAtomically(QString(), "new"); }), ImageCodecError::Kind::writeFailed);
    EXPECT_EQ(readBytes(kept), original);
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files), (QStringList{"keep.png", "out.png"}));  // no temporaries
}

TEST_F(AtomicWriteTest, BandWrittenPngHoldsEveryRowAndAnUnfinishedOneLeavesTheOldFile) {
    const QImage picture = patternImage({30, 25}).convertToFormat(QImage::Format_RGB32);
    const QString file = write("bands.png", "old");
    {
        PngBandWriter writer(file, picture.size());
        writer.writeRows(picture.copy(0, 0, 30, 10));
        EXPECT_EQ(codecErrorOf([&] { writer.finish(); }), ImageCodecError::Kind::encodeFailed);  // rows missing
        EXPECT_EQ(codecErrorOf([&] { writer.writeRows(picture.copy(0, 0, 20, 5)); }), ImageCodecError::Kind::encodeFailed);
    }
    EXPECT_EQ(readBytes(file), "old");
    {
        PngBandWriter writer(file, picture.size(), 5906);
        writer.writeRows(picture.copy(0, 0, 30, 10));
        writer.writeRows(picture.copy(0, 10, 30, 15));
        EXPECT_EQ(codecErrorOf([&] { writer.writeRows(picture.copy(0, 0, 30, 1)); }), ImageCodecError::Kind::encodeFailed);
        writer.finish();
    }
    const QImage back(file);
    EXPECT_EQ(back.convertToFormat(QImage::Format_RGB32), picture);
    EXPECT_EQ(back.dotsPerMeterX(), 5906);
    EXPECT_EQ(codecErrorOf([&] { PngBandWriter(path("missing/x.png"), {3, 3}); }), ImageCodecError::Kind::writeFailed);
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files), (QStringList{"bands.png"}));  // no temporaries
}

}  // namespace
