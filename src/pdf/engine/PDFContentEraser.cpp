// Character-exact erasing of a rectangle from content streams (see PDFContentEraser.h).
//
// The eraser is a content-stream processor that passes every operator on to a buffer processor
// (which writes the new stream) and keeps the part of the graphics and text state it needs to
// place glyphs: the transformation through q/Q/cm, the text state (Tc, Tw, Tz, TL, Tf, Ts) and
// the text and line matrices. Its callbacks run inside the interpreter's fz_try: they are plain
// C (no objects with destructors) and report errors through fz_throw.

#include "pdf/engine/PDFContentEraser.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace scrivola::engine {

namespace {

constexpr int kMaxFormDepth = 12;
// The box of a glyph without ink, in em: from below the baseline to above it.
constexpr float kBlankDescent = -0.2f;
constexpr float kBlankAscent = 0.8f;

struct TextGState {
    fz_matrix ctm;
    pdf_text_state text;  // holds a reference to text.font
};

struct Eraser {
    pdf_processor super;
    pdf_processor* chain;  // owned: receives the operators
    pdf_document* doc;
    fz_rect area;
    pdf_obj* resources;  // where names are looked up (not owned)
    pdf_obj* xobjects;   // owned reference: where new XObjects are added
    int depth;
    int removed;  // characters removed and images changed, forms included
    int added;    // entries added to xobjects
    pdf_obj* replaced;  // owned: names of xobjects drawn as changed copies
    pdf_obj* used;      // owned: names of xobjects drawn as they are
    int keepNames;      // a form that inherits these resources was drawn as it is
    TextGState* stack;
    int top;
    int capacity;
    pdf_text_object_state tos;
};

Eraser* self(pdf_processor* proc) { return reinterpret_cast<Eraser*>(proc); }
TextGState* gstate(Eraser* e) { return &e->stack[e->top]; }

// ---- geometry ---------------------------------------------------------------------------------

double polygonArea(const fz_point* p, int n) {
    double sum = 0;
    for (int i = 0; i < n; ++i) {
        const fz_point& a = p[i];
        const fz_point& b = p[(i + 1) % n];
        sum += double(a.x) * b.y - double(b.x) * a.y;
    }
    return std::fabs(sum) / 2;
}

// Clips the convex polygon `in` (n points) against one half-plane: keeps points where
// side(point) >= 0, with side linear along edges. Returns the number of points written to `out`.
template <typename Side>
int clipPolygon(const fz_point* in, int n, fz_point* out, Side side) {
    int k = 0;
    for (int i = 0; i < n; ++i) {
        const fz_point a = in[i];
        const fz_point b = in[(i + 1) % n];
        const double sa = side(a), sb = side(b);
        if (sa >= 0) out[k++] = a;
        if ((sa >= 0) != (sb >= 0)) {
            const float t = float(sa / (sa - sb));
            out[k++] = fz_make_point(a.x + t * (b.x - a.x), a.y + t * (b.y - a.y));
        }
    }
    return k;
}

// True when more than half of the parallelogram `quad` lies inside `area`.
bool mostlyInside(fz_quad quad, fz_rect area) {
    fz_point a[12] = {quad.ll, quad.lr, quad.ur, quad.ul};
    fz_point b[12];
    const double total = polygonArea(a, 4);
    if (!(total > 1e-9)) return false;
    int n = 4;
    n = clipPolygon(a, n, b, [&](fz_point p) { return double(p.x) - area.x0; });
    n = clipPolygon(b, n, a, [&](fz_point p) { return double(area.x1) - p.x; });
    n = clipPolygon(a, n, b, [&](fz_point p) { return double(p.y) - area.y0; });
    n = clipPolygon(b, n, a, [&](fz_point p) { return double(area.y1) - p.y; });
    return n >= 3 && polygonArea(a, n) * 2 > total;
}

// Whether the glyph `gid` (code `cid`) drawn with `m` (glyph space to user space) lies mostly
// inside the area.
bool glyphMostlyInside(fz_context* ctx, Eraser* e, pdf_font_desc* fontdesc, int cid, int gid, fz_matrix m) {
    fz_font* font = fontdesc->font;
    const float advance = pdf_lookup_hmtx(ctx, fontdesc, cid).w * 0.001f;
    const fz_rect blank = fz_make_rect(0, kBlankDescent, advance > 0 ? advance : 0.5f, kBlankAscent);

    // Cheap rejection: glyphs rarely reach more than an em beyond their advance box, and the
    // font's own box covers those that do.
    fz_rect reach = fz_make_rect(blank.x0 - 1, -1, blank.x1 + 1, 2);
    if (!fz_font_flags(font)->invalid_bbox) reach = fz_union_rect(reach, fz_font_bbox(ctx, font));
    if (fz_is_empty_rect(fz_intersect_rect(fz_transform_rect(reach, m), e->area))) return false;

    fz_rect box = fz_empty_rect;
    if (font->t3procs) {
        box = fz_bound_glyph(ctx, font, gid, fz_identity);
    } else if (font->ft_face) {
        fz_path* outline = fz_outline_glyph(ctx, font, gid, fz_identity);
        if (outline) {
            box = fz_bound_path(ctx, outline, nullptr, fz_identity);
            fz_drop_path(ctx, outline);
        }
    }
    if (fz_is_empty_rect(box) || fz_is_infinite_rect(box) || !((box.x1 - box.x0) * (box.y1 - box.y0) > 1e-6f))
        box = blank;
    return mostlyInside(fz_transform_quad(fz_quad_from_rect(box), m), e->area);
}

// ---- images -----------------------------------------------------------------------------------

// Calls `visit(x, y)` for every pixel of a w × h image drawn with `ctm` that lies entirely
// inside `area`; returns how many there were. Pixels the rectangle only partly covers stay as
// they are: they show outside it too.
template <typename Visit>
int forPixelsInside(int w, int h, fz_matrix ctm, fz_rect area, Visit visit) {
    if (w <= 0 || h <= 0) return 0;
    const fz_rect unit = fz_transform_rect(area, fz_invert_matrix(ctm));
    const int x0 = std::max(0, int(std::floor(unit.x0 * w)));
    const int x1 = std::min(w - 1, int(std::ceil(unit.x1 * w)));
    const int y0 = std::max(0, int(std::floor((1 - unit.y1) * h)));
    const int y1 = std::min(h - 1, int(std::ceil((1 - unit.y0) * h)));
    const auto inside = [&](int x, int y) {
        const fz_point p = fz_transform_point(fz_make_point(float(x) / w, 1 - float(y) / h), ctm);
        return p.x >= area.x0 && p.x <= area.x1 && p.y >= area.y0 && p.y <= area.y1;
    };
    int count = 0;
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x)
            if (inside(x, y) && inside(x + 1, y) && inside(x, y + 1) && inside(x + 1, y + 1)) {
                visit(x, y);
                ++count;
            }
    return count;
}

