// Page geometry, rotation, annotation lists and rendering.

#include "pdf/engine/EngineImpl.h"

#include <algorithm>
#include <cmath>

namespace scrivola {

using engine::baseContext;
using engine::engineCheck;
using engine::engineRun;
using engine::ObjRef;
using Kind = PDFEngineError::Kind;

namespace {

// Object numbers of the page's /Annots entries in order.
std::vector<int> annotationEntries(fz_context* ctx, pdf_obj* pageObj) {
    int length = 0;
    engineCheck(ctx, Kind::operationFailed, [&] { length = pdf_array_len(ctx, pdf_dict_get(ctx, pageObj, PDF_NAME(Annots))); });
    std::vector<int> entries(size_t(std::max(length, 0)));
    int* numbers = entries.data();
    engineCheck(ctx, Kind::operationFailed, [&] {
        pdf_obj* annots = pdf_dict_get(ctx, pageObj, PDF_NAME(Annots));
        for (int i = 0; i < length; ++i) numbers[i] = pdf_to_num(ctx, pdf_array_get(ctx, annots, i));
    });
    return entries;
}

// Folds the page's current /Annots order into the order it remembers: entries it does not know
// yet go right after the entry before them (or first).
void rememberAnnotationOrder(fz_context* ctx, PDFPageImpl& page) {
    auto& order = page.annotationOrder;
    const std::vector<int> current = annotationEntries(ctx, page.obj.get());
    auto after = order.begin();
    for (int num : current) {
        auto known = std::find(order.begin(), order.end(), num);
        if (known == order.end()) known = order.insert(after, num);
        after = known + 1;
    }
}

// Puts `entry` into the page's /Annots: after the nearest entry that stood before it when it
// was removed and is still there, first if none is, at the end if the page never had it.
void placeAnnotationEntry(fz_context* ctx, PDFPageImpl& page, pdf_obj* entry) {
    const std::vector<int> current = annotationEntries(ctx, page.obj.get());
    const int num = pdf_to_num(ctx, entry);
    if (std::find(current.begin(), current.end(), num) != current.end()) return;
    const auto& order = page.annotationOrder;
    int at = int(current.size());
    auto known = std::find(order.begin(), order.end(), num);
    if (known != order.end()) {
        at = 0;
        while (known != order.begin()) {
            --known;
            auto present = std::find(current.begin(), current.end(), *known);
            if (present != current.end()) {
                at = int(present - current.begin()) + 1;
                break;
            }
        }
    }
    pdf_obj* pageObj = page.obj.get();
    engineCheck(ctx, Kind::operationFailed, [&] {
        pdf_obj* annots = pdf_dict_get(ctx, pageObj, PDF_NAME(Annots));
        if (at < pdf_array_len(ctx, annots))
            pdf_array_insert(ctx, annots, entry, at);
        else
            pdf_array_push(ctx, annots, entry);
    });
}

pdf_obj* boxName(PDFBox box) {
    switch (box) {
    case PDFBox::mediaBox: return PDF_NAME(MediaBox);
    case PDFBox::cropBox: return PDF_NAME(CropBox);
    case PDFBox::bleedBox: return PDF_NAME(BleedBox);
    case PDFBox::trimBox: return PDF_NAME(TrimBox);
    case PDFBox::artBox: return PDF_NAME(ArtBox);
    }
    return PDF_NAME(MediaBox);
}

// A box of the page in user space, clipped to the media box; absent or degenerate boxes fall
// back to the crop box (and the crop box to the media box), as PDF readers do.
fz_rect userBox(pdf_obj* pageObj, PDFBox box) {
    fz_context* ctx = baseContext();
    const fz_rect media = engine::mediaBoxOf(pageObj);
    if (box == PDFBox::mediaBox) return media;
    fz_rect result = fz_empty_rect;
    auto lookup = [&](pdf_obj* name) {
        fz_rect r = fz_empty_rect;
        engineRun(ctx, [&] { r = pdf_to_rect(ctx, pdf_dict_get_inheritable(ctx, pageObj, name)); });
        r = fz_intersect_rect(r, media);
        return r;
    };
    result = lookup(boxName(box));
    if (fz_is_empty_rect(result) && box != PDFBox::cropBox) result = lookup(PDF_NAME(CropBox));
    if (fz_is_empty_rect(result)) result = media;
    return result;
}

int normalisedRotation(int degrees) {
    int r = ((degrees % 360) + 360) % 360;
    return (r / 90) * 90;
}

}  // namespace

// ---- PDFPage -----------------------------------------------------------------------------

PDFPage::PDFPage() : impl_(std::make_unique<PDFPageImpl>()) {}
PDFPage::~PDFPage() = default;

PDFDocumentPtr PDFPage::document() const { return impl_->owner.lock(); }

QRectF PDFPage::bounds(PDFBox box) const {
    const fz_rect media = engine::mediaBoxOf(impl_->obj.get());
    const fz_rect r = userBox(impl_->obj.get(), box);
    return QRectF(r.x0 - media.x0, r.y0 - media.y0, r.x1 - r.x0, r.y1 - r.y0);
}

int PDFPage::rotation() const {
    fz_context* ctx = baseContext();
    int degrees = 0;
    engineRun(ctx, [&] { degrees = pdf_to_int(ctx, pdf_dict_get_inheritable(ctx, impl_->obj.get(), PDF_NAME(Rotate))); });
    return normalisedRotation(degrees);
}

void PDFPage::setRotation(int degrees) {
    fz_context* ctx = baseContext();
    const int value = normalisedRotation(degrees);
    engineCheck(ctx, Kind::operationFailed, [&] { pdf_dict_put_int(ctx, impl_->obj.get(), PDF_NAME(Rotate), value); });
}

QSizeF PDFPage::rotatedSize(PDFBox box) const {
    const QSizeF size = bounds(box).size();
    const int r = rotation();
    return (r == 90 || r == 270) ? size.transposed() : size;
}

std::vector<PDFAnnotationPtr> PDFPage::annotations() const {
    engine::preparePage(*impl_);
    fz_context* ctx = baseContext();
    pdf_document* doc = impl_->doc.get();
    pdf_obj* pageObj = impl_->obj.get();
    int count = 0;
    if (!engineRun(ctx, [&] { count = pdf_array_len(ctx, pdf_dict_get(ctx, pageObj, PDF_NAME(Annots))); }).ok || count <= 0)
        return {};
    std::vector<int> numbers(size_t(count), 0);
    int* out = numbers.data();
    engineRun(ctx, [&] {
        pdf_obj* annots = pdf_dict_get(ctx, pageObj, PDF_NAME(Annots));
        for (int i = 0; i < count; ++i) {
            pdf_obj* item = pdf_array_get(ctx, annots, i);
            if (!pdf_is_dict(ctx, item)) continue;
            int num = pdf_to_num(ctx, item);
            if (num == 0) {
                // A direct dictionary: give it an object number so it has an identity.
                pdf_obj* ref = pdf_add_object(ctx, doc, item);
                pdf_array_put(ctx, annots, i, ref);
                num = pdf_to_num(ctx, ref);
                pdf_drop_obj(ctx, ref);
            }
            out[i] = num;
        }
    });

    auto self = std::const_pointer_cast<PDFPage>(shared_from_this());
    const fz_rect media = engine::mediaBoxOf(pageObj);
    std::vector<PDFAnnotationPtr> result;
    result.reserve(numbers.size());
    for (int num : numbers) {
        if (num <= 0) continue;
        auto it = impl_->annotations.find(num);
        if (it == impl_->annotations.end()) {
            pdf_obj* ref = nullptr;
            if (!engineRun(ctx, [&] { ref = pdf_new_indirect(ctx, doc, num, 0); }).ok) continue;
            auto annotation = Access::newAnnotation();
            PDFAnnotationImpl& state = Access::impl(*annotation);
            state.doc = impl_->doc;
            state.obj = ObjRef::adopt(ref);
            state.page = self;
            state.originX = media.x0;
            state.originY = media.y0;
            state.appearanceDirty = false;
            it = impl_->annotations.emplace(num, annotation).first;
        } else {
            Access::impl(*it->second).page = self;
        }
        result.push_back(it->second);
    }
    return result;
}

void PDFPage::addAnnotation(const PDFAnnotationPtr& annotation) {
    if (!annotation) return;
    PDFAnnotationImpl& state = Access::impl(*annotation);
    auto current = state.page.lock();
    if (current.get() == this) return;
    if (current) current->removeAnnotation(annotation);

    fz_context* ctx = baseContext();
    pdf_document* doc = impl_->doc.get();
    pdf_obj* pageObj = impl_->obj.get();
    if (state.doc.get() != doc) {
        pdf_obj* copy = nullptr;
        pdf_obj* source = state.obj.get();
        engineCheck(ctx, Kind::operationFailed, [&] { copy = engine::graftAnnotationObject(ctx, doc, source); });
        state.obj = ObjRef::adopt(copy);
        state.doc = impl_->doc;
    }

    const fz_rect media = engine::mediaBoxOf(pageObj);
    engine::translateAnnotation(state, media.x0 - state.originX, media.y0 - state.originY);
    state.originX = media.x0;
    state.originY = media.y0;

    pdf_obj* annot = state.obj.get();
    pdf_obj* popup = nullptr;
    engineCheck(ctx, Kind::operationFailed, [&] {
        pdf_obj* annots = pdf_dict_get(ctx, pageObj, PDF_NAME(Annots));
        if (!pdf_is_array(ctx, annots)) pdf_dict_put_array(ctx, pageObj, PDF_NAME(Annots), 4);
        pdf_dict_put(ctx, annot, PDF_NAME(P), pageObj);
        popup = pdf_dict_get(ctx, annot, PDF_NAME(Popup));
        if (!pdf_is_dict(ctx, popup) || !pdf_is_indirect(ctx, popup)) popup = nullptr;
        if (popup) pdf_dict_put(ctx, popup, PDF_NAME(P), pageObj);
    });
    placeAnnotationEntry(ctx, *impl_, annot);
    if (popup) placeAnnotationEntry(ctx, *impl_, popup);
    impl_->annotations[engine::objectNumber(ctx, annot)] = annotation;
    state.page = shared_from_this();
    if (state.appearanceDirty || !engine::hasAppearance(state)) engine::refreshAppearance(state, *impl_);
}

void PDFPage::removeAnnotation(const PDFAnnotationPtr& annotation) {
    if (!annotation) return;
    PDFAnnotationImpl& state = Access::impl(*annotation);
    if (state.page.lock().get() != this) return;
    fz_context* ctx = baseContext();
    pdf_obj* pageObj = impl_->obj.get();
    pdf_obj* annot = state.obj.get();
    rememberAnnotationOrder(ctx, *impl_);
    engine::noteContentReplaced(*impl_);
    engineCheck(ctx, Kind::operationFailed, [&] {
        pdf_obj* annots = pdf_dict_get(ctx, pageObj, PDF_NAME(Annots));
        int at = pdf_array_find(ctx, annots, annot);
        if (at >= 0) pdf_array_delete(ctx, annots, at);
        pdf_obj* popup = pdf_dict_get(ctx, annot, PDF_NAME(Popup));
        if (pdf_is_indirect(ctx, popup)) {
            at = pdf_array_find(ctx, annots, popup);
            if (at >= 0) pdf_array_delete(ctx, annots, at);
        }
    });
    state.page.reset();
}

std::unique_ptr<PDFDisplayList> PDFPage::displayList(bool withAnnotations) const {
    if (withAnnotations) engine::preparePage(*impl_);
    auto impl = std::make_unique<PDFDisplayListImpl>();
    PDFDisplayListImpl* target = impl.get();
    const bool loaded = engine::withLoadedPage(*impl_, [&](fz_context* ctx, pdf_page* page) {
        engineRun(ctx, [&] {
            if (withAnnotations) pdf_update_page(ctx, page);
            target->bounds = fz_bound_page(ctx, &page->super);
            target->list = withAnnotations ? fz_new_display_list_from_page(ctx, &page->super)
                                           : fz_new_display_list_from_page_contents(ctx, &page->super);
        });
    });
    if (!loaded || !target->list) {
        // A page that cannot be loaded (a missing or damaged object) shows as an empty page of
        // its size, which for a page without a media box is the document's default.
        const QSizeF size = rotatedSize();
        target->bounds = fz_make_rect(0, 0, float(size.width()), float(size.height()));
        fz_context* ctx = baseContext();
        if (!engineRun(ctx, [&] { target->list = fz_new_display_list(ctx, target->bounds); }).ok) return nullptr;
    }
    return Access::newDisplayList(std::move(impl));
}

QImage PDFPage::render(double scale, bool withAnnotations) const {
    auto list = displayList(withAnnotations);
    return list ? list->render(scale) : QImage();
}

}  // namespace scrivola
