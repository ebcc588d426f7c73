// Rasterising and rewriting PDFs for compression, on private document copies (any thread).

#include "pdf/engine/PDFCompression.h"

#include "pdf/engine/EngineImpl.h"
#include "pdf/engine/EngineInternals.h"

#include <cmath>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <system_error>
#include <thread>
#include <cstring>
#include <unordered_map>

namespace scrivola::PDFCompression {

using engine::engineCheck;
using engine::engineRun;
using Kind = PDFEngineError::Kind;

using engine::OwnedDocument;
using engine::OwnedPage;
using engine::contextOrThrow;
using engine::loadPage;
using engine::openDocument;

namespace {

[[noreturn]] void failWith(Kind kind, const char* message) { throw PDFEngineError(kind, message); }

int countPages(fz_context* ctx, pdf_document* doc) {
    int count = 0;
    engineCheck(ctx, Kind::corruptedFile, [&] { count = pdf_count_pages(ctx, doc); });
    return count;
}

fz_rect visibleBounds(fz_context* ctx, pdf_page* page) {
    fz_rect bounds{};
    engineCheck(ctx, Kind::operationFailed, [&] { bounds = fz_bound_page(ctx, &page->super); });
    return bounds;
}

QImage renderLoaded(fz_context* ctx, pdf_page* page, double dpi, qint64 maxBytes) {
    if (!(dpi > 0)) failWith(Kind::operationFailed, "The resolution must be positive");
    const fz_rect bounds = visibleBounds(ctx, page);
    const QSize size = rasterPixelSize(QSizeF(bounds.x1 - bounds.x0, bounds.y1 - bounds.y0), dpi);
    if (size.isEmpty()) failWith(Kind::operationFailed, "The page has no area at this resolution");
    if (qint64(size.width()) * size.height() * 3 > maxBytes)
        failWith(Kind::operationFailed, "The page is too large to render at this resolution");
    QImage image(size, QImage::Format_RGB888);
    if (image.isNull()) failWith(Kind::operationFailed, "Out of memory");
    image.fill(Qt::white);
    const float scale = float(dpi / 72.0);
    const fz_matrix ctm = fz_concat(fz_translate(-bounds.x0, -bounds.y0), fz_scale(scale, scale));
    unsigned char* samples = image.bits();
    const int stride = int(image.bytesPerLine());
    const int w = size.width();
    const int h = size.height();
    engineCheck(ctx, Kind::operationFailed, [&] {
        fz_pixmap* pixmap = nullptr;
        fz_device* device = nullptr;
        fz_var(pixmap);
        fz_var(device);
        fz_try(ctx) {
            // Appearances of annotations that have none yet are made before drawing.
            pdf_update_page(ctx, page);
            pixmap = fz_new_pixmap_with_data(ctx, fz_device_rgb(ctx), w, h, nullptr, 0, stride, samples);
            device = fz_new_draw_device(ctx, fz_identity, pixmap);
            fz_run_page(ctx, &page->super, device, ctm, nullptr);
            fz_close_device(ctx, device);
        }
        fz_always(ctx) {
            fz_drop_device(ctx, device);
            fz_drop_pixmap(ctx, pixmap);
        }
        fz_catch(ctx) fz_rethrow(ctx);
    });
    return image;
}

QByteArray writeDocument(fz_context* ctx, pdf_document* doc, const pdf_write_options& options) {
    fz_buffer* result = nullptr;
    engineCheck(ctx, Kind::writeFailed, [&] { result = engine::serialise(ctx, doc, &options); });
    return engine::takeBuffer(ctx, result);
}

void setCreator(fz_context* ctx, pdf_document* doc, const QString& creator) {
    if (creator.isEmpty()) return;
    const QByteArray utf8 = creator.toUtf8();
    const char* text = utf8.constData();
    engineCheck(ctx, Kind::operationFailed, [&] { pdf_dict_put_text_string(ctx, engine::infoDictionary(ctx, doc), PDF_NAME(Creator), text); });
}

// Adds a page of `width` × `height` points filled by the encoded image; runs inside fz_try.
void appendPictureOnlyPage(fz_context* ctx, pdf_document* doc, const unsigned char* data, size_t size, float width,
                           float height) {
    pdf_obj* page = engine::addImagePageObject(ctx, doc, data, size, width, height);
    fz_try(ctx) pdf_insert_page(ctx, doc, -1, page);
    fz_always(ctx) pdf_drop_obj(ctx, page);
    fz_catch(ctx) fz_rethrow(ctx);
}

void reportOrCancel(const Progress& progress, int done, int total) {
    if (progress && !progress(done, total)) failWith(Kind::operationFailed, "Cancelled");
}

// --- Image placements: the largest size (points) at which each image is drawn on any page ---

struct PlacedSize {
    double width = 0;
    double height = 0;
};
using Placements = std::unordered_map<fz_image*, PlacedSize>;

struct PlacementDevice {
    fz_device super;
    Placements* placements;
};

void notePlacement(fz_context* ctx, fz_device* dev, fz_image* image, fz_matrix ctm) {
    auto* device = reinterpret_cast<PlacementDevice*>(dev);
    try {
        auto [it, inserted] = device->placements->try_emplace(image);
        if (inserted) fz_keep_image(ctx, image);
        it->second.width = std::max(it->second.width, double(std::hypot(ctm.a, ctm.b)));
        it->second.height = std::max(it->second.height, double(std::hypot(ctm.c, ctm.d)));
    } catch (...) {
        // Out of memory: this image is simply not downsampled.
    }
}

void placementFillImage(fz_context* ctx, fz_device* dev, fz_image* image, fz_matrix ctm, float, fz_color_params) {
    notePlacement(ctx, dev, image, ctm);
}
void placementFillImageMask(fz_context* ctx, fz_device* dev, fz_image* image, fz_matrix ctm, fz_colorspace*,
                            const float*, float, fz_color_params) {
    notePlacement(ctx, dev, image, ctm);
}
void placementClipImageMask(fz_context* ctx, fz_device* dev, fz_image* image, fz_matrix ctm, fz_rect) {
    notePlacement(ctx, dev, image, ctm);
}

void collectPlacements(fz_context* ctx, pdf_page* page, Placements* placements) {
    engineCheck(ctx, Kind::operationFailed, [&] {
        PlacementDevice* device = nullptr;
        fz_var(device);
        fz_try(ctx) {
            device = fz_new_derived_device(ctx, PlacementDevice);
            device->super.fill_image = placementFillImage;
            device->super.fill_image_mask = placementFillImageMask;
            device->super.clip_image_mask = placementClipImageMask;
            device->placements = placements;
            fz_run_page(ctx, &page->super, &device->super, fz_identity, nullptr);
            fz_close_device(ctx, &device->super);
        }
        fz_always(ctx) fz_drop_device(ctx, device ? &device->super : nullptr);
        fz_catch(ctx) fz_rethrow(ctx);
    });
}

// --- Image XObjects ---

bool hasFilter(fz_context* ctx, pdf_obj* filter, pdf_obj* name) {
    if (pdf_is_name(ctx, filter)) return pdf_name_eq(ctx, filter, name);
    for (int i = 0, n = pdf_array_len(ctx, filter); i < n; ++i)
        if (pdf_name_eq(ctx, pdf_array_get(ctx, filter, i), name)) return true;
    return false;
}

bool isImageStream(fz_context* ctx, pdf_obj* ref) {
    return pdf_is_stream(ctx, ref) && pdf_name_eq(ctx, pdf_dict_get(ctx, ref, PDF_NAME(Subtype)), PDF_NAME(Image));
}

struct ImageCandidate {
    int number = 0;
    qint64 storedLength = 0;
};

// Image XObjects a lossy re-encode may replace: 8-bit grey or RGB samples, no colour-key mask,
// no decode array, not a mask themselves, not in a bilevel or JPEG 2000 encoding.
std::vector<ImageCandidate> findCandidates(fz_context* ctx, pdf_document* doc) {
    int length = 0;
    engineCheck(ctx, Kind::operationFailed, [&] { length = pdf_xref_len(ctx, doc); });
    std::vector<char> isMask(size_t(std::max(length, 0)), 0);
    std::vector<ImageCandidate> found;
    for (int pass = 0; pass < 2; ++pass) {
        for (int num = 1; num < length; ++num) {
            int eligible = 0;
            int maskA = 0;
            int maskB = 0;
            int storedLength = 0;
            const bool collectMasks = pass == 0;
            auto status = engineRun(ctx, [&] {
                pdf_obj* ref = pdf_new_indirect(ctx, doc, num, 0);
                fz_try(ctx) {
                    if (isImageStream(ctx, ref)) {
                        pdf_obj* smask = pdf_dict_get(ctx, ref, PDF_NAME(SMask));
                        pdf_obj* mask = pdf_dict_get(ctx, ref, PDF_NAME(Mask));
                        if (collectMasks) {
                            maskA = pdf_is_indirect(ctx, smask) ? pdf_to_num(ctx, smask) : 0;
                            maskB = pdf_is_indirect(ctx, mask) ? pdf_to_num(ctx, mask) : 0;
                        } else {
                            pdf_obj* filter = pdf_dict_get(ctx, ref, PDF_NAME(Filter));
                            const int bpc = pdf_dict_get_int(ctx, ref, PDF_NAME(BitsPerComponent));
                            const int dct = hasFilter(ctx, filter, PDF_NAME(DCTDecode));
                            eligible = !pdf_dict_get_bool(ctx, ref, PDF_NAME(ImageMask)) &&
                                       !pdf_is_array(ctx, mask) && !pdf_dict_get(ctx, ref, PDF_NAME(Decode)) &&
                                       !hasFilter(ctx, filter, PDF_NAME(JPXDecode)) &&
                                       !hasFilter(ctx, filter, PDF_NAME(JBIG2Decode)) &&
                                       !hasFilter(ctx, filter, PDF_NAME(CCITTFaxDecode)) && (dct || bpc == 8);
                            storedLength = pdf_dict_get_int(ctx, ref, PDF_NAME(Length));
                        }
                    }
                }
                fz_always(ctx) pdf_drop_obj(ctx, ref);
                fz_catch(ctx) fz_rethrow(ctx);
            });
            if (!status.ok) continue;  // a broken object is left to the writer
            if (collectMasks) {
                if (maskA > 0 && maskA < length) isMask[size_t(maskA)] = 1;
                if (maskB > 0 && maskB < length) isMask[size_t(maskB)] = 1;
            } else if (eligible && !isMask[size_t(num)] && storedLength > 0) {
                found.push_back({num, storedLength});
            }
        }
    }
    return found;
}

// Component count of a JPEG from its frame header; 0 when there is none.
int jpegComponents(const QByteArray& jpeg) {
    const auto* p = reinterpret_cast<const unsigned char*>(jpeg.constData());
    const qsizetype n = jpeg.size();
    if (n < 4 || p[0] != 0xFF || p[1] != 0xD8) return 0;
    qsizetype i = 2;
    while (i + 4 <= n) {
        if (p[i] != 0xFF) return 0;
        const unsigned char marker = p[i + 1];
        const qsizetype segment = (qsizetype(p[i + 2]) << 8) | p[i + 3];
        const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame) return i + 9 < n ? p[i + 9] : 0;
        i += 2 + segment;
    }
    return 0;
}

// The pixels of an image object, as RGB888 or Grayscale8; null when the image is of another kind.
QImage decodeImage(fz_context* ctx, fz_image* image, qint64 maxBytes) {
    if (!image || image->w <= 0 || image->h <= 0) return {};
    if (qint64(image->w) * image->h * image->n > maxBytes) return {};
    const enum fz_colorspace_type type = image->colorspace ? fz_colorspace_type(ctx, image->colorspace) : FZ_COLORSPACE_NONE;
    if (!((type == FZ_COLORSPACE_GRAY && image->n == 1) || (type == FZ_COLORSPACE_RGB && image->n == 3))) return {};
    fz_pixmap* pixmap = nullptr;
    auto status = engineRun(ctx, [&] { pixmap = fz_get_pixmap_from_image(ctx, image, nullptr, nullptr, nullptr, nullptr); });
    if (!status.ok || !pixmap) return {};
    QImage result;
    const int n = fz_pixmap_components(ctx, pixmap);
    const int w = fz_pixmap_width(ctx, pixmap);
    const int h = fz_pixmap_height(ctx, pixmap);
    if (!fz_pixmap_alpha(ctx, pixmap) && (n == 1 || n == 3)) {
        result = QImage(w, h, n == 1 ? QImage::Format_Grayscale8 : QImage::Format_RGB888);
        if (!result.isNull()) {
            const unsigned char* samples = fz_pixmap_samples(ctx, pixmap);
            const qsizetype stride = fz_pixmap_stride(ctx, pixmap);
            for (int y = 0; y < h; ++y) std::memcpy(result.scanLine(y), samples + y * stride, size_t(w) * size_t(n));
        }
    }
    fz_drop_pixmap(ctx, pixmap);
    return result;
}

}  // namespace