// Sets the pixels of `pix` under the area to white (opaque where it has alpha).
void whitenPixels(fz_context* ctx, fz_pixmap* pix, fz_matrix ctm, fz_rect area) {
    const int colorants = pix->n - pix->alpha;
    const unsigned char white = fz_colorspace_is_subtractive(ctx, pix->colorspace) ? 0 : 255;
    forPixelsInside(pix->w, pix->h, ctm, area, [&](int x, int y) {
        unsigned char* s = pix->samples + size_t(y) * size_t(pix->stride) + size_t(x) * size_t(pix->n);
        std::memset(s, white, size_t(colorants));
        if (pix->alpha) s[colorants] = 255;
    });
}

// A copy of `pix` that an image object can hold: Gray, RGB and CMYK pixels as they are, others
// (Lab, separations, DeviceN) converted to RGB.
fz_pixmap* storablePixels(fz_context* ctx, fz_pixmap* pix) {
    switch (pix->colorspace ? fz_colorspace_type(ctx, pix->colorspace) : FZ_COLORSPACE_GRAY) {
    case FZ_COLORSPACE_GRAY:
    case FZ_COLORSPACE_RGB:
    case FZ_COLORSPACE_CMYK:
        return fz_clone_pixmap(ctx, pix);
    default:
        return fz_convert_pixmap(ctx, pix, fz_device_rgb(ctx), nullptr, nullptr, fz_default_color_params, 1);
    }
}

