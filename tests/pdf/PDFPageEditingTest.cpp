#include "PageEditingTestSupport.h"
#include "pdf/PDFDocumentContext.h"
#include "pdf/PDFEditingService.h"
#include "pdf/PDFExportPresenter.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace scrivola;
using namespace scrivola::testing;

namespace {

// The state of a document as a reader sees it: page order by text, rotation and the contents
// of the annotations of each page.
struct PageState {
    QString label;
    int rotation = 0;
    QStringList annotations;
    bool operator==(const PageState& other) const = default;
};

std::vector<PageState> stateOf(const PDFDocument& document) {
    std::vector<PageState> state;
    for (int i = 0; i < document.pageCount(); ++i) {
        const PDFPagePtr page = document.page(i);
        PageState s{firstLine(*page), page->rotation(), {}};
        for (const auto& annotation : page->annotations()) s.annotations << annotation->contents();
        state.push_back(s);
    }
    return state;
}

class RecordingExportPresenter : public PDFExportPresenter {
public:
    QString chooseExportFile(const QString& proposedName, const QString& directory) override {
        proposals << proposedName;
        directories << directory;
        return answer;
    }
    QString answer;
    QStringList proposals;
    QStringList directories;
};

class PDFPageEditingTest : public OpenedPdfTest {
protected:
    void SetUp() override { open(labelledPdf(5)); }
    QStringList order() { return pageLabels(document()); }

