// Page text for search: a light text device that keeps the characters a page shows in the order
// it shows them, split into lines, with a space wherever a gap separates two words, and the
// matching of a folded query over that text.
//
// It does a fraction of the work of the library's structured-text extraction (no spans, blocks
// or per-character quads, boxes only for the characters of a hit), which makes most of the cost
// of searching a long document.

#include "pdf/engine/EngineImpl.h"
#include "pdf/engine/PDFSearchText.h"

#include <cmath>
#include <new>

namespace scrivola::engine {

namespace {

// Gap between two characters of a line, in units of the font size, from which a space is assumed.
constexpr float kSpaceGap = 0.15f;
// Moves along a line beyond these (backwards, forwards; font sizes) start a new line.
constexpr float kMaxBackStep = 0.6f;
constexpr float kMaxGap = 3.0f;
// Offset from the line's baseline (font sizes) within which a character stays on the line.
constexpr float kMaxBaselineShift = 0.6f;
// A new line continues the previous one's paragraph when it starts this far below it.
constexpr float kMinLineStep = 0.5f;
constexpr float kMaxLineStep = 2.5f;

bool isSpace(char32_t c) { return c == ' ' || c == '\t' || c == 0xA0 || QChar::isSpace(c); }
bool isHyphen(char32_t c) { return c == '-' || c == 0xAD || c == 0x2010; }

float dot(fz_point a, fz_point b) { return a.x * b.x + a.y * b.y; }
// Positive when `b` lies below `a`'s direction (device space is y-down).
float cross(fz_point a, fz_point b) { return a.x * b.y - a.y * b.x; }
fz_point minus(fz_point a, fz_point b) { return fz_make_point(a.x - b.x, a.y - b.y); }

// A character as shown: from its origin to its end along the baseline, with the offsets from
// the baseline to its top and bottom (device space). Boxes are only made for hits.
struct Glyph {
    char32_t c;
    fz_point from, to, top, bottom;

    fz_rect box() const {
        fz_rect r = fz_empty_rect;
        for (fz_point p : {from, to})
            for (fz_point v : {top, bottom}) r = fz_include_point_in_rect(r, fz_make_point(p.x + v.x, p.y + v.y));
        return r;
    }
};

struct Line {
    size_t first = 0, end = 0;  // glyph range
    bool startsBlock = true;
};

struct PageGlyphs {
    std::vector<Glyph> glyphs;
    std::vector<Line> lines;
};

// Splits the characters into lines as they arrive.
class LineBuilder {
public:
    explicit LineBuilder(PageGlyphs& out) : out_(out) {}

    // One character at `origin` moving by `advance` along `dir` (unit), of font size `size`;
    // `up` is the unit vector towards the top of the glyph, `ascender`/`descender` in sizes.
    void add(char32_t c, fz_point origin, fz_point dir, fz_point up, float size, float advance, float ascender,
             float descender) {
        if (size <= 0) size = 1;
        bool gap = false;
        if (!inLine_ || dot(dir, dir_) < 0.95f) {
            startLine(origin, dir, size);
        } else {
            const fz_point delta = minus(origin, pen_);
            const float along = dot(delta, dir_);
            const float across = cross(dir_, delta);
            if (std::fabs(across) > kMaxBaselineShift * size_ || along < -kMaxBackStep * size_ ||
                along > kMaxGap * size_)
                startLine(origin, dir, size);
            else
                gap = along > kSpaceGap * size_;
        }
        if (isSpace(c)) c = ' ';
        if (gap && c != ' ' && lastChar_ != ' ') push(' ', pen_, origin, up, size, ascender, descender);
        const fz_point end = fz_make_point(origin.x + dir.x * advance, origin.y + dir.y * advance);
        push(c, origin, end, up, size, ascender, descender);
        pen_ = end;
        lastChar_ = c;
    }

    void finish() { closeLine(); }

private:
    void startLine(fz_point origin, fz_point dir, float size) {
        closeLine();
        Line line;
        line.first = out_.glyphs.size();
        // A line one line-height below the previous one continues its paragraph.
        if (haveLast_ && dot(dir, dir_) >= 0.95f) {
            const float step = cross(dir_, minus(origin, lineStart_));
            line.startsBlock = step < kMinLineStep * size_ || step > kMaxLineStep * std::max(size_, size);
        }
        out_.lines.push_back(line);
        inLine_ = true;
        haveLast_ = true;
        lineStart_ = origin;
        dir_ = dir;
        size_ = size;
        lastChar_ = 0;
    }

    void closeLine() {
        if (!inLine_) return;
        out_.lines.back().end = out_.glyphs.size();
        if (out_.lines.back().end == out_.lines.back().first) out_.lines.pop_back();
        inLine_ = false;
    }

    void push(char32_t c, fz_point from, fz_point to, fz_point up, float size, float ascender, float descender) {
        const fz_point top = fz_make_point(up.x * ascender * size, up.y * ascender * size);
        const fz_point bottom = fz_make_point(up.x * descender * size, up.y * descender * size);
        out_.glyphs.push_back({c, from, to, top, bottom});
    }

