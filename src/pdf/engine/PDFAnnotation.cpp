// Annotation dictionaries: creation, properties and appearance streams.

#include "pdf/engine/EngineImpl.h"
#include "pdf/engine/EngineInternals.h"
#include "pdf/engine/PDFAppearance.h"

#include <QDateTime>
#include <QUuid>

#include <cmath>

namespace scrivola {

using engine::baseContext;
using engine::engineCheck;
using engine::engineRun;
using engine::ObjRef;
using Kind = PDFEngineError::Kind;

namespace {

const char* subtypeName(PDFAnnotation::Subtype subtype) {
    switch (subtype) {
    case PDFAnnotation::Subtype::freeText: return "FreeText";
    case PDFAnnotation::Subtype::highlight: return "Highlight";
    case PDFAnnotation::Subtype::redact: return "Redact";
    case PDFAnnotation::Subtype::other: break;
    }
    return nullptr;
}

QByteArray keyBytes(const QString& key) {
    QString k = key.startsWith(QLatin1Char('/')) ? key.mid(1) : key;
    return k.toUtf8();
}

// ---- /DA: "/Font size Tf" and a colour operator ----------------------------------------

struct DefaultAppearance {
    QString font;
    double size = 0;
    std::optional<QColor> color;
};

QString decodePdfName(const QString& raw) {
    QByteArray out;
    const QByteArray in = raw.toLatin1();
    for (int i = 0; i < in.size(); ++i) {
        if (in[i] == '#' && i + 2 < in.size()) {
            bool ok = false;
            const int v = in.mid(i + 1, 2).toInt(&ok, 16);
            if (ok) {
                out.append(char(v));
                i += 2;
                continue;
            }
        }
        out.append(in[i]);
    }
    return QString::fromUtf8(out);
}

QByteArray encodePdfName(const QString& name) {
    QByteArray out;
    for (unsigned char c : name.toUtf8()) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                           c == '_' || c == '.' || c == '+' || c == ',';
        if (plain) out.append(char(c));
        else out.append('#').append(QByteArray::number(c, 16).rightJustified(2, '0'));
    }
    return out;
}

double clampUnit(double v) { return std::clamp(v, 0.0, 1.0); }

DefaultAppearance parseDA(const QString& da) {
    DefaultAppearance result;
    // (No regular expression: building one per call made reading the font of thousands of
    // annotations, as the annotations sidebar does, take a noticeable fraction of a second.)
    const QStringList tokens = da.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    std::vector<double> numbers;
    QString lastName;
    for (const QString& t : tokens) {
        bool isNumber = false;
        const double v = t.toDouble(&isNumber);
        if (isNumber) {
            numbers.push_back(v);
            continue;
        }
        if (t.startsWith(QLatin1Char('/'))) {
            lastName = decodePdfName(t.mid(1));
            numbers.clear();
            continue;
        }
        const size_t n = numbers.size();
        if (t == QLatin1String("Tf") && n >= 1) {
            result.font = lastName;
            result.size = numbers.back();
        } else if (t == QLatin1String("g") && n >= 1) {
            const double g = clampUnit(numbers[n - 1]);
            result.color = QColor::fromRgbF(float(g), float(g), float(g));
        } else if (t == QLatin1String("rg") && n >= 3) {
            result.color = QColor::fromRgbF(float(clampUnit(numbers[n - 3])), float(clampUnit(numbers[n - 2])),
                                            float(clampUnit(numbers[n - 1])));
        } else if (t == QLatin1String("k") && n >= 4) {
            result.color = QColor::fromCmykF(float(clampUnit(numbers[n - 4])), float(clampUnit(numbers[n - 3])),
                                             float(clampUnit(numbers[n - 2])), float(clampUnit(numbers[n - 1])))
                               .toRgb();
        }
        numbers.clear();
    }
    return result;
}

QByteArray printDA(const DefaultAppearance& da) {
    QByteArray out;
    const QString font = da.font.isEmpty() ? QStringLiteral("Helvetica") : da.font;
    out += '/' + encodePdfName(font) + ' ' + QByteArray::number(da.size > 0 ? da.size : 12, 'g', 6) + " Tf";
    const QColor c = da.color.value_or(QColor(Qt::black)).toRgb();
    out += ' ' + QByteArray::number(c.redF(), 'g', 4) + ' ' + QByteArray::number(c.greenF(), 'g', 4) + ' ' +
           QByteArray::number(c.blueF(), 'g', 4) + " rg";
    return out;
}

QString pdfDateNow() {
    return QDateTime::currentDateTimeUtc().toString(QStringLiteral("'D:'yyyyMMddHHmmss'Z'"));
}

}  // namespace