// A copy of `image` whose pixels under the area are white, or null when no pixel lies there. Its soft mask, if any, is made opaque there.
fz_image* whitenedImage(fz_context* ctx, fz_image* image, fz_matrix ctm, fz_rect area) {
    if (fz_is_empty_rect(fz_intersect_rect(fz_transform_rect(fz_unit_rect, ctm), area))) return nullptr;
    if (!forPixelsInside(image->w, image->h, ctm, area, [](int, int) {})) return nullptr;
    fz_pixmap* original = nullptr;
    fz_pixmap* pixels = nullptr;
    fz_pixmap* maskPixels = nullptr;
    fz_image* mask = nullptr;
    fz_image* result = nullptr;
    fz_var(original);
    fz_var(pixels);
    fz_var(maskPixels);
    fz_var(mask);
    fz_try(ctx) {
        original = fz_get_pixmap_from_image(ctx, image, nullptr, nullptr, nullptr, nullptr);
        pixels = storablePixels(ctx, original);
        // A stencil comes back as coverage; the image made from it expects the inverse.
        if (image->imagemask) fz_invert_pixmap_alpha(ctx, pixels);
        whitenPixels(ctx, pixels, ctm, area);
        if (image->mask) {
            fz_drop_pixmap(ctx, original);
            original = nullptr;
            original = fz_get_pixmap_from_image(ctx, image->mask, nullptr, nullptr, nullptr, nullptr);
            maskPixels = fz_clone_pixmap(ctx, original);
            whitenPixels(ctx, maskPixels, ctm, area);
            mask = fz_new_image_from_pixmap(ctx, maskPixels, nullptr);
        }
        result = fz_new_image_from_pixmap(ctx, pixels, mask);
        result->imagemask = image->imagemask;
        result->interpolate = image->interpolate;
    }
    fz_always(ctx) {
        fz_drop_image(ctx, mask);
        fz_drop_pixmap(ctx, maskPixels);
        fz_drop_pixmap(ctx, pixels);
        fz_drop_pixmap(ctx, original);
    }
    fz_catch(ctx) fz_rethrow(ctx);
    return result;
}

// ---- resources --------------------------------------------------------------------------------

// Adds `obj` to the eraser's XObject dictionary under a fresh name written to `name`.
void addXObject(fz_context* ctx, Eraser* e, pdf_obj* obj, char* name, size_t size) {
    for (int n = e->added;; ++n) {
        std::snprintf(name, size, "ScrivolaErased%d", n);
        if (!pdf_dict_gets(ctx, e->xobjects, name)) break;
    }
    pdf_dict_puts(ctx, e->xobjects, name, obj);
    ++e->added;
}

void markName(fz_context* ctx, Eraser* e, pdf_obj** set, const char* name) {
    if (!*set) *set = pdf_new_dict(ctx, e->doc, 4);
    pdf_dict_puts(ctx, *set, name, PDF_TRUE);
}

// Takes the originals of changed copies out of the XObject dictionary unless they are still
// drawn somewhere as they are: what the copies removed must not stay reachable in the file.
void dropReplaced(fz_context* ctx, Eraser* e) {
    if (e->keepNames) return;
    for (int i = 0, n = pdf_dict_len(ctx, e->replaced); i < n; ++i) {
        pdf_obj* name = pdf_dict_get_key(ctx, e->replaced, i);
        if (!pdf_dict_get(ctx, e->used, name)) pdf_dict_del(ctx, e->xobjects, name);
    }
}

// ---- the processor ----------------------------------------------------------------------------

Eraser* newEraser(fz_context* ctx, pdf_document* doc, pdf_processor* chain, fz_rect area, pdf_obj* resources,
                  pdf_obj* xobjects, int depth, const TextGState* initial);

// Forwards an operator unchanged to the chained processor.
template <typename F>
struct Forward;
template <typename... A>
struct Forward<void (*)(fz_context*, pdf_processor*, A...)> {
    template <auto Member>
    static void call(fz_context* ctx, pdf_processor* proc, A... args) {
        pdf_processor* chain = self(proc)->chain;
        if (chain->*Member) (chain->*Member)(ctx, chain, args...);
    }
};
#define SCRIVOLA_FORWARD(op) p->op = Forward<decltype(pdf_processor::op)>::call<&pdf_processor::op>;
// The operators passed on unchanged (the eraser needs nothing from them).
#define SCRIVOLA_PASSED_OPERATORS(X) \
    X(op_w) X(op_j) X(op_J) X(op_M) X(op_d) X(op_ri) X(op_i) X(op_gs_begin) X(op_gs_BM) X(op_gs_ca) X(op_gs_CA) \
    X(op_gs_SMask) X(op_gs_end) X(op_m) X(op_l) X(op_c) X(op_v) X(op_y) X(op_h) X(op_re) X(op_S) X(op_s) X(op_F) \
    X(op_f) X(op_fstar) X(op_B) X(op_Bstar) X(op_b) X(op_bstar) X(op_n) X(op_W) X(op_Wstar) X(op_ET) X(op_d0) \
    X(op_d1) X(op_CS) X(op_cs) X(op_SC_pattern) X(op_sc_pattern) X(op_SC_shade) X(op_sc_shade) X(op_SC_color) \
    X(op_sc_color) X(op_G) X(op_g) X(op_RG) X(op_rg) X(op_K) X(op_k) X(op_sh) X(op_MP) X(op_DP) X(op_BMC) \
    X(op_BDC) X(op_EMC) X(op_BX) X(op_EX) X(op_gs_OP) X(op_gs_op) X(op_gs_OPM) X(op_gs_UseBlackPtComp) X(op_END)

void eraserClose(fz_context* ctx, pdf_processor* proc) { pdf_close_processor(ctx, self(proc)->chain); }

