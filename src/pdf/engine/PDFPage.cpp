// Page geometry, rotation, annotation lists and rendering.

#include "pdf/engine/EngineImpl.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

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

PDFDisplayListImpl::~PDFDisplayListImpl() {
    if (list) fz_drop_display_list(engine::threadContext(), list);
}

PDFDisplayList::PDFDisplayList(std::unique_ptr<PDFDisplayListImpl> impl) : impl_(std::move(impl)) {}
PDFDisplayList::~PDFDisplayList() = default;

QSizeF PDFDisplayList::rotatedSize() const {
    return QSizeF(impl_->bounds.x1 - impl_->bounds.x0, impl_->bounds.y1 - impl_->bounds.y0);
}

namespace {

// Pixel size of a display list's bounds at `scale`; empty when it is not a sane picture size or
// a whole picture would exceed maxBytes at 4 bytes per pixel.
QSize pixelSizeAt(const fz_rect& bounds, double scale, qint64 maxBytes) {
    if (!(scale > 0) || !std::isfinite(scale)) return {};
    const double w = double(bounds.x1 - bounds.x0);
    const double h = double(bounds.y1 - bounds.y0);
    if (!(w > 0) || !(h > 0)) return {};
    const double pw = std::ceil(w * scale - 0.001);
    const double ph = std::ceil(h * scale - 0.001);
    if (pw < 1 || ph < 1 || pw * ph * 4 > double(maxBytes) || pw > INT_MAX / 4 || ph > INT_MAX / 4) return {};
    return QSize(int(pw), int(ph));
}

fz_matrix pictureMatrix(const fz_rect& bounds, double scale) {
    return fz_concat(fz_translate(-bounds.x0, -bounds.y0), fz_scale(float(scale), float(scale)));
}

// A device that draws nothing and notes the rows each image covers (up to kMaxImages of them).
constexpr int kMaxImages = 64;
struct ImageRowsProbe {
    fz_device super;
    int count;  // images seen, also past kMaxImages
    float top[kMaxImages];
    float bottom[kMaxImages];
};

void noteImage(fz_device* device, fz_matrix ctm) {
    auto* probe = reinterpret_cast<ImageRowsProbe*>(device);
    const fz_rect area = fz_transform_rect(fz_unit_rect, ctm);
    if (probe->count < kMaxImages) {
        probe->top[probe->count] = area.y0;
        probe->bottom[probe->count] = area.y1;
    }
    ++probe->count;
}
void probeFillImage(fz_context*, fz_device* d, fz_image*, fz_matrix ctm, float, fz_color_params) { noteImage(d, ctm); }
void probeFillImageMask(fz_context*, fz_device* d, fz_image*, fz_matrix ctm, fz_colorspace*, const float*, float,
                        fz_color_params) {
    noteImage(d, ctm);
}
void probeClipImageMask(fz_context*, fz_device* d, fz_image*, fz_matrix ctm, fz_rect) { noteImage(d, ctm); }

// Where bands of about `bandRows` rows end, from the first to `height`. The engine decodes only
// the rows of an image that a band shows, and each band would decode the image's rows above it
// again, so no band ends inside an image: it ends just above it when it can, otherwise below it.
// With too many images to track, bands are as tall as the tallest of those tracked.
std::vector<int> bandEnds(fz_display_list* list, const fz_rect& bounds, double scale, int height, int bandRows) {
    fz_context* ctx = engine::threadContext();
    std::vector<std::pair<int, int>> images;
    bool tracked = true;
    if (ctx) {
        ImageRowsProbe found{};
        engineRun(ctx, [&] {
            fz_device* device = nullptr;
            fz_var(device);
            fz_try(ctx) {
                device = fz_new_device_of_size(ctx, sizeof(ImageRowsProbe));
                device->fill_image = probeFillImage;
                device->fill_image_mask = probeFillImageMask;
                device->clip_image_mask = probeClipImageMask;
                fz_run_display_list(ctx, list, device, pictureMatrix(bounds, scale), fz_infinite_rect, nullptr);
                fz_close_device(ctx, device);
                std::memcpy(&found, device, sizeof(found));
            }
            fz_always(ctx) fz_drop_device(ctx, device);
            fz_catch(ctx) fz_rethrow(ctx);
        });
        tracked = found.count <= kMaxImages;
        for (int i = 0; i < std::min(found.count, kMaxImages); ++i) {
            if (!std::isfinite(found.top[i]) || !std::isfinite(found.bottom[i])) continue;
            const int top = int(std::floor(std::clamp(found.top[i], 0.f, float(height))));
            const int bottom = int(std::ceil(std::clamp(found.bottom[i], 0.f, float(height))));
            if (bottom > top) images.emplace_back(top, bottom);
        }
    }
    if (!tracked)
        for (const auto& [top, bottom] : images) bandRows = std::max(bandRows, bottom - top);
    const auto cutsImage = [&](int row) {
        if (!tracked) return false;
        for (const auto& [top, bottom] : images)
            if (top < row && row < bottom) return true;
        return false;
    };
    std::vector<int> ends;
    for (int top = 0; top < height; top = ends.back()) {
        int end = std::min(height, top + bandRows);
        int above = end;
        while (above > top && cutsImage(above)) --above;
        if (above > top) {
            end = above;
        } else {
            while (end < height && cutsImage(end)) ++end;
        }
        ends.push_back(end);
    }
    return ends;
}

// Draws the rows [top, top + band.height()) of the list at `scale` into `band` (RGB32), white
// first. Only the nodes that touch those rows are run.
bool drawRows(fz_display_list* list, const fz_rect& bounds, double scale, int top, QImage& band) {
    fz_context* ctx = engine::threadContext();
    if (!ctx) return false;
    const fz_matrix ctm = pictureMatrix(bounds, scale);
    const fz_irect bbox = fz_make_irect(0, top, band.width(), top + band.height());
    const fz_rect scissor = fz_rect_from_irect(bbox);
    unsigned char* samples = band.bits();
    return engineRun(ctx, [&] {
               fz_pixmap* pixmap = nullptr;
               fz_device* device = nullptr;
               fz_var(pixmap);
               fz_var(device);
               fz_try(ctx) {
                   pixmap = fz_new_pixmap_with_bbox_and_data(ctx, fz_device_bgr(ctx), bbox, nullptr, 1, samples);
                   fz_clear_pixmap_with_value(ctx, pixmap, 0xff);
                   device = fz_new_draw_device(ctx, fz_identity, pixmap);
                   fz_run_display_list(ctx, list, device, ctm, scissor, nullptr);
                   fz_close_device(ctx, device);
               }
               fz_always(ctx) {
                   fz_drop_device(ctx, device);
                   fz_drop_pixmap(ctx, pixmap);
               }
               fz_catch(ctx) fz_rethrow(ctx);
           })
        .ok;
}

}  // namespace

