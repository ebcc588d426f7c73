#include "support/ImageFactory.h"

#include "image/ImageDocumentModel.h"
#include "image/codec/ImageCodec.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>

using namespace scrivola;
using namespace scrivola::testing;

namespace {

bool isJpeg(const QByteArray& b) { return b.startsWith("\xFF\xD8\xFF"); }
bool isPng(const QByteArray& b) { return b.startsWith("\x89PNG"); }
bool isTiff(const QByteArray& b) { return b.startsWith(QByteArray("II*\0", 4)) || b.startsWith(QByteArray("MM\0*", 4)); }
bool isHeic(const QByteArray& b) { return b.mid(4, 4) == "ftyp" && QList<QByteArray>{"heic", "heix", "mif1"}.contains(b.mid(8, 4)); }

class ImageDocumentSavingTest : public ::testing::Test {
protected:
    QString path(const QString& name) const { return dir_.filePath(name); }
    QString write(const QString& name, const char* format, int w = 40, int h = 30) {
        return writeImage(path(name), quadrantImage(w, h), format);
    }
    static DocumentError saveError(const std::function<void()>& save) {
        try {
            save();
        } catch (const DocumentError& error) {
            return error;
        }
        ADD_FAILURE() << "no DocumentError thrown";
        return DocumentError::corruptedFile();
    }
    // Turns the image at `index` a quarter clockwise through the model's interface.
    static void turn(ImageDocumentModel& model, int index) { model.replaceImage(rotated(model.image(index), -90), index); }