QSize rasterPixelSize(QSizeF points, double dpi) {
    const double s = dpi / 72.0;
    const double w = std::trunc(points.width() * s);
    const double h = std::trunc(points.height() * s);
    if (!(w >= 0 && h >= 0) || w > 1e6 || h > 1e6) return {};
    return QSize(int(w), int(h));
}

int pageCount(const QByteArray& pdf) {
    fz_context* ctx = contextOrThrow();
    OwnedDocument doc(ctx, openDocument(ctx, pdf));
    return countPages(ctx, doc.get());
}

QSizeF visiblePageSize(const QByteArray& pdf, int index) {
    fz_context* ctx = contextOrThrow();
    OwnedDocument doc(ctx, openDocument(ctx, pdf));
    OwnedPage page(ctx, loadPage(ctx, doc.get(), index));
    const fz_rect bounds = visibleBounds(ctx, page.get());
    return QSizeF(bounds.x1 - bounds.x0, bounds.y1 - bounds.y0);
}

QImage renderPage(const QByteArray& pdf, int index, double dpi, qint64 maxBytes) {
    fz_context* ctx = contextOrThrow();
    OwnedDocument doc(ctx, openDocument(ctx, pdf));
    OwnedPage page(ctx, loadPage(ctx, doc.get(), index));
    return renderLoaded(ctx, page.get(), dpi, maxBytes);
}