// ---- engine helpers ----------------------------------------------------------------------

namespace engine {

pdf_obj* graftAnnotationObject(fz_context* ctx, pdf_document* dst, pdf_obj* annot) {
    return graftAnnotationCopy(ctx, dst, annot, nullptr, false);
}

void translateAnnotation(PDFAnnotationImpl& annot, double dx, double dy) {
    if (dx == 0 && dy == 0) return;
    fz_context* ctx = baseContext();
    pdf_obj* obj = annot.obj.get();
    engineRun(ctx, [&] {
        pdf_obj* rect = pdf_dict_get(ctx, obj, PDF_NAME(Rect));
        if (pdf_is_array(ctx, rect)) {
            fz_rect r = pdf_to_rect(ctx, rect);
            r = fz_translate_rect(r, float(dx), float(dy));
            pdf_dict_put_rect(ctx, obj, PDF_NAME(Rect), r);
        }
        pdf_obj* quads = pdf_dict_get(ctx, obj, PDF_NAME(QuadPoints));
        int n = pdf_array_len(ctx, quads);
        for (int i = 0; i + 1 < n; i += 2) {
            engine::arrayPutReal(ctx, quads, i, pdf_array_get_real(ctx, quads, i) + dx);
            engine::arrayPutReal(ctx, quads, i + 1, pdf_array_get_real(ctx, quads, i + 1) + dy);
        }
    });
}

bool hasAppearance(const PDFAnnotationImpl& annot) {
    fz_context* ctx = baseContext();
    int present = 0;
    engineRun(ctx, [&] {
        present = pdf_is_stream(ctx, pdf_dict_get(ctx, pdf_dict_get(ctx, annot.obj.get(), PDF_NAME(AP)), PDF_NAME(N)));
    });
    return present != 0;
}

namespace {

void writeHighlightAppearance(fz_context* ctx, pdf_document* doc, pdf_obj* annot) {
    fz_buffer* contents = nullptr;
    pdf_obj* resources = nullptr;
    pdf_obj* form = nullptr;
    fz_var(contents);
    fz_var(resources);
    fz_var(form);
    fz_try(ctx) {
        const fz_rect rect = pdf_dict_get_rect(ctx, annot, PDF_NAME(Rect));
        float rgb[3] = {1, 1, 0};
        pdf_obj* c = pdf_dict_get(ctx, annot, PDF_NAME(C));
        int n = pdf_array_len(ctx, c);
        if (n == 1) rgb[0] = rgb[1] = rgb[2] = pdf_array_get_real(ctx, c, 0);
        else if (n == 3)
            for (int i = 0; i < 3; ++i) rgb[i] = pdf_array_get_real(ctx, c, i);
        else if (n == 4) {
            float k = pdf_array_get_real(ctx, c, 3);
            for (int i = 0; i < 3; ++i) rgb[i] = (1 - pdf_array_get_real(ctx, c, i)) * (1 - k);
        }
        pdf_obj* ca = pdf_dict_get(ctx, annot, PDF_NAME(CA));
        float opacity = pdf_is_number(ctx, ca) ? pdf_to_real(ctx, ca) : 1.0f;

        contents = fz_new_buffer(ctx, 256);
        fz_append_printf(ctx, contents, "/H gs %g %g %g rg\n", rgb[0], rgb[1], rgb[2]);
        pdf_obj* quads = pdf_dict_get(ctx, annot, PDF_NAME(QuadPoints));
        int q = pdf_array_len(ctx, quads) / 8;
        if (q == 0) {
            fz_append_printf(ctx, contents, "%g %g %g %g re\n", rect.x0, rect.y0, rect.x1 - rect.x0, rect.y1 - rect.y0);
        }
        for (int i = 0; i < q; ++i) {
            fz_rect b = fz_empty_rect;
            for (int k = 0; k < 4; ++k) {
                fz_point p = fz_make_point(pdf_array_get_real(ctx, quads, i * 8 + k * 2),
                                           pdf_array_get_real(ctx, quads, i * 8 + k * 2 + 1));
                b = fz_include_point_in_rect(b, p);
            }
            fz_append_printf(ctx, contents, "%g %g %g %g re\n", b.x0, b.y0, b.x1 - b.x0, b.y1 - b.y0);
        }
        fz_append_string(ctx, contents, "f\n");

        resources = pdf_new_dict(ctx, doc, 1);
        pdf_obj* states = pdf_dict_put_dict(ctx, resources, PDF_NAME(ExtGState), 1);
        pdf_obj* gs = pdf_dict_puts_dict(ctx, states, "H", 4);
        pdf_dict_put(ctx, gs, PDF_NAME(Type), PDF_NAME(ExtGState));
        pdf_dict_put(ctx, gs, PDF_NAME(BM), PDF_NAME(Multiply));
        pdf_dict_put_real(ctx, gs, PDF_NAME(CA), opacity);
        pdf_dict_put_real(ctx, gs, PDF_NAME(ca), opacity);
        form = pdf_new_xobject(ctx, doc, rect, fz_identity, resources, contents);
        pdf_obj* ap = pdf_dict_put_dict(ctx, annot, PDF_NAME(AP), 1);
        pdf_dict_put(ctx, ap, PDF_NAME(N), form);
    }
    fz_always(ctx) {
        pdf_drop_obj(ctx, form);
        pdf_drop_obj(ctx, resources);
        fz_drop_buffer(ctx, contents);
    }
    fz_catch(ctx) fz_rethrow(ctx);
}

}  // namespace

void refreshAppearance(PDFAnnotationImpl& annot, const PDFPageImpl& page) {
    // Appearances the engine cannot draw itself (the system's text boxes) come from a writer.
    if (const PDFAppearance::CustomWriter& writer = PDFAppearance::customWriter(); writer && annot.self) {
        bool written = false;
        try {
            written = writer(*annot.self);
        } catch (...) {
            written = false;
        }
        if (written) {
            annot.appearanceDirty = false;
            return;
        }
    }
    fz_context* ctx = baseContext();
    pdf_obj* obj = annot.obj.get();
    pdf_document* doc = annot.doc.get();
    const char* subtype = nullptr;
    engineRun(ctx, [&] { subtype = pdf_dict_get_name(ctx, obj, PDF_NAME(Subtype)); });
    const QByteArray type(subtype ? subtype : "");
    if (type == "Highlight") {
        engineRun(ctx, [&] { writeHighlightAppearance(ctx, doc, obj); });
    } else {
        const int num = objectNumber(ctx, obj);
        withLoadedPage(page, [&](fz_context* c, pdf_page* loaded) {
            engineRun(c, [&] {
                fz_rect before = pdf_dict_get_rect(c, obj, PDF_NAME(Rect));
                for (pdf_annot* a = pdf_first_annot(c, loaded); a; a = pdf_next_annot(c, a)) {
                    if (objectNumber(c, pdf_annot_obj(c, a)) != num) continue;
                    pdf_annot_request_resynthesis(c, a);
                    pdf_update_annot(c, a);
                    break;
                }
                // The synthesiser may grow /Rect around what it drew; bounds are the caller's.
                if (!fz_is_empty_rect(before)) pdf_dict_put_rect(c, obj, PDF_NAME(Rect), before);
            });
        });
    }
    engineRun(ctx, [&] { pdf_clean_obj(ctx, obj); });
    annot.appearanceDirty = false;
}

}  // namespace engine

