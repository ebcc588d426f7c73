// The page sidebar on a generated PDF: clicks and keys on the context's state, the context menu,
// reordering by drag checked on the document's page order, and pictures following edits.

#include "thumbnails/view/SidebarControls.h"
#include "thumbnails/view/ThumbnailGridView.h"
#include "thumbnails/view/ThumbnailRenderer.h"
#include "thumbnails/view/ThumbnailSidebarView.h"

#include "pdf/PDFDocumentContext.h"
#include "support/Files.h"
#include "support/PdfFactory.h"

#include <QDrag>
#include <QMenu>
#include <QMimeData>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

#include <memory>

using namespace scrivola;
using namespace scrivola::testing;

namespace {

class ThumbnailSidebarTest : public ::testing::Test {
protected:
    void open(int pages) {
        model = std::make_unique<PDFDocumentModel>(writeFile(dir, "doc.pdf", textPdf(pages)));
        context = std::make_unique<PDFDocumentContext>(model.get());
        sidebar = std::make_unique<ThumbnailSidebarView>(context.get());
        sidebar->resize(400, 1000);  // two columns, four rows in view
        sidebar->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(sidebar.get()));
        grid = sidebar->grid();
        ASSERT_EQ(grid->columnCount(), 2);
    }
    QPoint centre(int page) const { return grid->cellRect(page).center().toPoint(); }
    void click(int page, Qt::KeyboardModifiers modifiers = {}) {
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, modifiers, centre(page));
    }
    // The first line of each page's text, "Page 1" for the page that came first.
    QStringList order() const {
        QStringList titles;
        for (int i = 0; i < model->pdfDocument()->pageCount(); ++i)
            titles << model->pdfDocument()->page(i)->text().plainText().section(QLatin1Char('\n'), 0, 0);
        return titles;
    }
    // Sends a drag of `page` through the grid as the platform would, dropping at `target` (or
    // leaving the grid and cancelling when `drop` is false); returns what exec would.
    void dragWithMouse(int page, int target, bool drop = true) {
        context->setSidebarMode(SidebarMode::sort);
        grid->setDragRunner([this, target, drop](QDrag* drag) {
            QWidget* viewport = grid->viewport();
            const QPoint at = centre(target);
            QDragEnterEvent enter(at, Qt::MoveAction, drag->mimeData(), Qt::LeftButton, {});
            QCoreApplication::sendEvent(viewport, &enter);
            QDragMoveEvent move(at, Qt::MoveAction, drag->mimeData(), Qt::LeftButton, {});
            QCoreApplication::sendEvent(viewport, &move);
            enteredTarget = grid->dropTargetIndex();
            if (!drop) return Qt::IgnoreAction;
            QDropEvent dropped(at, Qt::MoveAction, drag->mimeData(), Qt::LeftButton, {});
            QCoreApplication::sendEvent(viewport, &dropped);
            return dropped.isAccepted() ? Qt::MoveAction : Qt::IgnoreAction;
        });
        QTest::mousePress(grid->viewport(), Qt::LeftButton, {}, centre(page));
        QTest::mouseMove(grid->viewport(), centre(page) + QPoint(0, 30));
        QTest::mouseRelease(grid->viewport(), Qt::LeftButton, {}, centre(page) + QPoint(0, 30));
    }
    bool waitForPictures(int page) {
        return QTest::qWaitFor([&] {
            grid->viewport()->repaint();
            return grid->paintedRevision(page) == context->documentRevision();
        }, 10000);
    }

    QTemporaryDir dir;
    std::unique_ptr<PDFDocumentModel> model;
    std::unique_ptr<PDFDocumentContext> context;
    std::unique_ptr<ThumbnailSidebarView> sidebar;
    ThumbnailGridView* grid = nullptr;
    std::optional<int> enteredTarget;
};

