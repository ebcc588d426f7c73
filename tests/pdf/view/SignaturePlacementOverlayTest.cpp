// Placing a signature on screen: the stamping click, moving and resizing the overlay within its
// page, following the page through zoom and mode switches, placing and cancelling.

#include "ViewFixture.h"

#include "pdf/view/SignaturePlacementOverlay.h"
#include "signature/SignatureStorageService.h"

#include <QPushButton>

using namespace scrivola;
using namespace scrivola::testing;

namespace {

class SignaturePlacementOverlayTest : public ViewFixture {
protected:
    void SetUp() override {
        storage = std::make_unique<SignatureStorageService>(dir.filePath(QStringLiteral("store")));
        QImage redBlue(100, 40, QImage::Format_RGB32);  // left half red, right half blue
        redBlue.fill(Qt::blue);
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 50; ++x) redBlue.setPixel(x, y, qRgb(255, 0, 0));
        id = storage->save(redBlue, QStringLiteral("Me"), SignatureKind::signature)->id;
        ASSERT_NO_FATAL_FAILURE(open(3, QSize(800, 600)));
        context->setSignatureStorage(storage.get());
        context->setViewMode(ViewMode::continuous);
        context->goToPage(1);
        QCoreApplication::processEvents();
    }
    SignaturePlacementOverlay* overlay() const { return view.viewport()->findChild<SignaturePlacementOverlay*>(); }
    // Where the context's placement lies in the viewport.
    QRectF placedOnScreen() const { return view.pageTransform(context->signaturePlacement()->signaturePlacementPageIndex()).mapRect(context->signaturePlacement()->signaturePageRect()); }
    // A left-button drag given in viewport points; each event goes to the overlay where it is then.
    void dragOverlay(QPoint from, QPoint to) {
        const auto send = [this](QEvent::Type type, QPoint point, Qt::MouseButtons buttons) {
            SignaturePlacementOverlay* target = overlay();
            const QPointF local = target->mapFromParent(QPointF(point));
            QMouseEvent event(type, local, target->mapToGlobal(local), Qt::LeftButton, buttons, Qt::NoModifier);
            QCoreApplication::sendEvent(target, &event);
        };
        send(QEvent::MouseButtonPress, from, Qt::LeftButton);
        send(QEvent::MouseMove, (from + to) / 2, Qt::LeftButton);
        send(QEvent::MouseMove, to, Qt::LeftButton);
        send(QEvent::MouseButtonRelease, to, Qt::NoButton);
    }
    // Chooses the item (if not chosen) and clicks at the page point (x, y) of page `page`.
    void stampAt(double x, double y, int page = 1) {
        if (!context->signaturePlacement()->selectedSignatureId()) context->signaturePlacement()->toggleSignatureSelection(id);
        ASSERT_EQ(view.viewport()->cursor().shape(), Qt::CrossCursor);
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, at(x, y, page));
        ASSERT_TRUE(context->signaturePlacement()->isPlacingSignature());
        ASSERT_NE(overlay(), nullptr);
    }

    std::unique_ptr<SignatureStorageService> storage;
    QUuid id;
};

