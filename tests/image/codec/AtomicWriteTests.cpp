// Writing through a temporary file: the old file survives a failed write unchanged.

#include "CodecTestHelpers.h"

#include <QDir>

using namespace scrivola;
using namespace scrivola::testing;

namespace {

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
