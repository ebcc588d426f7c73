// The image document: single images and collections, decoding on demand and its cache, and
// saving without losing what is on disk.
#include "support/ImageFactory.h"

#include "image/ImageDocumentModel.h"
#include "image/codec/ImageCodec.h"

#include <QDir>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

using namespace scrivola;
using namespace scrivola::testing;

namespace {

class ImageDocumentModelTest : public ::testing::Test {
protected:
    QString path(const QString& name) const { return dir_.filePath(name); }
    QString png(const QString& name, int w = 40, int h = 30) { return writeImage(path(name), quadrantImage(w, h), "png"); }
    QString jpeg(const QString& name, int w = 40, int h = 30) { return writeImage(path(name), quadrantImage(w, h), "jpeg"); }

    template <typename F>
    static DocumentError errorOf(F&& make) {
        try {
            make();
        } catch (const DocumentError& error) {
            return error;
        }
        ADD_FAILURE() << "no DocumentError thrown";
        return DocumentError::corruptedFile();
    }

    QTemporaryDir dir_;
};

TEST_F(ImageDocumentModelTest, SingleImageOpensWithItsSizeNameAndPixels) {
    ImageDocumentModel model(jpeg("Beach.photo.jpg", 64, 48));
    ASSERT_EQ(model.count(), 1);
    EXPECT_EQ(model.displayName(), "Beach.photo");
    const QImage image = model.image(0);
    ASSERT_EQ(image.size(), QSize(64, 48));
    EXPECT_TRUE(near(image.pixel(5, 5), qRgb(255, 0, 0)));
    EXPECT_TRUE(near(image.pixel(60, 44), qRgb(0, 0, 255)));
}

TEST_F(ImageDocumentModelTest, UnreadableSingleImagesFailWithTheirName) {
    const QString missing = path("missing.png");
    EXPECT_EQ(errorOf([&] { ImageDocumentModel m(missing); }), DocumentError::fileNotFound(missing));
    writeBytes(path("empty.png"), {});
    writeBytes(path("notes.png"), "just some text, not an image\n");
    writeBytes(path("data.xyz"), QByteArray(300, '\x07'));
    QDir(dir_.path()).mkdir("folder.png");
    writeBytes(path("cut.jpg"), truncatedJpeg(QSize(400, 300), 0.25));
    writeBytes(path("pixels.png"), undecodablePng(50, 50));
    writeBytes(path("huge.png"), pngDeclaringSize(100000, 100000));  // refused before allocating
    for (const QString name : {"empty.png", "notes.png", "data.xyz", "folder.png", "cut.jpg", "pixels.png", "huge.png"})
        EXPECT_EQ(errorOf([&] { ImageDocumentModel m(path(name)); }),
                  DocumentError::loadFailed("Could not open image at " + name));
}

TEST_F(ImageDocumentModelTest, CollectionSkipsMissingAndBrokenFilesAndIsNamedAfterItsFolder) {
    ASSERT_TRUE(QDir(dir_.path()).mkdir("Holiday"));
    const QString a = png("Holiday/a.png");
    const QString broken = writeBytes(path("Holiday/broken.png"), "broken");
    const QString b = jpeg("Holiday/b.jpg", 20, 10);
    ImageDocumentModel model(QStringList{a, path("Holiday/missing.png"), broken, b});
    ASSERT_EQ(model.count(), 2);
    EXPECT_EQ(model.entries()[1].url, b);
    EXPECT_EQ(model.displayName(), "Holiday (2)");
    EXPECT_EQ(model.pixelSize(1), QSizeF(20, 10));

    EXPECT_EQ(errorOf([&] { ImageDocumentModel m(QStringList{broken, path("nothing.png")}); }),
              DocumentError::loadFailed("No valid images found"));
    EXPECT_EQ(errorOf([&] { ImageDocumentModel m(QStringList{}); }), DocumentError::loadFailed("No valid images found"));
}

TEST_F(ImageDocumentModelTest, CollectionKeepsDuplicatesButAddingSkipsKnownFiles) {
    const QString a = png("a.png"), b = png("b.png"), c = png("c.png");
    ImageDocumentModel model(QStringList{a, a});
    EXPECT_EQ(model.count(), 2);

    QSignalSpy entries(&model, &ImageDocumentModel::entriesChanged);
    model.addImages({a});
    EXPECT_EQ(model.count(), 2);
    EXPECT_EQ(entries.count(), 0);

    model.addImages({b, path("gone.png"), writeBytes(path("bad.png"), "x"), b, c});
    ASSERT_EQ(model.count(), 4);
    EXPECT_EQ(model.entries()[2].url, b);
    EXPECT_EQ(model.entries()[3].url, c);
    EXPECT_EQ(entries.count(), 1);
    EXPECT_FALSE(model.isModified());
}

TEST_F(ImageDocumentModelTest, ReplacingAnImageMarksModifiedAndOutOfRangeChangesNothing) {
    ImageDocumentModel model(QStringList{png("a.png"), png("b.png")});
    QSignalSpy changed(&model, &ImageDocumentModel::imageChanged);
    QSignalSpy modified(&model, &ImageDocumentModel::modifiedChanged);
    model.replaceImage(quadrantImage(5, 5), -1);
    model.replaceImage(quadrantImage(5, 5), 2);
    model.replaceImage(QImage(), 0);
    EXPECT_EQ(modified.count(), 0);
    EXPECT_TRUE(model.image(-1).isNull());

    const QImage edited = quadrantImage(30, 40);
    model.replaceImage(edited, 1);
    EXPECT_TRUE(model.isModified());
    EXPECT_EQ(model.pixelSize(1), QSizeF(30, 40));
    EXPECT_EQ(model.image(1), edited);
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed.first().first().toInt(), 1);
}

