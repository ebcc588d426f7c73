// The image canvas on its own, offscreen: fitting, zoom both ways with the context, panning and
// the arrow keys within bounds, drops, and what it paints.
#include "support/Files.h"
#include "support/ImageFactory.h"

#include "image/ImageDocumentContext.h"
#include "image/codec/ImageCodec.h"
#include "image/view/ImageCanvasView.h"

#include <QColorSpace>
#include <QMimeData>
#include <QNativeGestureEvent>
#include <QPointingDevice>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <gtest/gtest.h>

#include <memory>

using namespace scrivola;
using namespace scrivola::testing;

namespace {

class ImageCanvasViewTest : public ::testing::Test {
protected:
    // A two-image collection shown in a 1000 × 600 canvas; image 0 is replaced by `size` pixels.
    void open(QSize size) {
        QStringList urls;
        for (int i = 0; i < 2; ++i) urls << writeImage(dir.filePath(QString("i%1.png").arg(i)), patternImage(QSize(40, 30)), "png");
        model = std::make_unique<ImageDocumentModel>(urls);
        context = std::make_unique<ImageDocumentContext>(model.get());
        QImage pixels(size, QImage::Format_RGB32);
        pixels.fill(QColor(30, 120, 200));
        model->replaceImage(pixels, 0);
        canvas.resize(1000, 600);
        canvas.setContext(context.get());
        canvas.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&canvas));
        settle();
    }
    // Deferred fits and queued decodes run.
    static void settle() {
        for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
    }
    void wheel(QPoint delta, bool pixels) {
        QWheelEvent event(QPointF(500, 300), canvas.viewport()->mapToGlobal(QPointF(500, 300)), pixels ? delta : QPoint(),
                          pixels ? QPoint() : delta, Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(canvas.viewport(), &event);
    }
    void drag(QPoint from, QPoint to) {
        QTest::mousePress(canvas.viewport(), Qt::LeftButton, {}, from);
        QTest::mouseMove(canvas.viewport(), to);
        QTest::mouseRelease(canvas.viewport(), Qt::LeftButton, {}, to);
    }

    QTemporaryDir dir;
    std::unique_ptr<ImageDocumentModel> model;
    std::unique_ptr<ImageDocumentContext> context;
    ImageCanvasView canvas;  // goes first: it observes the context
};

TEST_F(ImageCanvasViewTest, FitsLargeImagesAndShowsSmallOnesAtActualSizeCentred) {
    open(QSize(4000, 3000));
    EXPECT_DOUBLE_EQ(canvas.magnification(), 0.2);  // min(0.25, 0.2)
    EXPECT_DOUBLE_EQ(context->zoomLevel(), 0.2);
    EXPECT_FALSE(context->needsAutoFit());
    context->applyFitMode(ImageFitMode::fitWidth);
    settle();
    // The width fills the view beside the vertical scroll bar the height now needs.
    EXPECT_NEAR(canvas.magnification(), 0.25, 0.01);
    EXPECT_EQ(canvas.horizontalScrollBar()->maximum(), 0);
    EXPECT_GT(canvas.verticalScrollBar()->maximum(), 0);
    EXPECT_NEAR(canvas.visibleRect().width(), 4000, 8);
    EXPECT_EQ(canvas.sizeBadgeText(), QStringLiteral("4000 × 3000"));

    // Very wide: the fit stops at 0.1.
    model->replaceImage(QImage(20000, 100, QImage::Format_RGB32), 0);
    settle();
    EXPECT_DOUBLE_EQ(canvas.magnification(), 0.1);

    // Smaller than the view: 100 %, centred, not pannable, arrow keys passed on.
    QImage small(400, 300, QImage::Format_RGB32);
    small.fill(Qt::red);
    model->replaceImage(small, 0);
    context->applyFitMode(ImageFitMode::fitPage);
    settle();
    EXPECT_DOUBLE_EQ(canvas.magnification(), 1.0);
    EXPECT_FALSE(canvas.isLargerThanView());
    EXPECT_EQ(canvas.visibleRect().topLeft(), QPointF(-300, -150));
    drag(QPoint(500, 300), QPoint(300, 200));
    EXPECT_FALSE(canvas.isPanning());
    EXPECT_EQ(canvas.visibleRect().topLeft(), QPointF(-300, -150));
    EXPECT_EQ(canvas.viewport()->cursor().shape(), Qt::ArrowCursor);
    QKeyEvent right(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier);
    QCoreApplication::sendEvent(&canvas, &right);
    EXPECT_FALSE(right.isAccepted());

    // A picture in a wide-gamut colour space shows in the display's colours.
    QImage wide(400, 300, QImage::Format_RGB32);
    wide.fill(QColor(90, 160, 60));
    wide.setColorSpace(QColorSpace::ProPhotoRgb);
    const QColor expected = ImageCodec::toDisplayColorSpace(wide).pixelColor(0, 0);
    ASSERT_FALSE(sameColour(expected, QColor(90, 160, 60), 12));
    model->replaceImage(wide, 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return sameColour(canvas.viewport()->grab().toImage().pixelColor(500, 300), expected, 3); }, 5000));
    model->replaceImage(small, 0);
    settle();

    // Painted: the image's red in the middle, the background beside it.
    const QImage shot = canvas.viewport()->grab().toImage();
    EXPECT_TRUE(sameColour(shot.pixelColor(500, 300), Qt::red));
    EXPECT_FALSE(sameColour(shot.pixelColor(100, 300), Qt::red));
    EXPECT_TRUE(canvas.showsFullImage());
}

