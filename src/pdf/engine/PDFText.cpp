// Page text with character boxes, search, and selections.

#include "pdf/engine/EngineImpl.h"

namespace scrivola {

using engine::baseContext;
using engine::engineRun;

namespace {

// One character of a page's text in reading order, in page space.
struct TextLineRaw {
    std::vector<PDFTextChar> chars;
    QRectF bounds;
    bool blockStart = false;
};

// Extracts the page's content text (annotations excluded) in the unrotated page frame.
std::vector<TextLineRaw> extractLines(const PDFPageImpl& page) {
    std::vector<TextLineRaw> lines;
    engine::withLoadedPage(page, [&](fz_context* ctx, pdf_page* loaded) {
        fz_stext_page* text = nullptr;
        double height = 0;
        auto status = engineRun(ctx, [&] {
            fz_rect media;
            fz_matrix pageCtm;
            pdf_page_transform(ctx, loaded, &media, &pageCtm);
            // Run in user space flipped to y-down from the media box's top-left corner.
            const fz_rect user = engine::mediaBoxOf(loaded->obj);
            const fz_matrix flip = fz_make_matrix(1, 0, 0, -1, -user.x0, user.y1);
            const fz_matrix ctm = fz_concat(fz_invert_matrix(pageCtm), flip);
            height = user.y1 - user.y0;
            fz_stext_options options = {};
            options.flags = 0;
            fz_device* device = nullptr;
            fz_var(device);
            text = fz_new_stext_page(ctx, fz_make_rect(0, 0, user.x1 - user.x0, float(height)));
            fz_try(ctx) {
                device = fz_new_stext_device(ctx, text, &options);
                fz_run_page_contents(ctx, &loaded->super, device, ctm, nullptr);
                fz_close_device(ctx, device);
            }
            fz_always(ctx) fz_drop_device(ctx, device);
            fz_catch(ctx) {
                fz_drop_stext_page(ctx, text);
                text = nullptr;
                fz_rethrow(ctx);
            }
        });
        if (!status.ok || !text) return;
        for (fz_stext_block* block = text->first_block; block; block = block->next) {
            if (block->type != FZ_STEXT_BLOCK_TEXT) continue;
            bool first = true;
            for (fz_stext_line* line = block->u.t.first_line; line; line = line->next) {
                TextLineRaw raw;
                raw.blockStart = first;
                first = false;
                for (fz_stext_char* ch = line->first_char; ch; ch = ch->next) {
                    const fz_rect r = fz_rect_from_quad(ch->quad);
                    PDFTextChar c;
                    c.character = char32_t(ch->c);
                    c.bounds = QRectF(r.x0, height - r.y1, r.x1 - r.x0, r.y1 - r.y0);
                    raw.bounds = raw.bounds.isNull() ? c.bounds : raw.bounds.united(c.bounds);
                    raw.chars.push_back(c);
                }
                if (!raw.chars.empty()) lines.push_back(std::move(raw));
            }
        }
        fz_drop_stext_page(ctx, text);
    });
    return lines;
}

QString lineString(const std::vector<PDFTextChar>& chars, size_t from, size_t to) {
    QString s;
    for (size_t i = from; i < to && i < chars.size(); ++i) {
        const char32_t c = chars[i].character;
        s += QString::fromUcs4(&c, 1);
    }
    return s;
}

bool isSpace(char32_t c) { return c == ' ' || c == '\t' || c == 0xA0 || QChar::isSpace(c); }
bool isHyphen(char32_t c) { return c == '-' || c == 0xAD || c == 0x2010; }

// The searchable form of a page: folded characters, each pointing at its source character;
// line breaks become one space (or nothing after a hyphen that splits a word).
struct SearchText {
    struct Unit {
        char32_t folded;
        int line;  // -1 for a separator that stands for a line break
        int index;
    };
    std::vector<Unit> units;
};

SearchText buildSearchText(const std::vector<TextLineRaw>& lines) {
    SearchText text;
    auto pushSpace = [&] {
        if (!text.units.empty() && text.units.back().folded != ' ') text.units.push_back({' ', -1, -1});
    };
    for (size_t l = 0; l < lines.size(); ++l) {
        const auto& chars = lines[l].chars;
        size_t end = chars.size();
        // A word split by a hyphen at the line's end joins the next line's first word.
        bool joins = false;
        if (end >= 2 && l + 1 < lines.size() && isHyphen(chars[end - 1].character) &&
            QChar::isLetter(chars[end - 2].character) && !lines[l + 1].chars.empty() &&
            QChar::isLower(lines[l + 1].chars.front().character) && !lines[l + 1].blockStart) {
            joins = true;
            --end;
        }
        for (size_t i = 0; i < end; ++i) {
            const char32_t c = chars[i].character;
            if (isSpace(c)) {
                if (!text.units.empty() && text.units.back().folded != ' ') text.units.push_back({' ', int(l), int(i)});
                continue;
            }
            text.units.push_back({char32_t(QChar::toCaseFolded(c)), int(l), int(i)});
        }
        if (!joins) pushSpace();
    }
    return text;
}

std::vector<char32_t> foldQuery(const QString& query) {
    std::vector<char32_t> folded;
    for (char32_t c : query.toUcs4()) {
        if (isSpace(c)) {
            if (folded.empty() || folded.back() != ' ') folded.push_back(' ');
            continue;
        }
        folded.push_back(char32_t(QChar::toCaseFolded(c)));
    }
    return folded;
}

std::vector<PDFSelection> searchPage(const PDFPagePtr& page, const std::vector<char32_t>& query) {
    std::vector<PDFSelection> hits;
    if (!page || query.empty()) return hits;
    const auto lines = extractLines(Access::impl(*page));
    const SearchText text = buildSearchText(lines);
    const size_t n = text.units.size(), m = query.size();
    size_t i = 0;
    while (i + m <= n) {
        size_t k = 0;
        while (k < m && text.units[i + k].folded == query[k]) ++k;
        if (k < m) {
            ++i;
            continue;
        }
        // Gather the matched characters line by line.
        std::vector<PDFSelection::LineRange> ranges;
        int currentLine = -1;
        size_t first = 0, last = 0;
        auto flush = [&] {
            if (currentLine < 0) return;
            const auto& chars = lines[size_t(currentLine)].chars;
            QRectF box;
            for (size_t c = first; c <= last; ++c) box = box.isNull() ? chars[c].bounds : box.united(chars[c].bounds);
            ranges.push_back({page, box, lineString(chars, first, last + 1)});
        };
        for (size_t u = i; u < i + m; ++u) {
            const auto& unit = text.units[u];
            if (unit.line < 0) continue;
            if (unit.line != currentLine) {
                flush();
                currentLine = unit.line;
                first = size_t(unit.index);
            }
            last = size_t(unit.index);
        }
        flush();
        if (!ranges.empty()) hits.emplace_back(std::move(ranges));
        i += m;
    }
    return hits;
}

}  // namespace

// ---- PDFPageText and PDFPage::text ---------------------------------------------------------

QString PDFPageText::plainText() const {
    QStringList blockTexts;
    for (const auto& block : blocks) {
        QStringList lineTexts;
        for (const auto& line : block.lines) lineTexts << line.text;
        blockTexts << lineTexts.join(QLatin1Char('\n'));
    }
    return blockTexts.join(QStringLiteral("\n\n"));
}

PDFPageText PDFPage::text() const {
    PDFPageText result;
    for (auto& raw : extractLines(*impl_)) {
        if (raw.blockStart || result.blocks.empty()) result.blocks.emplace_back();
        PDFTextLine line;
        line.text = lineString(raw.chars, 0, raw.chars.size());
        line.bounds = raw.bounds;
        line.chars = std::move(raw.chars);
        result.blocks.back().lines.push_back(std::move(line));
    }
    return result;
}

// ---- search --------------------------------------------------------------------------------

std::vector<PDFSelection> PDFDocument::findString(const QString& text) const {
    std::vector<PDFSelection> hits;
    const auto query = foldQuery(text);
    if (query.empty()) return hits;
    const int count = pageCount();
    for (int i = 0; i < count; ++i) {
        auto pageHits = searchPage(page(i), query);
        for (auto& hit : pageHits) hits.push_back(std::move(hit));
    }
    return hits;
}

std::vector<PDFSelection> PDFDocument::findString(const QString& text, int pageIndex) const {
    const auto query = foldQuery(text);
    if (query.empty()) return {};
    return searchPage(page(pageIndex), query);
}

// ---- PDFSelection --------------------------------------------------------------------------

QString PDFSelection::string() const {
    QStringList parts;
    for (const auto& line : lines_) parts << line.text;
    return parts.join(QLatin1Char('\n'));
}

std::vector<PDFPagePtr> PDFSelection::pages() const {
    std::vector<PDFPagePtr> result;
    for (const auto& line : lines_) {
        if (!line.page) continue;
        if (std::find(result.begin(), result.end(), line.page) == result.end()) result.push_back(line.page);
    }
    return result;
}

QRectF PDFSelection::bounds(const PDFPage& page) const {
    QRectF box;
    for (const auto& line : lines_) {
        if (line.page.get() != &page || line.bounds.isEmpty()) continue;
        box = box.isNull() ? line.bounds : box.united(line.bounds);
    }
    return box;
}

std::vector<PDFSelection> PDFSelection::selectionsByLine() const {
    std::vector<PDFSelection> result;
    result.reserve(lines_.size());
    for (const auto& line : lines_) result.emplace_back(std::vector<LineRange>{line});
    return result;
}

}  // namespace scrivola