TEST_F(ThumbnailSidebarTest, ClicksAndKeysSelectAndNavigate) {
    open(6);
    click(1, Qt::ControlModifier);
    click(2, Qt::ControlModifier);
    EXPECT_EQ(context->selectedPages(), (std::set<int>{1, 2}));
    click(1, Qt::ControlModifier);  // only that page leaves the selection
    EXPECT_EQ(context->selectedPages(), (std::set<int>{2}));
    click(5, Qt::ShiftModifier);
    EXPECT_EQ(context->selectedPages(), (std::set<int>{2, 3, 4, 5}));
    EXPECT_TRUE(sidebar->toolbar()->deleteButton()->isEnabled());
    click(4);  // a plain click navigates and drops the selection
    EXPECT_EQ(context->currentPage(), 4);
    EXPECT_TRUE(context->selectedPages().empty());
    EXPECT_FALSE(sidebar->toolbar()->deleteButton()->isEnabled());
    EXPECT_EQ(grid->visiblePages(), (std::set<int>{4}));

    // Delete deletes the selection, but never every page.
    context->setSelectedPages({0, 1, 2, 3, 4, 5});
    QTest::keyClick(grid, Qt::Key_Delete);
    EXPECT_EQ(context->totalPages(), 6);
    context->setSelectedPages({0});
    QTest::keyClick(grid, Qt::Key_Delete);
    EXPECT_EQ(order().first(), QStringLiteral("Page 2"));
    EXPECT_TRUE(context->selectedPages().empty());
    QTest::keyClick(grid, Qt::Key_Down);  // a row further: two columns
    EXPECT_EQ(context->currentPage(), std::min(4 + 2, context->totalPages() - 1));
}

TEST_F(ThumbnailSidebarTest, ContextMenuTargetsAndRotation) {
    open(3);
    context->setSelectedPages({0, 1});
    const auto titles = [](QMenu* menu) {
        QStringList texts;
        for (QAction* action : menu->actions())
            if (!action->isSeparator()) texts << action->text() + (action->isEnabled() ? "" : " (off)");
        return texts;
    };
    // An unselected page alone; a selected one takes the selection with it.
    std::unique_ptr<QMenu> single(grid->contextMenuFor(2));
    EXPECT_EQ(titles(single.get()), (QStringList{"Export Page", "Delete Page", "Rotate Left", "Rotate Right"}));
    std::unique_ptr<QMenu> pair(grid->contextMenuFor(1));
    EXPECT_EQ(titles(pair.get()).mid(0, 2), (QStringList{"Export 2 Pages", "Delete 2 Pages"}));
    context->setSelectedPages({0, 1, 2});
    std::unique_ptr<QMenu> all(grid->contextMenuFor(0));
    EXPECT_EQ(titles(all.get())[1], QStringLiteral("Delete 3 Pages (off)"));

    // Rotating the targets is one undo step.
    context->setSelectedPages({0, 1});
    std::unique_ptr<QMenu> rotate(grid->contextMenuFor(0));
    rotate->actions().last()->trigger();
    EXPECT_EQ(model->pdfDocument()->page(0)->rotation(), 90);
    EXPECT_EQ(model->pdfDocument()->page(1)->rotation(), 90);
    EXPECT_EQ(model->pdfDocument()->page(2)->rotation(), 0);
    context->undo();
    EXPECT_EQ(model->pdfDocument()->page(1)->rotation(), 0);
}

TEST_F(ThumbnailSidebarTest, DraggingReordersWithOneUndoStep) {
    open(5);
    dragWithMouse(0, 3);
    EXPECT_EQ(enteredTarget, 3);
    EXPECT_EQ(order(), (QStringList{"Page 2", "Page 3", "Page 1", "Page 4", "Page 5"}));
    EXPECT_EQ(context->currentPage(), 3);
    EXPECT_FALSE(grid->dragSourceIndex());
    EXPECT_FALSE(grid->dropTargetIndex());
    context->undo();
    EXPECT_EQ(order(), (QStringList{"Page 1", "Page 2", "Page 3", "Page 4", "Page 5"}));

    // Marked pages move as a block, in their order, before the target; undo puts them back.
    context->setSelectedPages({0, 2});
    dragWithMouse(2, 4);
    EXPECT_EQ(order(), (QStringList{"Page 2", "Page 4", "Page 1", "Page 3", "Page 5"}));
    EXPECT_TRUE(context->selectedPages().empty());
    EXPECT_EQ(context->undoActionName(), QStringLiteral("Move Pages"));
    context->undo();
    EXPECT_EQ(order(), (QStringList{"Page 1", "Page 2", "Page 3", "Page 4", "Page 5"}));
    context->redo();
    EXPECT_EQ(order(), (QStringList{"Page 2", "Page 4", "Page 1", "Page 3", "Page 5"}));
    // To the end, past the last cell.
    context->setSelectedPages({0, 1});
    dragWithMouse(0, 5);
    EXPECT_EQ(order(), (QStringList{"Page 1", "Page 3", "Page 5", "Page 2", "Page 4"}));
}