TEST_F(ImageDocumentModelTest, LargeCollectionOpensFromHeadersAndDecodesOnDemand) {
    QStringList urls;
    const QImage picture = quadrantImage(64, 48);
    for (int i = 0; i < 200; ++i) urls << writeImage(path(QString("img%1.jpg").arg(i, 3, 10, QChar('0'))), picture, "jpeg");
    ImageDocumentModel model(urls);
    ASSERT_EQ(model.count(), 200);
    EXPECT_EQ(model.cachedBytes(), 0);
    EXPECT_EQ(model.pixelSize(199), QSizeF(64, 48));
    EXPECT_EQ(model.image(5).size(), QSize(64, 48));
    EXPECT_FALSE(model.cachedImage(5).isNull());
    EXPECT_TRUE(model.cachedImage(6).isNull());
}

TEST_F(ImageDocumentModelTest, RequestedImageArrivesOnTheMainThread) {
    ImageDocumentModel model(QStringList{png("a.png"), jpeg("b.jpg", 32, 16)});
    QSignalSpy ready(&model, &ImageDocumentModel::imageReady);
    model.requestImage(1);
    model.requestImage(1);  // a second request while the first runs starts no second decode
    model.requestImage(9);  // out of range: nothing
    ASSERT_TRUE(ready.wait(5000));
    QTest::qWait(50);
    ASSERT_EQ(ready.count(), 1);
    EXPECT_EQ(ready.first().first().toInt(), 1);
    EXPECT_EQ(model.cachedImage(1).size(), QSize(32, 16));

    // Already in memory: announced on the next turn of the event loop, not during the call.
    model.requestImage(1);
    EXPECT_EQ(ready.count(), 1);
    ASSERT_TRUE(ready.wait(2000));
    EXPECT_EQ(ready.count(), 2);
}