QImage renderPage(const PDFPage& page, double dpi, qint64 maxBytes) {
    QImage image;
    std::string error = "Could not load the page";
    engine::preparePage(Access::impl(page));
    const bool loaded = engine::withLoadedPage(Access::impl(page), [&](fz_context* ctx, pdf_page* loadedPage) {
        try {
            image = renderLoaded(ctx, loadedPage, dpi, maxBytes);
        } catch (const PDFEngineError& e) {
            error = e.what();
        }
    });
    if (!loaded || image.isNull()) throw PDFEngineError(Kind::operationFailed, error);
    return image;
}

namespace {

constexpr size_t kRasterStoreLimit = size_t(8) << 20;

// Pages rendered and encoded by worker threads, each with its own engine context and its
// own copy of the document; the calling thread reports progress and assembles the output.
// Like the search's, the threads live for one job and are joined before it returns.
class RasterJob {
public:
    // `open` opens the source on a worker's context.
    using Opener = std::function<pdf_document*(fz_context*)>;
    RasterJob(const Opener& open, const RasterizeOptions& options, int count)
        : open_(open), options_(options), count_(count), pages_(size_t(count)) {}

    struct Page {
        QByteArray jpeg;
        QSizeF size;
    };

    void run(int workers) {
        std::vector<std::thread> threads;
        threads.reserve(size_t(workers));
        try {
            for (int i = 0; i < workers; ++i) threads.emplace_back([this] { work(); });
        } catch (const std::system_error&) {
            // The workers that did start stop at their next page; the job fails.
            std::lock_guard guard(mutex_);
            if (error_.empty()) error_ = "Could not start the workers";
        }
        const int started = int(threads.size());
        int reported = -1;
        std::unique_lock lock(mutex_);
        for (;;) {
            changed_.wait(lock, [&] { return done_ != reported || finished_ == started; });
            if (finished_ == started) break;
            reported = done_;
            lock.unlock();
            const bool goOn = !options_.progress || options_.progress(reported, count_);
            lock.lock();
            if (!goOn && error_.empty()) error_ = "Cancelled";
        }
        lock.unlock();
        for (auto& thread : threads) thread.join();
        if (!error_.empty()) failWith(Kind::operationFailed, error_.c_str());
        if (options_.progress && !options_.progress(count_, count_)) failWith(Kind::operationFailed, "Cancelled");
    }