TEST_F(ThumbnailSidebarTest, DropsThatMoveNothingRecordNothingAndCancelledDragsLeaveNoState) {
    open(5);
    dragWithMouse(2, 2);  // onto itself
    dragWithMouse(2, 3);  // before the next page: where it already is
    EXPECT_FALSE(enteredTarget);  // no drop bar where a drop changes nothing
    context->setSelectedPages({1, 2});
    dragWithMouse(1, 3);  // the block already stands before page 3
    EXPECT_EQ(order(), (QStringList{"Page 1", "Page 2", "Page 3", "Page 4", "Page 5"}));
    EXPECT_FALSE(context->canUndo());
    EXPECT_FALSE(model->isModified());
    EXPECT_EQ(context->documentRevision(), 0);

    dragWithMouse(0, 4, false);  // cancelled over a cell
    EXPECT_EQ(enteredTarget, 4);
    EXPECT_FALSE(grid->dragSourceIndex());
    EXPECT_FALSE(grid->dropTargetIndex());
    // A later drop of the same text, not started here, is refused.
    QMimeData foreign;
    foreign.setText(QStringLiteral("0"));
    QDropEvent drop(centre(4), Qt::MoveAction, &foreign, Qt::LeftButton, {});
    QCoreApplication::sendEvent(grid->viewport(), &drop);
    EXPECT_FALSE(drop.isAccepted());
    EXPECT_EQ(order().first(), QStringLiteral("Page 1"));
}

TEST_F(ThumbnailSidebarTest, PicturesFollowEditsAndUndo) {
    open(4);
    ASSERT_TRUE(waitForPictures(0));
    const QSizeF portrait = grid->renderer()->pageSize(0);
    context->rotatePages(std::set<int>{0}, 90);
    ASSERT_TRUE(waitForPictures(0));
    EXPECT_EQ(grid->renderer()->pageSize(0), portrait.transposed());
    // Pictures are twice the frame, never the page's size.
    const RenderRequest request = grid->renderer()->requestFor(0, QSizeF(140, 180), 1);
    EXPECT_EQ(request.area.size(), QSize(280, 217));
    context->undo();
    ASSERT_TRUE(waitForPictures(0));
    EXPECT_EQ(grid->renderer()->pageSize(0), portrait);
}

TEST_F(ThumbnailSidebarTest, FollowsTheCurrentPageAndKeepsItAcrossZoom) {
    open(60);
    const auto centred = [&](int page) {
        return QTest::qWaitFor([&] { return std::abs(grid->cellRect(page).center().y() - grid->viewport()->height() / 2.0) < 2; }, 3000);
    };
    context->setCurrentPage(41);
    EXPECT_TRUE(centred(41));
    context->setThumbnailScale(0.5);
    EXPECT_TRUE(centred(41));
    ASSERT_TRUE(waitForPictures(41));
    EXPECT_EQ(grid->paintedRevision(0), -1);  // far out of view: never drawn
}

TEST_F(ThumbnailSidebarTest, ZoomControlsStepWithinBounds) {
    open(2);
    ThumbnailZoomControls* zoom = sidebar->zoomControls();
    EXPECT_EQ(zoom->minusButton()->toolTip(), QStringLiteral("Thumbnails verkleinern"));
    EXPECT_EQ(zoom->plusButton()->toolTip(), QStringLiteral("Thumbnails vergrössern"));
    context->setThumbnailScale(1.5);
    EXPECT_FALSE(zoom->plusButton()->isEnabled());
    EXPECT_DOUBLE_EQ(grid->minimumColumnWidth(), 226);
    EXPECT_EQ(grid->columnCount(), 1);
    context->setThumbnailScale(0.55);
    zoom->minusButton()->click();
    EXPECT_DOUBLE_EQ(context->thumbnailScale(), 0.5);
    EXPECT_FALSE(zoom->minusButton()->isEnabled());
    zoom->plusButton()->click();
    EXPECT_DOUBLE_EQ(context->thumbnailScale(), 0.6);
    EXPECT_EQ(zoom->slider()->value(), 60);
}

}  // namespace