    PDFAnnotationPtr annotate(int pageIndex, const QString& contents) {
        auto annotation = PDFAnnotation::create(PDFAnnotation::Subtype::freeText, QRectF(100, 100, 150, 40));
        annotation->setContents(contents);
        document().page(pageIndex)->addAnnotation(annotation);
        return annotation;
    }
};

TEST_F(PDFPageEditingTest, RotationTargetsSelectionOrCurrentPageAndUndoesAsOneStep) {
    context->setCurrentPage(2);
    context->rotatePages(90);
    EXPECT_EQ(rotations(document()), (std::vector<int>{0, 0, 90, 0, 0}));
    EXPECT_TRUE(model->isModified());

    context->setSelectedPages({0, 3});
    context->rotatePages(-90);
    EXPECT_EQ(rotations(document()), (std::vector<int>{270, 0, 90, 270, 0}));
    // Undo after a save makes the document differ from the file again.
    model->save();
    context->undo();
    EXPECT_TRUE(model->isModified());
    EXPECT_EQ(rotations(document()), (std::vector<int>{0, 0, 90, 0, 0}));
}

TEST_F(PDFPageEditingTest, DeletionRestoresTheSamePagesWithTheirAnnotations) {
    const auto note = annotate(3, QStringLiteral("note on page 4"));
    const PDFPagePtr second = document().page(1);
    context->deletePages({1, 3});
    EXPECT_EQ(order(), labels({1, 3, 5}));

    context->undo();
    EXPECT_EQ(order(), labels({1, 2, 3, 4, 5}));
    EXPECT_EQ(document().page(1), second);  // the same page object is back
    EXPECT_EQ(document().page(3)->annotations(), std::vector<PDFAnnotationPtr>{note});

    // The restored document saves with the annotation on the right page.
    model->save();
    const auto reopened = PDFDocument::load(path);
    EXPECT_EQ(pageLabels(*reopened), labels({1, 2, 3, 4, 5}));
    ASSERT_EQ(reopened->page(3)->annotations().size(), 1u);
    EXPECT_EQ(reopened->page(3)->annotations().front()->contents(), QStringLiteral("note on page 4"));

    // Deleting every page, or none, does nothing.
    context->undoManager()->removeAllActions();
    context->setSelectedPages({0, 1, 2, 3, 4});
    context->deleteSelectedPages();
    context->deletePages({});
    EXPECT_EQ(document().pageCount(), 5);
    EXPECT_FALSE(model->isModified());
    EXPECT_FALSE(context->undoManager()->canUndo());
}

TEST_F(PDFPageEditingTest, DeletionKeepsCurrentPageAndSelectionOnSurvivingPages) {
    context->setCurrentPage(4);
    context->setSelectedPages({0, 2, 4});
    context->deletePages({1, 4});
    EXPECT_EQ(context->currentPage(), 2);  // the former last page went: the new last page
    // Pages 1 and 3 stay selected, now at indices 0 and 1.
    EXPECT_EQ(context->selectedPages(), (std::set<int>{0, 1}));

    context->deleteSelectedPages();
    EXPECT_EQ(order(), labels({4}));
    EXPECT_TRUE(context->selectedPages().empty());

    // Undoing and redoing a deletion of the last page keeps the current page inside.
    context->undo();
    context->setCurrentPage(2);
    context->redo();
    EXPECT_LT(context->currentPage(), document().pageCount());
}

TEST_F(PDFPageEditingTest, MovesFollowTheBeforeWhichRuleAndUndo) {
    PDFEditingService* service = context->editingService();
    service->movePage(0, 3);
    EXPECT_EQ(order(), labels({2, 3, 1, 4, 5}));
    context->undo();
    EXPECT_EQ(order(), labels({1, 2, 3, 4, 5}));

    service->movePage(4, 0);
    service->movePage(1, 5);  // after the last page
    EXPECT_EQ(order(), labels({5, 2, 3, 4, 1}));
    // No-ops register nothing.
    const int steps = context->undoManager()->undoCount();
    service->movePage(2, 3);
    service->movePage(-1, 2);
    EXPECT_EQ(context->undoManager()->undoCount(), steps);
    EXPECT_EQ(order(), labels({5, 2, 3, 4, 1}));
}

// Undo records hold page objects: a chain of mixed edits undoes and redoes to exactly the
// states it passed through, however the edits shifted the pages.
TEST_F(PDFPageEditingTest, MixedEditChainUndoesAndRedoesThroughTheSameStates) {
    annotate(1, QStringLiteral("second"));
    annotate(4, QStringLiteral("fifth"));
    std::vector<std::vector<PageState>> states{stateOf(document())};
    auto step = [&](const std::function<void()>& edit) {
        edit();
        QCoreApplication::processEvents();
        states.push_back(stateOf(document()));
    };
    step([&] { context->rotatePages(90); });                         // page 1 turns
    step([&] { context->editingService()->movePage(0, 5); });        // page 1 to the end
    step([&] { context->deletePages({0, 3}); });                     // pages 2 and 5 go
    step([&] { context->setSelectedPages({0, 1}); context->rotatePages(-90); });
    step([&] { context->editingService()->movePage(2, 0); });
    step([&] { context->deletePages({1}); });
    ASSERT_EQ(states.back().size(), 2u);

    for (size_t i = states.size() - 1; i > 0; --i) {
        context->undo();
        EXPECT_EQ(stateOf(document()), states[i - 1]) << "after undoing step " << i;
    }
    EXPECT_FALSE(context->canUndo());
    for (size_t i = 1; i < states.size(); ++i) {
        context->redo();
        EXPECT_EQ(stateOf(document()), states[i]) << "after redoing step " << i;
    }

    // The final state survives a save and a reopen.
    model->save();
    EXPECT_EQ(stateOf(*PDFDocument::load(path)), states.back());
}

// Every kind of edit is one undo step named for the menus, and each edit, undo and redo raises
// the revision exactly once; undoing after a save makes the document differ from its file again.
TEST_F(PDFPageEditingTest, EveryEditIsOneNamedStepRaisingTheRevisionOnce) {
    const auto lastBox = [&] { return document().page(0)->annotations().back(); };
    const std::vector<std::pair<QString, std::function<void()>>> edits{
        {"Rotate Page", [&] { context->rotatePages(90); }},
        {"Rotate Pages", [&] { context->setSelectedPages({1, 2}); context->rotatePages(180); context->setSelectedPages({}); }},
        {"Move Page", [&] { context->movePage(0, 3); }},
        {"Delete Pages", [&] { context->deletePages({1, 2}); }},
        {"Add Text Box", [&] { context->textTool()->beginInlineEditing(0, nullptr); context->textTool()->confirmTextAnnotation("Note", QRectF(50, 50, 200, 40)); }},
        {"Move Text Box", [&] { context->textTool()->moveTextAnnotation(lastBox(), lastBox()->bounds(), QRectF(60, 70, 200, 40), 0); }},
        {"Whiteout", [&] { context->applyWhiteout(QRectF(0, 0, 400, 800), 1); }},
    };
    std::vector<std::vector<PageState>> states{stateOf(document())};
    const auto expectOneRevision = [&](const std::function<void()>& action, const QString& what) {
        const int revision = context->documentRevision();
        action();
        QCoreApplication::processEvents();
        EXPECT_EQ(context->documentRevision(), revision + 1) << what.toStdString();
    };
    for (const auto& [name, edit] : edits) {
        expectOneRevision(edit, name);
        EXPECT_EQ(context->undoActionName(), name);
        states.push_back(stateOf(document()));
    }
    model->save();
    for (size_t i = edits.size(); i > 0; --i) {
        expectOneRevision([&] { context->undo(); }, QStringLiteral("undo ") + edits[i - 1].first);
        EXPECT_EQ(context->redoActionName(), edits[i - 1].first);
        EXPECT_EQ(stateOf(document()), states[i - 1]);
    }
    EXPECT_TRUE(model->isModified());
    for (size_t i = 1; i <= edits.size(); ++i) {
        expectOneRevision([&] { context->redo(); }, QStringLiteral("redo ") + edits[i - 1].first);
        EXPECT_EQ(stateOf(document()), states[i]);
    }
    EXPECT_EQ(context->undoActionName(), QStringLiteral("Whiteout"));
}

TEST_F(PDFPageEditingTest, ExportWritesCopiesAndLeavesTheDocumentAlone) {
    RecordingExportPresenter presenter;
    context->setExportPresenter(&presenter);
    annotate(2, QStringLiteral("exported note"));
    document().page(3)->setRotation(90);
    model->setModified(false);
    const int undoSteps = context->undoManager()->undoCount();

    presenter.answer = dir.filePath(QStringLiteral("out.pdf"));
    EXPECT_EQ(context->exportPages({3, 2, 9}), presenter.answer);
    ASSERT_EQ(presenter.proposals, QStringList{QStringLiteral("Pages (2).pdf")});
    EXPECT_EQ(presenter.directories.front(), dir.path());
    EXPECT_EQ(stateOf(*PDFDocument::load(presenter.answer)),
              (std::vector<PageState>{{"Page 3", 0, {"exported note"}}, {"Page 4", 90, {}}}));
    EXPECT_EQ(order(), labels({1, 2, 3, 4, 5}));
    EXPECT_FALSE(model->isModified());
    EXPECT_EQ(context->undoManager()->undoCount(), undoSteps);
    EXPECT_TRUE(context->exportPages({7}).isEmpty());  // no such page: nothing is asked
    EXPECT_EQ(presenter.proposals.size(), 1);

    // Never over the open document: the next free name instead.
    const QByteArray original = readBytes(path);
    presenter.answer = path;
    const QString written = context->exportPages({1});
    EXPECT_EQ(written, dir.filePath(QStringLiteral("doc 2.pdf")));
    EXPECT_EQ(readBytes(path), original);
    EXPECT_EQ(context->exportPages({2}), dir.filePath(QStringLiteral("doc 3.pdf")));

    open(labelledPdf(8));
    context->setExportPresenter(&presenter);
    presenter.answer.clear();  // cancelled
    EXPECT_TRUE(context->exportPages({6}).isEmpty());
    EXPECT_EQ(presenter.proposals.last(), QStringLiteral("Page 7.pdf"));
}

TEST_F(PDFPageEditingTest, ExportOfManyPagesSharesTheirResources) {
    open(labelledPdf(60));
    RecordingExportPresenter presenter;
    context->setExportPresenter(&presenter);
    presenter.answer = dir.filePath(QStringLiteral("one.pdf"));
    context->exportPages({0});
    const qint64 one = QFileInfo(presenter.answer).size();
    presenter.answer = dir.filePath(QStringLiteral("all.pdf"));
    std::set<int> all;
    for (int i = 0; i < 60; ++i) all.insert(i);
    context->exportPages(all);
    EXPECT_EQ(PDFDocument::load(presenter.answer)->pageCount(), 60);
    // Each page adds its own small objects, but the font is written once.
    const QByteArray bytes = readBytes(presenter.answer);
    EXPECT_EQ(bytes.count("/BaseFont"), 1);
    EXPECT_GT(QFileInfo(presenter.answer).size(), one);
}

}  // namespace
