// The text-box and whiteout gestures of the page view, checked on the document they change.

#include "ViewFixture.h"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace scrivola;
using namespace scrivola::testing;

namespace {

class PDFViewToolsTest : public ViewFixture {
protected:
    // Types `text` into a new box whose top-left corner is the page point (x, y), and commits it
    // with a click elsewhere on the page.
    void addBox(double x, double y, const QString& text, int page = 0) {
        context->textTool()->setTextSubMode(TextSubMode::add);
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, at(x, y, page));
        ASSERT_TRUE(view.isInlineEditing());
        QTest::keyClicks(view.inlineEditor(), text);
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, at(500, 100, page));
        ASSERT_FALSE(view.isInlineEditing());
    }
};

TEST_F(PDFViewToolsTest, AddingMovingSelectingAndDeletingBoxes) {
    ASSERT_NO_FATAL_FAILURE(open(2, QSize(800, 900)));
    context->textTool()->toggleTextAnnotationMode();

    // A click beside the page adds nothing.
    context->textTool()->setTextSubMode(TextSubMode::add);
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, QPoint(3, 3));
    EXPECT_FALSE(view.isInlineEditing());

    ASSERT_NO_FATAL_FAILURE(addBox(100, 600, "Hello"));
    ASSERT_EQ(boxes().size(), 1u);
    const PDFAnnotationPtr box = boxes()[0];
    EXPECT_EQ(box->contents(), "Hello");
    EXPECT_NEAR(box->bounds().left(), 100, 1.5);
    EXPECT_NEAR(box->bounds().bottom(), 600, 1.5);  // the top edge, y up
    EXPECT_NEAR(box->bounds().width() * view.scaleFactor(), 200, 1.5);  // 200 view points, any zoom
    EXPECT_TRUE(model->isModified());

    // Select mode: a move of less than 3 points on both axes is a click and moves nothing; 3 on
    // one axis moves the box, as one undo step.
    context->textTool()->setTextSubMode(TextSubMode::select);
    const QRectF start = box->bounds();
    const double scale = view.scaleFactor();
    const QPointF grip(110, 590);
    drag(at(grip.x(), grip.y()), view.convertFromPage(grip + QPointF(2.5, 2.5), 0).toPoint());
    EXPECT_EQ(box->bounds(), start);
    EXPECT_EQ(context->textTool()->selectedAnnotationObjects(), std::vector<PDFAnnotationPtr>{box});
    drag(at(grip.x(), grip.y()), at(grip.x() + 40 , grip.y()));
    EXPECT_NEAR(box->bounds().left() - start.left(), 40, 2 / scale);
    EXPECT_NEAR(box->bounds().top(), start.top(), 2 / scale);
    context->undo();
    EXPECT_EQ(box->bounds(), start);

    // Ctrl+click toggles without moving; a band too thin selects nothing; a band across the box selects it.
    QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::ControlModifier, at(110, 590));
    EXPECT_TRUE(context->textTool()->selectedAnnotationObjects().empty());
    drag(at(50, 650), at(52, 500));
    EXPECT_TRUE(context->textTool()->selectedAnnotationObjects().empty());
    drag(at(50, 650), at(150, 500));
    EXPECT_EQ(context->textTool()->selectedAnnotationObjects(), std::vector<PDFAnnotationPtr>{box});

    // Delete removes the selection; undo brings the same box back.
    QTest::keyClick(&view, Qt::Key_Delete);
    EXPECT_TRUE(boxes().empty());
    context->undo();
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0], box);
}

// A drag whose release never comes (Escape, or the focus taken by a dialog) leaves nothing behind:
// the box moved live goes back, no step is recorded, and the later release does nothing.
TEST_F(PDFViewToolsTest, CancelledDragsLeaveNoTrace) {
    ASSERT_NO_FATAL_FAILURE(open(1, QSize(800, 900)));
    context->textTool()->toggleTextAnnotationMode();
    ASSERT_NO_FATAL_FAILURE(addBox(100, 600, "Hello"));
    const PDFAnnotationPtr box = boxes().at(0);
    const QRectF start = box->bounds();
    context->textTool()->setTextSubMode(TextSubMode::select);
    const int steps = context->undoManager()->undoCount();
    QTest::mousePress(view.viewport(), Qt::LeftButton, {}, at(110, 590));
    QTest::mouseMove(view.viewport(), at(170, 590));
    EXPECT_GT(box->bounds().left(), start.left() + 30);
    QTest::keyClick(&view, Qt::Key_Escape);
    EXPECT_EQ(box->bounds(), start);
    QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, at(170, 590));
    EXPECT_EQ(box->bounds(), start);
    EXPECT_EQ(context->undoManager()->undoCount(), steps);

    // A whiteout drag ended by the focus going elsewhere removes nothing.
    context->textTool()->toggleTextAnnotationMode();
    context->toggleWhiteoutMode();
    QSignalSpy whiteouts(&view, &ScrivolaPDFView::whiteoutRequested);
    QTest::mousePress(view.viewport(), Qt::LeftButton, {}, at(60, 730));
    QTest::mouseMove(view.viewport(), at(300, 650));
    QFocusEvent focusOut(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
    QCoreApplication::sendEvent(&view, &focusOut);
    QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, at(300, 650));
    EXPECT_EQ(whiteouts.count(), 0);
    EXPECT_EQ(context->undoManager()->undoCount(), steps);
}