namespace {

// After a property change: redraw now when on a page, or when it is added to one. A change to
// an annotation on a page replaces content the document's earlier revision still holds, unless
// it only moves or resizes it (`replacesContent` false).
void changed(PDFAnnotationImpl& state, bool replacesContent = true) {
    auto page = state.page.lock();
    if (!page) {
        state.appearanceDirty = true;
        return;
    }
    if (replacesContent) engine::noteContentReplaced(Access::impl(*page));
    engine::refreshAppearance(state, Access::impl(*page));
}

}  // namespace

// ---- PDFAnnotation -----------------------------------------------------------------------

PDFAnnotation::PDFAnnotation() : impl_(std::make_unique<PDFAnnotationImpl>()) { impl_->self = this; }
PDFAnnotation::~PDFAnnotation() = default;

PDFAnnotationPtr PDFAnnotation::create(Subtype subtype, const QRectF& bounds) {
    const char* name = subtypeName(subtype);
    if (!name) throw PDFEngineError(Kind::operationFailed, "Unsupported annotation type");
    fz_context* ctx = baseContext();
    pdf_document* doc = nullptr;
    engineCheck(ctx, Kind::operationFailed, [&] { doc = pdf_create_document(ctx); });
    auto annotation = Access::newAnnotation();
    PDFAnnotationImpl& state = Access::impl(*annotation);
    state.doc = engine::DocRef::adopt(doc);

    const QByteArray id = QUuid::createUuid().toString(QUuid::WithoutBraces).toUtf8();
    const QByteArray date = pdfDateNow().toUtf8();
    const fz_rect rect = engine::toFzRect(bounds.normalized());
    const bool markup = subtype == Subtype::highlight;
    const bool freeText = subtype == Subtype::freeText;
    const QByteArray da = printDA({QStringLiteral("Helvetica"), 12, QColor(Qt::black)});
    pdf_obj* ref = nullptr;
    engineCheck(ctx, Kind::operationFailed, [&] {
        pdf_obj* dict = pdf_new_dict(ctx, doc, 8);
        fz_try(ctx) {
            pdf_dict_put(ctx, dict, PDF_NAME(Type), PDF_NAME(Annot));
            pdf_dict_put_name(ctx, dict, PDF_NAME(Subtype), name);
            pdf_dict_put_rect(ctx, dict, PDF_NAME(Rect), rect);
            pdf_dict_put_int(ctx, dict, PDF_NAME(F), 4);  // Print
            pdf_dict_puts_drop(ctx, dict, "NM", pdf_new_text_string(ctx, id.constData()));
            pdf_dict_put_text_string(ctx, dict, PDF_NAME(M), date.constData());
            pdf_dict_put_text_string(ctx, dict, PDF_NAME(CreationDate), date.constData());
            if (markup) {
                pdf_obj* quads = pdf_dict_put_array(ctx, dict, PDF_NAME(QuadPoints), 8);
                const float q[8] = {rect.x0, rect.y1, rect.x1, rect.y1, rect.x0, rect.y0, rect.x1, rect.y0};
                for (float v : q) pdf_array_push_real(ctx, quads, v);
            }
            if (freeText) pdf_dict_put_string(ctx, dict, PDF_NAME(DA), da.constData(), size_t(da.size()));
            ref = pdf_add_object(ctx, doc, dict);
        }
        fz_always(ctx) pdf_drop_obj(ctx, dict);
        fz_catch(ctx) fz_rethrow(ctx);
    });
    state.obj = ObjRef::adopt(ref);
    return annotation;
}

