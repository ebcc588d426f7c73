// Replacement pages: flattened copies, whiteout by redaction, pictures drawn into a page.

#include "pdf/engine/PDFPageReplacement.h"

#include "pdf/engine/EngineImpl.h"
#include "pdf/engine/EngineInternals.h"

#include <QBuffer>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace scrivola::PDFPageReplacement {

using engine::baseContext;
using engine::engineCheck;
using engine::engineRun;
using engine::ObjRef;
using Kind = PDFEngineError::Kind;

namespace {

constexpr int kFlagHidden = 1 << 1;
constexpr int kFlagNoView = 1 << 5;
constexpr double kMaxImagePixelsPerPoint = 300.0 / 72.0;

// A fresh resource name of the form <prefix><n> that `dict` does not use yet.
void uniqueName(fz_context* ctx, pdf_obj* dict, const char* prefix, char* out, size_t size) {
    for (int n = 0;; ++n) {
        std::snprintf(out, size, "%s%d", prefix, n);
        if (!pdf_dict_gets(ctx, dict, out)) return;
    }
}

// A copy of `value` that shares nothing direct with it (indirect references are kept).
pdf_obj* ownCopy(fz_context* ctx, pdf_obj* value) {
    return pdf_is_indirect(ctx, value) ? pdf_keep_obj(ctx, value) : pdf_deep_copy_obj(ctx, value);
}

// The normal appearance stream of an annotation as it is shown now (the /AS state when /N
// holds several), or null.
pdf_obj* normalAppearance(fz_context* ctx, pdf_obj* annot) {
    pdf_obj* n = pdf_dict_get(ctx, pdf_dict_get(ctx, annot, PDF_NAME(AP)), PDF_NAME(N));
    if (pdf_is_stream(ctx, n)) return n;
    if (pdf_is_dict(ctx, n)) {
        pdf_obj* state = pdf_dict_get(ctx, annot, PDF_NAME(AS));
        pdf_obj* chosen = pdf_is_name(ctx, state) ? pdf_dict_get(ctx, n, state) : nullptr;
        if (pdf_is_stream(ctx, chosen)) return chosen;
    }
    return nullptr;
}

// The matrix that maps an appearance form onto its annotation's /Rect (the form's /BBox as
// transformed by its /Matrix, fitted into the rectangle), or false when there is nothing to draw.
bool appearancePlacement(fz_context* ctx, pdf_obj* annot, pdf_obj* form, fz_matrix* placement) {
    const fz_rect rect = pdf_dict_get_rect(ctx, annot, PDF_NAME(Rect));
    const fz_rect bbox = pdf_dict_get_rect(ctx, form, PDF_NAME(BBox));
    const fz_matrix matrix = pdf_dict_get_matrix(ctx, form, PDF_NAME(Matrix));
    const fz_rect shown = fz_transform_rect(bbox, matrix);
    const float bw = shown.x1 - shown.x0, bh = shown.y1 - shown.y0;
    const float rw = rect.x1 - rect.x0, rh = rect.y1 - rect.y0;
    if (!(rw > 0) || !(rh > 0)) return false;
    const float sx = bw > 0 ? rw / bw : 1;
    const float sy = bh > 0 ? rh / bh : 1;
    *placement = fz_make_matrix(sx, 0, 0, sy, rect.x0 - shown.x0 * sx, rect.y0 - shown.y0 * sy);
    return true;
}

bool isSubtype(fz_context* ctx, pdf_obj* annot, pdf_obj* name) {
    return pdf_name_eq(ctx, pdf_dict_get(ctx, annot, PDF_NAME(Subtype)), name);
}

// An indirect copy of a link annotation, sharing nothing direct with it. Runs inside fz_try.
[[gnu::noinline]] pdf_obj* copyLink(fz_context* ctx, pdf_document* doc, pdf_obj* annot) {
    pdf_obj* copy = pdf_deep_copy_obj(ctx, annot);
    pdf_obj* ref = nullptr;
    fz_try(ctx) {
        pdf_dict_del(ctx, copy, PDF_NAME(Popup));
        pdf_dict_del(ctx, copy, PDF_NAME(StructParent));
        ref = pdf_add_object(ctx, doc, copy);
    }
    fz_always(ctx) pdf_drop_obj(ctx, copy);
    fz_catch(ctx) fz_rethrow(ctx);
    return ref;
}

// Builds the flattened copy of `src`; runs inside fz_try. The page's own dictionary, resources
// and annotations are only read.
pdf_obj* buildFlattenedPage(fz_context* ctx, pdf_document* doc, pdf_obj* src) {
    pdf_obj* dict = nullptr;
    pdf_obj* resources = nullptr;
    pdf_obj* contents = nullptr;
    fz_buffer* before = nullptr;
    fz_buffer* after = nullptr;
    pdf_obj* pageRef = nullptr;
    fz_var(dict);
    fz_var(resources);
    fz_var(contents);
    fz_var(before);
    fz_var(after);
    fz_var(pageRef);
    fz_try(ctx) {
        dict = pdf_new_dict(ctx, doc, 16);
        // Entries of the page itself; those the new content, resources and annotations replace
        // are left out, as is a thumbnail that would show the old content.
        const int n = pdf_dict_len(ctx, src);
        for (int i = 0; i < n; ++i) {
            pdf_obj* key = pdf_dict_get_key(ctx, src, i);
            if (pdf_name_eq(ctx, key, PDF_NAME(Parent)) || pdf_name_eq(ctx, key, PDF_NAME(Annots)) ||
                pdf_name_eq(ctx, key, PDF_NAME(Contents)) || pdf_name_eq(ctx, key, PDF_NAME(Resources)) ||
                !std::strcmp(pdf_to_name(ctx, key), "Thumb") || !std::strcmp(pdf_to_name(ctx, key), "B"))
                continue;
            pdf_dict_put_drop(ctx, dict, key, ownCopy(ctx, pdf_dict_get_val(ctx, src, i)));
        }
        // Inherited entries become the page's own.
        pdf_obj* inherited[] = {PDF_NAME(MediaBox), PDF_NAME(CropBox), PDF_NAME(Rotate)};
        for (pdf_obj* key : inherited) {
            pdf_obj* value = pdf_dict_get_inheritable(ctx, src, key);
            if (value && !pdf_dict_get(ctx, dict, key)) pdf_dict_put_drop(ctx, dict, key, ownCopy(ctx, value));
        }
        if (!pdf_dict_get(ctx, dict, PDF_NAME(MediaBox))) {
            const fz_rect media = engine::mediaBoxOf(src);
            pdf_dict_put_rect(ctx, dict, PDF_NAME(MediaBox), media);
        }
        pdf_dict_put(ctx, dict, PDF_NAME(Type), PDF_NAME(Page));

        // Resources: a private copy of the dictionary and of its XObject table, so that adding
        // the annotation forms never touches what other pages share.
        pdf_obj* oldResources = pdf_dict_get_inheritable(ctx, src, PDF_NAME(Resources));
        resources = pdf_is_dict(ctx, oldResources) ? pdf_copy_dict(ctx, oldResources) : pdf_new_dict(ctx, doc, 2);
        pdf_obj* xobjects = pdf_dict_get(ctx, resources, PDF_NAME(XObject));
        xobjects = pdf_is_dict(ctx, xobjects) ? pdf_copy_dict(ctx, xobjects) : pdf_new_dict(ctx, doc, 4);
        pdf_dict_put_drop(ctx, resources, PDF_NAME(XObject), xobjects);
        pdf_dict_put(ctx, dict, PDF_NAME(Resources), resources);

        // Contents: the old streams between q and Q (so that whatever state they leave behind
        // cannot shift what is drawn after them), then the annotations.
        before = fz_new_buffer_from_copied_data(ctx, reinterpret_cast<const unsigned char*>("q\n"), 2);
        after = fz_new_buffer(ctx, 256);
        fz_append_string(ctx, after, "Q\n");
        contents = pdf_new_array(ctx, doc, 4);
        pdf_array_push_drop(ctx, contents, pdf_add_stream(ctx, doc, before, nullptr, 0));
        pdf_obj* old = pdf_dict_get(ctx, src, PDF_NAME(Contents));
        if (pdf_is_array(ctx, old)) {
            const int k = pdf_array_len(ctx, old);
            for (int i = 0; i < k; ++i)
                if (pdf_is_stream(ctx, pdf_array_get(ctx, old, i))) pdf_array_push(ctx, contents, pdf_array_get(ctx, old, i));
        } else if (pdf_is_stream(ctx, old)) {
            pdf_array_push(ctx, contents, old);
        }

        pdf_obj* annots = pdf_dict_get(ctx, src, PDF_NAME(Annots));
        const int count = pdf_array_len(ctx, annots);
        pdf_obj* links = nullptr;
        for (int i = 0; i < count; ++i) {
            pdf_obj* annot = pdf_array_get(ctx, annots, i);
            if (!pdf_is_dict(ctx, annot) || isSubtype(ctx, annot, PDF_NAME(Popup))) continue;
            if (isSubtype(ctx, annot, PDF_NAME(Link))) {
                // Links stay links on the new page.
                pdf_obj* ref = copyLink(ctx, doc, annot);
                if (!links) links = pdf_dict_put_array(ctx, dict, PDF_NAME(Annots), 4);
                pdf_array_push_drop(ctx, links, ref);
                continue;
            }
            const int flags = pdf_dict_get_int(ctx, annot, PDF_NAME(F));
            if (flags & (kFlagHidden | kFlagNoView)) continue;
            pdf_obj* form = normalAppearance(ctx, annot);
            fz_matrix placement = fz_identity;
            if (!form || !appearancePlacement(ctx, annot, form, &placement)) continue;
            if (!pdf_dict_get(ctx, form, PDF_NAME(Subtype))) {
                pdf_dict_put(ctx, form, PDF_NAME(Type), PDF_NAME(XObject));
                pdf_dict_put(ctx, form, PDF_NAME(Subtype), PDF_NAME(Form));
            }
            char name[32];
            uniqueName(ctx, xobjects, "ScrivolaAnnot", name, sizeof name);
            pdf_dict_puts(ctx, xobjects, name, form);
            fz_append_printf(ctx, after, "q %g %g %g %g %g %g cm /%s Do Q\n", placement.a, placement.b, placement.c,
                             placement.d, placement.e, placement.f, name);
        }
        pdf_array_push_drop(ctx, contents, pdf_add_stream(ctx, doc, after, nullptr, 0));
        pdf_dict_put(ctx, dict, PDF_NAME(Contents), contents);

        pageRef = pdf_add_object(ctx, doc, dict);
        // Links belong to the new page.
        pdf_obj* kept = pdf_dict_get(ctx, pageRef, PDF_NAME(Annots));
        for (int i = 0, k = pdf_array_len(ctx, kept); i < k; ++i)
            pdf_dict_put(ctx, pdf_array_get(ctx, kept, i), PDF_NAME(P), pageRef);
    }
    fz_always(ctx) {
        fz_drop_buffer(ctx, after);
        fz_drop_buffer(ctx, before);
        pdf_drop_obj(ctx, contents);
        pdf_drop_obj(ctx, resources);
        pdf_drop_obj(ctx, dict);
    }
    fz_catch(ctx) {
        pdf_drop_obj(ctx, pageRef);
        fz_rethrow(ctx);
    }
    return pageRef;
}

// Appends a content stream to the page's /Contents (which buildFlattenedPage made an array,
// and which redaction may have turned into a single stream). Runs inside fz_try.
void appendContent(fz_context* ctx, pdf_document* doc, pdf_obj* page, fz_buffer* content) {
    pdf_obj* stream = pdf_add_stream(ctx, doc, content, nullptr, 0);
    // Held while the entry is replaced by an array, which drops the dictionary's reference.
    pdf_obj* contents = pdf_keep_obj(ctx, pdf_dict_get(ctx, page, PDF_NAME(Contents)));
    fz_try(ctx) {
        if (pdf_is_array(ctx, contents)) {
            pdf_array_push(ctx, contents, stream);
        } else {
            pdf_obj* array = pdf_dict_put_array(ctx, page, PDF_NAME(Contents), 2);
            if (pdf_is_stream(ctx, contents)) pdf_array_push(ctx, array, contents);
            pdf_array_push(ctx, array, stream);
        }
    }
    fz_always(ctx) {
        pdf_drop_obj(ctx, contents);
        pdf_drop_obj(ctx, stream);
    }
    fz_catch(ctx) fz_rethrow(ctx);
}

// Removes the link annotations of `page` that overlap `area` (user space). Runs inside fz_try.
void dropLinksOver(fz_context* ctx, pdf_obj* page, fz_rect area) {
    pdf_obj* annots = pdf_dict_get(ctx, page, PDF_NAME(Annots));
    for (int i = pdf_array_len(ctx, annots) - 1; i >= 0; --i) {
        pdf_obj* annot = pdf_array_get(ctx, annots, i);
        if (!isSubtype(ctx, annot, PDF_NAME(Link))) continue;
        const fz_rect r = pdf_dict_get_rect(ctx, annot, PDF_NAME(Rect));
        if (!fz_is_empty_rect(fz_intersect_rect(r, area))) pdf_array_delete(ctx, annots, i);
    }
}

// Redacts `area` (user space) on a loaded page: text and image pixels under it are removed,
// nothing is painted. Runs inside fz_try.
void redactArea(fz_context* ctx, pdf_document* doc, pdf_page* page, fz_rect area) {
    pdf_annot* annot = pdf_create_annot(ctx, page, PDF_ANNOT_REDACT);  // a reference of our own
    fz_try(ctx) {
        // The rectangle is written in user space directly: the setters would apply the page's
        // rotation and crop box.
        pdf_obj* obj = pdf_annot_obj(ctx, annot);
        pdf_dict_put_rect(ctx, obj, PDF_NAME(Rect), area);
        pdf_dict_del(ctx, obj, PDF_NAME(QuadPoints));
        pdf_redact_options options;
        options.black_boxes = 0;
        options.image_method = PDF_REDACT_IMAGE_PIXELS;
        pdf_redact_page(ctx, doc, page, &options);
    }
    fz_always(ctx) pdf_drop_annot(ctx, annot);
    fz_catch(ctx) fz_rethrow(ctx);
}

// The media box origin and the page's rotation, for conversions from page space.
struct PageFrame {
    fz_rect media{};
    int rotation = 0;
};

PageFrame frameOf(const PDFPage& page) {
    PageFrame frame;
    frame.media = engine::mediaBoxOf(Access::impl(page).obj.get());
    frame.rotation = page.rotation();
    return frame;
}

// Wraps a new page object (not in the tree) of the page's document.
PDFPagePtr wrapNew(const PDFPage& original, pdf_obj* pageObj) {
    const PDFPageImpl& state = Access::impl(original);
    ObjRef ref = ObjRef::adopt(pageObj);
    auto owner = state.owner.lock();
    if (!owner || Access::impl(*owner).doc.get() != state.doc.get())
        throw PDFEngineError(Kind::operationFailed, "The page no longer belongs to an open document");
    PDFPagePtr page = Access::impl(*owner).wrapPage(owner, pageObj);
    if (!page) throw PDFEngineError(Kind::operationFailed, "The new page could not be created");
    return page;
}

PDFPagePtr makeFlattenedCopy(const PDFPage& page) {
    const PDFPageImpl& state = Access::impl(page);
    fz_context* ctx = baseContext();
    pdf_document* doc = state.doc.get();
    pdf_obj* src = state.obj.get();
    // Annotations without an appearance get one first, exactly as they are drawn on screen.
    if (engine::pageIndex(state) >= 0)
        engine::withLoadedPage(state, [](fz_context* c, pdf_page* loaded) { engineRun(c, [&] { pdf_update_page(c, loaded); }); });
    pdf_obj* copy = nullptr;
    engineCheck(ctx, Kind::operationFailed, [&] { copy = buildFlattenedPage(ctx, doc, src); });
    return wrapNew(page, copy);
}

// The picture as PNG bytes, downscaled to at most kMaxImagePixelsPerPoint of its placed size.
QByteArray encodedPicture(const QImage& image, QSizeF placedPoints) {
    QImage picture = image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    const double maxW = std::max(1.0, std::ceil(placedPoints.width() * kMaxImagePixelsPerPoint));
    const double maxH = std::max(1.0, std::ceil(placedPoints.height() * kMaxImagePixelsPerPoint));
    if (picture.width() > maxW || picture.height() > maxH) {
        const QSize target(int(std::min<double>(picture.width(), maxW)), int(std::min<double>(picture.height(), maxH)));
        picture = picture.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!picture.save(&buffer, "PNG")) return {};
    return bytes;
}

// Maps the image's unit square onto `rect` (page space) so that it is upright when the page is
// shown with `rotation`, and into user space.
QTransform pictureMatrix(const QRectF& rect, const PageFrame& frame) {
    const double w = frame.media.x1 - frame.media.x0;
    const double h = frame.media.y1 - frame.media.y0;
    // Page space -> shown page (y up): /Rotate turns the page clockwise.
    QTransform shown;
    shown.rotate(-frame.rotation);
    const QRectF turned = shown.mapRect(QRectF(0, 0, w, h));
    shown = shown * QTransform::fromTranslate(-turned.left(), -turned.top());
    const QRectF target = shown.mapRect(rect);
    const QTransform unitToShown(target.width(), 0, 0, target.height(), target.left(), target.top());
    return unitToShown * shown.inverted() * QTransform::fromTranslate(frame.media.x0, frame.media.y0);
}

bool isPageReference(fz_context* ctx, pdf_obj* value, int from) {
    return pdf_is_indirect(ctx, value) && pdf_to_num(ctx, value) == from;
}

// Replaces, inside the direct parts of `obj`, references to object `from` by `to`. Runs inside
// fz_try.
int retargetIn(fz_context* ctx, pdf_obj* obj, int from, pdf_obj* to, int depth) {
    if (depth > 64) return 0;
    int changed = 0;
    if (pdf_is_array(ctx, obj)) {
        const int n = pdf_array_len(ctx, obj);
        for (int i = 0; i < n; ++i) {
            pdf_obj* item = pdf_array_get(ctx, obj, i);
            if (isPageReference(ctx, item, from)) {
                pdf_array_put(ctx, obj, i, to);
                ++changed;
            } else if (!pdf_is_indirect(ctx, item)) {
                changed += retargetIn(ctx, item, from, to, depth + 1);
            }
        }
    } else if (pdf_is_dict(ctx, obj)) {
        const int n = pdf_dict_len(ctx, obj);
        for (int i = 0; i < n; ++i) {
            pdf_obj* value = pdf_dict_get_val(ctx, obj, i);
            if (isPageReference(ctx, value, from)) {
                pdf_dict_put(ctx, obj, pdf_dict_get_key(ctx, obj, i), to);
                ++changed;
            } else if (!pdf_is_indirect(ctx, value)) {
                changed += retargetIn(ctx, value, from, to, depth + 1);
            }
        }
    }
    return changed;
}

}  // namespace