TEST_F(PDFViewToolsTest, ReEditingNeverLosesTheBox) {
    ASSERT_NO_FATAL_FAILURE(open(3, QSize(800, 900)));
    context->textTool()->toggleTextAnnotationMode();
    context->goToPage(1);
    QCoreApplication::processEvents();
    ASSERT_NO_FATAL_FAILURE(addBox(100, 600, "Second page", 1));
    const auto reopen = [&](int page) {
        context->goToPage(page);
        context->textTool()->setTextSubMode(TextSubMode::select);
        QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, at(110, 590, page));
        ASSERT_TRUE(view.isInlineEditing());
        EXPECT_TRUE(boxes(page).empty());  // off its page while the editor shows it
    };

    // Bullets go before the non-empty lines of the selection, and come off again.
    ASSERT_NO_FATAL_FAILURE(reopen(1));
    // Return twice: an empty line (the editor once ignored Return on an empty line).
    QTest::keyClick(view.inlineEditor(), Qt::Key_Return);
    QTest::keyClick(view.inlineEditor(), Qt::Key_Return);
    QTest::keyClicks(view.inlineEditor(), "Third");
    view.inlineEditor()->selectAll();
    view.toggleBulletList();
    EXPECT_EQ(view.inlineEditor()->toPlainText(), QStringLiteral("\u2022 Second page\n\n\u2022 Third"));
    view.toggleBulletList();
    EXPECT_EQ(view.inlineEditor()->toPlainText(), QStringLiteral("Second page\n\nThird"));
    QTest::keyClick(view.inlineEditor(), Qt::Key_Escape);

    // Escape puts the same box back.
    const PDFAnnotationPtr original = boxes(1)[0];
    ASSERT_NO_FATAL_FAILURE(reopen(1));
    QTest::keyClick(view.inlineEditor(), Qt::Key_Escape);
    ASSERT_EQ(boxes(1).size(), 1u);
    EXPECT_EQ(boxes(1)[0], original);

    // Deleting the first page while the box is edited: the edit is committed on its own page,
    // which is now the first.
    ASSERT_NO_FATAL_FAILURE(reopen(1));
    QTest::keyClicks(view.inlineEditor(), "!");
    context->deletePages({0});
    EXPECT_FALSE(view.isInlineEditing());
    ASSERT_EQ(boxes(0).size(), 1u);
    EXPECT_EQ(boxes(0)[0]->contents(), "Second page!");

    // Undo while editing ends the editing first, then undoes what came before it.
    ASSERT_NO_FATAL_FAILURE(reopen(0));
    context->undo();
    EXPECT_FALSE(view.isInlineEditing());
    ASSERT_EQ(boxes(0).size(), 1u);

    // Saving while editing saves the box; emptying the text of a box and committing deletes it.
    ASSERT_NO_FATAL_FAILURE(reopen(0));
    context->endPendingEdits();
    EXPECT_EQ(boxes(0).size(), 1u);
    ASSERT_NO_FATAL_FAILURE(reopen(0));
    QTest::keyClick(view.inlineEditor(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(view.inlineEditor(), Qt::Key_Delete);
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, at(500, 100, 0));
    EXPECT_TRUE(boxes(0).empty());
    context->undo();
    EXPECT_EQ(boxes(0).size(), 1u);
}

TEST_F(PDFViewToolsTest, ACommittedBoxLooksAsItDidInTheEditor) {
    ASSERT_NO_FATAL_FAILURE(open(1, QSize(800, 900)));
    view.setScaleFactor(1.5);
    context->textTool()->toggleTextAnnotationMode();
    context->textTool()->setTextSubMode(TextSubMode::add);
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, at(100, 500));
    QTest::keyClicks(view.inlineEditor(), "Hxg boxed");
    view.inlineEditor()->setCursorWidth(0);  // the text alone
    // Inside the editor's dashed border.
    const QRect area = view.inlineEditor()->geometry().adjusted(3, 3, -3, -3);
    const QRect typed = inkBounds(view.viewport()->grab().toImage(), area);
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, at(400, 100));
    ASSERT_EQ(boxes().size(), 1u);
    QImage drawn;
    for (int round = 0; round < 200 && view.scheduler()->pendingCount() + (round == 0) > 0; ++round) {
        QTest::qWait(10);
        drawn = view.viewport()->grab().toImage();
    }
    const QRect committed = inkBounds(drawn, area);
    ASSERT_FALSE(typed.isEmpty());
    EXPECT_LE((committed.topLeft() - typed.topLeft()).manhattanLength(), 3) << committed.x() << "," << committed.y();
    EXPECT_NEAR(committed.width(), typed.width(), 3);
    EXPECT_NEAR(committed.height(), typed.height(), 2);
}

TEST_F(PDFViewToolsTest, WhiteoutRemovesTheTextUnderTheRectangle) {
    ASSERT_NO_FATAL_FAILURE(open(1, QSize(800, 900)));
    context->toggleWhiteoutMode();
    const QString before = model->pdfDocument()->page(0)->text().plainText();
    ASSERT_TRUE(before.contains("quick"));
    drag(at(60, 730), at(62, 690));  // 3 points or less across: nothing
    EXPECT_EQ(model->pdfDocument()->page(0)->text().plainText(), before);
    // Across the second line, "The quick brown fox", baseline 704.
    drag(at(60, 715), at(560, 698));
    EXPECT_FALSE(model->pdfDocument()->page(0)->text().plainText().contains("quick"));
}

}  // namespace