void eraserDrop(fz_context* ctx, pdf_processor* proc) {
    Eraser* e = self(proc);
    for (int i = 0; i <= e->top && e->stack; ++i) pdf_drop_font(ctx, e->stack[i].text.font);
    fz_free(ctx, e->stack);
    pdf_drop_obj(ctx, e->replaced);
    pdf_drop_obj(ctx, e->used);
    pdf_drop_obj(ctx, e->xobjects);
    pdf_drop_processor(ctx, e->chain);
}

void eraserQ(fz_context* ctx, pdf_processor* proc) {
    Eraser* e = self(proc);
    if (e->top + 1 >= e->capacity) {
        const int capacity = e->capacity * 2;
        e->stack = fz_realloc_array(ctx, e->stack, capacity, TextGState);
        e->capacity = capacity;
    }
    e->stack[e->top + 1] = e->stack[e->top];
    pdf_keep_font(ctx, e->stack[e->top].text.font);
    ++e->top;
    e->chain->op_q(ctx, e->chain);
}

void eraserUnQ(fz_context* ctx, pdf_processor* proc) {
    Eraser* e = self(proc);
    if (e->top > 0) {
        pdf_drop_font(ctx, e->stack[e->top].text.font);
        --e->top;
    }
    e->chain->op_Q(ctx, e->chain);
}

void eraserCm(fz_context* ctx, pdf_processor* proc, float a, float b, float c, float d, float x, float y) {
    Eraser* e = self(proc);
    gstate(e)->ctm = fz_concat(fz_make_matrix(a, b, c, d, x, y), gstate(e)->ctm);
    e->chain->op_cm(ctx, e->chain, a, b, c, d, x, y);
}

void eraserBT(fz_context* ctx, pdf_processor* proc) {
    Eraser* e = self(proc);
    e->tos.tm = fz_identity;
    e->tos.tlm = fz_identity;
    e->chain->op_BT(ctx, e->chain);
}

void eraserTc(fz_context* ctx, pdf_processor* proc, float v) {
    gstate(self(proc))->text.char_space = v;
    self(proc)->chain->op_Tc(ctx, self(proc)->chain, v);
}
void eraserTw(fz_context* ctx, pdf_processor* proc, float v) {
    gstate(self(proc))->text.word_space = v;
    self(proc)->chain->op_Tw(ctx, self(proc)->chain, v);
}
void eraserTz(fz_context* ctx, pdf_processor* proc, float v) {
    gstate(self(proc))->text.scale = v / 100;
    self(proc)->chain->op_Tz(ctx, self(proc)->chain, v);
}
void eraserTL(fz_context* ctx, pdf_processor* proc, float v) {
    gstate(self(proc))->text.leading = v;
    self(proc)->chain->op_TL(ctx, self(proc)->chain, v);
}
void eraserTs(fz_context* ctx, pdf_processor* proc, float v) {
    gstate(self(proc))->text.rise = v;
    self(proc)->chain->op_Ts(ctx, self(proc)->chain, v);
}
void eraserTr(fz_context* ctx, pdf_processor* proc, int v) {
    gstate(self(proc))->text.render = v;
    self(proc)->chain->op_Tr(ctx, self(proc)->chain, v);
}
void eraserTf(fz_context* ctx, pdf_processor* proc, const char* name, pdf_font_desc* font, float size) {
    Eraser* e = self(proc);
    pdf_text_state& text = gstate(e)->text;
    pdf_drop_font(ctx, text.font);
    text.font = pdf_keep_font(ctx, font);
    text.size = size;
    e->chain->op_Tf(ctx, e->chain, name, font, size);
}

void eraserTd(fz_context* ctx, pdf_processor* proc, float tx, float ty) {
    pdf_tos_translate(&self(proc)->tos, tx, ty);
    self(proc)->chain->op_Td(ctx, self(proc)->chain, tx, ty);
}
void eraserTD(fz_context* ctx, pdf_processor* proc, float tx, float ty) {
    gstate(self(proc))->text.leading = -ty;
    pdf_tos_translate(&self(proc)->tos, tx, ty);
    self(proc)->chain->op_TD(ctx, self(proc)->chain, tx, ty);
}
void eraserTm(fz_context* ctx, pdf_processor* proc, float a, float b, float c, float d, float x, float y) {
    pdf_tos_set_matrix(&self(proc)->tos, a, b, c, d, x, y);
    self(proc)->chain->op_Tm(ctx, self(proc)->chain, a, b, c, d, x, y);
}
void eraserTstar(fz_context* ctx, pdf_processor* proc) {
    pdf_tos_newline(&self(proc)->tos, gstate(self(proc))->text.leading);
    self(proc)->chain->op_Tstar(ctx, self(proc)->chain);
}

