// Placing a signature on screen: the stamping click, moving and resizing the overlay within its
// page, following the page through zoom and mode switches, placing and cancelling.

#include "pdf/PDFDocumentContext.h"
#include "pdf/PDFDocumentModel.h"
#include "pdf/view/PDFViewBridge.h"
#include "pdf/view/ScrivolaPDFView.h"
#include "pdf/view/SignaturePlacementOverlay.h"
#include "signature/SignatureStorageService.h"
#include "support/Files.h"
#include "support/PdfFactory.h"

#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

using namespace scrivola;
using namespace scrivola::testing;

namespace {

class SignaturePlacementOverlayTest : public ::testing::Test {
protected:
    void SetUp() override {
        storage = std::make_unique<SignatureStorageService>(dir.filePath(QStringLiteral("store")));
        QImage redBlue(100, 40, QImage::Format_RGB32);  // left half red, right half blue
        redBlue.fill(Qt::blue);
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 50; ++x) redBlue.setPixel(x, y, qRgb(255, 0, 0));
        id = storage->save(redBlue, QStringLiteral("Me"), SignatureKind::signature)->id;
        model = std::make_unique<PDFDocumentModel>(writeFile(dir, "doc.pdf", textPdf(3)));
        context = std::make_unique<PDFDocumentContext>(model.get());
        context->setSignatureStorage(storage.get());
        context->setViewMode(ViewMode::continuous);
        view.resize(800, 600);
        new PDFViewBridge(context.get(), &view);
        view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
        QCoreApplication::processEvents();
        context->goToPage(1);
        context->toggleSignatureSelection(id);
    }
    SignaturePlacementOverlay* overlay() const { return view.viewport()->findChild<SignaturePlacementOverlay*>(); }
    QPoint onScreen(const QPointF& pagePoint, int page = 1) const { return view.convertFromPage(pagePoint, page).toPoint(); }
    // Where the context's placement lies in the viewport.
    QRectF placedOnScreen() const { return view.pageTransform(context->signaturePlacementPageIndex()).mapRect(context->signaturePageRect()); }
    // A left-button drag given in viewport points; each event goes to the overlay where it is then.
    void drag(QPoint from, QPoint to) {
        const auto send = [this](QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
            SignaturePlacementOverlay* target = overlay();
            const QPointF local = target->mapFromParent(QPointF(at));
            QMouseEvent event(type, local, target->mapToGlobal(local), Qt::LeftButton, buttons, Qt::NoModifier);
            QCoreApplication::sendEvent(target, &event);
        };
        send(QEvent::MouseButtonPress, from, Qt::LeftButton);
        send(QEvent::MouseMove, (from + to) / 2, Qt::LeftButton);
        send(QEvent::MouseMove, to, Qt::LeftButton);
        send(QEvent::MouseButtonRelease, to, Qt::NoButton);
    }
    void stampAt(const QPointF& pagePoint) {
        ASSERT_EQ(view.viewport()->cursor().shape(), Qt::CrossCursor);
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, onScreen(pagePoint));
        ASSERT_TRUE(context->isPlacingSignature());
        ASSERT_NE(overlay(), nullptr);
    }

    QTemporaryDir dir;
    std::unique_ptr<SignatureStorageService> storage;
    QUuid id;
    std::unique_ptr<PDFDocumentModel> model;
    std::unique_ptr<PDFDocumentContext> context;
    ScrivolaPDFView view;
};

