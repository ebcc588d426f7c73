// Page text with character boxes, search, and selections.

#include "pdf/engine/EngineImpl.h"
#include "pdf/engine/PDFSearchText.h"

namespace scrivola {

using engine::baseContext;
using engine::engineRun;

namespace {

// The content text of a loaded page (annotations excluded) as the library extracts it, run in
// the unrotated page frame flipped to y-down from the media box's top-left corner; null when it
// cannot be extracted. `height` receives the media box height, to turn boxes back to page space.
fz_stext_page* extractText(fz_context* ctx, pdf_page* loaded, double* height) {
    fz_stext_page* text = nullptr;
    auto status = engineRun(ctx, [&] {
        fz_rect user;
        const fz_matrix ctm = engine::unrotatedFrame(ctx, loaded, &user);
        *height = user.y1 - user.y0;
        fz_stext_options options = {};
        options.flags = 0;
        fz_device* device = nullptr;
        fz_var(device);
        text = fz_new_stext_page(ctx, fz_make_rect(0, 0, user.x1 - user.x0, float(*height)));
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
    return status.ok ? text : nullptr;
}

// Owns an extracted page text.
class ExtractedText {
public:
    ExtractedText(fz_context* ctx, pdf_page* loaded) : ctx_(ctx), text_(extractText(ctx, loaded, &height_)) {}
    ~ExtractedText() {
        if (text_) fz_drop_stext_page(ctx_, text_);
    }
    ExtractedText(const ExtractedText&) = delete;
    ExtractedText& operator=(const ExtractedText&) = delete;
    fz_stext_page* get() const { return text_; }
    // A character's box in page space.
    QRectF bounds(const fz_stext_char* ch) const {
        const fz_rect r = fz_rect_from_quad(ch->quad);
        return QRectF(r.x0, height_ - r.y1, r.x1 - r.x0, r.y1 - r.y0);
    }

    // Calls fn(line, startsBlock) for every text line in reading order.
    template <typename Fn>
    void forEachLine(Fn&& fn) const {
        if (!text_) return;
        for (fz_stext_block* block = text_->first_block; block; block = block->next) {
            if (block->type != FZ_STEXT_BLOCK_TEXT) continue;
            bool first = true;
            for (fz_stext_line* line = block->u.t.first_line; line; line = line->next) {
                if (!line->first_char) continue;
                fn(line, first);
                first = false;
            }
        }
    }

private:
    fz_context* ctx_;
    double height_ = 0;
    fz_stext_page* text_;
};

QString charString(char32_t c) { return QString::fromUcs4(&c, 1); }

// One line of a page's text with its characters in page space.
struct TextLineRaw {
    std::vector<PDFTextChar> chars;
    QRectF bounds;
    bool blockStart = false;
};

std::vector<TextLineRaw> extractLines(const PDFPageImpl& page) {
    std::vector<TextLineRaw> lines;
    engine::withLoadedPage(page, [&](fz_context* ctx, pdf_page* loaded) {
        const ExtractedText text(ctx, loaded);
        text.forEachLine([&](fz_stext_line* line, bool startsBlock) {
            TextLineRaw raw;
            raw.blockStart = startsBlock;
            for (const fz_stext_char* ch = line->first_char; ch; ch = ch->next) {
                const PDFTextChar c{char32_t(ch->c), text.bounds(ch)};
                raw.bounds = raw.bounds.isNull() ? c.bounds : raw.bounds.united(c.bounds);
                raw.chars.push_back(c);
            }
            lines.push_back(std::move(raw));
        });
    });
    return lines;
}

std::vector<PDFSelection> searchPage(const PDFPagePtr& page, const std::vector<char32_t>& query) {
    std::vector<PDFSelection> hits;
    if (!page || query.empty()) return hits;
    engine::withLoadedPage(Access::impl(*page), [&](fz_context* ctx, pdf_page* loaded) {
        for (auto& hit : engine::findInLoadedPage(ctx, loaded, query)) {
            std::vector<PDFSelection::LineRange> ranges;
            ranges.reserve(hit.size());
            for (auto& part : hit) ranges.push_back({page, part.bounds, std::move(part.text)});
            hits.emplace_back(std::move(ranges));
        }
    });
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
        for (const PDFTextChar& c : raw.chars) line.text += charString(c.character);
        line.bounds = raw.bounds;
        line.chars = std::move(raw.chars);
        result.blocks.back().lines.push_back(std::move(line));
    }
    return result;
}

// ---- search --------------------------------------------------------------------------------

std::vector<PDFSelection> PDFDocument::findString(const QString& text) const {
    std::vector<PDFSelection> hits;
    const auto query = engine::foldQuery(text);
    if (query.empty()) return hits;
    const int count = pageCount();
    for (int i = 0; i < count; ++i) {
        auto pageHits = searchPage(page(i), query);
        for (auto& hit : pageHits) hits.push_back(std::move(hit));
    }
    return hits;
}

std::vector<PDFSelection> PDFDocument::findString(const QString& text, int pageIndex) const {
    const auto query = engine::foldQuery(text);
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
