// Signature and stamp placement (the placement state, where the picture lands, clipping, the
// remembered size, upright pictures on turned pages, undo), highlights from the view's text
// selection, and the exclusive tool modes.

#include "MarkupTestSupport.h"

#include "pdf/HighlightColors.h"
#include "pdf/PDFDocumentContext.h"
#include "pdf/PDFDocumentModel.h"
#include "signature/SignatureStorageService.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace scrivola;
using namespace scrivola::markuptest;

namespace {

// Left half red, right half blue.
QImage twoColourPicture(QSize size = QSize(100, 40)) {
    QImage image(size, QImage::Format_ARGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x) image.setPixel(x, y, x < size.width() / 2 ? qRgb(255, 0, 0) : qRgb(0, 0, 255));
    return image;
}

Page textPage(const QString& text) {
    Page page;
    page.content = textLine(text, 72, 700);
    return page;
}

class Placement : public MarkupTest {
protected:
    void setUp(const std::vector<Page>& pages) {
        storage = std::make_unique<SignatureStorageService>(dir.path());
        const auto saved = storage->save(twoColourPicture(), QStringLiteral("Me"), SignatureKind::signature);
        ASSERT_TRUE(saved.has_value());
        id = saved->id;
        openPages(pages);
        context->setSignatureStorage(storage.get());
    }
    // The picture's area in a page rendered at 1 pixel per point (y down), from view points.
    QRect renderedArea(const QRectF& viewRect, int pageIndex) const {
        const QRectF pageRect = view->pageRect(pageIndex);
        return QRect(int(viewRect.left() - pageRect.left()), int(pageRect.height() - viewRect.bottom()), int(viewRect.width()),
                     int(viewRect.height()));
    }