    const std::vector<Page>& pages() const { return pages_; }

private:
    void work() {
        try {
            // A context of the worker's own, so workers never wait on one allocation lock. Each
            // page's pictures are drawn once: the store keeps little more than fonts.
            const engine::IsolatedContext isolated(kRasterStoreLimit);
            fz_context* ctx = isolated.get();
            OwnedDocument doc(ctx, open_(ctx));
            for (;;) {
                int index;
                {
                    std::lock_guard guard(mutex_);
                    if (!error_.empty() || next_ >= count_) break;
                    index = next_++;
                }
                Page page;
                {
                    OwnedPage loaded(ctx, loadPage(ctx, doc.get(), index));
                    const fz_rect bounds = visibleBounds(ctx, loaded.get());
                    page.size = QSizeF(bounds.x1 - bounds.x0, bounds.y1 - bounds.y0);
                    const QImage picture = renderLoaded(ctx, loaded.get(), options_.dpi, options_.maxBytes);
                    page.jpeg = options_.encodePage(picture);
                }
                if (page.jpeg.isEmpty()) failWith(Kind::operationFailed, "Could not encode a page");
                std::lock_guard guard(mutex_);
                pages_[size_t(index)] = std::move(page);
                ++done_;
                changed_.notify_all();
            }
        } catch (const std::exception& e) {
            std::lock_guard guard(mutex_);
            if (error_.empty()) error_ = e.what();
        }
        std::lock_guard guard(mutex_);
        ++finished_;
        changed_.notify_all();
    }