PDFAnnotation::Subtype PDFAnnotation::subtype() const {
    const QString t = type();
    if (t == QLatin1String("FreeText")) return Subtype::freeText;
    if (t == QLatin1String("Highlight")) return Subtype::highlight;
    if (t == QLatin1String("Redact")) return Subtype::redact;
    return Subtype::other;
}

QString PDFAnnotation::type() const {
    fz_context* ctx = baseContext();
    const char* name = nullptr;
    engineRun(ctx, [&] { name = pdf_dict_get_name(ctx, impl_->obj.get(), PDF_NAME(Subtype)); });
    return engine::fromUtf8(name);
}

PDFPagePtr PDFAnnotation::page() const { return impl_->page.lock(); }

QRectF PDFAnnotation::bounds() const {
    fz_context* ctx = baseContext();
    fz_rect r = fz_empty_rect;
    engineRun(ctx, [&] { r = pdf_dict_get_rect(ctx, impl_->obj.get(), PDF_NAME(Rect)); });
    return engine::toQRect(r).translated(-impl_->originX, -impl_->originY);
}

void PDFAnnotation::setBounds(const QRectF& bounds) {
    fz_context* ctx = baseContext();
    const QRectF target = bounds.normalized().translated(impl_->originX, impl_->originY);
    const QRectF old = this->bounds().translated(impl_->originX, impl_->originY);
    const fz_rect rect = engine::toFzRect(target);
    // Quad points follow the box (moved and scaled with it).
    const double sx = old.width() > 0 ? target.width() / old.width() : 1;
    const double sy = old.height() > 0 ? target.height() / old.height() : 1;
    const double ox = old.left(), oy = old.top(), tx = target.left(), ty = target.top();
    pdf_obj* obj = impl_->obj.get();
    engineCheck(ctx, Kind::operationFailed, [&] {
        pdf_dict_put_rect(ctx, obj, PDF_NAME(Rect), rect);
        pdf_obj* quads = pdf_dict_get(ctx, obj, PDF_NAME(QuadPoints));
        int n = pdf_array_len(ctx, quads);
        for (int i = 0; i + 1 < n; i += 2) {
            engine::arrayPutReal(ctx, quads, i, tx + (pdf_array_get_real(ctx, quads, i) - ox) * sx);
            engine::arrayPutReal(ctx, quads, i + 1, ty + (pdf_array_get_real(ctx, quads, i + 1) - oy) * sy);
        }
    });
    changed(*impl_, false);
}

