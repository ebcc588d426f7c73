// Writing through a temporary file: the old file survives a failed write unchanged.

#include "CodecTestHelpers.h"

#include <QDir>
#include <QFile>

using namespace scrivola;
using namespace scrivola::testing;

namespace {

QByteArray contents(const QString& file) {
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class AtomicWriteTest : public CodecTest {};

TEST_F(AtomicWriteTest, WritesAndReplaces) {
    const QString file = path("out.png");
    ImageCodec::writeFileAtomically(file, "first");
    EXPECT_EQ(contents(file), "first");
    ImageCodec::writeFileAtomically(file, "second, longer");
    EXPECT_EQ(contents(file), "second, longer");
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files), QStringList{"out.png"});  // no temporary left behind
}

TEST_F(AtomicWriteTest, FailureLeavesTheOldFileIntact) {
    const QByteArray original = imageBytes({30, 30}, "png");
    const QString file = write("keep.png", original);
    EXPECT_EQ(codecErrorOf([&] { ImageCodec::writeFileAtomically(path("missing/keep.png"), "new"); }),
              ImageCodecError::Kind::writeFailed);
    // A folder in the way of the target cannot be replaced by a file.
    ASSERT_TRUE(QDir(dir_.path()).mkdir("taken.png"));
    EXPECT_EQ(codecErrorOf([&] { ImageCodec::writeFileAtomically(path("taken.png"), "new"); }),
              ImageCodecError::Kind::writeFailed);
    EXPECT_TRUE(QFileInfo(path("taken.png")).isDir());
    EXPECT_EQ(codecErrorOf([&] { ImageCodec::writeFileAtomically(QString(), "new"); }), ImageCodecError::Kind::writeFailed);
    EXPECT_EQ(contents(file), original);
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files), QStringList{"keep.png"});
}

}  // namespace