    QTemporaryDir dir;
    std::unique_ptr<SignatureStorageService> storage;
    QUuid id;
};

TEST_F(Placement, ANewItemStartsAtTheDefaultSizeCentredOnTheClickAndLandsThere) {
    setUp({textPage(QStringLiteral("Sign here")), textPage(QStringLiteral("Second"))});
    context->signaturePlacement()->toggleSignatureSelection(id);
    ASSERT_EQ(context->signaturePlacement()->selectedSignatureId(), id);
    context->signaturePlacement()->handleSignatureStamp(QPointF(300, 400), 0);
    EXPECT_TRUE(context->signaturePlacement()->isPlacingSignature());
    EXPECT_EQ(context->signaturePlacement()->signaturePageRect(), QRectF(200, 360, 200, 80));

    const PDFPagePtr original = page(0);
    context->signaturePlacement()->confirmSignaturePlacement();
    EXPECT_FALSE(context->signaturePlacement()->isPlacingSignature());
    EXPECT_EQ(context->signaturePlacement()->selectedSignatureId(), id);  // stays selected
    EXPECT_TRUE(model->isModified());

    const QImage shown = render(*page(0));
    const QRect area = renderedArea(QRectF(200, 360, 200, 80), 0);
    EXPECT_GT(share(shown, area.adjusted(4, 4, -area.width() / 2 - 4, -4), Qt::red), 0.95);
    EXPECT_GT(share(shown, area.adjusted(area.width() / 2 + 4, 4, -4, -4), Qt::blue), 0.95);
    EXPECT_GT(share(shown, QRect(area.left() - 20, area.top(), 15, area.height()), Qt::white), 0.99);
    EXPECT_TRUE(pageText(*page(0)).contains(QStringLiteral("Sign here")));

    context->undo();
    EXPECT_EQ(page(0), original);
    EXPECT_GT(share(render(*page(0)), area, Qt::white), 0.99);
}

TEST_F(Placement, TheNextPlacementStartsAtTheSizeLastShownAtNoLessThanTheMinimum) {
    setUp({textPage(QStringLiteral("One"))});
    context->setZoomLevel(2);
    context->signaturePlacement()->toggleSignatureSelection(id);
    context->signaturePlacement()->handleSignatureStamp(QPointF(300, 400), 0);
    EXPECT_EQ(context->signaturePlacement()->signaturePageRect(), QRectF(250, 380, 100, 40));  // 200 × 80 on screen
    context->signaturePlacement()->moveSignaturePlacement(QRectF(250, 380, 150, 60));
    context->signaturePlacement()->confirmSignaturePlacement();
    EXPECT_EQ(storage->find(id)->lastWidth, 300);
    EXPECT_EQ(storage->find(id)->lastHeight, 120);

    // Placing again without reselecting: a second undo step.
    context->setZoomLevel(1);
    context->signaturePlacement()->handleSignatureStamp(QPointF(300, 200), 0);
    EXPECT_EQ(context->signaturePlacement()->signaturePageRect(), QRectF(150, 140, 300, 120));
    const PDFPagePtr once = page(0);
    context->signaturePlacement()->confirmSignaturePlacement();
    context->undo();
    EXPECT_EQ(page(0), once);
    // Far zoomed in, the picture still starts no smaller than the minimum.
    context->setZoomLevel(10);
    context->signaturePlacement()->handleSignatureStamp(QPointF(300, 400), 0);
    EXPECT_EQ(context->signaturePlacement()->signatureSize(), QSizeF(60, 30));
}

TEST_F(Placement, StaysWhollyOnItsPageAndFollowsItWhenPagesMove) {
    setUp({textPage(QStringLiteral("Left")), textPage(QStringLiteral("Right")), textPage(QStringLiteral("Third"))});
    const PDFPagePtr right = page(1);
    context->signaturePlacement()->toggleSignatureSelection(id);
    // Beside the page (the view gives the point on the nearest page): moved on, never dropped.
    context->signaturePlacement()->handleSignatureStamp(QPointF(650, -30), 1);
    EXPECT_EQ(context->signaturePlacement()->signaturePageRect(), QRectF(412, 0, 200, 80));
    // Dragged past the top edge: stops there; larger than the page: shrunk, proportions kept.
    context->signaturePlacement()->moveSignaturePlacement(QRectF(300, 760, 200, 80));
    EXPECT_EQ(context->signaturePlacement()->signaturePageRect(), QRectF(300, 712, 200, 80));
    context->signaturePlacement()->moveSignaturePlacement(QRectF(-100, 0, 1224, 100));
    EXPECT_EQ(context->signaturePlacement()->signaturePageRect(), QRectF(0, 25, 612, 50));

    // A page removed before it: the placement follows its page to the new index.
    context->signaturePlacement()->moveSignaturePlacement(QRectF(412, 0, 200, 80));
    context->deletePages({0});
    ASSERT_TRUE(context->signaturePlacement()->isPlacingSignature());
    EXPECT_EQ(context->signaturePlacement()->signaturePlacementPageIndex(), 0);
    context->signaturePlacement()->confirmSignaturePlacement();
    ASSERT_NE(page(0), right);
    const QImage shown = render(*page(0));
    EXPECT_GT(share(shown, QRect(416, 792 - 76, 90, 72), Qt::red), 0.95);
    EXPECT_GT(share(shown, QRect(516, 792 - 76, 90, 72), Qt::blue), 0.95);

    // Its own page removed: the placement ends instead of landing elsewhere.
    context->signaturePlacement()->handleSignatureStamp(QPointF(300, 400), 1);
    context->deletePages({1});
    EXPECT_FALSE(context->signaturePlacement()->isPlacingSignature());
    // So does it when the model is given another document.
    context->signaturePlacement()->handleSignatureStamp(QPointF(300, 400), 0);
    model->setPdfDocument(load(buildPdf({textPage(QStringLiteral("Other"))})));
    EXPECT_FALSE(context->signaturePlacement()->isPlacingSignature());
}

TEST_F(Placement, PicturesStayUprightOnTurnedPagesWithOffsetBoxes) {
    Page turned;
    turned.mediaBox = QRectF(100, 200, 612, 792);
    turned.cropBox = QRectF(150, 260, 500, 690);
    turned.rotate = 90;
    turned.content = textLine(QStringLiteral("Turned page"), 172, 700);
    setUp({turned});
    const QRectF pageRect = view->pageRect(0);
    ASSERT_EQ(pageRect.size(), QSizeF(690, 500));  // shown turned
    context->signaturePlacement()->toggleSignatureSelection(id);
    context->signaturePlacement()->handleSignatureStamp(view->convertToPage(QPointF(345, 250), 0), 0);
    EXPECT_EQ(context->signaturePlacement()->signatureSize(), QSizeF(80, 200));  // 200 × 80 as shown
    context->signaturePlacement()->confirmSignaturePlacement();
    EXPECT_EQ(storage->find(id)->lastWidth, 200);

    const PDFPagePtr placed = page(0);
    EXPECT_EQ(placed->rotation(), 90);
    EXPECT_EQ(placed->bounds(PDFBox::cropBox), QRectF(50, 60, 500, 690));
    const QImage shown = render(*placed);
    ASSERT_EQ(shown.size(), QSize(690, 500));
    const QRect area = renderedArea(QRectF(245, 210, 200, 80), 0);
    EXPECT_GT(share(shown, area.adjusted(4, 4, -area.width() / 2 - 4, -4), Qt::red), 0.95);
    EXPECT_GT(share(shown, area.adjusted(area.width() / 2 + 4, 4, -4, -4), Qt::blue), 0.95);
}

TEST_F(Placement, LargePicturesAreEmbeddedAtNoMoreThan300PixelsPerInchAndAnnotationsFlattenUntilUndo) {
    setUp({textPage(QStringLiteral("Big"))});
    auto note = PDFAnnotation::create(PDFAnnotation::Subtype::freeText, QRectF(72, 500, 200, 40));
    note->setContents(QStringLiteral("Note"));
    page(0)->addAnnotation(note);
    ASSERT_TRUE(context->flattenSignature(twoColourPicture(QSize(4000, 1600)), QRectF(100, 100, 72, 36), 0));
    EXPECT_TRUE(page(0)->annotations().empty());  // annotations of the page become content
    QTemporaryDir out;
    const QString path = out.filePath(QStringLiteral("big.pdf"));
    model->save(path);
    const QByteArray bytes = scrivola::testing::readBytes(path);
    EXPECT_TRUE(bytes.contains("/Width 300")) << "1 inch at 300 ppi";
    EXPECT_FALSE(bytes.contains("/Width 4000"));
    EXPECT_LT(bytes.size(), 200 * 1024);
    const QImage shown = render(*load(bytes)->page(0));
    EXPECT_GT(share(shown, QRect(104, 792 - 132, 26, 28), Qt::red), 0.95);
    EXPECT_GT(share(shown, QRect(142, 792 - 132, 26, 28), Qt::blue), 0.95);

    context->undo();
    EXPECT_EQ(page(0)->annotations(), std::vector<PDFAnnotationPtr>{note});
}

TEST_F(Placement, SelectionAndCancelling) {
    setUp({textPage(QStringLiteral("One"))});
    // Nothing selected, or an unknown item: a click starts nothing.
    context->signaturePlacement()->handleSignatureStamp(QPointF(100, 100), 0);
    EXPECT_FALSE(context->signaturePlacement()->isPlacingSignature());
    context->signaturePlacement()->toggleSignatureSelection(QUuid::createUuid());
    context->signaturePlacement()->handleSignatureStamp(QPointF(100, 100), 0);
    EXPECT_FALSE(context->signaturePlacement()->isPlacingSignature());

    context->signaturePlacement()->toggleSignatureSelection(id);
    context->signaturePlacement()->handleSignatureStamp(QPointF(100, 100), 0);
    ASSERT_TRUE(context->signaturePlacement()->isPlacingSignature());
    context->signaturePlacement()->cancelSignaturePlacement();
    EXPECT_FALSE(context->signaturePlacement()->isPlacingSignature());
    EXPECT_EQ(context->signaturePlacement()->selectedSignatureId(), id);

    context->signaturePlacement()->handleSignatureStamp(QPointF(100, 100), 0);
    context->signaturePlacement()->toggleSignatureSelection(id);  // the same item again: deselects and cancels
    EXPECT_FALSE(context->signaturePlacement()->selectedSignatureId().has_value());
    EXPECT_FALSE(context->signaturePlacement()->isPlacingSignature());

    // A page that does not exist, or nothing to place, changes nothing.
    const PDFPagePtr original = page(0);
    context->signaturePlacement()->toggleSignatureSelection(id);
    context->signaturePlacement()->handleSignatureStamp(QPointF(100, 100), 1);
    EXPECT_FALSE(context->signaturePlacement()->isPlacingSignature());
    context->signaturePlacement()->confirmSignaturePlacement();
    EXPECT_FALSE(context->flattenSignature(QImage(), QRectF(100, 100, 50, 50), 0));
    EXPECT_FALSE(context->flattenSignature(twoColourPicture(), QRectF(100, 100, 50, 50), 1));
    EXPECT_EQ(page(0), original);
    EXPECT_FALSE(model->isModified());
    EXPECT_FALSE(context->undoManager()->canUndo());
}

// Highlights from the view's text selection, and the exclusive tool modes.

Page threeLines(const QString& tag) {
    Page page;
    page.content = textLine(tag + QStringLiteral(" first line of text"), 72, 700) +
                   textLine(tag + QStringLiteral(" second line of text"), 72, 680) +
                   textLine(tag + QStringLiteral(" third line of text"), 72, 660);
    return page;
}

class Highlight : public MarkupTest {
protected:
    void SetUp() override { openPages({threeLines("A"), threeLines("B")}); }
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
               (context.textTool()->isTextAnnotationMode() ? "T" : "-");
    };
    context.toggleHighlightMode();
    EXPECT_EQ(on(), "H--");
    context.toggleWhiteoutMode();
    EXPECT_EQ(on(), "-W-");
    context.toggleHighlightMode();
    EXPECT_EQ(on(), "H--");
    context.textTool()->toggleTextAnnotationMode();
    EXPECT_EQ(on(), "--T");
    context.toggleWhiteoutMode();
    EXPECT_EQ(on(), "-W-");
    context.toggleWhiteoutMode();  // turning a mode off touches nothing else
    EXPECT_EQ(on(), "---");
}

}  // namespace