QString PDFAnnotation::contents() const {
    fz_context* ctx = baseContext();
    const char* text = nullptr;
    engineRun(ctx, [&] { text = pdf_dict_get_text_string(ctx, impl_->obj.get(), PDF_NAME(Contents)); });
    return engine::fromUtf8(text);
}

std::optional<QDateTime> PDFAnnotation::modificationDate() const {
    fz_context* ctx = baseContext();
    bool present = false;
    int64_t seconds = -1;
    engineRun(ctx, [&] {
        present = pdf_is_string(ctx, pdf_dict_get(ctx, impl_->obj.get(), PDF_NAME(M)));
        if (present) seconds = pdf_dict_get_date(ctx, impl_->obj.get(), PDF_NAME(M));
    });
    // The library gives -1 for a text that is not a date.
    if (!present || seconds == -1) return std::nullopt;
    return QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC);
}

void PDFAnnotation::setContents(const QString& text) {
    fz_context* ctx = baseContext();
    const QByteArray utf8 = text.toUtf8();
    engineCheck(ctx, Kind::operationFailed,
                [&] { pdf_dict_put_text_string(ctx, impl_->obj.get(), PDF_NAME(Contents), utf8.constData()); });
    changed(*impl_);
}

namespace {

DefaultAppearance readDA(const PDFAnnotationImpl& state) {
    fz_context* ctx = baseContext();
    const char* da = nullptr;
    engineRun(ctx, [&] { da = pdf_to_str_buf(ctx, pdf_dict_get(ctx, state.obj.get(), PDF_NAME(DA))); });
    return parseDA(QString::fromLatin1(da ? da : ""));
}

void writeDA(PDFAnnotationImpl& state, const DefaultAppearance& da) {
    fz_context* ctx = baseContext();
    const QByteArray text = printDA(da);
    engineCheck(ctx, Kind::operationFailed, [&] {
        pdf_dict_put_string(ctx, state.obj.get(), PDF_NAME(DA), text.constData(), size_t(text.size()));
    });
    changed(state);
}

}  // namespace

QString PDFAnnotation::fontName() const { return readDA(*impl_).font; }
double PDFAnnotation::fontSize() const { return readDA(*impl_).size; }
std::optional<QColor> PDFAnnotation::fontColor() const { return readDA(*impl_).color; }

void PDFAnnotation::setFont(const QString& name, double size) {
    DefaultAppearance da = readDA(*impl_);
    da.font = name;
    da.size = size;
    writeDA(*impl_, da);
}

void PDFAnnotation::setFontColor(const QColor& color) {
    DefaultAppearance da = readDA(*impl_);
    da.color = color;
    writeDA(*impl_, da);
}

