// The context's text-box operations and annotation selection, with their undo chains, checked
// on the annotations the page ends up with.

#include "annotation/CoreTextFreeTextAnnotation.h"
#include "annotation/TextBoxLayout.h"
#include "pdf/PDFDocumentContext.h"
#include "pdf/PDFDocumentModel.h"
#include "pdf/engine/PDFAppearance.h"
#include "support/PdfFactory.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

namespace scrivola {
namespace {

struct TextBoxContext {
    std::unique_ptr<PDFDocumentModel> model;
    std::unique_ptr<PDFDocumentContext> context;

    explicit TextBoxContext(int pages = 2) {
        model = std::make_unique<PDFDocumentModel>(testing::blankDocument(pages, {300, 400}));
        context = std::make_unique<PDFDocumentContext>(model.get());
    }
    PDFPagePtr page(int i) const { return model->pdfDocument()->page(i); }
    std::vector<PDFAnnotationPtr> annotations(int i = 0) const { return page(i)->annotations(); }
    // A new box typed on page `index`, as the view reports it.
    PDFAnnotationPtr type(const QString& text, const QRectF& bounds = QRectF(20, 300, 200, 40), int index = 0) {
        const size_t before = annotations(index).size();
        context->textTool()->beginInlineEditing(index, nullptr);
        context->textTool()->confirmTextAnnotation(text, bounds);
        const auto after = annotations(index);
        return after.size() > before ? after.back() : nullptr;
    }
    // Re-editing an existing box: the view takes it off its page while its editor is open.
    void reEdit(const PDFAnnotationPtr& box, const QString& text, int index = 0) {
        context->textTool()->beginInlineEditing(index, box);
        page(index)->removeAnnotation(box);
        context->textTool()->confirmTextAnnotation(text, box->bounds());
    }
};

TEST(PDFContextTextBoxes, ConfirmCreatesTheStoredFormAndUndoRemovesIt) {
    TextBoxContext t;
    t.context->textTool()->setTextFontName(QStringLiteral("Times New Roman"));
    t.context->textTool()->setTextFontSize(18);
    t.context->textTool()->setTextIsBold(true);
    t.context->textTool()->setTextFontColor(QColor(255, 0, 0));
    t.context->textTool()->setTextAlignment(Qt::AlignHCenter);
    t.context->textTool()->setTextIsStrikethrough(true);
    const int revision = t.context->documentRevision();

    const PDFAnnotationPtr box = t.type(QStringLiteral(" Hello \n"));
    ASSERT_TRUE(box);
    const CoreTextFreeTextAnnotation text(box);
    EXPECT_EQ(box->contents(), QStringLiteral(" Hello \n"));
    EXPECT_EQ(text.font().family(), QStringLiteral("Times New Roman"));
    EXPECT_TRUE(text.font().bold());
    EXPECT_DOUBLE_EQ(box->fontSize(), 18);
    EXPECT_EQ(text.fontColor().toRgb(), QColor(255, 0, 0));
    EXPECT_EQ(text.alignment(), Qt::AlignHCenter);
    EXPECT_TRUE(text.isStrikethrough() && !text.isUnderline());
    EXPECT_TRUE(PDFAppearance::hasNormalAppearance(*box));
    EXPECT_TRUE(t.model->isModified());
    EXPECT_GT(t.context->documentRevision(), revision);
    EXPECT_FALSE(t.context->textTool()->isInlineEditing());

    t.context->undo();
    EXPECT_TRUE(t.annotations().empty());
    t.context->redo();
    EXPECT_EQ(t.annotations(), (std::vector<PDFAnnotationPtr>{box}));
}

TEST(PDFContextTextBoxes, BlankTextCreatesNothingAndDeletesAnExistingBox) {
    TextBoxContext t;
    EXPECT_FALSE(t.type(QStringLiteral("  \n\t \n")));
    EXPECT_TRUE(t.annotations().empty());
    EXPECT_FALSE(t.context->canUndo());
    EXPECT_FALSE(t.model->isModified());

    const PDFAnnotationPtr box = t.type(QStringLiteral("Keep me"));
    t.reEdit(box, QStringLiteral(" \n "));
    EXPECT_TRUE(t.annotations().empty());
    t.context->undo();
    EXPECT_EQ(t.annotations(), (std::vector<PDFAnnotationPtr>{box}));
    EXPECT_EQ(box->contents(), QStringLiteral("Keep me"));
}

TEST(PDFContextTextBoxes, ReEditReplacesTheBoxAndUndoPutsTheOldOneBack) {
    TextBoxContext t;
    t.context->textTool()->setTextIsUnderline(true);
    t.context->textTool()->setTextFontSize(24);
    t.context->textTool()->setTextAlignment(Qt::AlignRight);
    const PDFAnnotationPtr old = t.type(QStringLiteral("Before"));
    ASSERT_TRUE(old);

    // Opening the editor on it loads its format into the tool state.
    t.context->textTool()->setTextIsUnderline(false);
    t.context->textTool()->setTextFontSize(10);
    t.context->textTool()->setTextAlignment(Qt::AlignLeft);
    t.context->textTool()->beginInlineEditing(0, old);
    EXPECT_EQ(t.context->textTool()->editingAnnotation().get(), old.get());
    EXPECT_TRUE(t.context->textTool()->textIsUnderline());
    EXPECT_DOUBLE_EQ(t.context->textTool()->textFontSize(), 24);
    EXPECT_EQ(t.context->textTool()->textAlignment(), Qt::AlignRight);

    t.page(0)->removeAnnotation(old);
    t.context->textTool()->confirmTextAnnotation(QStringLiteral("After"), old->bounds());
    ASSERT_EQ(t.annotations().size(), 1u);
    const PDFAnnotationPtr replacement = t.annotations()[0];
    EXPECT_EQ(replacement->contents(), QStringLiteral("After"));
    EXPECT_TRUE(CoreTextFreeTextAnnotation(replacement).isUnderline());

    t.context->undo();
    EXPECT_EQ(t.annotations(), (std::vector<PDFAnnotationPtr>{old}));
    EXPECT_EQ(old->contents(), QStringLiteral("Before"));
    t.context->redo();
    EXPECT_EQ(t.annotations(), (std::vector<PDFAnnotationPtr>{replacement}));
}

TEST(PDFContextTextBoxes, MoveIsUndoneAndTheAppearanceFollows) {
    TextBoxContext t;
    const QRectF from(20, 300, 200, 40), to(40, 100, 200, 40);
    const PDFAnnotationPtr box = t.type(QStringLiteral("Moving"), from);
    box->setBounds(to);  // the view moves the box live
    t.context->textTool()->moveTextAnnotation(box, from, to, 0);
    EXPECT_EQ(box->bounds(), to);

    auto inkTop = [&] {
        // Row of the first dark pixel of the page rendered at 1 pixel per point.
        const QImage image = t.page(0)->render(1.0, true).convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (qGray(image.pixel(x, y)) < 128) return y;
        return -1;
    };
    EXPECT_NEAR(inkTop(), 400 - to.bottom(), 12);
    t.context->undo();
    EXPECT_EQ(box->bounds(), from);
    EXPECT_NEAR(inkTop(), 400 - from.bottom(), 12);
}

TEST(PDFContextTextBoxes, RemoveAndDeleteSelectedAreOneUndoStepEach) {
    TextBoxContext t;
    const PDFAnnotationPtr a = t.type(QStringLiteral("A"), QRectF(20, 300, 100, 30));
    const PDFAnnotationPtr b = t.type(QStringLiteral("B"), QRectF(20, 200, 100, 30));
    const PDFAnnotationPtr c = t.type(QStringLiteral("C"), QRectF(20, 100, 100, 30), 1);
    ASSERT_TRUE(a && b && c);

    // Undo puts a box back in its place among the others (their order is their stacking).
    t.context->textTool()->removeTextAnnotation(a, t.page(0));
    EXPECT_EQ(t.annotations(), (std::vector<PDFAnnotationPtr>{b}));
    t.context->undo();
    EXPECT_EQ(t.annotations(), (std::vector<PDFAnnotationPtr>{a, b}));

    t.context->textTool()->selectAnnotation(a);
    t.context->textTool()->toggleAnnotationSelection(c);
    t.context->textTool()->toggleAnnotationSelection(b);
    ASSERT_EQ(t.context->textTool()->selectedAnnotationObjects().size(), 3u);
    t.context->textTool()->deleteSelectedAnnotations();
    EXPECT_TRUE(t.annotations(0).empty() && t.annotations(1).empty());
    EXPECT_TRUE(t.context->textTool()->selectedAnnotationObjects().empty());

    t.context->undo();  // one step brings all three back
    EXPECT_EQ(t.annotations(0).size(), 2u);
    EXPECT_EQ(t.annotations(1), (std::vector<PDFAnnotationPtr>{c}));
    t.context->redo();
    EXPECT_TRUE(t.annotations(0).empty() && t.annotations(1).empty());

    // Nothing selected: nothing happens, no undo step.
    const int steps = t.context->undoManager()->undoCount();
    t.context->textTool()->deleteSelectedAnnotations();
    EXPECT_EQ(t.context->undoManager()->undoCount(), steps);
}

TEST(PDFContextTextBoxes, AChainOfEditsUndoesAndRedoesInOrder) {
    TextBoxContext t;
    auto contents = [&] {
        QStringList list;
        for (const auto& a : t.annotations()) list << a->contents() + QLatin1Char('@') + QString::number(a->bounds().top());
        list.sort();  // a box put back by undo goes to the end of the page's list
        return list;
    };
    std::vector<QStringList> states{contents()};
    const PDFAnnotationPtr box = t.type(QStringLiteral("one"), QRectF(20, 300, 200, 40));
    states.push_back(contents());
    t.type(QStringLiteral("two"), QRectF(20, 200, 200, 40));
    states.push_back(contents());
    box->setBounds(QRectF(20, 50, 200, 40));
    t.context->textTool()->moveTextAnnotation(box, QRectF(20, 300, 200, 40), QRectF(20, 50, 200, 40), 0);
    states.push_back(contents());
    t.reEdit(box, QStringLiteral("one, edited"));
    states.push_back(contents());
    const PDFAnnotationPtr edited = t.annotations().back();
    t.context->textTool()->removeTextAnnotation(edited, t.page(0));
    states.push_back(contents());

    for (size_t i = states.size() - 1; i > 0; --i) {
        t.context->undo();
        EXPECT_EQ(contents(), states[i - 1]) << "after undoing step " << i;
    }
    EXPECT_FALSE(t.context->canUndo());
    for (size_t i = 1; i < states.size(); ++i) {
        t.context->redo();
        EXPECT_EQ(contents(), states[i]) << "after redoing step " << i;
    }
    EXPECT_FALSE(t.context->canRedo());
}

}  // namespace
}  // namespace scrivola
