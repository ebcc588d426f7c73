// Highlights from the view's text selection, and the exclusive tool modes.

#include "MarkupTestSupport.h"

#include "pdf/HighlightColors.h"
#include "pdf/PDFDocumentContext.h"
#include "pdf/PDFDocumentModel.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace scrivola;
using namespace scrivola::markuptest;

namespace {

Page threeLines(const QString& tag) {
    Page page;
    page.content = textLine(tag + QStringLiteral(" first line of text"), 72, 700) +
                   textLine(tag + QStringLiteral(" second line of text"), 72, 680) +
                   textLine(tag + QStringLiteral(" third line of text"), 72, 660);
    return page;
}

class Highlight : public ::testing::Test {
protected:
    void SetUp() override {
        model = std::make_unique<PDFDocumentModel>(load(buildPdf({threeLines("A"), threeLines("B")})));
        context = std::make_unique<PDFDocumentContext>(model.get());
        view = std::make_shared<FakeView>(model->pdfDocument());
        context->setPdfView(view);
    }
    PDFPagePtr page(int i) const { return model->pdfDocument()->page(i); }

    std::unique_ptr<PDFDocumentModel> model;
    std::unique_ptr<PDFDocumentContext> context;
    std::shared_ptr<FakeView> view;
};

TEST_F(Highlight, OneAnnotationPerLineWithQuadPointsAndOneUndoStep) {
    const PDFSelection selection = lineSelection(page(0), {QStringLiteral("A first"), QStringLiteral("A second"), QStringLiteral("A third")});
    ASSERT_EQ(selection.lines().size(), 3u);
    view->selection = selection;

    EXPECT_EQ(context->highlightSelection(), 3);
    const auto annotations = page(0)->annotations();
    ASSERT_EQ(annotations.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        const auto& a = annotations[i];
        const QRectF line = selection.lines()[i].bounds;
        const auto quads = a->quadRects();
        ASSERT_EQ(quads.size(), 1u);
        EXPECT_NEAR((quads[0].topLeft() - line.topLeft()).manhattanLength(), 0, 0.02);
        EXPECT_NEAR((quads[0].bottomRight() - line.bottomRight()).manhattanLength(), 0, 0.02);
        ASSERT_TRUE(a->color().has_value());
        EXPECT_EQ(a->color()->toRgb(), highlightAnnotationColor(HighlightColor::yellow));
    }
    EXPECT_FALSE(view->selection.has_value());
    EXPECT_TRUE(model->isModified());
    context->undo();
    EXPECT_TRUE(page(0)->annotations().empty());
    context->redo();
    EXPECT_EQ(page(0)->annotations(), annotations);

    // A selection over two pages highlights each line on its page.
    std::vector<PDFSelection::LineRange> lines = lineSelection(page(0), {QStringLiteral("A third")}).lines();
    lines.push_back(lineSelection(page(1), {QStringLiteral("B first")}).lines().front());
    view->selection = PDFSelection(lines);
    EXPECT_EQ(context->highlightSelection(), 2);
    EXPECT_EQ(page(0)->annotations().size(), 4u);
    EXPECT_EQ(page(1)->annotations().size(), 1u);
}

TEST_F(Highlight, NothingWithoutViewSelectionOrUsableLines) {
    EXPECT_EQ(context->highlightSelection(), 0);  // no selection
    // A line without extent is skipped; with nothing added the selection stays.
    view->selection = PDFSelection({{page(0), QRectF(72, 700, 0, 12), QString()}});
    EXPECT_EQ(context->highlightSelection(), 0);
    EXPECT_EQ(view->clearCount, 0);
    context->setPdfView(nullptr);
    view->selection = lineSelection(page(0), {QStringLiteral("A first")});
    EXPECT_EQ(context->highlightSelection(), 0);
    EXPECT_TRUE(page(0)->annotations().empty());
    EXPECT_FALSE(model->isModified());
    EXPECT_FALSE(context->undoManager()->canUndo());
}

TEST_F(Highlight, ColourChangesKeepEarlierHighlightsAndSavedOnesCarryAnAppearanceOtherReadersDraw) {
    view->selection = lineSelection(page(0), {QStringLiteral("A first")});
    ASSERT_EQ(context->highlightSelection(), 1);
    context->setHighlightColor(HighlightColor::green);
    view->selection = lineSelection(page(0), {QStringLiteral("A second")});
    context->highlightSelection();
    const auto annotations = page(0)->annotations();
    ASSERT_EQ(annotations.size(), 2u);
    EXPECT_EQ(annotations[0]->color()->toRgb(), QColor(255, 204, 0));
    EXPECT_EQ(annotations[1]->color()->toRgb(), QColor(52, 199, 89));
    // Each selection is its own undo step.
    context->undo();
    EXPECT_EQ(page(0)->annotations().size(), 1u);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("h.pdf"));
    model->save(path);
    const QByteArray bytes = scrivola::testing::readBytes(path);
    EXPECT_TRUE(bytes.contains("/QuadPoints") && bytes.contains("/AP"));

    auto reopened = load(bytes);
    const QImage shown = render(*reopened->page(0));
    // Line "A first ..." at baseline 700: yellow around it, the text still dark on top.
    const QRect band(76, 792 - 706, 60, 6);
    EXPECT_GT(share(shown, band, QColor(255, 204, 0), 30), 0.3);

    if (!scrivola::testing::hasTool(QStringLiteral("pdftoppm"))) GTEST_SKIP() << "pdftoppm is not installed";
    scrivola::testing::runTool(QStringLiteral("pdftoppm"), {"-r", "72", "-f", "1", "-l", "1", "-png", path, dir.filePath("p")});
    QImage poppler(dir.filePath(QStringLiteral("p-1.png")));
    if (poppler.isNull()) poppler = QImage(dir.filePath(QStringLiteral("p-01.png")));
    ASSERT_FALSE(poppler.isNull());
    EXPECT_GT(share(poppler.convertToFormat(QImage::Format_RGB32), band, QColor(255, 204, 0), 30), 0.3);
}

TEST(MarkupModes, AtMostOneOfHighlightWhiteoutAndTextModeIsOn) {
    PDFDocumentModel model(PDFDocument::createEmpty());
    PDFDocumentContext context(&model);
    auto on = [&] {
        return QString(context.isHighlightMode() ? "H" : "-") + (context.isWhiteoutMode() ? "W" : "-") +
               (context.isTextAnnotationMode() ? "T" : "-");
    };
    context.toggleHighlightMode();
    EXPECT_EQ(on(), "H--");
    context.toggleWhiteoutMode();
    EXPECT_EQ(on(), "-W-");
    context.toggleHighlightMode();
    EXPECT_EQ(on(), "H--");
    context.toggleTextAnnotationMode();
    EXPECT_EQ(on(), "--T");
    context.toggleWhiteoutMode();
    EXPECT_EQ(on(), "-W-");
    context.toggleWhiteoutMode();  // turning a mode off touches nothing else
    EXPECT_EQ(on(), "---");
}

}  // namespace