// The rewriting of one text-showing operator.
struct TextRewrite {
    pdf_obj* out;     // the new TJ array
    fz_buffer* kept;  // bytes of kept codes not yet in `out`
    int removed;
};

void flushKept(fz_context* ctx, TextRewrite* r) {
    if (!r->kept->len) return;
    pdf_array_push_drop(ctx, r->out, pdf_new_string(ctx, reinterpret_cast<const char*>(r->kept->data), r->kept->len));
    fz_clear_buffer(ctx, r->kept);
}

// How far a TJ number `n` moves the text matrix, computed in single precision exactly as the
// interpreter does: -n × size / 1000, times the horizontal scaling in horizontal writing.
float displacement(float n, const pdf_text_state* text, int wmode) {
    const float adjust = -n * text->size * 0.001f;
    return wmode ? adjust : adjust * text->scale;
}

// The TJ number that moves the text matrix by exactly `advance` (as a removed code or a word
// space did), so that what follows lands on the very same coordinates. Replacing each removed
// code by its own number keeps the interpreter's sequence of additions unchanged.
float numberFor(float advance, const pdf_text_state* text, int wmode) {
    const double unit = double(text->size) * 0.001 * (wmode ? 1.0 : double(text->scale));
    float best = float(-double(advance) / unit);
    float bestError = std::fabs(displacement(best, text, wmode) - advance);
    float below = best, above = best;
    for (int i = 0; i < 16 && bestError > 0; ++i) {
        below = std::nextafter(below, -HUGE_VALF);
        above = std::nextafter(above, HUGE_VALF);
        for (const float candidate : {below, above}) {
            const float error = std::fabs(displacement(candidate, text, wmode) - advance);
            if (error < bestError) {
                best = candidate;
                bestError = error;
            }
        }
    }
    return best;
}

// Moves the text matrix as a TJ number or the word spacing does.
void moveBy(Eraser* e, const pdf_text_state* text, int wmode, float adjust) {
    e->tos.tm = wmode ? fz_pre_translate(e->tos.tm, 0, adjust) : fz_pre_translate(e->tos.tm, adjust * text->scale, 0);
}

void showBytes(fz_context* ctx, Eraser* e, const unsigned char* s, size_t len, bool canRemove, TextRewrite* r) {
    TextGState* gs = gstate(e);
    const pdf_text_state* text = &gs->text;
    pdf_font_desc* fontdesc = text->font;
    const int wmode = fontdesc->wmode;
    auto* buf = const_cast<unsigned char*>(s);
    unsigned char* end = buf + len;
    while (buf < end) {
        unsigned int cpt = 0;
        const int n = std::max(1, pdf_decode_cmap(fontdesc->encoding, buf, end, &cpt));
        const int cid = pdf_lookup_cmap(fontdesc->encoding, cpt);
        const bool space = cpt == 32 && n == 1;
        bool remove = false;
        if (cid >= 0) {
            fz_matrix trm;
            const int gid = pdf_tos_make_trm(ctx, &e->tos, &gs->text, fontdesc, cid, &trm);
            remove = canRemove && glyphMostlyInside(ctx, e, fontdesc, cid, gid, fz_concat(trm, gs->ctm));
            if (remove) {
                flushKept(ctx, r);
                const float advance = wmode ? e->tos.char_ty : e->tos.char_tx;
                if (advance != 0) pdf_array_push_real(ctx, r->out, numberFor(advance, text, wmode));
                if (space && text->word_space != 0) {
                    const float wordSpace = wmode ? text->word_space : text->word_space * text->scale;
                    pdf_array_push_real(ctx, r->out, numberFor(wordSpace, text, wmode));
                }
                ++r->removed;
            }
            pdf_tos_move_after_char(ctx, &e->tos);
        }
        if (space) moveBy(e, text, wmode, text->word_space);
        if (!remove) fz_append_data(ctx, r->kept, buf, size_t(n));
        buf += n;
    }
    flushKept(ctx, r);
}

// Walks a TJ array (or one string when `array` is null) into `r`, advancing the text matrix.
[[gnu::noinline]] void walkText(fz_context* ctx, Eraser* e, pdf_obj* array, const unsigned char* str, size_t len,
                                TextRewrite* r) {
    const pdf_text_state* text = &gstate(e)->text;
    const int wmode = text->font->wmode;
    // Removed codes are replaced by a displacement, which needs a font size (and scaling).
    const bool canRemove = text->size != 0 && (wmode || text->scale != 0);
    if (array) {
        for (int i = 0, n = pdf_array_len(ctx, array); i < n; ++i) {
            pdf_obj* item = pdf_array_get(ctx, array, i);
            if (pdf_is_string(ctx, item)) {
                showBytes(ctx, e, reinterpret_cast<const unsigned char*>(pdf_to_str_buf(ctx, item)),
                          pdf_to_str_len(ctx, item), canRemove, r);
            } else if (pdf_is_number(ctx, item)) {
                pdf_array_push(ctx, r->out, item);
                moveBy(e, text, wmode, -pdf_to_real(ctx, item) * text->size * 0.001f);
            }
        }
    } else {
        showBytes(ctx, e, str, len, canRemove, r);
    }
}

