#include "pdf/PDFDocumentContext.h"
#include "support/PdfFactory.h"

#include <QCoreApplication>
#include <QPointer>
#include <gtest/gtest.h>

using namespace scrivola;
using namespace scrivola::testing;

namespace {

void flushDeferredWork() { QCoreApplication::processEvents(); }

class PDFContextUndoTest : public ::testing::Test {
protected:
    PDFContextUndoTest() : model(blankDocument(3)), context(&model) {}

    PDFDocument& document() { return *model.pdfDocument(); }

    // An undoable edit like the page operations make: inserts a page at the end and registers
    // its removal, whose own inverse inserts the same page again.
    void appendPage() {
        const PDFPagePtr page = document().insertBlankPage({100, 100}, document().pageCount());
        model.setModified(true);
        registerRemoval(page);
        context.incrementDocumentRevision();
        context.updateUndoState();
    }
    void registerRemoval(const PDFPagePtr& page) {
        context.undoManager()->registerUndo([this, page] {
            const int index = document().index(*page);
            document().removePage(index);
            context.undoManager()->registerUndo([this, page, index] {
                document().insertPage(page, index);
                registerRemoval(page);
            });
        });
    }
    PDFDocumentModel model;
    PDFDocumentContext context;
};

TEST_F(PDFContextUndoTest, ClosedGroupsRaiseTheRevisionAfterTheManagerFinished) {
    int revisionSeenInsideTheGroup = -1;
    {
        UndoGroup group(*context.undoManager());
        context.undoManager()->registerUndo([] {});
        context.undoManager()->registerUndo([] {});
        revisionSeenInsideTheGroup = context.documentRevision();
    }
    // The update is deferred: nothing changes inside the manager's own call.
    EXPECT_EQ(revisionSeenInsideTheGroup, 0);
    EXPECT_EQ(context.documentRevision(), 0);
    EXPECT_FALSE(context.canUndo());
    flushDeferredWork();
    EXPECT_EQ(context.documentRevision(), 1);
    EXPECT_TRUE(context.canUndo());
    EXPECT_FALSE(context.canRedo());
}

TEST_F(PDFContextUndoTest, UndoAndRedoRaiseTheRevisionAndUpdateTheFlags) {
    appendPage();
    flushDeferredWork();
    ASSERT_EQ(document().pageCount(), 4);
    ASSERT_TRUE(context.canUndo());
    model.setModified(false);  // as after a save

    int revision = context.documentRevision();
    context.undo();
    EXPECT_EQ(document().pageCount(), 3);
    EXPECT_GT(context.documentRevision(), revision);  // at once, before any deferred work
    EXPECT_FALSE(context.canUndo());
    EXPECT_TRUE(context.canRedo());
    revision = context.documentRevision();
    flushDeferredWork();
    EXPECT_GT(context.documentRevision(), revision);  // and again from the notification

    revision = context.documentRevision();
    context.redo();
    EXPECT_EQ(document().pageCount(), 4);
    EXPECT_GT(context.documentRevision(), revision);
    EXPECT_TRUE(context.canUndo());
    EXPECT_FALSE(context.canRedo());

    // Undo and redo leave the modified flag alone.
    EXPECT_FALSE(model.isModified());

    context.undoManager()->removeAllActions();
    flushDeferredWork();
    EXPECT_FALSE(context.canUndo());
    EXPECT_FALSE(context.canRedo());
}

TEST_F(PDFContextUndoTest, CurrentPageStaysInsideTheDocumentAfterUndoAndRedo) {
    appendPage();
    context.goToPage(3);
    context.setSelectedPages({1, 3});
    context.undo();  // the page that was shown is gone
    EXPECT_EQ(document().pageCount(), 3);
    EXPECT_EQ(context.currentPage(), 2);
    EXPECT_EQ(context.selectedPages(), (std::set<int>{1}));
}

TEST(PDFContextUndoLifetime, PendingNotificationsDieWithTheContext) {
    PDFDocumentModel model(blankDocument(2));
    auto context = std::make_unique<PDFDocumentContext>(&model);
    QPointer<UndoManager> manager = context->undoManager();
    manager->registerUndo([] {});
    context.reset();
    EXPECT_TRUE(manager.isNull());
    flushDeferredWork();  // must not reach the destroyed context (a crash under the sanitizers)
}

}  // namespace