PDFPagePtr flattenedCopy(const PDFPage& page) { return makeFlattenedCopy(page); }

PDFPagePtr whitedOutCopy(const PDFPage& page, const QRectF& rect) {
    const PageFrame frame = frameOf(page);
    const QRectF media(0, 0, frame.media.x1 - frame.media.x0, frame.media.y1 - frame.media.y0);
    const QRectF clipped = rect.normalized() & media;
    if (clipped.isEmpty()) throw PDFEngineError(Kind::operationFailed, "The rectangle lies outside the page");
    const fz_rect area = engine::toFzRect(clipped.translated(frame.media.x0, frame.media.y0));

    PDFPagePtr copy = makeFlattenedCopy(page);
    const PDFPageImpl& state = Access::impl(*copy);
    pdf_document* doc = state.doc.get();
    pdf_obj* pageObj = state.obj.get();
    fz_context* ctx = baseContext();
    engineCheck(ctx, Kind::operationFailed, [&] { dropLinksOver(ctx, pageObj, area); });

    engine::EngineStatus status;
    const bool loaded = engine::withLoadedPage(state, [&](fz_context* c, pdf_page* p) {
        status = engineRun(c, [&] { redactArea(c, doc, p, area); });
    });
    if (!loaded || !status.ok)
        throw PDFEngineError(Kind::operationFailed, loaded ? status.message : "The page cannot be loaded");

    engineCheck(ctx, Kind::operationFailed, [&] {
        fz_buffer* white = fz_new_buffer(ctx, 96);
        fz_try(ctx) {
            fz_append_printf(ctx, white, "q 1 g %g %g %g %g re f Q\n", area.x0, area.y0, area.x1 - area.x0, area.y1 - area.y0);
            appendContent(ctx, doc, pageObj, white);
        }
        fz_always(ctx) fz_drop_buffer(ctx, white);
        fz_catch(ctx) fz_rethrow(ctx);
    });
    return copy;
}