    const Opener& open_;
    const RasterizeOptions& options_;
    const int count_;
    std::vector<Page> pages_;
    std::mutex mutex_;
    std::condition_variable changed_;
    int next_ = 0;
    int done_ = 0;
    int finished_ = 0;
    std::string error_;
};

}  // namespace

namespace {

QByteArray rasterizeFrom(const RasterJob::Opener& open, const RasterizeOptions& options) {
    if (!options.encodePage) failWith(Kind::operationFailed, "No page encoder");
    fz_context* ctx = contextOrThrow();
    int count = 0;
    {
        OwnedDocument source(ctx, open(ctx));
        count = countPages(ctx, source.get());
    }
    if (count <= 0) failWith(Kind::operationFailed, "The document has no pages");
    reportOrCancel(options.progress, 0, count);

    RasterJob job(open, options, count);
    const int workers = std::clamp(options.threads, 1, std::min(count, 8));
    job.run(workers);

    pdf_document* created = nullptr;
    engineCheck(ctx, Kind::operationFailed, [&] { created = pdf_create_document(ctx); });
    OwnedDocument output(ctx, created);
    for (const RasterJob::Page& page : job.pages()) {
        const auto* data = reinterpret_cast<const unsigned char*>(page.jpeg.constData());
        const size_t size = size_t(page.jpeg.size());
        const float w = float(page.size.width());
        const float h = float(page.size.height());
        engineCheck(ctx, Kind::operationFailed, [&] { appendPictureOnlyPage(ctx, output.get(), data, size, w, h); });
    }
    setCreator(ctx, output.get(), options.creator);
    pdf_write_options write = pdf_default_write_options;
    write.do_garbage = 1;
    write.do_compress = 1;
    return writeDocument(ctx, output.get(), write);
}

}  // namespace

QByteArray rasterize(const QByteArray& pdf, const RasterizeOptions& options) {
    return rasterizeFrom([&pdf](fz_context* ctx) { return openDocument(ctx, pdf); }, options);
}

QByteArray rasterizeFile(const QString& path, const RasterizeOptions& options) {
    return rasterizeFrom([&path](fz_context* ctx) { return engine::openDocumentFile(ctx, path); }, options);
}