// The rewritten TJ array for a text-showing operator, or null when no code is removed (the
// text matrix is advanced either way).
pdf_obj* rewriteText(fz_context* ctx, Eraser* e, pdf_obj* array, const unsigned char* str, size_t len) {
    TextRewrite r{};
    fz_var(r.out);
    fz_var(r.kept);
    fz_try(ctx) {
        r.out = pdf_new_array(ctx, e->doc, 4);
        r.kept = fz_new_buffer(ctx, 64);
        walkText(ctx, e, array, str, len, &r);
    }
    fz_always(ctx) fz_drop_buffer(ctx, r.kept);
    fz_catch(ctx) {
        pdf_drop_obj(ctx, r.out);
        fz_rethrow(ctx);
    }
    if (!r.removed) {
        pdf_drop_obj(ctx, r.out);
        return nullptr;
    }
    e->removed += r.removed;
    return r.out;
}

// Shows the rewritten array through the chain and drops it.
void emitTJ(fz_context* ctx, Eraser* e, pdf_obj* array) {
    fz_try(ctx) e->chain->op_TJ(ctx, e->chain, array);
    fz_always(ctx) pdf_drop_obj(ctx, array);
    fz_catch(ctx) fz_rethrow(ctx);
}

void eraserTJ(fz_context* ctx, pdf_processor* proc, pdf_obj* array) {
    Eraser* e = self(proc);
    pdf_obj* rewritten = gstate(e)->text.font ? rewriteText(ctx, e, array, nullptr, 0) : nullptr;
    if (rewritten)
        emitTJ(ctx, e, rewritten);
    else
        e->chain->op_TJ(ctx, e->chain, array);
}

void eraserTj(fz_context* ctx, pdf_processor* proc, char* str, size_t len) {
    Eraser* e = self(proc);
    pdf_obj* rewritten =
        gstate(e)->text.font ? rewriteText(ctx, e, nullptr, reinterpret_cast<unsigned char*>(str), len) : nullptr;
    if (rewritten)
        emitTJ(ctx, e, rewritten);
    else
        e->chain->op_Tj(ctx, e->chain, str, len);
}

void eraserSquote(fz_context* ctx, pdf_processor* proc, char* str, size_t len) {
    Eraser* e = self(proc);
    pdf_tos_newline(&e->tos, gstate(e)->text.leading);
    pdf_obj* rewritten =
        gstate(e)->text.font ? rewriteText(ctx, e, nullptr, reinterpret_cast<unsigned char*>(str), len) : nullptr;
    if (rewritten) {
        e->chain->op_Tstar(ctx, e->chain);
        emitTJ(ctx, e, rewritten);
    } else {
        e->chain->op_squote(ctx, e->chain, str, len);
    }
}

void eraserDquote(fz_context* ctx, pdf_processor* proc, float aw, float ac, char* str, size_t len) {
    Eraser* e = self(proc);
    gstate(e)->text.word_space = aw;
    gstate(e)->text.char_space = ac;
    pdf_tos_newline(&e->tos, gstate(e)->text.leading);
    pdf_obj* rewritten =
        gstate(e)->text.font ? rewriteText(ctx, e, nullptr, reinterpret_cast<unsigned char*>(str), len) : nullptr;
    if (rewritten) {
        e->chain->op_Tw(ctx, e->chain, aw);
        e->chain->op_Tc(ctx, e->chain, ac);
        e->chain->op_Tstar(ctx, e->chain);
        emitTJ(ctx, e, rewritten);
    } else {
        e->chain->op_dquote(ctx, e->chain, aw, ac, str, len);
    }
}

// Draws `image` as a new image XObject in place of what was there.
void emitImage(fz_context* ctx, Eraser* e, fz_image* image) {
    pdf_obj* ref = nullptr;
    fz_var(ref);
    fz_try(ctx) {
        char name[40];
        ref = pdf_add_image(ctx, e->doc, image);
        addXObject(ctx, e, ref, name, sizeof name);
        e->chain->op_Do_image(ctx, e->chain, name, image);
        ++e->removed;
    }
    fz_always(ctx) {
        pdf_drop_obj(ctx, ref);
        fz_drop_image(ctx, image);
    }
    fz_catch(ctx) fz_rethrow(ctx);
}

