// Undo chains through page replacements: every step back and forth restores exactly the pages,
// their text, annotations and pixels of that point in the history.

#include "MarkupTestSupport.h"

#include "pdf/PDFDocumentContext.h"
#include "pdf/PDFDocumentModel.h"

#include <gtest/gtest.h>

#include <functional>

using namespace scrivola;
using namespace scrivola::markuptest;

namespace {

Page contentPage(const QString& tag) {
    Page page;
    page.content = textLine(tag + QStringLiteral(" heading line"), 72, 700) + textLine(tag + QStringLiteral(" CONFIDENTIALWORD"), 72, 650) +
                   picture(300, 300, 160, 80);
    return page;
}

// What a page looks like at one point of the history.
struct Snapshot {
    std::vector<PDFPagePtr> pages;
    std::vector<int> rotations;
    std::vector<QString> texts;
    std::vector<std::vector<PDFAnnotationPtr>> annotations;
    std::vector<QImage> images;

    static Snapshot of(const PDFDocument& document) {
        Snapshot s;
        for (int i = 0; i < document.pageCount(); ++i) {
            const PDFPagePtr page = document.page(i);
            s.pages.push_back(page);
            s.rotations.push_back(page->rotation());
            s.texts.push_back(pageText(*page));
            s.annotations.push_back(page->annotations());
            s.images.push_back(render(*page));
        }
        return s;
    }
};

void expectSame(const Snapshot& actual, const Snapshot& expected, const char* step) {
    SCOPED_TRACE(step);
    ASSERT_EQ(actual.pages.size(), expected.pages.size());
    EXPECT_EQ(actual.pages, expected.pages);
    EXPECT_EQ(actual.rotations, expected.rotations);
    EXPECT_EQ(actual.texts, expected.texts);
    EXPECT_EQ(actual.annotations, expected.annotations);
    for (size_t i = 0; i < actual.images.size(); ++i) EXPECT_TRUE(actual.images[i] == expected.images[i]) << "page " << i;
}

class UndoChain : public ::testing::Test {
public:
    void SetUp() override {
        model = std::make_unique<PDFDocumentModel>(load(buildPdf({contentPage("P1"), contentPage("P2"), contentPage("P3")})));
        context = std::make_unique<PDFDocumentContext>(model.get());
        view = std::make_shared<FakeView>(model->pdfDocument());
        context->setPdfView(view);
    }
    const PDFDocument& document() const { return *model->pdfDocument(); }
    Snapshot now() const { return Snapshot::of(document()); }

    // Whiteout of the confidential line of page `index`, then undo, undo, redo, redo.
    void runChain(int index, const Snapshot& start, const Snapshot& afterEdit) {
        ASSERT_TRUE(context->applyWhiteout(QRectF(60, 640, 320, 24), index));
        const Snapshot afterWhiteout = now();
        EXPECT_FALSE(afterWhiteout.texts[size_t(index)].contains(QStringLiteral("CONFIDENTIALWORD")));
        EXPECT_TRUE(afterWhiteout.annotations[size_t(index)].empty());

        context->undo();
        expectSame(now(), afterEdit, "undo whiteout");
        context->undo();
        expectSame(now(), start, "undo first edit");
        EXPECT_FALSE(context->canUndo());
        context->redo();
        expectSame(now(), afterEdit, "redo first edit");
        context->redo();
        expectSame(now(), afterWhiteout, "redo whiteout");
        EXPECT_FALSE(context->canRedo());
    }

    std::unique_ptr<PDFDocumentModel> model;
    std::unique_ptr<PDFDocumentContext> context;
    std::shared_ptr<FakeView> view;
};

TEST_F(UndoChain, AnEditThenWhiteoutUndoAndRedoThroughTheSameStates) {
    // Each edit, and the index the third page of the start has after it.
    const std::vector<std::pair<const char*, std::function<void(UndoChain&)>>> edits{
        {"highlight", [](UndoChain& t) {
             t.view->selection = lineSelection(t.document().page(1), {QStringLiteral("P2 heading")});
             ASSERT_EQ(t.context->highlightSelection(), 1);
         }},
        {"rotation", [](UndoChain& t) {
             t.context->setSelectedPages({1});
             t.context->rotatePages(90);
         }},
        // The page that was third is now second: the whiteout and its undo follow the page.
        {"deletion", [](UndoChain& t) { t.context->deletePages({0}); }},
    };
    for (const auto& [name, edit] : edits) {
        SCOPED_TRACE(name);
        SetUp();
        const Snapshot start = now();
        edit(*this);
        runChain(1, start, now());
    }
}

}  // namespace
