#include "support/Files.h"
#include "support/ImageFactory.h"

#include "image/ImageDocumentContext.h"

#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

using namespace scrivola;
using namespace scrivola::testing;

namespace {

class ImageDocumentContextTest : public ::testing::Test {
protected:
    std::unique_ptr<ImageDocumentModel> collection(int count) {
        QStringList urls;
        for (int i = 0; i < count; ++i)
            urls << writeImage(dir_.filePath(QString("i%1.png").arg(i)), quadrantImage(40, 30), "png");
        return count == 1 ? std::make_unique<ImageDocumentModel>(urls.first()) : std::make_unique<ImageDocumentModel>(urls);
    }
    QTemporaryDir dir_;
};

TEST_F(ImageDocumentContextTest, NavigationClampsAndRefitsOnEveryChangeOfImage) {
    EXPECT_FALSE(ImageDocumentContext(collection(1).get()).isSidebarVisible());
    auto model = collection(5);
    ImageDocumentContext context(model.get());
    EXPECT_TRUE(context.isSidebarVisible());  // a collection shows its list
    EXPECT_EQ(context.imageCountText(), "5 images");
    QSignalSpy pages(&context, &ImageDocumentContext::currentPageChanged);
    context.goToPage(99);
    EXPECT_EQ(context.currentPage(), 4);
    EXPECT_EQ(context.currentFileName(), "i4.png");
    context.goToPage(-3);
    EXPECT_EQ(context.currentPage(), 0);
    EXPECT_EQ(pages.count(), 2);

    context.goToPage(2);
    context.zoomIn();
    context.setNeedsAutoFit(false);
    context.goToPage(2);  // same page: the manual zoom stays
    EXPECT_EQ(context.imageFitMode(), ImageFitMode::manual);
    EXPECT_FALSE(context.needsAutoFit());
    context.goToNextPage();
    EXPECT_EQ(context.currentPage(), 3);
    EXPECT_EQ(context.imageFitMode(), ImageFitMode::fitPage);
    EXPECT_TRUE(context.needsAutoFit());
}

TEST_F(ImageDocumentContextTest, AutomaticFitFollowsTheMode) {
    auto model = collection(1);
    ImageDocumentContext context(model.get());
    context.applyFitMode(ImageFitMode::fitPage);
    EXPECT_FALSE(context.performAutoFit(QSizeF(0, 300), QSizeF(800, 600)));
    EXPECT_TRUE(context.needsAutoFit());
    EXPECT_TRUE(context.performAutoFit(QSizeF(4000, 3000), QSizeF(1000, 600)));
    EXPECT_DOUBLE_EQ(context.zoomLevel(), 0.2);  // the height limits
    EXPECT_FALSE(context.needsAutoFit());
    context.applyFitMode(ImageFitMode::fitWidth);
    EXPECT_TRUE(context.needsAutoFit());
    context.performAutoFit(QSizeF(4000, 3000), QSizeF(1000, 600));
    EXPECT_DOUBLE_EQ(context.zoomLevel(), 0.25);
    context.performAutoFit(QSizeF(20000, 100), QSizeF(1000, 600));
    EXPECT_DOUBLE_EQ(context.zoomLevel(), 0.1);  // not 0.05
    // Smaller than the view: actual size in either mode, not enlarged.
    context.performAutoFit(QSizeF(400, 300), QSizeF(1000, 600));
    EXPECT_DOUBLE_EQ(context.zoomLevel(), 1.0);
    context.applyFitMode(ImageFitMode::fitPage);
    context.performAutoFit(QSizeF(10, 10), QSizeF(800, 600));
    EXPECT_DOUBLE_EQ(context.zoomLevel(), 1.0);
}

TEST_F(ImageDocumentContextTest, SelectionExtendsFromTheCurrentImageAndToggles) {
    auto model = collection(7);
    ImageDocumentContext context(model.get());
    context.goToPage(5);
    context.toggleImageSelection(0);
    context.extendImageSelection(2);
    EXPECT_EQ(context.selectedImages(), (QSet<int>{0, 2, 3, 4, 5}));
    context.toggleImageSelection(3);
    EXPECT_EQ(context.selectedImages(), (QSet<int>{0, 2, 4, 5}));
    EXPECT_EQ(context.exportTargetIndices(), (QList<int>{0, 2, 4, 5}));
    context.setSelectedImages({});
    EXPECT_EQ(context.exportTargetIndices(), QList<int>{5});
}

TEST_F(ImageDocumentContextTest, RotationUndoesAndRedoesInPixels) {
    auto model = collection(2);
    ImageDocumentContext context(model.get());
    const QImage original = model->image(0);
    context.setNeedsAutoFit(false);
    context.rotateImageAt(0, 90);  // clockwise
    EXPECT_TRUE(model->isModified());
    EXPECT_TRUE(context.needsAutoFit());
    const QImage right = model->image(0);
    ASSERT_EQ(right.size(), QSize(30, 40));
    EXPECT_EQ(right.pixel(0, 0), qRgb(255, 255, 0));
    EXPECT_EQ(model->pixelSize(0), QSizeF(30, 40));

    EXPECT_EQ(context.undoActionName(), QStringLiteral("Rotate Image"));
    context.undo();
    EXPECT_EQ(model->image(0), original);
    EXPECT_FALSE(context.canUndo());
    EXPECT_EQ(context.redoActionName(), QStringLiteral("Rotate Image"));
    EXPECT_TRUE(model->isModified());

    context.redo();
    EXPECT_EQ(model->image(0), right);

    context.rotateImageAt(0, 180);
    context.rotateImageAt(0, -90);
    EXPECT_EQ(model->image(0).size(), QSize(40, 30));
    context.undo();
    context.undo();
    context.undo();
    EXPECT_EQ(model->image(0), original);
    EXPECT_EQ(model->image(1), original);  // the other image never changed

    context.undoManager()->removeAllActions();
    context.rotateImageAt(2, 90);
    context.rotateImageAt(-1, 90);
    EXPECT_EQ(model->image(1), original);
    EXPECT_EQ(context.undoManager()->undoCount(), 0);
}

TEST_F(ImageDocumentContextTest, UndecodableImageLeavesWithoutDisturbingUndoSelectionOrTheShownImage) {
    QStringList urls;
    for (int i = 0; i < 4; ++i)
        urls << writeImage(dir_.filePath(QString("i%1.png").arg(i)), quadrantImage(40, 30), "png");
    urls[1] = writeBytes(dir_.filePath("bad.png"), undecodablePng(20, 20));
    ImageDocumentModel model(urls);
    ImageDocumentContext context(&model);
    const QImage original = model.image(2);
    context.rotateImageAt(2, 90);
    context.rotateImageAt(3, 90);
    context.undo();  // image 3 back; its redo and image 2's undo stay
    context.setSelectedImages({0, 1, 2});
    context.goToPage(1);
    context.setNeedsAutoFit(false);
    QSignalSpy removed(&model, &ImageDocumentModel::entryRemoved);
    EXPECT_TRUE(context.shownImage().isNull());
    ASSERT_TRUE(removed.wait(2000));

    ASSERT_EQ(model.count(), 3);
    EXPECT_EQ(context.currentPage(), 1);
    EXPECT_EQ(context.shownImage().size(), QSize(30, 40));  // the turned image 2 took the place
    EXPECT_TRUE(context.needsAutoFit());
    EXPECT_EQ(context.selectedImages(), (QSet<int>{0, 1}));
    context.undo();
    EXPECT_EQ(model.image(1), original);
    context.redo();
    context.redo();
    EXPECT_EQ(model.image(2).size(), QSize(30, 40));  // the redo found image 3 at its new place

    // Removing the shown last image shows the one before it.
    context.goToPage(2);
    model.removeEntry(2);
    EXPECT_EQ(context.currentPage(), 1);
    EXPECT_EQ(context.shownImage().size(), QSize(30, 40));
}

TEST_F(ImageDocumentContextTest, DeletingLeavesTheFilesKeepsOneImageAndMarksTheCollectionModified) {
    auto model = collection(5);
    ImageDocumentContext context(model.get());
    context.goToPage(4);
    context.setSelectedImages({3, 4});
    context.setNeedsAutoFit(false);
    context.deleteImages(context.selectedImages());
    ASSERT_EQ(model->count(), 3);
    EXPECT_EQ(context.currentPage(), 2);
    EXPECT_TRUE(model->isModified());
    EXPECT_TRUE(context.selectedImages().isEmpty());
    EXPECT_TRUE(context.needsAutoFit());
    EXPECT_TRUE(QFileInfo::exists(dir_.filePath("i3.png")) && QFileInfo::exists(dir_.filePath("i4.png")));

    // Never the last image, even with indices out of range among the targets.
    EXPECT_FALSE(context.canDeleteImages({0, 1, 2, 7}));
    context.deleteImages({0, 1, 2, 7});
    EXPECT_EQ(model->count(), 3);
    // The image shown stays shown when one before it leaves.
    context.deleteImages({0, 9});
    EXPECT_EQ(context.currentPage(), 1);
    EXPECT_EQ(context.currentFileName(), "i2.png");
    model->save();  // nothing to write: the deletion is settled
    EXPECT_FALSE(model->isModified());
}

TEST_F(ImageDocumentContextTest, DroppedFilesAddOnlyNewImagesAndShowTheFirstOfThem) {
    auto model = collection(2);
    ImageDocumentContext context(model.get());
    const QString pdf = writeBytes(dir_.filePath("doc.pdf"), "%PDF-1.4\n");
    const QString a = writeImage(dir_.filePath("a.png"), quadrantImage(20, 20), "png");
    const QString b = writeImage(dir_.filePath("b.png"), quadrantImage(20, 20), "png");
    EXPECT_TRUE(context.addDroppedFiles({pdf, a, b}));
    ASSERT_EQ(model->count(), 4);
    EXPECT_EQ(context.currentPage(), 2);
    EXPECT_EQ(context.currentFileName(), "a.png");
    context.goToPage(0);
    EXPECT_FALSE(context.addDroppedFiles({b, pdf}));
    EXPECT_EQ(model->count(), 4);
    EXPECT_EQ(context.currentPage(), 0);
}

TEST_F(ImageDocumentContextTest, UndoAfterDeletingNeverTurnsAnotherImage) {
    auto model = collection(4);
    ImageDocumentContext context(model.get());
    context.rotateImageAt(3, 90);
    context.rotateImageAt(1, 90);
    context.deleteImages({1});
    const auto sizes = [&] {
        QList<QSize> all;
        for (int i = 0; i < model->count(); ++i) all << model->image(i).size();
        return all;
    };
    const QSize wide(40, 30), tall(30, 40);
    EXPECT_EQ(sizes(), (QList<QSize>{wide, wide, tall}));
    context.undo();  // the deleted image's step: nothing
    EXPECT_EQ(sizes(), (QList<QSize>{wide, wide, tall}));
    context.undo();  // the former image 3, now at 2
    EXPECT_EQ(sizes(), (QList<QSize>{wide, wide, wide}));
    context.redo();
    EXPECT_EQ(sizes(), (QList<QSize>{wide, wide, tall}));
}

// Positive angles turn counterclockwise, by exact quarter turns that keep the resolution.
TEST(ImageRotation, QuarterTurnsCounterclockwiseAreExactAndKeepTheDpi) {
    QImage source = quadrantImage(400, 300);
    source.setDotsPerMeterX(11811);  // 300 DPI
    source.setDotsPerMeterY(11811);
    const QImage left = rotated(source, 90);
    ASSERT_EQ(left.size(), QSize(300, 400));
    EXPECT_EQ(left.pixel(0, 0), qRgb(0, 255, 0));        // top-right quadrant comes to the top-left
    EXPECT_EQ(left.pixel(299, 399), qRgb(255, 255, 0));  // bottom-left comes to the bottom-right
    EXPECT_EQ(left.dotsPerMeterX(), 11811);
    const QImage right = rotated(source, -90);
    EXPECT_EQ(right.pixel(0, 0), qRgb(255, 255, 0));
    EXPECT_EQ(rotated(source, -450), right);
    EXPECT_EQ(rotated(source, 180).pixel(0, 0), qRgb(0, 0, 255));
}

}  // namespace
