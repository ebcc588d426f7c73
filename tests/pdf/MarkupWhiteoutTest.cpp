// Whiteout: what lay under the rectangle is gone from the page and from the saved file, the rest
// of the page stays, the page keeps its boxes and rotation, and undo puts the page back, also
// through chains of edits.

#include "MarkupTestSupport.h"

#include "pdf/PDFDocumentContext.h"
#include "pdf/PDFDocumentModel.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>

using namespace scrivola;
using namespace scrivola::markuptest;

namespace {

// Share of pixels whose colour differs by more than a rounding step between two images.
double differingShare(const QImage& a, const QImage& b) {
    if (a.size() != b.size() || a.isNull()) return 1;
    int differing = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QColor p = a.pixelColor(x, y), q = b.pixelColor(x, y);
            if (std::abs(p.red() - q.red()) > 24 || std::abs(p.green() - q.green()) > 24 || std::abs(p.blue() - q.blue()) > 24)
                ++differing;
        }
    return double(differing) / double(a.width() * a.height());
}

// Page space equals user space here (media box at the origin).
Page secretPage() {
    Page page;
    page.content = textLine(QStringLiteral("Keep this line above"), 72, 700) +
                   textLine(QStringLiteral("The SECRETWORD sits here"), 72, 650) +
                   textLine(QStringLiteral("Keep this line below"), 72, 600) + picture(300, 300, 160, 80) +
                   blackBar(72, 500, 400, 20);
    return page;
}

class Whiteout : public ::testing::Test {
protected:
    void open(const std::vector<Page>& pages, bool outline = false) {
        model = std::make_unique<PDFDocumentModel>(scrivola::testing::writeFile(dir, QStringLiteral("in.pdf"), buildPdf(pages, outline)));
        context = std::make_unique<PDFDocumentContext>(model.get());
    }
    PDFDocumentPtr document() const { return model->pdfDocument(); }
    QString saveAs(const QString& name) {
        const QString path = dir.filePath(name);
        model->save(path);
        return path;
    }
    QByteArray saveBytes() { return scrivola::testing::readBytes(saveAs(QStringLiteral("out.pdf"))); }

    QTemporaryDir dir;
    std::unique_ptr<PDFDocumentModel> model;
    std::unique_ptr<PDFDocumentContext> context;
};

TEST_F(Whiteout, RemovesCoveredTextLeavesOtherPagesAndBookmarksAndUndoes) {
    open({secretPage(), secretPage()}, true);
    const QImage secondBefore = render(*document()->page(1));
    const PDFPagePtr original = document()->page(0);
    const int revision = context->documentRevision();

    // Covers the middle line only (baseline 650, 12-point text).
    ASSERT_TRUE(context->applyWhiteout(QRectF(60, 640, 320, 24), 0));
    EXPECT_TRUE(model->isModified());
    EXPECT_GT(context->documentRevision(), revision);
    EXPECT_EQ(document()->findString(QStringLiteral("secretword")).size(), 1u);  // page 2 only

    // Undo and redo swap the same page objects.
    const PDFPagePtr whitened = document()->page(0);
    EXPECT_NE(whitened, original);
    context->undo();
    EXPECT_EQ(document()->page(0), original);
    EXPECT_TRUE(pageText(*document()->page(0)).contains(QStringLiteral("SECRETWORD")));
    context->redo();
    EXPECT_EQ(document()->page(0), whitened);

    // Pixels of the picture page 2 shares stay on page 2.
    ASSERT_TRUE(context->applyWhiteout(QRectF(290, 290, 100, 240), 0));
    EXPECT_EQ(render(*document()->page(1)), secondBefore);

    const QString saved = saveAs(QStringLiteral("out.pdf"));
    const QByteArray bytes = scrivola::testing::readBytes(saved);
    auto reopened = load(bytes);
    ASSERT_EQ(reopened->pageCount(), 2);
    const QString text = pageText(*reopened->page(0));
    EXPECT_FALSE(text.contains(QStringLiteral("SECRETWORD")));
    EXPECT_TRUE(text.contains(QStringLiteral("Keep this line above")));
    EXPECT_TRUE(text.contains(QStringLiteral("Keep this line below")));
    EXPECT_TRUE(pageText(*reopened->page(1)).contains(QStringLiteral("SECRETWORD")));
    EXPECT_EQ(render(*reopened->page(1)), secondBefore);
    if (const auto poppler = popplerText(saved)) {
        EXPECT_EQ(poppler->count(QStringLiteral("SECRETWORD")), 1) << poppler->toStdString();
        EXPECT_EQ(poppler->count(QStringLiteral("Keep this line above")), 2);
    }

    // The bookmark's destination is a page reference that is still in the file.
    const qsizetype title = bytes.indexOf("(First)");
    ASSERT_GE(title, 0);
    const qsizetype objStart = bytes.lastIndexOf(" obj", title);
    const QByteArray outlineItem = bytes.mid(objStart, bytes.indexOf("endobj", title) - objStart);
    EXPECT_TRUE(outlineItem.contains("/Dest")) << outlineItem.toStdString();
    EXPECT_FALSE(outlineItem.contains("null")) << outlineItem.toStdString();
}