    PageGlyphs& out_;
    bool inLine_ = false;
    bool haveLast_ = false;
    fz_point pen_{}, dir_{}, lineStart_{};
    float size_ = 1;
    char32_t lastChar_ = 0;
};

// The characters of one text object, ligatures spelt out (as the library's extraction does).
void addText(fz_context* ctx, LineBuilder& lines, const fz_text* text, fz_matrix ctm) {
    for (const fz_text_span* span = text->head; span; span = span->next) {
        fz_matrix trm = span->trm;
        trm.e = trm.f = 0;
        const fz_matrix shape = fz_concat(trm, ctm);
        const float size = fz_matrix_expansion(shape);
        fz_point dir = fz_transform_vector(span->wmode ? fz_make_point(0, -1) : fz_make_point(1, 0), shape);
        dir = fz_normalize_vector(dir);
        const fz_point up = fz_make_point(dir.y, -dir.x);
        const float ascender = fz_font_ascender(ctx, span->font);
        const float descender = fz_font_descender(ctx, span->font);
        for (int i = 0; i < span->len; ++i) {
            const fz_text_item& item = span->items[i];
            if (item.gid < 0 && i > 0) continue;  // taken with the glyph it belongs to
            int count = 1;
            while (i + count < span->len && span->items[i + count].gid < 0) ++count;
            const float advance = (item.gid >= 0 ? fz_advance_glyph(ctx, span->font, item.gid, span->wmode) : 0) * size;
            const fz_point origin = fz_transform_point(fz_make_point(item.x, item.y), ctm);
            // The characters of one glyph share its advance.
            char32_t chars[8];
            int n = 0;
            for (int k = 0; k < count && n < 6; ++k) {
                const int ucs = span->items[i + k].ucs;
                switch (ucs) {
                case 0xFB00: chars[n++] = 'f'; chars[n++] = 'f'; break;
                case 0xFB01: chars[n++] = 'f'; chars[n++] = 'i'; break;
                case 0xFB02: chars[n++] = 'f'; chars[n++] = 'l'; break;
                case 0xFB03: chars[n++] = 'f'; chars[n++] = 'f'; chars[n++] = 'i'; break;
                case 0xFB04: chars[n++] = 'f'; chars[n++] = 'f'; chars[n++] = 'l'; break;
                case 0xFB05:
                case 0xFB06: chars[n++] = 's'; chars[n++] = 't'; break;
                default: chars[n++] = ucs > 0 ? char32_t(ucs) : char32_t(0xFFFD); break;
                }
            }
            const float share = advance / float(n);
            for (int k = 0; k < n; ++k) {
                const fz_point at = fz_make_point(origin.x + dir.x * share * float(k), origin.y + dir.y * share * float(k));
                lines.add(chars[k], at, dir, up, size, share, ascender, descender);
            }
        }
    }
}

struct SearchDevice {
    fz_device super;
    LineBuilder* lines;
    bool failed;
};

// Collects `text`; memory exhaustion turns into the library's error, thrown after every C++
// object of the call is gone.
void collect(fz_context* ctx, fz_device* dev, const fz_text* text, fz_matrix ctm) {
    auto* device = reinterpret_cast<SearchDevice*>(dev);
    if (device->failed) return;
    try {
        addText(ctx, *device->lines, text, ctm);
    } catch (const std::bad_alloc&) {
        device->failed = true;
    }
    if (device->failed) fz_throw(ctx, FZ_ERROR_MEMORY, "out of memory collecting page text");
}

void fillText(fz_context* ctx, fz_device* dev, const fz_text* text, fz_matrix ctm, fz_colorspace*, const float*, float,
              fz_color_params) {
    collect(ctx, dev, text, ctm);
}
void strokeText(fz_context* ctx, fz_device* dev, const fz_text* text, const fz_stroke_state*, fz_matrix ctm,
                fz_colorspace*, const float*, float, fz_color_params) {
    collect(ctx, dev, text, ctm);
}
void clipText(fz_context* ctx, fz_device* dev, const fz_text* text, fz_matrix ctm, fz_rect) { collect(ctx, dev, text, ctm); }
void clipStrokeText(fz_context* ctx, fz_device* dev, const fz_text* text, const fz_stroke_state*, fz_matrix ctm, fz_rect) {
    collect(ctx, dev, text, ctm);
}
// Invisible text (the text layer of a scanned page) is searched too.
void ignoreText(fz_context* ctx, fz_device* dev, const fz_text* text, fz_matrix ctm) { collect(ctx, dev, text, ctm); }

// The page's content text (annotations excluded) in the unrotated page frame flipped to y-down
// from the media box's top-left corner; `height` receives the media box height. False when the
// page cannot be run.
bool collectPage(fz_context* ctx, pdf_page* page, PageGlyphs& out, float* height) {
    LineBuilder lines(out);
    SearchDevice* device = nullptr;
    const auto status = engineRun(ctx, [&] {
        fz_rect user;
        const fz_matrix ctm = unrotatedFrame(ctx, page, &user);
        *height = user.y1 - user.y0;
        fz_var(device);
        fz_try(ctx) {
            device = fz_new_derived_device(ctx, SearchDevice);
            device->lines = &lines;
            device->failed = false;
            device->super.fill_text = fillText;
            device->super.stroke_text = strokeText;
            device->super.clip_text = clipText;
            device->super.clip_stroke_text = clipStrokeText;
            device->super.ignore_text = ignoreText;
            fz_run_page_contents(ctx, &page->super, &device->super, ctm, nullptr);
            fz_close_device(ctx, &device->super);
        }
        fz_always(ctx) fz_drop_device(ctx, device ? &device->super : nullptr);
        fz_catch(ctx) fz_rethrow(ctx);
    });
    lines.finish();
    return status.ok;
}

// The searchable form of a page: folded characters, each pointing at its glyph; a line break
// becomes one space, or nothing after a hyphen that splits a word.
struct SearchUnit {
    char32_t folded;
    int glyph;  // -1 for a separator standing for a line break
    int line;
};

char32_t folded(char32_t c) {
    if (c < 0x80) return c >= 'A' && c <= 'Z' ? c + 32 : c;
    return char32_t(QChar::toCaseFolded(c));
}

std::vector<SearchUnit> searchUnits(const PageGlyphs& page) {
    const auto& glyphs = page.glyphs;
    const auto& lines = page.lines;
    std::vector<SearchUnit> units;
    units.reserve(glyphs.size() + lines.size());
    auto lastIsSpace = [&] { return !units.empty() && units.back().folded == ' '; };
    for (size_t l = 0; l < lines.size(); ++l) {
        const size_t lineStart = units.size();
        for (size_t g = lines[l].first; g < lines[l].end; ++g) {
            const char32_t c = glyphs[g].c;
            if (c == ' ') {
                if (!units.empty() && !lastIsSpace()) units.push_back({' ', int(g), int(l)});
                continue;
            }
            units.push_back({folded(c), int(g), int(l)});
        }
        // A word split by a hyphen at the line's end joins the next line's first word: one that
        // goes on in lower case, or a word in capitals that goes on in capitals ("MA-" "TRIX");
        // "Jean-" "Paul" keeps its hyphen.
        const size_t n = units.size();
        bool joins = false;
        if (n >= lineStart + 2 && l + 1 < lines.size() && !lines[l + 1].startsBlock &&
            size_t(units[n - 1].glyph) == lines[l].end - 1 && isHyphen(glyphs[size_t(units[n - 1].glyph)].c)) {
            const char32_t before = glyphs[size_t(units[n - 2].glyph)].c;
            const char32_t after = glyphs[lines[l + 1].first].c;
            joins = QChar::isLetter(before) &&
                    (QChar::isLower(after) || (QChar::isUpper(before) && QChar::isUpper(after)));
        }
        if (joins)
            units.pop_back();
        else if (!units.empty() && !lastIsSpace())
            units.push_back({' ', -1, -1});
    }
    return units;
}

}  // namespace

std::vector<char32_t> foldQuery(const QString& query) {
    std::vector<char32_t> result;
    for (char32_t c : query.toUcs4()) {
        if (isSpace(c)) {
            if (result.empty() || result.back() != ' ') result.push_back(' ');
            continue;
        }
        result.push_back(folded(c));
    }
    return result;
}

std::vector<TextHit> findInLoadedPage(fz_context* ctx, pdf_page* page, const std::vector<char32_t>& query) {
    std::vector<TextHit> hits;
    if (query.empty()) return hits;
    PageGlyphs text;
    float height = 0;
    if (!collectPage(ctx, page, text, &height)) return hits;
    const auto box = [&](size_t g) {
        const fz_rect r = text.glyphs[g].box();
        return QRectF(r.x0, height - r.y1, r.x1 - r.x0, r.y1 - r.y0);
    };
    const std::vector<SearchUnit> units = searchUnits(text);
    const size_t n = units.size(), m = query.size();
    size_t i = 0;
    while (i + m <= n) {
        size_t k = 0;
        while (k < m && units[i + k].folded == query[k]) ++k;
        if (k < m) {
            ++i;
            continue;
        }
        // The matched characters line by line; a part's text runs from its first to its last
        // matched character as the line has it.
        TextHit hit;
        int line = -1;
        size_t first = 0, last = 0;
        auto flush = [&] {
            if (line < 0) return;
            TextHitPart part;
            for (size_t g = first; g <= last; ++g) {
                part.bounds = part.bounds.isNull() ? box(g) : part.bounds.united(box(g));
                const char32_t c = text.glyphs[g].c;
                part.text += QString::fromUcs4(&c, 1);
            }
            hit.push_back(std::move(part));
        };
        for (size_t u = i; u < i + m; ++u) {
            if (units[u].glyph < 0) continue;
            if (units[u].line != line) {
                flush();
                line = units[u].line;
                first = size_t(units[u].glyph);
            }
            last = size_t(units[u].glyph);
        }
        flush();
        if (!hit.empty()) hits.push_back(std::move(hit));
        i += m;
    }
    return hits;
}

}  // namespace scrivola::engine