QSize PDFDisplayList::pictureSize(double scale, qint64 maxBytes) const {
    return impl_->list ? pixelSizeAt(impl_->bounds, scale, maxBytes) : QSize();
}

QImage PDFDisplayList::render(double scale, qint64 maxBytes) const {
    const QSize size = pictureSize(scale, maxBytes);
    if (size.isEmpty()) return {};
    QImage image(size, QImage::Format_RGB32);
    if (image.isNull() || !drawRows(impl_->list, impl_->bounds, scale, 0, image)) return {};
    return image;
}

bool PDFDisplayList::renderBands(double scale, int bandRows, const std::function<bool(const QImage&, int)>& sink,
                                 qint64 maxBytes) const {
    const QSize size = pictureSize(scale, maxBytes);
    if (size.isEmpty() || bandRows < 1) return false;
    const std::vector<int> ends = bandEnds(impl_->list, impl_->bounds, scale, size.height(), bandRows);
    int tallest = 0;
    for (int top = 0; const int end : ends) {
        tallest = std::max(tallest, end - top);
        top = end;
    }
    // One band's memory, reused: each band is a view of its first rows.
    QImage memory(size.width(), tallest, QImage::Format_RGB32);
    if (memory.isNull()) return false;
    for (int top = 0; const int end : ends) {
        QImage band(memory.bits(), size.width(), end - top, memory.bytesPerLine(), memory.format());
        if (!drawRows(impl_->list, impl_->bounds, scale, top, band) || !sink(band, top)) return false;
        top = end;
    }
    return true;
}

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