void eraserDoImage(fz_context* ctx, pdf_processor* proc, const char* name, fz_image* image) {
    Eraser* e = self(proc);
    fz_image* whitened = image ? whitenedImage(ctx, image, gstate(e)->ctm, e->area) : nullptr;
    if (whitened) {
        markName(ctx, e, &e->replaced, name);
        emitImage(ctx, e, whitened);
    } else {
        markName(ctx, e, &e->used, name);
        e->chain->op_Do_image(ctx, e->chain, name, image);
    }
}

void eraserBI(fz_context* ctx, pdf_processor* proc, fz_image* image, const char* colorspace) {
    Eraser* e = self(proc);
    fz_image* whitened = image ? whitenedImage(ctx, image, gstate(e)->ctm, e->area) : nullptr;
    if (whitened)
        emitImage(ctx, e, whitened);
    else
        e->chain->op_BI(ctx, e->chain, image, colorspace);
}

// Runs the form through an eraser of its own; when anything in it was removed, draws a private
// copy of it under a fresh name instead. Returns false when the form is drawn unchanged.
bool eraseForm(fz_context* ctx, Eraser* e, pdf_obj* form, pdf_obj* pageResources) {
    // The form's /BBox is not consulted: text it clips away is still in the file, and text
    // extraction still finds it there.
    const fz_matrix ctm = fz_concat(pdf_xobject_matrix(ctx, form), gstate(e)->ctm);
    if (e->depth >= kMaxFormDepth) return false;

    pdf_obj* resources = pdf_xobject_resources(ctx, form);
    const bool inherits = !pdf_is_dict(ctx, resources);
    if (inherits) resources = e->resources;
    fz_buffer* buffer = nullptr;
    pdf_processor* nested = nullptr;
    pdf_obj* ownResources = nullptr;
    pdf_obj* xobjects = nullptr;
    pdf_obj* dict = nullptr;
    pdf_obj* ref = nullptr;
    bool changed = false;
    fz_var(buffer);
    fz_var(nested);
    fz_var(ownResources);
    fz_var(xobjects);
    fz_var(dict);
    fz_var(ref);
    fz_var(changed);
    fz_try(ctx) {
        ownResources = pdf_is_dict(ctx, resources) ? pdf_copy_dict(ctx, resources) : pdf_new_dict(ctx, e->doc, 2);
        pdf_obj* oldXObjects = pdf_dict_get(ctx, ownResources, PDF_NAME(XObject));
        xobjects = pdf_is_dict(ctx, oldXObjects) ? pdf_copy_dict(ctx, oldXObjects) : pdf_new_dict(ctx, e->doc, 2);
        pdf_dict_put(ctx, ownResources, PDF_NAME(XObject), xobjects);

        buffer = fz_new_buffer(ctx, 1024);
        TextGState initial = *gstate(e);
        initial.ctm = ctm;
        nested = &newEraser(ctx, e->doc, pdf_new_buffer_processor(ctx, buffer, 0), e->area, resources, xobjects,
                            e->depth + 1, &initial)
                      ->super;
        pdf_process_contents(ctx, nested, e->doc, resources, form, nullptr);
        pdf_close_processor(ctx, nested);
        Eraser* inner = self(nested);
        if (inner->removed) {
            dropReplaced(ctx, inner);
            dict = pdf_copy_dict(ctx, form);
            pdf_dict_del(ctx, dict, PDF_NAME(Length));
            pdf_dict_del(ctx, dict, PDF_NAME(Filter));
            pdf_dict_del(ctx, dict, PDF_NAME(DecodeParms));
            // A copy that inherited its resources gets them as its own: the page's may lose names.
            if (inner->added || inherits) pdf_dict_put(ctx, dict, PDF_NAME(Resources), ownResources);
            ref = pdf_add_stream(ctx, e->doc, buffer, dict, 0);
            char name[40];
            addXObject(ctx, e, ref, name, sizeof name);
            e->removed += inner->removed;
            e->chain->op_Do_form(ctx, e->chain, name, ref, pageResources);
            changed = true;
        }
    }
    fz_always(ctx) {
        pdf_drop_obj(ctx, ref);
        pdf_drop_obj(ctx, dict);
        pdf_drop_processor(ctx, nested);
        fz_drop_buffer(ctx, buffer);
        pdf_drop_obj(ctx, xobjects);
        pdf_drop_obj(ctx, ownResources);
    }
    fz_catch(ctx) fz_rethrow(ctx);
    return changed;
}