std::optional<QColor> PDFAnnotation::color() const {
    fz_context* ctx = baseContext();
    float v[4] = {0, 0, 0, 0};
    int n = 0;
    engineRun(ctx, [&] {
        pdf_obj* c = pdf_dict_get(ctx, impl_->obj.get(), PDF_NAME(C));
        n = pdf_array_len(ctx, c);
        for (int i = 0; i < n && i < 4; ++i) v[i] = pdf_array_get_real(ctx, c, i);
    });
    auto u = [](float x) { return std::clamp(x, 0.0f, 1.0f); };
    if (n == 1) return QColor::fromRgbF(u(v[0]), u(v[0]), u(v[0]));
    if (n == 3) return QColor::fromRgbF(u(v[0]), u(v[1]), u(v[2]));
    if (n == 4) return QColor::fromCmykF(u(v[0]), u(v[1]), u(v[2]), u(v[3])).toRgb();
    return std::nullopt;
}

void PDFAnnotation::setColor(const QColor& color) {
    fz_context* ctx = baseContext();
    pdf_obj* obj = impl_->obj.get();
    const bool clear = !color.isValid() || color.alpha() == 0;
    const QColor rgb = color.toRgb();
    const float r = float(rgb.redF()), g = float(rgb.greenF()), b = float(rgb.blueF());
    engineCheck(ctx, Kind::operationFailed, [&] {
        if (clear) {
            pdf_dict_del(ctx, obj, PDF_NAME(C));
        } else {
            pdf_obj* c = pdf_dict_put_array(ctx, obj, PDF_NAME(C), 3);
            pdf_array_push_real(ctx, c, r);
            pdf_array_push_real(ctx, c, g);
            pdf_array_push_real(ctx, c, b);
        }
    });
    changed(*impl_);
}

PDFAnnotation::Alignment PDFAnnotation::alignment() const {
    fz_context* ctx = baseContext();
    int q = 0;
    engineRun(ctx, [&] { q = pdf_dict_get_int(ctx, impl_->obj.get(), PDF_NAME(Q)); });
    return q == 1 ? Alignment::center : q == 2 ? Alignment::right : Alignment::left;
}

void PDFAnnotation::setAlignment(Alignment alignment) {
    fz_context* ctx = baseContext();
    const int q = alignment == Alignment::center ? 1 : alignment == Alignment::right ? 2 : 0;
    engineCheck(ctx, Kind::operationFailed, [&] { pdf_dict_put_int(ctx, impl_->obj.get(), PDF_NAME(Q), q); });
    changed(*impl_);
}

std::optional<double> PDFAnnotation::borderWidth() const {
    fz_context* ctx = baseContext();
    double width = -1;
    engineRun(ctx, [&] {
        pdf_obj* obj = impl_->obj.get();
        pdf_obj* bs = pdf_dict_get(ctx, obj, PDF_NAME(BS));
        pdf_obj* border = pdf_dict_get(ctx, obj, PDF_NAME(Border));
        if (pdf_is_dict(ctx, bs)) {
            pdf_obj* w = pdf_dict_get(ctx, bs, PDF_NAME(W));
            width = pdf_is_number(ctx, w) ? pdf_to_real(ctx, w) : 1.0;
        } else if (pdf_array_len(ctx, border) >= 3) {
            width = pdf_array_get_real(ctx, border, 2);
        }
    });
    if (width < 0) return std::nullopt;
    return width;
}

void PDFAnnotation::setBorderWidth(double width) {
    fz_context* ctx = baseContext();
    const double w = std::max(0.0, width);
    engineCheck(ctx, Kind::operationFailed, [&] {
        pdf_obj* obj = impl_->obj.get();
        pdf_obj* bs = pdf_dict_put_dict(ctx, obj, PDF_NAME(BS), 2);
        pdf_dict_put(ctx, bs, PDF_NAME(S), PDF_NAME(S));
        pdf_dict_put_real(ctx, bs, PDF_NAME(W), w);
        pdf_dict_del(ctx, obj, PDF_NAME(Border));
    });
    changed(*impl_);
}