TEST_F(SignaturePlacementOverlayTest, MovesAndResizesWithinItsPageAndFollowsItThroughZoomAndModes) {
    ASSERT_NO_FATAL_FAILURE(stampAt(300, 400));
    const double tolerance = 1 / view.scaleFactor();  // a click lands on a whole view point
    EXPECT_EQ(context->signaturePlacement()->signaturePlacementPageIndex(), 1);
    EXPECT_NEAR(context->signaturePlacement()->signaturePageRect().center().x(), 300, tolerance);
    EXPECT_NEAR(context->signaturePlacement()->signaturePageRect().center().y(), 400, tolerance);
    EXPECT_EQ(overlay()->pictureRect(), placedOnScreen());
    EXPECT_TRUE(overlay()->isVisible());
    EXPECT_NE(view.viewport()->cursor().shape(), Qt::CrossCursor);

    // Dragged far past the right and top edges: stops at them, same size.
    const QSizeF size = context->signaturePlacement()->signatureSize();
    dragOverlay(placedOnScreen().center().toPoint(), placedOnScreen().center().toPoint() + QPoint(2000, -2000));
    EXPECT_NEAR(context->signaturePlacement()->signaturePageRect().right(), 612, 1e-6);
    EXPECT_NEAR(context->signaturePlacement()->signaturePageRect().bottom(), 792, 1e-6);  // page space: y up, so the top
    EXPECT_EQ(context->signaturePlacement()->signaturePlacementPageIndex(), 1);
    EXPECT_NEAR(context->signaturePlacement()->signatureSize().width(), size.width(), 1e-6);

    // Back in, then the bottom-right corner dragged up and left past the top-left one: the top-left
    // corner stays and the size stops at 60 × 30.
    dragOverlay(placedOnScreen().center().toPoint(), at(300, 400, 1));
    const QRectF before = placedOnScreen();
    dragOverlay(before.bottomRight().toPoint(), before.topLeft().toPoint() - QPoint(300, 300));
    EXPECT_NEAR(context->signaturePlacement()->signatureSize().width(), 60, 1e-6);
    EXPECT_NEAR(context->signaturePlacement()->signatureSize().height(), 30, 1e-6);
    EXPECT_NEAR(placedOnScreen().left(), before.left(), 1e-6);
    EXPECT_NEAR(placedOnScreen().top(), before.top(), 1e-6);
    // The top-left corner dragged out past the page's corner: stops at the page's edges.
    const QPointF bottomRight(context->signaturePlacement()->signaturePageRect().right(), context->signaturePlacement()->signaturePageRect().top());
    dragOverlay(placedOnScreen().topLeft().toPoint(), at(-500, 1500, 1));
    EXPECT_NEAR(context->signaturePlacement()->signaturePageRect().left(), 0, 1e-6);
    EXPECT_NEAR(context->signaturePlacement()->signaturePageRect().bottom(), 792, 1e-6);
    EXPECT_NEAR(context->signaturePlacement()->signaturePageRect().right(), bottomRight.x(), 1e-6);
    EXPECT_NEAR(context->signaturePlacement()->signaturePageRect().top(), bottomRight.y(), 1e-6);

    // Zoom, mode switch and scrolling: the placement does not change and the overlay stays on it.
    const QRectF placed = context->signaturePlacement()->signaturePageRect();
    context->setZoomLevel(view.scaleFactor() * 1.7);
    EXPECT_EQ(context->signaturePlacement()->signaturePageRect(), placed);
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
    ASSERT_NO_FATAL_FAILURE(stampAt(300, 400));
    QTest::keyClick(overlay(), Qt::Key_Escape);
    EXPECT_FALSE(context->signaturePlacement()->isPlacingSignature());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(overlay(), nullptr);
    EXPECT_EQ(model->pdfDocument()->page(1), original);
    EXPECT_FALSE(model->isModified());

    // Placed with Return, the picture is in the page where the overlay showed it.
    ASSERT_NO_FATAL_FAILURE(stampAt(300, 400));
    const QRectF rect = context->signaturePlacement()->signaturePageRect();
    QTest::keyClick(overlay(), Qt::Key_Return);
    EXPECT_FALSE(context->signaturePlacement()->isPlacingSignature());
    ASSERT_NE(model->pdfDocument()->page(1), original);
    const QImage page = model->pdfDocument()->page(1)->render(1.0);
    const QRect area(int(rect.left()) + 3, int(792 - rect.bottom()) + 3, int(rect.width() / 2) - 6, int(rect.height()) - 6);
    EXPECT_GT(share(page, area, Qt::red), 0.95);
    EXPECT_GT(share(page, area.translated(int(rect.width() / 2), 0), Qt::blue), 0.95);
    EXPECT_EQ(inkCount(page, QRect(int(rect.left()) - 30, area.top(), 25, area.height())), 0);

    // A click beside the page places on it, moved wholly onto it; the "Place" button places
    // again; each placement undoes on its own.
    ASSERT_NO_FATAL_FAILURE(stampAt(-40, 200));
    EXPECT_EQ(context->signaturePlacement()->signaturePlacementPageIndex(), 1);
    EXPECT_EQ(context->signaturePlacement()->signaturePageRect().left(), 0);
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

TEST_F(SignaturePlacementOverlayTest, ABoxBeingReEditedIsCommittedBeforeItsPageIsSigned) {
    context->textTool()->toggleTextAnnotationMode();
    context->textTool()->setTextSubMode(TextSubMode::add);
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, at(100, 600, 1));
    QTest::keyClicks(view.inlineEditor(), "Boxed");
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, at(500, 100, 1));
    context->textTool()->setTextSubMode(TextSubMode::select);
    QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, at(110, 590, 1));
    ASSERT_TRUE(view.isInlineEditing());
    QTest::keyClicks(view.inlineEditor(), "!");

    // Choosing an item ends the editing with the box back on its page; placing then draws both in.
    ASSERT_NO_FATAL_FAILURE(stampAt(300, 400));
    EXPECT_FALSE(view.isInlineEditing());
    QTest::keyClick(overlay(), Qt::Key_Return);
    EXPECT_TRUE(boxes(1).empty());
    EXPECT_TRUE(model->pdfDocument()->page(1)->text().plainText().contains(QStringLiteral("Boxed!")));
    context->undo();
    ASSERT_EQ(boxes(1).size(), 1u);
    EXPECT_EQ(boxes(1)[0]->contents(), QStringLiteral("Boxed!"));
}

}  // namespace