TEST_F(ImageDocumentModelTest, StaleDecodeDoesNotOverwriteAnEditedImage) {
    ImageDocumentModel model(QStringList{png("a.png"), png("big.png", 1600, 1200)});
    QSignalSpy ready(&model, &ImageDocumentModel::imageReady);
    model.requestImage(1);
    const QImage edited = quadrantImage(10, 10);
    model.replaceImage(edited, 1);
    QTest::qWait(500);  // ample time for the decode to finish and post its (dropped) result
    EXPECT_EQ(ready.count(), 0);
    EXPECT_EQ(model.cachedImage(1), edited);
    EXPECT_EQ(model.image(1), edited);
}

TEST_F(ImageDocumentModelTest, ThumbnailsAreSmallFollowEditsAndNeverFillTheImageCache) {
    ImageDocumentModel model(QStringList{jpeg("a.jpg", 1600, 1200), jpeg("b.jpg", 1600, 1200), png("c.png", 900, 300)});
    QSignalSpy ready(&model, &ImageDocumentModel::thumbnailReady);
    const auto waitFor = [&](int count) {
        while (ready.count() < count)
            if (!ready.wait(5000)) return false;
        return true;
    };
    for (int i = 0; i < 3; ++i) model.requestThumbnail(i);
    model.requestThumbnail(1);  // already waiting: no second decode
    ASSERT_TRUE(waitFor(3));
    QTest::qWait(50);
    EXPECT_EQ(ready.count(), 3);
    EXPECT_EQ(model.thumbnail(0).size(), QSize(320, 240));
    EXPECT_EQ(model.thumbnail(2).size(), QSize(480, 160));
    EXPECT_EQ(model.cachedBytes(), 0);  // no full image was kept for them
    EXPECT_LT(model.thumbnailBytes(), 1 << 20);

    // New pixels drop the thumbnail; the next one is made from the edit.
    model.replaceImage(rotated(model.image(1), 90), 1);
    EXPECT_TRUE(model.thumbnail(1).isNull());
    model.requestThumbnail(1);
    ASSERT_TRUE(waitFor(4));
    EXPECT_EQ(model.thumbnail(1).size(), QSize(180, 240));
    // Kept by entry: removing one before it moves nothing.
    model.removeEntry(0);
    EXPECT_EQ(model.thumbnail(0).size(), QSize(180, 240));
    EXPECT_EQ(model.thumbnail(1).size(), QSize(480, 160));

    // A file that gives no thumbnail is not tried again.
    ImageDocumentModel broken(QStringList{png("d.png"), writeBytes(path("bad.png"), undecodablePng(20, 20))});
    QSignalSpy brokenReady(&broken, &ImageDocumentModel::thumbnailReady);
    broken.requestThumbnail(1);
    ASSERT_TRUE(brokenReady.wait(5000));
    EXPECT_TRUE(broken.hasThumbnailFailed(1));
    broken.requestThumbnail(1);
    EXPECT_FALSE(brokenReady.wait(200));
}

TEST_F(ImageDocumentModelTest, ClosingWhileDecodingIsSafe) {
    auto model = std::make_unique<ImageDocumentModel>(QStringList{png("a.png"), png("big.png", 2400, 1800)});
    model->requestImage(1);
    model->requestImage(0);
    model.reset();
    QTest::qWait(200);  // a result posted to the closed model would crash here
}

TEST_F(ImageDocumentModelTest, FileThatProbesButDoesNotDecodeLeavesTheCollection) {
    ImageDocumentModel model(QStringList{png("a.png"), writeBytes(path("bad.png"), undecodablePng(20, 20)), png("c.png")});
    ASSERT_EQ(model.count(), 3);
    EXPECT_EQ(model.pixelSize(1), QSizeF(20, 20));
    QSignalSpy ready(&model, &ImageDocumentModel::imageReady);
    QSignalSpy removed(&model, &ImageDocumentModel::entryRemoved);
    model.requestImage(1);
    ASSERT_TRUE(ready.wait(2000));
    EXPECT_TRUE(model.hasDecodeFailed(1));  // still in place until the event loop runs again
    ASSERT_TRUE(removed.count() == 1 || removed.wait(2000));
    EXPECT_EQ(removed.first().first().toInt(), 1);
    ASSERT_EQ(model.count(), 2);
    EXPECT_TRUE(model.entries().at(1).url.endsWith("c.png"));
    EXPECT_FALSE(model.image(1).isNull());

    // The last entry stays, so a collection never becomes empty.
    ImageDocumentModel alone(QStringList{writeBytes(path("bad2.png"), undecodablePng(20, 20))});
    EXPECT_TRUE(alone.image(0).isNull());
    QCoreApplication::processEvents();
    EXPECT_EQ(alone.count(), 1);
}

