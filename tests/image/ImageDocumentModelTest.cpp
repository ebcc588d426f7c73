#include "support/ImageFactory.h"

#include "image/ImageDocumentModel.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

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

TEST_F(ImageDocumentModelTest, ClosingWhileDecodingIsSafe) {
    auto model = std::make_unique<ImageDocumentModel>(QStringList{png("a.png"), png("big.png", 2400, 1800)});
    model->requestImage(1);
    model->requestImage(0);
    model.reset();
    QTest::qWait(200);  // a result posted to the closed model would crash here
}

TEST_F(ImageDocumentModelTest, FileThatProbesButDoesNotDecodeGivesANullImage) {
    ImageDocumentModel model(QStringList{png("a.png"), writeBytes(path("bad.png"), undecodablePng(20, 20))});
    ASSERT_EQ(model.count(), 2);
    EXPECT_EQ(model.pixelSize(1), QSizeF(20, 20));
    EXPECT_TRUE(model.image(1).isNull());
    EXPECT_TRUE(model.hasDecodeFailed(1));

    QSignalSpy ready(&model, &ImageDocumentModel::imageReady);
    model.requestImage(1);
    ASSERT_TRUE(ready.wait(2000));
    EXPECT_TRUE(model.cachedImage(1).isNull());
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

}  // namespace