TEST_F(ImageCanvasViewTest, WheelAndPinchZoomBecomeManualAndTheContextZoomComesBackOnce) {
    open(QSize(800, 500));
    ASSERT_DOUBLE_EQ(canvas.magnification(), 1.0);
    QSignalSpy zooms(context.get(), &DocumentContext::zoomLevelChanged);
    wheel(QPoint(0, 120), false);  // one notch
    EXPECT_DOUBLE_EQ(canvas.magnification(), 1.05);
    EXPECT_DOUBLE_EQ(context->zoomLevel(), 1.05);
    EXPECT_EQ(context->imageFitMode(), ImageFitMode::manual);
    EXPECT_EQ(zooms.count(), 1);
    wheel(QPoint(0, 10), true);  // touchpad pixels
    EXPECT_NEAR(canvas.magnification(), 1.05 * 1.1, 1e-9);
    // A pinch closing by a fifth, then one opening far beyond the limit.
    context->setImageFitMode(ImageFitMode::fitPage);
    const double before = canvas.magnification();
    for (const double value : {-0.2, 400.0}) {
        QNativeGestureEvent pinch(Qt::ZoomNativeGesture, QPointingDevice::primaryPointingDevice(), 2, QPointF(500, 300),
                                  QPointF(500, 300), canvas.viewport()->mapToGlobal(QPointF(500, 300)), value, QPointF());
        QCoreApplication::sendEvent(canvas.viewport(), &pinch);
        if (value < 0) {
            EXPECT_NEAR(canvas.magnification(), before * 0.8, 1e-9);
        }
        EXPECT_EQ(context->imageFitMode(), ImageFitMode::manual);
    }
    EXPECT_DOUBLE_EQ(canvas.magnification(), 10.0);
    EXPECT_DOUBLE_EQ(context->zoomLevel(), 10.0);

    // The context's steps reach the view; a fit request is carried out.
    context->zoomOut();
    EXPECT_DOUBLE_EQ(canvas.magnification(), 8.0);
    context->zoomToActualSize();
    EXPECT_DOUBLE_EQ(canvas.magnification(), 1.0);
    context->zoomToFit();
    settle();
    EXPECT_DOUBLE_EQ(canvas.magnification(), 1.0);  // smaller than the view
    EXPECT_FALSE(context->needsAutoFit());

    // Turning to the next image fits it again after a manual zoom.
    context->zoomIn();
    context->goToNextPage();
    settle();
    EXPECT_EQ(context->imageFitMode(), ImageFitMode::fitPage);
    EXPECT_DOUBLE_EQ(canvas.magnification(), 1.0);
}