PDFPagePtr copyWithImage(const PDFPage& page, const QImage& image, const QRectF& rect) {
    const QRectF target = rect.normalized();
    if (image.isNull() || !(target.width() > 0) || !(target.height() > 0))
        throw PDFEngineError(Kind::operationFailed, "Nothing to draw");
    const QByteArray png = encodedPicture(image, target.size());
    if (png.isEmpty()) throw PDFEngineError(Kind::operationFailed, "The picture cannot be encoded");
    const PageFrame frame = frameOf(page);
    const QTransform m = pictureMatrix(target, frame);
    const QRectF crop = page.bounds(PDFBox::cropBox).translated(frame.media.x0, frame.media.y0);

    PDFPagePtr copy = makeFlattenedCopy(page);
    const PDFPageImpl& state = Access::impl(*copy);
    pdf_document* doc = state.doc.get();
    pdf_obj* pageObj = state.obj.get();
    fz_context* ctx = baseContext();
    const auto* data = reinterpret_cast<const unsigned char*>(png.constData());
    const size_t size = size_t(png.size());
    engineCheck(ctx, Kind::operationFailed, [&] {
        pdf_obj* imageRef = nullptr;
        fz_buffer* content = nullptr;
        fz_var(imageRef);
        fz_var(content);
        fz_try(ctx) {
            imageRef = engine::addImageObject(ctx, doc, data, size);
            pdf_obj* xobjects = pdf_dict_get(ctx, pdf_dict_get(ctx, pageObj, PDF_NAME(Resources)), PDF_NAME(XObject));
            char name[32];
            uniqueName(ctx, xobjects, "ScrivolaImage", name, sizeof name);
            pdf_dict_puts(ctx, xobjects, name, imageRef);
            content = fz_new_buffer(ctx, 160);
            fz_append_printf(ctx, content, "q %g %g %g %g re W n %g %g %g %g %g %g cm /%s Do Q\n", crop.left(), crop.top(),
                             crop.width(), crop.height(), m.m11(), m.m12(), m.m21(), m.m22(), m.dx(), m.dy(), name);
            appendContent(ctx, doc, pageObj, content);
        }
        fz_always(ctx) {
            fz_drop_buffer(ctx, content);
            pdf_drop_obj(ctx, imageRef);
        }
        fz_catch(ctx) fz_rethrow(ctx);
    });
    return copy;
}

