// Custom appearance streams with embedded composite fonts.

#include "pdf/engine/PDFAppearance.h"

#include "pdf/engine/EngineImpl.h"

#include <algorithm>
#include <cmath>

namespace scrivola {

using engine::baseContext;
using engine::engineCheck;
using engine::engineRun;
using Kind = PDFEngineError::Kind;

namespace {

QByteArray hex4(int value) { return QByteArray::number(value & 0xffff, 16).rightJustified(4, '0').toUpper(); }

QByteArray utf16Hex(const QString& text) {
    QByteArray out;
    for (QChar c : text) out += hex4(c.unicode());
    return out;
}

// Plain data for one font, prepared outside the library's error handling.
struct FontData {
    QByteArray baseFont;
    QByteArray program;
    bool isCFF = false;
    QByteArray cmap;
    std::vector<int> widthGlyphs;
    std::vector<float> widthValues;
    float bbox[4] = {0, -200, 1000, 800};
    float ascent = 800, descent = -200, capHeight = 700, italicAngle = 0;
    int flags = 32;
};

FontData prepare(const PDFEmbeddedFont& font) {
    FontData data;
    data.baseFont = font.baseFont.isEmpty() ? QByteArray("Font") : font.baseFont;
    data.program = font.program;
    data.isCFF = font.isCFF;
    data.cmap = toUnicodeCMap(font.toUnicode);
    std::vector<std::pair<int, double>> widths = font.widths;
    std::sort(widths.begin(), widths.end());
    for (const auto& [glyph, width] : widths) {
        if (glyph < 0 || glyph > 0xffff) continue;
        if (!data.widthGlyphs.empty() && data.widthGlyphs.back() == glyph) continue;
        data.widthGlyphs.push_back(glyph);
        data.widthValues.push_back(float(std::isfinite(width) ? width : 0));
    }
    data.bbox[0] = float(font.bbox.left());
    data.bbox[1] = float(font.bbox.top());
    data.bbox[2] = float(font.bbox.right());
    data.bbox[3] = float(font.bbox.bottom());
    data.ascent = float(font.ascent);
    data.descent = float(font.descent);
    data.capHeight = float(font.capHeight);
    data.italicAngle = float(font.italicAngle);
    data.flags = 32;  // nonsymbolic
    if (font.fixedPitch) data.flags |= 1;
    if (font.serif) data.flags |= 2;
    if (font.italic) data.flags |= 64;
    return data;
}

// Adds the Type0 font for `f` to `doc`; returns a new reference. Runs inside fz_try.
pdf_obj* addType0Font(fz_context* ctx, pdf_document* doc, const FontData& f) {
    pdf_obj* fontFile = nullptr;
    pdf_obj* descriptor = nullptr;
    pdf_obj* cidFont = nullptr;
    pdf_obj* toUnicode = nullptr;
    pdf_obj* font = nullptr;
    fz_buffer* programBuffer = nullptr;
    fz_buffer* cmapBuffer = nullptr;
    fz_var(fontFile);
    fz_var(descriptor);
    fz_var(cidFont);
    fz_var(toUnicode);
    fz_var(font);
    fz_var(programBuffer);
    fz_var(cmapBuffer);
    fz_try(ctx) {
        programBuffer = fz_new_buffer_from_copied_data(ctx, reinterpret_cast<const unsigned char*>(f.program.constData()),
                                                       size_t(f.program.size()));
        fontFile = pdf_add_stream(ctx, doc, programBuffer, nullptr, 0);
        if (f.isCFF) pdf_dict_put(ctx, fontFile, PDF_NAME(Subtype), PDF_NAME(OpenType));
        else pdf_dict_put_int(ctx, fontFile, PDF_NAME(Length1), f.program.size());

        descriptor = pdf_add_new_dict(ctx, doc, 10);
        pdf_dict_put(ctx, descriptor, PDF_NAME(Type), PDF_NAME(FontDescriptor));
        pdf_dict_put_name(ctx, descriptor, PDF_NAME(FontName), f.baseFont.constData());
        pdf_dict_put_int(ctx, descriptor, PDF_NAME(Flags), f.flags);
        pdf_dict_put_rect(ctx, descriptor, PDF_NAME(FontBBox), fz_make_rect(f.bbox[0], f.bbox[1], f.bbox[2], f.bbox[3]));
        pdf_dict_put_real(ctx, descriptor, PDF_NAME(ItalicAngle), f.italicAngle);
        pdf_dict_put_real(ctx, descriptor, PDF_NAME(Ascent), f.ascent);
        pdf_dict_put_real(ctx, descriptor, PDF_NAME(Descent), f.descent);
        pdf_dict_put_real(ctx, descriptor, PDF_NAME(CapHeight), f.capHeight);
        pdf_dict_put_int(ctx, descriptor, PDF_NAME(StemV), 80);
        pdf_dict_put(ctx, descriptor, f.isCFF ? PDF_NAME(FontFile3) : PDF_NAME(FontFile2), fontFile);

        cidFont = pdf_add_new_dict(ctx, doc, 8);
        pdf_dict_put(ctx, cidFont, PDF_NAME(Type), PDF_NAME(Font));
        pdf_dict_put(ctx, cidFont, PDF_NAME(Subtype), f.isCFF ? PDF_NAME(CIDFontType0) : PDF_NAME(CIDFontType2));
        pdf_dict_put_name(ctx, cidFont, PDF_NAME(BaseFont), f.baseFont.constData());
        pdf_obj* info = pdf_dict_put_dict(ctx, cidFont, PDF_NAME(CIDSystemInfo), 3);
        pdf_dict_put_text_string(ctx, info, PDF_NAME(Registry), "Adobe");
        pdf_dict_put_text_string(ctx, info, PDF_NAME(Ordering), "Identity");
        pdf_dict_put_int(ctx, info, PDF_NAME(Supplement), 0);
        pdf_dict_put(ctx, cidFont, PDF_NAME(FontDescriptor), descriptor);
        if (!f.isCFF) pdf_dict_put(ctx, cidFont, PDF_NAME(CIDToGIDMap), PDF_NAME(Identity));
        pdf_dict_put_int(ctx, cidFont, PDF_NAME(DW), 1000);
        pdf_obj* w = pdf_dict_put_array(ctx, cidFont, PDF_NAME(W), int(f.widthGlyphs.size()) * 2);
        for (size_t i = 0; i < f.widthGlyphs.size(); ++i) {
            pdf_array_push_int(ctx, w, f.widthGlyphs[i]);
            pdf_obj* one = pdf_array_push_array(ctx, w, 1);
            pdf_array_push_real(ctx, one, f.widthValues[i]);
        }

        cmapBuffer = fz_new_buffer_from_copied_data(ctx, reinterpret_cast<const unsigned char*>(f.cmap.constData()),
                                                    size_t(f.cmap.size()));
        toUnicode = pdf_add_stream(ctx, doc, cmapBuffer, nullptr, 0);

        font = pdf_add_new_dict(ctx, doc, 6);
        pdf_dict_put(ctx, font, PDF_NAME(Type), PDF_NAME(Font));
        pdf_dict_put(ctx, font, PDF_NAME(Subtype), PDF_NAME(Type0));
        pdf_dict_put_name(ctx, font, PDF_NAME(BaseFont), f.baseFont.constData());
        pdf_dict_put(ctx, font, PDF_NAME(Encoding), PDF_NAME(Identity_H));
        pdf_obj* descendants = pdf_dict_put_array(ctx, font, PDF_NAME(DescendantFonts), 1);
        pdf_array_push(ctx, descendants, cidFont);
        pdf_dict_put(ctx, font, PDF_NAME(ToUnicode), toUnicode);
    }
    fz_always(ctx) {
        fz_drop_buffer(ctx, cmapBuffer);
        fz_drop_buffer(ctx, programBuffer);
        pdf_drop_obj(ctx, toUnicode);
        pdf_drop_obj(ctx, cidFont);
        pdf_drop_obj(ctx, descriptor);
        pdf_drop_obj(ctx, fontFile);
    }
    fz_catch(ctx) {
        pdf_drop_obj(ctx, font);
        fz_rethrow(ctx);
    }
    return font;
}

void writeAppearance(fz_context* ctx, pdf_document* doc, pdf_obj* annot, const std::vector<FontData>& fonts,
                     const QByteArray& content, float width, float height) {
    fz_buffer* buffer = nullptr;
    pdf_obj* resources = nullptr;
    pdf_obj* form = nullptr;
    pdf_obj* font = nullptr;
    fz_var(buffer);
    fz_var(resources);
    fz_var(form);
    fz_var(font);
    fz_try(ctx) {
        resources = pdf_new_dict(ctx, doc, 2);
        if (!fonts.empty()) {
            pdf_obj* fontDict = pdf_dict_put_dict(ctx, resources, PDF_NAME(Font), int(fonts.size()));
            // A font of the previous appearance with the same subset (its name carries a tag of
            // the subset's contents) is reused: moving a box does not add font programs.
            pdf_obj* previous = pdf_dict_getp(ctx, annot, "AP/N/Resources/Font");
            for (size_t i = 0; i < fonts.size(); ++i) {
                char name[16];
                std::snprintf(name, sizeof name, "F%d", int(i));
                for (int k = 0; k < pdf_dict_len(ctx, previous) && !font; ++k) {
                    pdf_obj* candidate = pdf_dict_get_val(ctx, previous, k);
                    const char* base = pdf_dict_get_name(ctx, candidate, PDF_NAME(BaseFont));
                    if (pdf_is_indirect(ctx, candidate) && base && fonts[i].baseFont == base)
                        font = pdf_keep_obj(ctx, candidate);
                }
                if (!font) font = addType0Font(ctx, doc, fonts[i]);
                pdf_dict_puts(ctx, fontDict, name, font);
                pdf_drop_obj(ctx, font);
                font = nullptr;
            }
        }
        buffer = fz_new_buffer_from_copied_data(ctx, reinterpret_cast<const unsigned char*>(content.constData()),
                                                size_t(content.size()));
        form = pdf_new_xobject(ctx, doc, fz_make_rect(0, 0, width, height), fz_identity, resources, buffer);
        pdf_obj* ap = pdf_dict_put_dict(ctx, annot, PDF_NAME(AP), 1);
        pdf_dict_put(ctx, ap, PDF_NAME(N), form);
        pdf_clean_obj(ctx, annot);
    }
    fz_always(ctx) {
        pdf_drop_obj(ctx, font);
        pdf_drop_obj(ctx, form);
        pdf_drop_obj(ctx, resources);
        fz_drop_buffer(ctx, buffer);
    }
    fz_catch(ctx) fz_rethrow(ctx);
}

PDFAppearance::CustomWriter& writerSlot() {
    static PDFAppearance::CustomWriter writer;
    return writer;
}

}  // namespace

QByteArray toUnicodeCMap(const std::vector<std::pair<int, QString>>& mapping) {
    std::vector<std::pair<int, QString>> entries;
    for (const auto& [glyph, text] : mapping)
        if (glyph >= 0 && glyph <= 0xffff && !text.isEmpty()) entries.emplace_back(glyph, text);
    std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    entries.erase(std::unique(entries.begin(), entries.end(), [](const auto& a, const auto& b) { return a.first == b.first; }),
                  entries.end());

    QByteArray out;
    out += "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n";
    out += "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n";
    out += "/CMapName /Adobe-Identity-UCS def\n/CMapType 2 def\n";
    out += "1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange\n";
    for (size_t i = 0; i < entries.size(); i += 100) {
        const size_t n = std::min<size_t>(100, entries.size() - i);
        out += QByteArray::number(qulonglong(n)) + " beginbfchar\n";
        for (size_t k = i; k < i + n; ++k)
            out += '<' + hex4(entries[k].first) + "> <" + utf16Hex(entries[k].second) + ">\n";
        out += "endbfchar\n";
    }
    out += "endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n";
    return out;
}

namespace PDFAppearance {

void setNormalAppearance(PDFAnnotation& annotation, const PDFAppearanceStream& stream) {
    PDFAnnotationImpl& state = Access::impl(annotation);
    std::vector<FontData> fonts;
    fonts.reserve(stream.fonts.size());
    for (const PDFEmbeddedFont& font : stream.fonts) fonts.push_back(prepare(font));
    const float width = float(std::max(0.0, stream.size.width()));
    const float height = float(std::max(0.0, stream.size.height()));
    fz_context* ctx = baseContext();
    pdf_document* doc = state.doc.get();
    pdf_obj* annot = state.obj.get();
    const QByteArray& content = stream.content;
    engineCheck(ctx, Kind::operationFailed, [&] { writeAppearance(ctx, doc, annot, fonts, content, width, height); });
    state.appearanceDirty = false;
}

bool hasNormalAppearance(const PDFAnnotation& annotation) { return engine::hasAppearance(Access::impl(annotation)); }

bool isBooleanEntry(const PDFAnnotation& annotation, const QString& key) {
    const QByteArray name = (key.startsWith(QLatin1Char('/')) ? key.mid(1) : key).toUtf8();
    if (name.isEmpty()) return false;
    fz_context* ctx = baseContext();
    pdf_obj* obj = Access::impl(annotation).obj.get();
    int isBool = 0;
    engineRun(ctx, [&] { isBool = pdf_is_bool(ctx, pdf_dict_gets(ctx, obj, name.constData())); });
    return isBool != 0;
}

bool pageHasAnnotations(const PDFPage& page) {
    fz_context* ctx = baseContext();
    pdf_obj* pageObj = Access::impl(page).obj.get();
    int count = 0;
    engineRun(ctx, [&] { count = pdf_array_len(ctx, pdf_dict_get(ctx, pageObj, PDF_NAME(Annots))); });
    return count > 0;
}

void setCustomWriter(CustomWriter writer) { writerSlot() = std::move(writer); }
const CustomWriter& customWriter() { return writerSlot(); }

}  // namespace PDFAppearance

}  // namespace scrivola