TEST_F(ImageCanvasViewTest, PanningAndArrowKeysStayWithinTheImage) {
    open(QSize(3000, 2000));
    context->setImageFitMode(ImageFitMode::manual);
    context->setZoomLevel(2.0);
    ASSERT_DOUBLE_EQ(canvas.magnification(), 2.0);
    ASSERT_TRUE(canvas.isLargerThanView());
    EXPECT_EQ(canvas.viewport()->cursor().shape(), Qt::OpenHandCursor);
    canvas.horizontalScrollBar()->setValue(0);
    canvas.verticalScrollBar()->setValue(0);

    // One arrow press: 40 screen points, 20 image points at 2×.
    const QPointF before = canvas.visibleRect().topLeft();
    QTest::keyClick(&canvas, Qt::Key_Right);
    QTest::keyClick(&canvas, Qt::Key_Down);
    EXPECT_EQ(canvas.visibleRect().topLeft() - before, QPointF(20, 20));

    // The image follows the mouse, and stops at its edges.
    drag(QPoint(600, 400), QPoint(500, 300));
    EXPECT_EQ(canvas.visibleRect().topLeft() - before, QPointF(70, 70));
    drag(QPoint(100, 100), QPoint(900, 500));
    EXPECT_EQ(canvas.visibleRect().topLeft(), QPointF(0, 0));
    QTest::keyClick(&canvas, Qt::Key_Left);
    EXPECT_EQ(canvas.visibleRect().topLeft(), QPointF(0, 0));
    drag(QPoint(900, 500), QPoint(-20000, -20000));
    const QRectF visible = canvas.visibleRect();
    EXPECT_DOUBLE_EQ(visible.right(), 3000);
    EXPECT_DOUBLE_EQ(visible.bottom(), 2000);
    EXPECT_FALSE(canvas.isPanning());
}

TEST_F(ImageCanvasViewTest, OnlyFileDropsAreTaken) {
    open(QSize(400, 300));
    QSignalSpy dropped(&canvas, &ImageCanvasView::filesDropped);
    QMimeData text;
    text.setText(QStringLiteral("hello"));
    QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &text, Qt::LeftButton, {});
    QCoreApplication::sendEvent(canvas.viewport(), &enter);
    EXPECT_FALSE(enter.isAccepted());

    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(dir.filePath("a.png")), QUrl(QStringLiteral("https://example.com/b.png")),
                   QUrl::fromLocalFile(dir.filePath("c.jpg"))});
    QDragEnterEvent enterFiles(QPoint(50, 50), Qt::CopyAction, &files, Qt::LeftButton, {});
    QCoreApplication::sendEvent(canvas.viewport(), &enterFiles);
    EXPECT_TRUE(enterFiles.isAccepted());
    QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &files, Qt::LeftButton, {});
    QCoreApplication::sendEvent(canvas.viewport(), &drop);
    ASSERT_EQ(dropped.count(), 1);
    EXPECT_EQ(dropped.at(0).at(0).toStringList(), (QStringList{dir.filePath("a.png"), dir.filePath("c.jpg")}));
}

// Images passed quickly (a held arrow key) show a quick preview first and their full decode after
// a pause; once one is on screen in full, the one after it is decoded ahead.
TEST_F(ImageCanvasViewTest, BrowsingQuicklyShowsPreviewsFirstThenDecodesAhead) {
    QStringList urls;
    for (int i = 0; i < 4; ++i) urls << writeImage(dir.filePath(QString("p%1.jpg").arg(i)), photoImage(QSize(1600, 1200), i), "jpeg");
    model = std::make_unique<ImageDocumentModel>(urls);
    context = std::make_unique<ImageDocumentContext>(model.get());
    canvas.resize(800, 600);
    canvas.setContext(context.get());
    canvas.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&canvas));
    ASSERT_TRUE(QTest::qWaitFor([&] { return canvas.showsFullImage(); }, 5000));

    QList<std::pair<int, bool>> painted;
    QObject::connect(&canvas, &ImageCanvasView::imagePainted, &canvas, [&](int index, bool full) { painted.append({index, full}); });
    context->goToNextPage();
    context->goToNextPage();  // at once: a quick step
    EXPECT_TRUE(model->cachedImage(2).isNull());
    ASSERT_TRUE(QTest::qWaitFor([&] { return canvas.showsFullImage() && painted.contains({2, true}); }, 5000));
    EXPECT_EQ(painted.first(), std::make_pair(2, false));
    EXPECT_EQ(canvas.shownIndex(), 2);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !model->cachedImage(3).isNull(); }, 5000));
}

}  // namespace
