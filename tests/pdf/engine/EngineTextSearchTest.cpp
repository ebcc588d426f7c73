// Page text with character boxes, and case-insensitive search.

#include "EngineTestUtil.h"

#include "pdf/engine/PDFThreadedSearch.h"


namespace scrivola::testing {
namespace {

TEST(EngineText, LinesAndCharacterBoxesInPageSpace) {
    auto doc = PDFDocument::loadFromData(textPdf(1));
    const auto text = doc->page(0)->text();
    ASSERT_FALSE(text.blocks.empty());
    const PDFTextLine& first = text.blocks.front().lines.front();
    EXPECT_EQ(first.text, "Page 1");
    ASSERT_EQ(first.chars.size(), 6u);
    // Baseline at y = 720 (page space, y up); 12-point Helvetica starts at x = 72.
    EXPECT_NEAR(first.chars[0].bounds.left(), 72, 1);
    EXPECT_LT(first.chars[0].bounds.top(), 720);
    EXPECT_GT(first.chars[0].bounds.bottom(), 726);
    EXPECT_LT(first.chars[0].bounds.bottom(), 735);
    EXPECT_TRUE(text.plainText().startsWith("Page 1\n"));

    // Text at user (172, 920) on a media box starting at (100, 200) and turned: page space (72, 720).
    const PDFTextLine line = PDFDocument::loadFromData(rotatedOffsetPage())->page(0)->text().blocks.front().lines.front();
    EXPECT_EQ(line.text, "Rotated offset page");
    EXPECT_NEAR(line.chars.front().bounds.left(), 72, 1);
    EXPECT_NEAR(line.bounds.center().y(), 724, 4);
}

// Search reads the page with a lighter text model than the page text; both must put a word in
// the same place, also on a rotated page with an offset media box.
TEST(EngineSearch, HitBoxesMatchThePageTextBoxes) {
    for (const QByteArray& pdf : {textPdf(1, [](int) { return QStringList{"left middle right", "second line here"}; }),
                                  rotatedOffsetPage({"one rotated line", "and another one"})}) {
        auto doc = PDFDocument::loadFromData(pdf);
        const auto page = doc->page(0);
        const auto text = page->text();
        for (const auto& block : text.blocks)
            for (const auto& line : block.lines) {
                const qsizetype at = line.text.lastIndexOf(QLatin1Char(' ')) + 1;
                const QString word = line.text.mid(at);
                QRectF expected;
                for (qsizetype i = at; i < line.text.size(); ++i) expected = expected.united(line.chars[size_t(i)].bounds);
                const auto hits = doc->findString(word);
                ASSERT_FALSE(hits.empty()) << word.toStdString();
                const QRectF box = hits.back().bounds(*page);
                EXPECT_NEAR(box.left(), expected.left(), 1.0) << word.toStdString();
                EXPECT_NEAR(box.right(), expected.right(), 1.0) << word.toStdString();
                EXPECT_NEAR(box.top(), expected.top(), 1.5) << word.toStdString();
                EXPECT_NEAR(box.bottom(), expected.bottom(), 1.5) << word.toStdString();
                EXPECT_EQ(hits.back().string(), word);
            }
    }
}

TEST(EngineSearch, CaseInsensitiveWithoutDiacriticFolding) {
    auto doc = PDFDocument::loadFromData(textPdf(1, [](int) {
        return QStringList{"PDF pdf Pdf", "caf\u00e9 cafe CAF\u00c9", "\u00c4rger \u00e4rger"};
    }));
    EXPECT_EQ(doc->findString("PDF").size(), 3u);
    EXPECT_EQ(doc->findString("caf\u00e9").size(), 2u);  // café and CAFÉ
    EXPECT_EQ(doc->findString("cafe").size(), 1u);       // e does not match é
    EXPECT_EQ(doc->findString("\u00e4rger").size(), 2u);
    EXPECT_EQ(doc->findString("arger").size(), 0u);
    EXPECT_TRUE(doc->findString("").empty());
    EXPECT_EQ(doc->findString("pdf")[2].string(), "Pdf");
}

TEST(EngineSearch, HitsInDocumentOrderAcrossPages) {
    auto doc = PDFDocument::loadFromData(textPdf(4, [](int i) {
        if (i == 1) return QStringList{"nothing here"};
        return QStringList{QStringLiteral("marker one on page %1").arg(i + 1), "and a second Marker"};
    }));
    auto hits = doc->findString("marker");
    ASSERT_EQ(hits.size(), 6u);
    std::vector<int> pages;
    for (const auto& hit : hits) {
        ASSERT_EQ(hit.pages().size(), 1u);
        pages.push_back(doc->index(*hit.pages().front()));
    }
    EXPECT_EQ(pages, (std::vector<int>{0, 0, 2, 2, 3, 3}));
    // Within a page, the first line's hit comes first (it is higher up).
    EXPECT_GT(hits[0].bounds(*doc->page(0)).top(), hits[1].bounds(*doc->page(0)).top());
    EXPECT_EQ(doc->findString("marker", 2).size(), 2u);
    EXPECT_TRUE(doc->findString("marker", 1).empty());
    EXPECT_TRUE(doc->findString("marker", 9).empty());
}

TEST(EngineSearch, HitSpanningTwoLinesHasOneRangePerLine) {
    auto doc = PDFDocument::loadFromData(textPdf(1, [](int) {
        return QStringList{"the end of one", "line begins here", "hyphen-", "ated word", "CAPITAL MA-", "TRIX and Jean-",
                           "Paul"};
    }));
    auto hits = doc->findString("one line");
    ASSERT_EQ(hits.size(), 1u);
    ASSERT_EQ(hits[0].lines().size(), 2u);
    EXPECT_EQ(hits[0].string(), "one\nline");
    auto byLine = hits[0].selectionsByLine();
    ASSERT_EQ(byLine.size(), 2u);
    auto page = doc->page(0);
    EXPECT_GT(byLine[0].bounds(*page).top(), byLine[1].bounds(*page).top());
    // A word split by a hyphen at a line end is found whole.
    auto split = doc->findString("hyphenated");
    ASSERT_EQ(split.size(), 1u);
    EXPECT_EQ(split[0].lines().size(), 2u);
    // A word in capitals goes on in capitals; a capital after a small letter keeps the hyphen.
    auto capitals = doc->findString("matrix");
    ASSERT_EQ(capitals.size(), 1u);
    EXPECT_EQ(capitals[0].string(), "MA\nTRIX");
    EXPECT_TRUE(doc->findString("JeanPaul").empty());
    EXPECT_EQ(doc->findString("Jean- Paul").size(), 1u);
}

// Pages with hits on one line, across two lines, hyphenated, and none at all.
QStringList variedPage(int i) {
    switch (i % 4) {
    case 0: return {QStringLiteral("Matrix %1 and matrix").arg(i), "plain words"};
    case 1: return {"nothing to find"};
    case 2: return {"a ma-", "trix split", "the end of one", "matrix begins"};
    default: return {QStringLiteral("page %1: MATRIX").arg(i)};
    }
}

// Hits flattened for comparison: page index, box and text of every line part.
std::vector<std::tuple<int, QRectF, QString>> flatten(const PDFDocument& doc, const std::vector<PDFSelection>& hits) {
    std::vector<std::tuple<int, QRectF, QString>> parts;
    for (const auto& hit : hits)
        for (const auto& line : hit.lines()) parts.emplace_back(doc.index(*line.page), line.bounds, line.text);
    return parts;
}

std::vector<PDFSelection> takeAll(PDFThreadedSearch& search, const PDFDocument& doc) {
    std::vector<PDFSelection> hits;
    int lastTaken = 0;
    while (!search.isDone()) {
        auto more = search.takeFinished(doc, 50);
        EXPECT_GE(search.pagesTaken(), lastTaken);
        lastTaken = search.pagesTaken();
        std::move(more.begin(), more.end(), std::back_inserter(hits));
    }
    return hits;
}

TEST(EngineSearch, ThreadedSearchFindsExactlyWhatTheDocumentFinds) {
    auto doc = PDFDocument::loadFromData(textPdf(41, variedPage));
    for (const QString& query : {QStringLiteral("matrix"), QStringLiteral("one matrix"), QStringLiteral("PAGE 3")}) {
        const auto expected = doc->findString(query);
        ASSERT_FALSE(expected.empty()) << query.toStdString();
        for (int threads : {1, 3}) {
            auto search = PDFThreadedSearch::start(*doc, query, threads);
            ASSERT_TRUE(search) << query.toStdString();
            EXPECT_EQ(search->pageCount(), 41);
            const auto hits = takeAll(*search, *doc);
            EXPECT_EQ(flatten(*doc, hits), flatten(*doc, expected)) << query.toStdString() << " on " << threads;
            // Hits are bound to the pages of the searched document itself.
            for (const auto& hit : hits) EXPECT_EQ(hit.pages().front(), doc->page(doc->index(*hit.pages().front())));
        }
    }
}

TEST(EngineSearch, ThreadedSearchDeclinesWhatOnlyTheLiveDocumentShows) {
    QTemporaryDir dir;
    const QString path = writeFile(dir, "varied.pdf", textPdf(12, variedPage));
    auto doc = PDFDocument::load(path);
    EXPECT_TRUE(PDFThreadedSearch::start(*doc, "matrix"));
    EXPECT_FALSE(PDFThreadedSearch::start(*doc, ""));
    EXPECT_FALSE(PDFThreadedSearch::start(*PDFDocument::loadFromData(textPdf(3, variedPage)), "matrix"));
    // The file changes on disk after opening: the workers still search the bytes the document
    // was opened from.
    ASSERT_TRUE(QFile::remove(path));
    ASSERT_EQ(writeFile(dir, "varied.pdf", textPdf(12)), path);
    {
        auto search = PDFThreadedSearch::start(*doc, "matrix");
        ASSERT_TRUE(search);
        EXPECT_EQ(flatten(*doc, takeAll(*search, *doc)), flatten(*doc, doc->findString("matrix")));
    }
    // An unsaved edit is only in the live document.
    doc->removePage(0);
    EXPECT_FALSE(PDFThreadedSearch::start(*doc, "matrix"));
}

TEST(EngineSearch, ThreadedSearchOfARepairedFileFindsWhatTheDocumentFinds) {
    const QByteArray good = textPdf(20, variedPage);
    for (qsizetype cut : {good.size() - 30, good.size() - 200, good.size() / 2}) {
        SCOPED_TRACE(cut);
        PDFDocumentPtr doc;
        try {
            doc = PDFDocument::loadFromData(good.left(cut));
        } catch (const PDFEngineError&) {
            continue;  // nothing recoverable
        }
        // Workers open the same damaged bytes and repair them the same way, or the document's
        // own search runs; either way the hits are the same.
        const auto expected = doc->findString("matrix");
        if (auto search = PDFThreadedSearch::start(*doc, "matrix", 2)) {
            EXPECT_EQ(flatten(*doc, takeAll(*search, *doc)), flatten(*doc, expected));
        }
    }
}

TEST(EngineSearch, DroppingAThreadedSearchStopsItsWorkers) {
    auto doc = PDFDocument::loadFromData(textPdf(400, variedPage));
    auto search = PDFThreadedSearch::start(*doc, "matrix", 2);
    ASSERT_TRUE(search);
    search->takeFinished(*doc, 20);
    search.reset();  // joins the workers; nothing may touch the state afterwards
    auto again = PDFThreadedSearch::start(*doc, "matrix", 2);
    ASSERT_TRUE(again);
    EXPECT_EQ(takeAll(*again, *doc).size(), doc->findString("matrix").size());
}

}  // namespace
}  // namespace scrivola::testing