TEST_F(SignaturePlacementOverlayTest, MovesAndResizesWithinItsPageAndFollowsItThroughZoomAndModes) {
    ASSERT_NO_FATAL_FAILURE(stampAt(QPointF(300, 400)));
    const double tolerance = 1 / view.scaleFactor();  // a click lands on a whole view point
    EXPECT_EQ(context->signaturePlacementPageIndex(), 1);
    EXPECT_NEAR(context->signaturePageRect().center().x(), 300, tolerance);
    EXPECT_NEAR(context->signaturePageRect().center().y(), 400, tolerance);
    EXPECT_EQ(overlay()->pictureRect(), placedOnScreen());
    EXPECT_TRUE(overlay()->isVisible());
    EXPECT_NE(view.viewport()->cursor().shape(), Qt::CrossCursor);

    // Dragged far past the right and top edges: stops at them, same size.
    const QSizeF size = context->signatureSize();
    drag(placedOnScreen().center().toPoint(), placedOnScreen().center().toPoint() + QPoint(2000, -2000));
    EXPECT_NEAR(context->signaturePageRect().right(), 612, 1e-6);
    EXPECT_NEAR(context->signaturePageRect().bottom(), 792, 1e-6);  // page space: y up, so the top
    EXPECT_EQ(context->signaturePlacementPageIndex(), 1);
    EXPECT_NEAR(context->signatureSize().width(), size.width(), 1e-6);

    // Back in, then the bottom-right corner dragged up and left past the top-left one: the top-left
    // corner stays and the size stops at 60 × 30.
    drag(placedOnScreen().center().toPoint(), onScreen(QPointF(300, 400)));
    const QRectF before = placedOnScreen();
    drag(before.bottomRight().toPoint(), before.topLeft().toPoint() - QPoint(300, 300));
    EXPECT_NEAR(context->signatureSize().width(), 60, 1e-6);
    EXPECT_NEAR(context->signatureSize().height(), 30, 1e-6);
    EXPECT_NEAR(placedOnScreen().left(), before.left(), 1e-6);
    EXPECT_NEAR(placedOnScreen().top(), before.top(), 1e-6);
    // The top-left corner dragged out past the page's corner: stops at the page's edges.
    const QPointF bottomRight(context->signaturePageRect().right(), context->signaturePageRect().top());
    drag(placedOnScreen().topLeft().toPoint(), onScreen(QPointF(-500, 1500)));
    EXPECT_NEAR(context->signaturePageRect().left(), 0, 1e-6);
    EXPECT_NEAR(context->signaturePageRect().bottom(), 792, 1e-6);
    EXPECT_NEAR(context->signaturePageRect().right(), bottomRight.x(), 1e-6);
    EXPECT_NEAR(context->signaturePageRect().top(), bottomRight.y(), 1e-6);

    // Zoom, mode switch and scrolling: the placement does not change and the overlay stays on it.
    const QRectF placed = context->signaturePageRect();
    context->setZoomLevel(view.scaleFactor() * 1.7);
    EXPECT_EQ(context->signaturePageRect(), placed);
    EXPECT_EQ(overlay()->pictureRect(), placedOnScreen());
    context->setViewMode(ViewMode::singlePage);
    QCoreApplication::processEvents();
    ASSERT_EQ(view.currentPage(), 1);
    EXPECT_TRUE(overlay()->isVisible());
    EXPECT_EQ(overlay()->pictureRect(), placedOnScreen());
    // Another page shown: the overlay hides rather than float over it.
    context->goToPage(0);
    EXPECT_FALSE(overlay()->isVisible());
    context->goToPage(1);
    EXPECT_TRUE(overlay()->isVisible());
    EXPECT_EQ(overlay()->pictureRect(), placedOnScreen());
}

TEST_F(SignaturePlacementOverlayTest, PlacingPutsThePictureOnThePageAsOneUndoStepAndCancellingLeavesItAlone) {
    const PDFPagePtr original = model->pdfDocument()->page(1);
    // Escape cancels: the page is untouched and the next click places again.
    ASSERT_NO_FATAL_FAILURE(stampAt(QPointF(300, 400)));
    QTest::keyClick(overlay(), Qt::Key_Escape);
    EXPECT_FALSE(context->isPlacingSignature());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(overlay(), nullptr);
    EXPECT_EQ(model->pdfDocument()->page(1), original);
    EXPECT_FALSE(model->isModified());

    // Placed with Return, the picture is in the page where the overlay showed it.
    ASSERT_NO_FATAL_FAILURE(stampAt(QPointF(300, 400)));
    const QRectF rect = context->signaturePageRect();
    QTest::keyClick(overlay(), Qt::Key_Return);
    EXPECT_FALSE(context->isPlacingSignature());
    ASSERT_NE(model->pdfDocument()->page(1), original);
    const QImage page = model->pdfDocument()->page(1)->render(1.0);
    const QRect area(int(rect.left()) + 3, int(792 - rect.bottom()) + 3, int(rect.width() / 2) - 6, int(rect.height()) - 6);
    EXPECT_GT(share(page, area, Qt::red), 0.95);
    EXPECT_GT(share(page, area.translated(int(rect.width() / 2), 0), Qt::blue), 0.95);
    EXPECT_EQ(inkCount(page, QRect(int(rect.left()) - 30, area.top(), 25, area.height())), 0);

    // A click beside the page places on it, moved wholly onto it; the "Place" button places
    // again; each placement undoes on its own.
    ASSERT_NO_FATAL_FAILURE(stampAt(QPointF(-40, 200)));
    EXPECT_EQ(context->signaturePlacementPageIndex(), 1);
    EXPECT_EQ(context->signaturePageRect().left(), 0);
    QPushButton* place = view.viewport()->findChild<QPushButton*>();
    ASSERT_NE(place, nullptr);
    EXPECT_EQ(place->text(), QStringLiteral("Place"));
    QTest::mouseClick(place, Qt::LeftButton);
    context->undo();
    context->undo();
    EXPECT_EQ(model->pdfDocument()->page(1), original);
    EXPECT_FALSE(context->undoManager()->canUndo());
    context->redo();
    EXPECT_GT(share(model->pdfDocument()->page(1)->render(1.0), area, Qt::red), 0.95);
}

}  // namespace