void PDFAnnotation::setQuadRects(const std::vector<QRectF>& rects) {
    fz_context* ctx = baseContext();
    std::vector<float> values;
    values.reserve(rects.size() * 8);
    for (const QRectF& raw : rects) {
        const QRectF r = raw.normalized().translated(impl_->originX, impl_->originY);
        const float l = float(r.left()), t = float(r.bottom()), rt = float(r.right()), b = float(r.top());
        // upper-left, upper-right, lower-left, lower-right (y up)
        values.insert(values.end(), {l, t, rt, t, l, b, rt, b});
    }
    const float* data = values.data();
    const int count = int(values.size());
    engineCheck(ctx, Kind::operationFailed, [&] {
        pdf_obj* obj = impl_->obj.get();
        if (count == 0) {
            pdf_dict_del(ctx, obj, PDF_NAME(QuadPoints));
        } else {
            pdf_obj* quads = pdf_dict_put_array(ctx, obj, PDF_NAME(QuadPoints), count);
            for (int i = 0; i < count; ++i) pdf_array_push_real(ctx, quads, data[i]);
        }
    });
    changed(*impl_);
}

std::vector<QRectF> PDFAnnotation::quadRects() const {
    fz_context* ctx = baseContext();
    int n = 0;
    engineRun(ctx, [&] { n = pdf_array_len(ctx, pdf_dict_get(ctx, impl_->obj.get(), PDF_NAME(QuadPoints))); });
    const int quads = n / 8;
    std::vector<float> v(size_t(quads) * 8, 0.0f);
    float* out = v.data();
    engineRun(ctx, [&] {
        pdf_obj* array = pdf_dict_get(ctx, impl_->obj.get(), PDF_NAME(QuadPoints));
        for (int i = 0; i < quads * 8; ++i) out[i] = pdf_array_get_real(ctx, array, i);
    });
    std::vector<QRectF> result;
    for (int q = 0; q < quads; ++q) {
        double x0 = v[size_t(q * 8)], x1 = x0, y0 = v[size_t(q * 8 + 1)], y1 = y0;
        for (int k = 1; k < 4; ++k) {
            x0 = std::min<double>(x0, v[size_t(q * 8 + k * 2)]);
            x1 = std::max<double>(x1, v[size_t(q * 8 + k * 2)]);
            y0 = std::min<double>(y0, v[size_t(q * 8 + k * 2 + 1)]);
            y1 = std::max<double>(y1, v[size_t(q * 8 + k * 2 + 1)]);
        }
        result.emplace_back(QRectF(x0 - impl_->originX, y0 - impl_->originY, x1 - x0, y1 - y0));
    }
    return result;
}

bool PDFAnnotation::hasValue(const QString& key) const {
    fz_context* ctx = baseContext();
    const QByteArray k = keyBytes(key);
    int present = 0;
    engineRun(ctx, [&] { present = pdf_dict_gets(ctx, impl_->obj.get(), k.constData()) != nullptr; });
    return present != 0;
}

std::optional<bool> PDFAnnotation::boolValue(const QString& key) const {
    fz_context* ctx = baseContext();
    const QByteArray k = keyBytes(key);
    int kind = 0;  // 0 absent/other, 1 bool, 2 number
    int flag = 0;
    double number = 0;
    engineRun(ctx, [&] {
        pdf_obj* v = pdf_dict_gets(ctx, impl_->obj.get(), k.constData());
        if (pdf_is_bool(ctx, v)) {
            kind = 1;
            flag = pdf_to_bool(ctx, v);
        } else if (pdf_is_number(ctx, v)) {
            kind = 2;
            number = pdf_to_real(ctx, v);
        }
    });
    if (kind == 1) return flag != 0;
    if (kind == 2) return number != 0;
    return std::nullopt;
}

void PDFAnnotation::setBoolValue(const QString& key, bool value) {
    fz_context* ctx = baseContext();
    const QByteArray k = keyBytes(key);
    if (k.isEmpty()) return;
    pdf_obj* obj = impl_->obj.get();
    engineCheck(ctx, Kind::operationFailed, [&] {
        pdf_dict_puts(ctx, obj, k.constData(), value ? PDF_TRUE : PDF_FALSE);
        pdf_clean_obj(ctx, obj);  // a private entry does not call for a new appearance
    });
}

}  // namespace scrivola
