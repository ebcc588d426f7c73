// Display lists: drawing a page's picture whole, in bands of rows or by areas, on any thread.

#include "pdf/engine/EngineImpl.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace scrivola {

using engine::engineRun;

PDFCancelToken::PDFCancelToken() : impl_(std::make_unique<PDFCancelTokenImpl>()) {}
PDFCancelToken::~PDFCancelToken() = default;

void PDFCancelToken::cancel() {
    impl_->cancelled = true;
    // The engine polls this field of the cookie from the drawing thread; this is the writer the
    // engine's cookie is made for.
    std::atomic_ref<int>(impl_->cookie.abort).store(1, std::memory_order_relaxed);
}

bool PDFCancelToken::isCancelled() const { return impl_->cancelled.load(); }

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

// Draws the part of the picture at `scale` whose top-left pixel is `origin` into `target`
// (RGB32), white first. Only the nodes that touch that part are run. A cancelled token stops
// the drawing early, which counts as a failure.
bool drawArea(fz_display_list* list, const fz_rect& bounds, double scale, QPoint origin, QImage& target,
              const PDFCancelToken* cancel = nullptr) {
    fz_context* ctx = engine::threadContext();
    if (!ctx) return false;
    if (cancel && cancel->isCancelled()) return false;
    fz_cookie* cookie = cancel ? &PDFEngineAccess::impl(*cancel).cookie : nullptr;
    const fz_matrix ctm = pictureMatrix(bounds, scale);
    const fz_irect bbox = fz_make_irect(origin.x(), origin.y(), origin.x() + target.width(), origin.y() + target.height());
    const fz_rect scissor = fz_rect_from_irect(bbox);
    unsigned char* samples = target.bits();
    const bool drawn = engineRun(ctx, [&] {
                           fz_pixmap* pixmap = nullptr;
                           fz_device* device = nullptr;
                           fz_var(pixmap);
                           fz_var(device);
                           fz_try(ctx) {
                               pixmap = fz_new_pixmap_with_bbox_and_data(ctx, fz_device_bgr(ctx), bbox, nullptr, 1, samples);
                               fz_clear_pixmap_with_value(ctx, pixmap, 0xff);
                               device = fz_new_draw_device(ctx, fz_identity, pixmap);
                               fz_run_display_list(ctx, list, device, ctm, scissor, cookie);
                               fz_close_device(ctx, device);
                           }
                           fz_always(ctx) {
                               fz_drop_device(ctx, device);
                               fz_drop_pixmap(ctx, pixmap);
                           }
                           fz_catch(ctx) fz_rethrow(ctx);
                       }).ok;
    return drawn && !(cancel && cancel->isCancelled());
}

}  // namespace

QSize PDFDisplayList::pictureSize(double scale, qint64 maxBytes) const {
    return impl_->list ? pixelSizeAt(impl_->bounds, scale, maxBytes) : QSize();
}

QImage PDFDisplayList::render(double scale, qint64 maxBytes) const {
    const QSize size = pictureSize(scale, maxBytes);
    return size.isEmpty() ? QImage() : renderArea(scale, QRect(QPoint(0, 0), size), nullptr, maxBytes);
}

QImage PDFDisplayList::renderArea(double scale, const QRect& area, const PDFCancelToken* cancel, qint64 maxBytes) const {
    // The whole picture's size only places the area; it is never allocated.
    const QSize whole = impl_->list ? pixelSizeAt(impl_->bounds, scale, std::numeric_limits<qint64>::max()) : QSize();
    const QRect part = area.intersected(QRect(QPoint(0, 0), whole));
    if (part.isEmpty() || qint64(part.width()) * part.height() * 4 > maxBytes) return {};
    QImage image(part.size(), QImage::Format_RGB32);
    if (image.isNull() || !drawArea(impl_->list, impl_->bounds, scale, part.topLeft(), image, cancel)) return {};
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
        if (!drawArea(impl_->list, impl_->bounds, scale, QPoint(0, top), band) || !sink(band, top)) return false;
        top = end;
    }
    return true;
}

}  // namespace scrivola