int retargetReferences(PDFDocument& document, const PDFPage& from, const PDFPage& to) {
    const PDFPageImpl& fromState = Access::impl(from);
    const PDFPageImpl& toState = Access::impl(to);
    pdf_document* doc = Access::impl(document).doc.get();
    if (fromState.doc.get() != doc || toState.doc.get() != doc) return 0;
    fz_context* ctx = baseContext();
    const int fromNum = engine::objectNumber(ctx, fromState.obj.get());
    const int toNum = engine::objectNumber(ctx, toState.obj.get());
    pdf_obj* target = toState.obj.get();
    if (fromNum <= 0 || toNum <= 0 || fromNum == toNum) return 0;

    // The annotations of the old page keep pointing at it: they go back with it on undo.
    std::vector<int> skip{fromNum, toNum};
    engineRun(ctx, [&] {
        pdf_obj* annots = pdf_dict_get(ctx, fromState.obj.get(), PDF_NAME(Annots));
        for (int i = 0, n = pdf_array_len(ctx, annots); i < n; ++i)
            skip.push_back(pdf_to_num(ctx, pdf_array_get(ctx, annots, i)));
    });
    std::sort(skip.begin(), skip.end());

    struct Retarget {
        int from;
        pdf_obj* to;
    } retarget{fromNum, target};
    const auto visit = [](fz_context* c, pdf_obj* obj, void* data) {
        const auto* r = static_cast<const Retarget*>(data);
        // Only dictionaries and arrays can hold a destination; streams' dictionaries too.
        return pdf_is_dict(c, obj) || pdf_is_array(c, obj) ? retargetIn(c, obj, r->from, r->to, 0) : 0;
    };
    int changed = 0;
    int length = 0;
    engineRun(ctx, [&] { length = pdf_xref_len(ctx, doc); });
    for (int num = 1; num < length; ++num) {
        if (std::binary_search(skip.begin(), skip.end(), num)) continue;
        int here = 0;
        engineRun(ctx, [&] { here = engine::visitObject(ctx, doc, num, visit, &retarget); });
        changed += here;
    }
    return changed;
}

}  // namespace scrivola::PDFPageReplacement