    QTemporaryDir dir_;
};

TEST_F(ImageDocumentSavingTest, SavingACollectionWritesEveryEditedImageAndOnlyThose) {
    const QString a = write("a.jpg", "jpeg"), b = write("b.png", "png"), c = write("c.tif", "tiff");
    const QByteArray untouched = readBytes(b);
    ImageDocumentModel model(QStringList{a, b, c});
    turn(model, 0);
    turn(model, 2);
    model.save();
    EXPECT_FALSE(model.isModified());
    EXPECT_EQ(readBytes(b), untouched);
    EXPECT_TRUE(isJpeg(readBytes(a)));
    EXPECT_TRUE(isTiff(readBytes(c)));
    ImageDocumentModel reopened(QStringList{a, b, c});
    EXPECT_EQ(reopened.pixelSize(0), QSizeF(30, 40));
    EXPECT_EQ(reopened.pixelSize(1), QSizeF(40, 30));
    // A clockwise quarter turn brings the bottom-left (yellow) quadrant to the top-left.
    EXPECT_TRUE(near(reopened.image(2).pixel(2, 2), qRgb(255, 255, 0), 0));
    EXPECT_TRUE(near(reopened.image(0).pixel(3, 3), qRgb(255, 255, 0)));

    // The resolution stays; saving without edits writes nothing.
    const QString url = writeImage(path("scan.jpg"), quadrantImage(600, 300), "jpeg", 300);
    ImageDocumentModel scan(url);
    turn(scan, 0);
    scan.save();
    const QByteArray saved = readBytes(url);
    scan.save();
    EXPECT_EQ(readBytes(url), saved);
    ImageDocumentModel scanned(url);
    EXPECT_EQ(scanned.pixelSize(0), QSizeF(300, 600));
    EXPECT_NEAR(scanned.pointSize(0).width(), 72, 0.5);
    EXPECT_NEAR(scanned.pointSize(0).height(), 144, 0.5);
}

TEST_F(ImageDocumentSavingTest, SavingInPlaceKeepsEachFormat) {
    const QString heic = writeBytes(path("photo.heic"), heicBytes(QSize(64, 48)));
    const QString gif = writeBytes(path("one.gif"), gifBytes(QSize(40, 30)));
    const std::vector<std::pair<QString, std::function<bool(const QByteArray&)>>> cases = {
        {write("p.jpeg", "jpeg"), isJpeg},
        {write("p.png", "png"), isPng},
        {write("p.tiff", "tiff"), isTiff},
        {write("p.bmp", "bmp"), [](const QByteArray& b) { return b.startsWith("BM"); }},
        {gif, [](const QByteArray& b) { return b.startsWith("GIF8"); }},
        {heic, isHeic},
    };
    for (const auto& [url, check] : cases) {
        SCOPED_TRACE(url.toStdString());
        ImageDocumentModel model(url);
        EXPECT_TRUE(model.canSaveInPlace());
        EXPECT_EQ(model.proposedSaveAsName(), QFileInfo(url).fileName());
        const QSize before = model.image(0).size();
        turn(model, 0);
        model.save();
        EXPECT_FALSE(model.isModified());
        EXPECT_TRUE(check(readBytes(url)));
        ImageDocumentModel reopened(url);
        EXPECT_EQ(reopened.image(0).size(), before.transposed());
    }
}

TEST_F(ImageDocumentSavingTest, FormatsWithoutEncoderAndMultiPageFilesAreRefusedInPlaceAndLeftIntact) {
    const QSize size(40, 30);
    QStringList urls{
        writeBytes(path("drawing.svg"), svgBytes(size)),
        writeBytes(path("anim.gif"), multiFrameGif(size, {Qt::red, Qt::blue})),
        write("picture.webp", "webp"),  // read by the codec, not written
        // Saving the first page in place would drop the others.
        writeBytes(path("pages.tiff"), multiPageTiff(size, {Qt::red, Qt::green, Qt::blue})),
    };
    if (const QByteArray avif = avifBytes(size); !avif.isEmpty()) urls << writeBytes(path("photo.avif"), avif);
    for (const QString& url : urls) {
        SCOPED_TRACE(url.toStdString());
        const QByteArray original = readBytes(url);
        ImageDocumentModel model(url);
        turn(model, 0);
        EXPECT_FALSE(model.canSaveInPlace());
        EXPECT_EQ(model.proposedSaveAsName(), QFileInfo(url).completeBaseName() + ".png");
        EXPECT_EQ(saveError([&] { model.save(); }).kind(), DocumentError::Kind::saveFailed);
        // Save As aimed at the file itself is refused as well.
        EXPECT_EQ(saveError([&] { model.save(url); }).kind(), DocumentError::Kind::saveFailed);
        EXPECT_TRUE(model.isModified());
        EXPECT_EQ(readBytes(url), original);
        // Save As to a PNG works.
        model.save(path(model.proposedSaveAsName()));
        EXPECT_FALSE(model.isModified());
        EXPECT_TRUE(isPng(readBytes(path(model.proposedSaveAsName()))));
    }
    EXPECT_EQ(ImageDocumentModel(urls[1]).entries()[0].frameCount, 2);
    EXPECT_EQ(ImageDocumentModel(urls[3]).entries()[0].frameCount, 3);
}

TEST_F(ImageDocumentSavingTest, SaveAsEncodesByTheTargetExtensionExportsOneImageAndKeepsOtherEdits) {
    const QString a = write("a.png", "png", 40, 30), b = write("b.png", "png", 12, 8);
    ImageDocumentModel model(QStringList{a, b});
    // Formats without an encoder, and names without an extension, are written as PNG.
    for (const auto& [name, check] : std::vector<std::pair<QString, std::function<bool(const QByteArray&)>>>{
             {"copy.jpg", isJpeg}, {"copy.heic", isHeic}, {"noextension", isPng}, {"other.webp", isPng}, {"copy.TIF", isTiff}}) {
        model.save(path(name));
        EXPECT_TRUE(check(readBytes(path(name)))) << name.toStdString();
    }
    EXPECT_EQ(ImageDocumentModel(path("copy.jpg")).pixelSize(0), QSizeF(40, 30));
    EXPECT_EQ(model.url(), a);

    // Exporting one image leaves the document's state alone.
    turn(model, 0);
    model.saveImage(1, path("export.bmp"));
    EXPECT_TRUE(readBytes(path("export.bmp")).startsWith("BM"));
    EXPECT_EQ(ImageDocumentModel(path("export.bmp")).pixelSize(0), QSizeF(12, 8));
    EXPECT_TRUE(model.isModified());
    EXPECT_EQ(saveError([&] { model.saveImage(2, path("x.png")); }), DocumentError::saveFailed("Invalid image index"));
    EXPECT_FALSE(QFileInfo::exists(path("x.png")));

    // Save As of a collection writes one image: the other edits stay unsaved.
    turn(model, 1);
    model.save(path("first.png"));
    EXPECT_TRUE(model.isModified());
    model.save();
    EXPECT_FALSE(model.isModified());
    EXPECT_EQ(ImageDocumentModel(b).pixelSize(0), QSizeF(8, 12));
}

TEST_F(ImageDocumentSavingTest, FailedWriteLeavesTheFileByteIdenticalAndTheDocumentModified) {
    const QString url = write("locked.jpg", "jpeg");
    const QByteArray original = readBytes(url);
    ImageDocumentModel model(url);
    turn(model, 0);
    {
        ImmutableFile lock(url);
        if (!lock.isActive()) GTEST_SKIP() << "the file system cannot make files immutable";
        EXPECT_EQ(saveError([&] { model.save(); }), DocumentError::saveFailed("Could not write to locked.jpg"));
        EXPECT_EQ(saveError([&] { model.save(url); }).kind(), DocumentError::Kind::saveFailed);
    }
    EXPECT_TRUE(model.isModified());
    EXPECT_EQ(readBytes(url), original);
    EXPECT_EQ(saveError([&] { model.save(path("missing/folder/out.png")); }).kind(), DocumentError::Kind::saveFailed);
    EXPECT_TRUE(model.isModified());
    model.save();
    EXPECT_FALSE(model.isModified());
}

TEST_F(ImageDocumentSavingTest, CollectionSaveAttemptsEveryImageAndStaysModifiedOnAFailure) {
    const QString a = write("a.png", "png"), b = write("b.png", "png"), c = write("c.png", "png");
    ImageDocumentModel model(QStringList{a, b, c});
    for (int i = 0; i < 3; ++i) turn(model, i);
    const QByteArray originalB = readBytes(b);
    {
        ImmutableFile lock(b);
        if (!lock.isActive()) GTEST_SKIP() << "the file system cannot make files immutable";
        EXPECT_EQ(saveError([&] { model.save(); }), DocumentError::saveFailed("Could not write to b.png"));
    }
    EXPECT_TRUE(model.isModified());
    EXPECT_EQ(readBytes(b), originalB);
    EXPECT_EQ(ImageDocumentModel(a).pixelSize(0), QSizeF(30, 40));
    EXPECT_EQ(ImageDocumentModel(c).pixelSize(0), QSizeF(30, 40));
    model.save();  // only b is left to write
    EXPECT_FALSE(model.isModified());
    EXPECT_EQ(ImageDocumentModel(b).pixelSize(0), QSizeF(30, 40));
}

}  // namespace
