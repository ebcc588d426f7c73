// Selecting text with the mouse: carets from points, and selections by character, word and line
// across lines and pages.

#include "pdf/PDFTextSelection.h"
#include "support/PdfFactory.h"

#include <gtest/gtest.h>

#include <map>

using namespace scrivola;
using namespace scrivola::testing;
namespace TS = scrivola::PDFTextSelection;

namespace {

class TextSelectionTest : public ::testing::Test {
protected:
    TS::PageTextSource source(int page) {
        if (page < 0 || page >= document->pageCount()) return {};
        auto [it, added] = cache.try_emplace(page);
        if (added) it->second = document->page(page)->text();
        return {document->page(page), &it->second};
    }
    TS::PageTexts provider() {
        return [this](int page) { return source(page); };
    }
    TextCaret caret(int page, double x, double y) {
        const auto found = TS::caretAt(*source(page).text, page, QPointF(x, y));
        EXPECT_TRUE(found.has_value());
        return found.value_or(TextCaret{});
    }
    QStringList texts(const PDFSelection& selection) const {
        QStringList list;
        for (const auto& line : selection.lines()) list << line.text;
        return list;
    }

    // Baselines at 720, 704, 688, 672: "Page N", then three sentences (12-point Helvetica at x 72).
    PDFDocumentPtr document = PDFDocument::loadFromData(textPdf(2));
    std::map<int, PDFPageText> cache;
};

TEST_F(TextSelectionTest, WordsAndLinesSnapAroundTheCaret) {
    const TextCaret inQuick = caret(0, 105, 707);  // inside "quick" on the second line
    EXPECT_EQ(inQuick.line, 1);
    EXPECT_EQ(texts(TS::select(provider(), inQuick, inQuick, TextSnap::word)), QStringList{"quick"});
    EXPECT_EQ(texts(TS::select(provider(), inQuick, inQuick, TextSnap::line)),
              QStringList{"The quick brown fox jumps over the lazy dog."});
    EXPECT_TRUE(TS::select(provider(), inQuick, inQuick, TextSnap::character).isEmpty());
    // A point beside the text takes the nearest line, before or after it.
    EXPECT_EQ(caret(0, 20, 707).index, 0);
    EXPECT_EQ(caret(0, 580, 691).line, 2);
    EXPECT_FALSE(TS::caretAt(PDFPageText{}, 0, QPointF(1, 1)).has_value());
}

TEST_F(TextSelectionTest, DragsSelectAcrossLinesAndPagesInEitherDirection) {
    const TextCaret from = caret(0, 105, 707);
    const TextCaret to = caret(0, 85, 691);  // in "Pack" on the third line
    const QStringList forward = texts(TS::select(provider(), from, to, TextSnap::character));
    ASSERT_EQ(forward.size(), 2);
    EXPECT_TRUE(forward[0].endsWith("uick brown fox jumps over the lazy dog.")) << forward[0].toStdString();
    EXPECT_TRUE(forward[1].startsWith("P") && forward[1].size() < 4) << forward[1].toStdString();
    EXPECT_EQ(texts(TS::select(provider(), to, from, TextSnap::character)), forward);
    EXPECT_EQ(texts(TS::select(provider(), from, to, TextSnap::word)),
              (QStringList{"quick brown fox jumps over the lazy dog.", "Pack"}));

    // From the last line of page 1 to the first of page 2, each range on its own page.
    const PDFSelection pages = TS::select(provider(), caret(0, 90, 675), caret(1, 90, 723), TextSnap::line);
    EXPECT_EQ(texts(pages), (QStringList{"Sphinx of black quartz, judge my vow.", "Page 2"}));
    ASSERT_EQ(pages.pages().size(), 2u);
    EXPECT_EQ(pages.pages()[1], document->page(1));
    EXPECT_GT(pages.bounds(*document->page(0)).width(), 150);
}

}  // namespace