void eraserDoForm(fz_context* ctx, pdf_processor* proc, const char* name, pdf_obj* form, pdf_obj* pageResources) {
    Eraser* e = self(proc);
    if (eraseForm(ctx, e, form, pageResources)) {
        markName(ctx, e, &e->replaced, name);
        return;
    }
    markName(ctx, e, &e->used, name);
    if (!pdf_is_dict(ctx, pdf_xobject_resources(ctx, form))) e->keepNames = 1;
    e->chain->op_Do_form(ctx, e->chain, name, form, pageResources);
}

Eraser* newEraser(fz_context* ctx, pdf_document* doc, pdf_processor* chain, fz_rect area, pdf_obj* resources,
                  pdf_obj* xobjects, int depth, const TextGState* initial) {
    Eraser* e = nullptr;
    fz_var(e);
    fz_try(ctx) e = static_cast<Eraser*>(pdf_new_processor(ctx, sizeof(Eraser)));
    fz_catch(ctx) {
        pdf_drop_processor(ctx, chain);
        fz_rethrow(ctx);
    }
    e->chain = chain;
    e->doc = doc;
    e->area = area;
    e->resources = resources;
    e->xobjects = pdf_keep_obj(ctx, xobjects);
    e->depth = depth;
    e->tos.tm = fz_identity;
    e->tos.tlm = fz_identity;
    pdf_processor* p = &e->super;
    p->close_processor = eraserClose;
    p->drop_processor = eraserDrop;
    fz_try(ctx) {
        e->stack = fz_malloc_array(ctx, 8, TextGState);
        e->capacity = 8;
    }
    fz_catch(ctx) {
        pdf_drop_processor(ctx, p);
        fz_rethrow(ctx);
    }
    e->stack[0] = *initial;
    pdf_keep_font(ctx, initial->text.font);

    SCRIVOLA_PASSED_OPERATORS(SCRIVOLA_FORWARD)

    p->op_q = eraserQ;
    p->op_Q = eraserUnQ;
    p->op_cm = eraserCm;
    p->op_BT = eraserBT;
    p->op_Tc = eraserTc;
    p->op_Tw = eraserTw;
    p->op_Tz = eraserTz;
    p->op_TL = eraserTL;
    p->op_Tf = eraserTf;
    p->op_Tr = eraserTr;
    p->op_Ts = eraserTs;
    p->op_Td = eraserTd;
    p->op_TD = eraserTD;
    p->op_Tm = eraserTm;
    p->op_Tstar = eraserTstar;
    p->op_TJ = eraserTJ;
    p->op_Tj = eraserTj;
    p->op_squote = eraserSquote;
    p->op_dquote = eraserDquote;
    p->op_Do_image = eraserDoImage;
    p->op_BI = eraserBI;
    p->op_Do_form = eraserDoForm;
    return e;
}

#undef SCRIVOLA_PASSED_OPERATORS
#undef SCRIVOLA_FORWARD

}  // namespace

int eraseArea(fz_context* ctx, pdf_document* doc, pdf_obj* page, fz_rect area) {
    pdf_obj* resources = pdf_dict_get(ctx, page, PDF_NAME(Resources));
    if (!pdf_is_dict(ctx, resources)) resources = pdf_dict_put_dict(ctx, page, PDF_NAME(Resources), 2);
    pdf_obj* xobjects = pdf_dict_get(ctx, resources, PDF_NAME(XObject));
    if (!pdf_is_dict(ctx, xobjects)) xobjects = pdf_dict_put_dict(ctx, resources, PDF_NAME(XObject), 4);

    TextGState initial{};
    initial.ctm = fz_identity;
    initial.text.scale = 1;
    initial.text.size = -1;
    fz_buffer* buffer = nullptr;
    pdf_processor* proc = nullptr;
    pdf_obj* stream = nullptr;
    int removed = 0;
    fz_var(buffer);
    fz_var(proc);
    fz_var(stream);
    fz_var(removed);
    fz_try(ctx) {
        buffer = fz_new_buffer(ctx, 4096);
        proc = &newEraser(ctx, doc, pdf_new_buffer_processor(ctx, buffer, 0), area, resources, xobjects, 0, &initial)
                    ->super;
        pdf_process_contents(ctx, proc, doc, resources, pdf_dict_get(ctx, page, PDF_NAME(Contents)), nullptr);
        pdf_close_processor(ctx, proc);
        removed = self(proc)->removed;
        if (removed) {
            dropReplaced(ctx, self(proc));
            stream = pdf_add_stream(ctx, doc, buffer, nullptr, 0);
            pdf_dict_put(ctx, page, PDF_NAME(Contents), stream);
        }
    }
    fz_always(ctx) {
        pdf_drop_obj(ctx, stream);
        pdf_drop_processor(ctx, proc);
        fz_drop_buffer(ctx, buffer);
    }
    fz_catch(ctx) fz_rethrow(ctx);
    return removed;
}

}  // namespace scrivola::engine