QByteArray redraw(const QByteArray& pdf, const RedrawOptions& options, RedrawStatistics* statistics) {
    fz_context* ctx = contextOrThrow();
    OwnedDocument source(ctx, openDocument(ctx, pdf));
    pdf_document* doc = source.get();
    const int count = countPages(ctx, doc);
    if (count <= 0) failWith(Kind::operationFailed, "The document has no pages");
    RedrawStatistics stats;

    if (options.recompressImages && options.encodeImage) {
        // Where each image is drawn, to know how much resolution it needs.
        Placements placements;
        struct DropPlacements {
            fz_context* ctx;
            Placements& map;
            ~DropPlacements() {
                for (auto& [image, size] : map) fz_drop_image(ctx, image);
            }
        } dropPlacements{ctx, placements};
        const std::vector<ImageCandidate> candidates = findCandidates(ctx, doc);
        const int total = count + int(candidates.size());
        reportOrCancel(options.progress, 0, total);
        for (int i = 0; i < count; ++i) {
            OwnedPage page(ctx, loadPage(ctx, doc, i));
            collectPlacements(ctx, page.get(), &placements);
            reportOrCancel(options.progress, i + 1, total);
        }
        stats.imagesSeen = int(candidates.size());
        int done = count;
        for (const ImageCandidate& candidate : candidates) {
            fz_image* image = nullptr;
            const int num = candidate.number;
            auto status = engineRun(ctx, [&] {
                pdf_obj* ref = pdf_new_indirect(ctx, doc, num, 0);
                fz_try(ctx) image = pdf_load_image(ctx, doc, ref);
                fz_always(ctx) pdf_drop_obj(ctx, ref);
                fz_catch(ctx) fz_rethrow(ctx);
            });
            if (!status.ok || !image) {
                reportOrCancel(options.progress, ++done, total);
                continue;
            }
            const int width = image->w;
            const int height = image->h;
            QSize target(width, height);
            if (auto it = placements.find(image); it != placements.end() && it->second.width > 0 && it->second.height > 0) {
                const double dpi = std::min(width / it->second.width, height / it->second.height) * 72.0;
                if (options.targetDpi > 0 && dpi > options.targetDpi * 1.5) {
                    const double factor = options.targetDpi / dpi;
                    target = QSize(std::max(1, int(std::lround(width * factor))), std::max(1, int(std::lround(height * factor))));
                }
            }
            QImage pixels;
            if (qint64(width) * height >= 64 * 64) pixels = decodeImage(ctx, image, kMaxPageBitmapBytes);
            fz_drop_image(ctx, image);
            QByteArray jpeg;
            if (!pixels.isNull()) jpeg = options.encodeImage(pixels, target);
            const int components = jpegComponents(jpeg);
            // Replace only when the new stream is clearly smaller than the stored one.
            if (components != 0 && double(jpeg.size()) < double(candidate.storedLength) * 0.9) {
                const int sourceComponents = pixels.format() == QImage::Format_Grayscale8 ? 1 : 3;
                const auto* data = reinterpret_cast<const unsigned char*>(jpeg.constData());
                const size_t size = size_t(jpeg.size());
                const int w = target.width();
                const int h = target.height();
                auto replaced = engineRun(ctx, [&] {
                    pdf_obj* ref = pdf_new_indirect(ctx, doc, num, 0);
                    fz_buffer* buffer = nullptr;
                    fz_var(buffer);
                    fz_try(ctx) {
                        buffer = fz_new_buffer_from_copied_data(ctx, data, size);
                        pdf_update_stream(ctx, doc, ref, buffer, 1);
                        pdf_dict_put(ctx, ref, PDF_NAME(Filter), PDF_NAME(DCTDecode));
                        pdf_dict_del(ctx, ref, PDF_NAME(DecodeParms));
                        pdf_dict_put_int(ctx, ref, PDF_NAME(Width), w);
                        pdf_dict_put_int(ctx, ref, PDF_NAME(Height), h);
                        pdf_dict_put_int(ctx, ref, PDF_NAME(BitsPerComponent), 8);
                        if (components != sourceComponents)
                            pdf_dict_put(ctx, ref, PDF_NAME(ColorSpace),
                                         components == 1 ? PDF_NAME(DeviceGray) : PDF_NAME(DeviceRGB));
                    }
                    fz_always(ctx) {
                        fz_drop_buffer(ctx, buffer);
                        pdf_drop_obj(ctx, ref);
                    }
                    fz_catch(ctx) fz_rethrow(ctx);
                });
                if (replaced.ok) {
                    ++stats.imagesRecompressed;
                    if (target != QSize(width, height)) ++stats.imagesDownsampled;
                }
            }
            reportOrCancel(options.progress, ++done, total);
        }
    } else {
        reportOrCancel(options.progress, 0, 1);
    }

    setCreator(ctx, doc, options.creator);
    for (const auto& [key, value] : options.infoNumbers) {
        const QByteArray name = key.toUtf8();
        const char* keyText = name.constData();
        const float number = float(value);
        engineCheck(ctx, Kind::operationFailed, [&] { pdf_dict_puts_drop(ctx, engine::infoDictionary(ctx, doc), keyText, pdf_new_real(ctx, number)); });
    }

    int objects = 0;
    engineCheck(ctx, Kind::operationFailed, [&] { objects = pdf_xref_len(ctx, doc); });
    pdf_write_options write = pdf_default_write_options;
    // Merging duplicates compares objects pairwise; beyond a few thousand objects it costs
    // seconds, so big documents are only garbage-collected and renumbered.
    write.do_garbage = objects <= 6000 ? 3 : 2;
    write.do_compress = 1;
    write.do_compress_images = 1;
    write.do_compress_fonts = 1;
    QByteArray result = writeDocument(ctx, doc, write);
    if (statistics) *statistics = stats;
    return result;
}

}  // namespace scrivola::PDFCompression