TEST_F(Whiteout, RemovesTextAndImagePixelsFromTheSavedFileAndPaintsLineArtWhite) {
    open({secretPage()});
    ASSERT_TRUE(context->applyWhiteout(QRectF(60, 640, 320, 24), 0));
    // The left (red) half of the picture at (300, 300, 160, 80) and part of the black bar.
    ASSERT_TRUE(context->applyWhiteout(QRectF(290, 290, 100, 240), 0));
    const QImage shown = render(*document()->page(0));
    // Rendered y-down: page y maps to 792 - y.
    EXPECT_GT(share(shown, QRect(300, 792 - 375, 80, 70), Qt::white), 0.98);    // picture's red half
    EXPECT_GT(share(shown, QRect(300, 792 - 515, 80, 10), Qt::white), 0.98);    // line art under the box
    EXPECT_GT(share(shown, QRect(400, 792 - 375, 50, 70), Qt::blue), 0.9);      // blue half untouched
    EXPECT_GT(share(shown, QRect(100, 792 - 515, 150, 10), Qt::black), 0.9);    // line art outside

    const QByteArray bytes = saveBytes();
    EXPECT_FALSE(fileContains(bytes, "SECRET"));
    // The neighbours are still there, the file is a full rewrite (no second trailer).
    EXPECT_TRUE(fileContains(bytes, "Keep this line above"));
    EXPECT_EQ(bytes.count("%%EOF"), 1);
    // The picture stored in the saved file has lost the covered pixels.
    int pictures = 0;
    for (const RawStream& s : streams(bytes)) {
        if (!s.dictionary.contains("/Width 16") || s.data.size() != 16 * 8 * 3) continue;
        ++pictures;
        const auto pixel = [&](int x, int y) { return s.data.mid((y * 16 + x) * 3, 3); };
        EXPECT_NE(pixel(1, 4), QByteArray("\xff\x00\x00", 3)) << "covered pixel kept";
        EXPECT_EQ(pixel(14, 4), QByteArray("\x00\x00\xff", 3)) << "uncovered pixel lost";
    }
    EXPECT_EQ(pictures, 1);

    // A later edit saved again must not bring the old page back from the original bytes.
    context->setSelectedPages({0});
    context->rotatePages(90);
    const QByteArray again = saveBytes();
    EXPECT_FALSE(fileContains(again, "SECRET"));
    EXPECT_EQ(load(again)->page(0)->rotation(), 90);
}

TEST_F(Whiteout, KeepsBoxesAndRotationOfAnOffsetRotatedPage) {
    Page page;
    page.mediaBox = QRectF(100, 200, 612, 792);
    page.cropBox = QRectF(150, 260, 500, 690);
    page.rotate = 90;
    // Page space (72, 500) and (72, 450).
    page.content = textLine(QStringLiteral("Visible words stay"), 172, 700) + textLine(QStringLiteral("HIDDENWORD"), 172, 650);
    open({page});
    const PDFPagePtr original = document()->page(0);
    const QRectF crop = original->bounds(PDFBox::cropBox);
    ASSERT_TRUE(context->applyWhiteout(QRectF(60, 440, 200, 25), 0));

    auto check = [&](const PDFPage& p) {
        EXPECT_EQ(p.rotation(), 90);
        EXPECT_EQ(p.bounds(PDFBox::mediaBox).size(), QSizeF(612, 792));
        EXPECT_EQ(p.bounds(PDFBox::cropBox), crop);
        const QString text = pageText(p);
        EXPECT_FALSE(text.contains(QStringLiteral("HIDDENWORD")));
        EXPECT_TRUE(text.contains(QStringLiteral("Visible words stay")));
    };
    check(*document()->page(0));
    const QByteArray bytes = saveBytes();
    EXPECT_FALSE(fileContains(bytes, "HIDDENWORD"));
    auto reopened = load(bytes);
    check(*reopened->page(0));
    EXPECT_TRUE(bytes.contains("/MediaBox [100 200 712 992]") || bytes.contains("/MediaBox[100 200 712 992]"));
}

TEST_F(Whiteout, ClipsToThePageAndIgnoresSlivers) {
    open({secretPage()});
    // Entirely outside, or 2 points or narrower on the page: nothing happens.
    EXPECT_FALSE(context->applyWhiteout(QRectF(700, 100, 50, 50), 0));
    EXPECT_FALSE(context->applyWhiteout(QRectF(610, 100, 50, 50), 0));
    EXPECT_FALSE(context->applyWhiteout(QRectF(100, 100, 2, 50), 0));
    EXPECT_FALSE(context->applyWhiteout(QRectF(100, 100, 50, 50), 3));
    EXPECT_FALSE(model->isModified());
    EXPECT_FALSE(context->undoManager()->canUndo());

    // Half outside: only the part on the page turns white; the page keeps its size.
    ASSERT_TRUE(context->applyWhiteout(QRectF(-100, 490, 200, 40), 0));
    const QImage shown = render(*document()->page(0));
    EXPECT_EQ(shown.size(), QSize(612, 792));
    EXPECT_GT(share(shown, QRect(73, 792 - 515, 25, 10), Qt::white), 0.98);
    EXPECT_GT(share(shown, QRect(110, 792 - 515, 100, 10), Qt::black), 0.9);
}