TEST_F(ImageDocumentModelTest, CacheStaysWithinItsBudgetButKeepsTheShownImageAndEdits) {
    QStringList urls;
    for (int i = 0; i < 6; ++i) urls << png(QString("p%1.png").arg(i), 200, 200);  // 160 000 bytes decoded
    ImageDocumentModel model(urls);
    model.setCacheBudget(350000);
    model.setShownIndex(0);
    model.replaceImage(quadrantImage(200, 200), 5);
    for (int i = 0; i < 5; ++i) ASSERT_FALSE(model.image(i).isNull());
    EXPECT_LE(model.cachedBytes(), 350000);
    EXPECT_FALSE(model.cachedImage(0).isNull());  // shown, although least recently used
    EXPECT_FALSE(model.cachedImage(4).isNull());  // most recently used
    EXPECT_TRUE(model.cachedImage(1).isNull());
    EXPECT_FALSE(model.cachedImage(5).isNull());  // edited: the only copy
    // An evicted image decodes again when asked for.
    EXPECT_EQ(model.image(1).size(), QSize(200, 200));
}

bool isJpeg(const QByteArray& b) { return b.startsWith("\xFF\xD8\xFF"); }
bool isPng(const QByteArray& b) { return b.startsWith("\x89PNG"); }
bool isTiff(const QByteArray& b) { return b.startsWith(QByteArray("II*\0", 4)) || b.startsWith(QByteArray("MM\0*", 4)); }
bool isHeic(const QByteArray& b) { return b.mid(4, 4) == "ftyp" && QList<QByteArray>{"heic", "heix", "mif1"}.contains(b.mid(8, 4)); }

// Saving: in place, Save As, exporting one image, and failures that must lose nothing.
class ImageDocumentSavingTest : public ImageDocumentModelTest {
protected:
    QString write(const QString& name, const char* format, int w = 40, int h = 30) {
        return writeImage(path(name), quadrantImage(w, h), format);
    }
    // Turns the image at `index` a quarter clockwise through the model's interface.
    static void turn(ImageDocumentModel& model, int index) { model.replaceImage(rotated(model.image(index), -90), index); }

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
        EXPECT_EQ(errorOf([&] { model.save(); }).kind(), DocumentError::Kind::saveFailed);
        // Save As aimed at the file itself is refused as well.
        EXPECT_EQ(errorOf([&] { model.save(url); }).kind(), DocumentError::Kind::saveFailed);
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
    EXPECT_EQ(errorOf([&] { model.saveImage(2, path("x.png")); }), DocumentError::saveFailed("Invalid image index"));
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
        EXPECT_EQ(errorOf([&] { model.save(); }), DocumentError::saveFailed("Could not write to locked.jpg"));
        EXPECT_EQ(errorOf([&] { model.save(url); }).kind(), DocumentError::Kind::saveFailed);
    }
    EXPECT_TRUE(model.isModified());
    EXPECT_EQ(readBytes(url), original);
    EXPECT_EQ(errorOf([&] { model.save(path("missing/folder/out.png")); }).kind(), DocumentError::Kind::saveFailed);
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
        EXPECT_EQ(errorOf([&] { model.save(); }), DocumentError::saveFailed("Could not write to b.png"));
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
