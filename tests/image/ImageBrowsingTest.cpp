// Browsing a collection quickly: neighbours decoded ahead within the cache budget, and quick
// reduced previews of JPEG files.
#include "support/Files.h"
#include "support/ImageFactory.h"

#include "image/ImageDocumentModel.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace scrivola;
using namespace scrivola::testing;

namespace {

// Waits until `index` is decoded into the cache.
bool decoded(ImageDocumentModel& model, int index) {
    return QTest::qWaitFor([&] { return !model.cachedImage(index).isNull(); }, 5000);
}

TEST(ImageBrowsingTest, NeighboursAreDecodedAheadAsFarAsTheBudgetHoldsThem) {
    QTemporaryDir dir;
    QStringList urls;
    for (int i = 0; i < 5; ++i) urls << writeImage(dir.filePath(QString("i%1.png").arg(i)), patternImage(QSize(200, 100)), "png");
    ImageDocumentModel model(urls);
    const qint64 one = 200 * 100 * 4;
    model.setCacheBudget(2 * one + one / 2);  // two images
    ASSERT_FALSE(model.image(0).isNull());    // an image seen earlier, no longer wanted
    model.setShownIndex(2);
    ASSERT_FALSE(model.image(2).isNull());

    // Stepping forward: the next image first; the previous one does not fit beside them.
    model.preloadAround(2, +1);
    ASSERT_TRUE(decoded(model, 3));
    QTest::qWait(50);
    EXPECT_TRUE(model.cachedImage(1).isNull());
    EXPECT_TRUE(model.cachedImage(0).isNull());  // made room
    EXPECT_FALSE(model.cachedImage(2).isNull());  // the shown one stays

    // With room for three, stepping back brings the previous one too and keeps the next.
    model.setCacheBudget(3 * one);
    model.preloadAround(2, -1);
    ASSERT_TRUE(decoded(model, 1));
    EXPECT_FALSE(model.cachedImage(3).isNull());
    EXPECT_LE(model.cachedBytes(), 3 * one);
    model.preloadAround(4, +1);  // at the end: only the one behind
    ASSERT_TRUE(decoded(model, 3));
}

TEST(ImageBrowsingTest, AJpegPreviewIsReducedTurnedUprightAndDroppedWhenTheImageChanges) {
    QTemporaryDir dir;
    const QString jpeg = writeBytes(dir.filePath("turned.jpg"), jpegWithExifOrientation6(QSize(400, 600)));
    const QString png = writeImage(dir.filePath("flat.png"), patternImage(QSize(400, 600)), "png");
    ImageDocumentModel model(QStringList{jpeg, png});
    QSignalSpy ready(&model, &ImageDocumentModel::previewReady);
    model.requestPreview(0, QSize(100, 100));
    ASSERT_TRUE(ready.wait(5000));
    EXPECT_EQ(ready.at(0).at(0).toInt(), 0);
    const QImage preview = model.preview(0);
    EXPECT_EQ(preview.size(), QSize(67, 100));
    EXPECT_TRUE(near(preview.pixel(8, 8), kPatternTopLeft.rgb()));
    EXPECT_TRUE(near(preview.pixel(58, 92), kPatternBottomRight.rgb()));

    // A PNG has no quicker path than its full decode: no preview.
    model.requestPreview(1, QSize(100, 100));
    EXPECT_FALSE(ready.wait(300));
    EXPECT_TRUE(model.preview(1).isNull());

    // An edit makes the preview stale.
    model.replaceImage(patternImage(QSize(10, 10)), 0);
    EXPECT_TRUE(model.preview(0).isNull());
}

}  // namespace