TEST_F(Whiteout, FlattensAnnotationsSoTheyAreNoLongerSelectableAndUndoRestoresThem) {
    open({secretPage()});
    PDFPagePtr page = document()->page(0);
    auto box = PDFAnnotation::create(PDFAnnotation::Subtype::highlight, QRectF(72, 690, 150, 20));
    box->setColor(QColor(0, 122, 255));
    page->addAnnotation(box);
    context->textTool()->selectAnnotation(box);
    const QImage before = render(*page);

    ASSERT_TRUE(context->applyWhiteout(QRectF(60, 640, 320, 24), 0));
    const PDFPagePtr replaced = document()->page(0);
    EXPECT_TRUE(replaced->annotations().empty());
    EXPECT_TRUE(context->textTool()->selectedAnnotationObjects().empty() && context->textTool()->selectedAnnotations().empty());
    // The highlight is now page content: it still shows where it was.
    const QImage after = render(*replaced);
    const QRect highlightArea(80, 792 - 705, 100, 8);
    EXPECT_LT(differingShare(after.copy(highlightArea), before.copy(highlightArea)), 0.02);
    EXPECT_LT(share(after, highlightArea, Qt::white, 10), 0.5);

    context->undo();
    ASSERT_EQ(document()->page(0)->annotations().size(), 1u);
    EXPECT_EQ(document()->page(0)->annotations().front(), box);
}

TEST_F(Whiteout, RemovesTextOfAnnotationsUnderTheRectangleAndKeepsLinksElsewhere) {
    Page page = secretPage();
    page.annots = "<< /Type /Annot /Subtype /Link /Rect [72 645 200 662] /A << /S /URI /URI (https://covered.example) >> >> "
                  "<< /Type /Annot /Subtype /Link /Rect [72 695 200 712] /A << /S /URI /URI (https://kept.example) >> >>";
    open({page});
    auto note = PDFAnnotation::create(PDFAnnotation::Subtype::freeText, QRectF(400, 640, 150, 24));
    note->setContents(QStringLiteral("NOTESECRET"));
    document()->page(0)->addAnnotation(note);
    auto outside = PDFAnnotation::create(PDFAnnotation::Subtype::freeText, QRectF(400, 100, 150, 24));
    outside->setContents(QStringLiteral("NOTEKEPT"));
    document()->page(0)->addAnnotation(outside);

    const QImage before = render(*document()->page(0));
    ASSERT_TRUE(context->applyWhiteout(QRectF(60, 640, 500, 24), 0));
    const auto remaining = document()->page(0)->annotations();
    ASSERT_EQ(remaining.size(), 1u);
    EXPECT_EQ(remaining.front()->type(), QStringLiteral("Link"));
    EXPECT_EQ(remaining.front()->bounds(), QRectF(72, 695, 128, 17));

    const QByteArray bytes = saveBytes();
    EXPECT_FALSE(fileContains(bytes, "NOTESECRET"));
    EXPECT_FALSE(fileContains(bytes, "covered.example"));
    EXPECT_TRUE(fileContains(bytes, "NOTEKEPT"));
    EXPECT_TRUE(fileContains(bytes, "kept.example"));
    // The annotations that come back on undo draw as before: the whiteout changed only copies.
    context->undo();
    EXPECT_EQ(document()->page(0)->annotations().size(), 4u);
    EXPECT_EQ(differingShare(render(*document()->page(0)), before), 0.0);
    EXPECT_EQ(note->contents(), QStringLiteral("NOTESECRET"));
}

// Undo chains through page replacements: every step back and forth restores exactly the pages,
// their text, annotations and pixels of that point in the history.

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

class UndoChain : public MarkupTest {
public:
    void SetUp() override { openPages({contentPage("P1"), contentPage("P2"), contentPage("P3")}); }
    const PDFDocument& document() const { return *model->pdfDocument(); }
    Snapshot now() const { return Snapshot::of(document()); }

    // Whiteout of the confidential line of page `index`, then undo, undo, redo, redo.
    void runChain(int index, const Snapshot& start, const Snapshot& afterEdit) {
        ASSERT_TRUE(context->applyWhiteout(QRectF(60, 640, 320, 24), index));
        const Snapshot afterWhiteout = now();
        EXPECT_FALSE(afterWhiteout.texts[size_t(index)].contains(QStringLiteral("CONFIDENTIALWORD")));

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
