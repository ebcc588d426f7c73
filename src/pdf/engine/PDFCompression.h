#pragma once

// Engine work behind PDF compression: rasterising every page into a PDF of one picture per page,
// and rewriting a document with its images recompressed and its objects cleaned up.
//
// Threads: every function that takes PDF bytes opens its own private copy of the document with
// the calling thread's engine context, so it may run on any thread, also while the main thread
// works on open documents. Only renderPage(const PDFPage&, ...) is main-thread-only, like PDFPage.

#include "pdf/engine/PDFEngine.h"

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QSizeF>
#include <QString>

#include <functional>
#include <utility>
#include <vector>

namespace scrivola::PDFCompression {

// Bitmaps of one page may need at most this many bytes (RGB, 3 bytes a pixel).
constexpr qint64 kMaxPageBitmapBytes = qint64(512) << 20;

// Called after each unit of work; returning false cancels the job (PDFEngineError operationFailed).
using Progress = std::function<bool(int done, int total)>;

// Pixel size of a page of `points` rendered at `dpi`: each side × dpi ÷ 72, truncated toward zero.
QSize rasterPixelSize(QSizeF points, double dpi);

// Number of pages; throws PDFEngineError (loadFailed, passwordProtected, corruptedFile).
int pageCount(const QByteArray& pdf);

// The visible size of a page in points: its crop box, turned by its rotation.
QSizeF visiblePageSize(const QByteArray& pdf, int index);

// Renders the visible page (crop box, rotation, annotations) on white at `dpi`, RGB888, of
// rasterPixelSize(visible size, dpi). Throws PDFEngineError when the page cannot be loaded or
// rendered, when the bitmap would be empty, or when it would need more than `maxBytes`.
QImage renderPage(const QByteArray& pdf, int index, double dpi, qint64 maxBytes = kMaxPageBitmapBytes);
QImage renderPage(const PDFPage& page, double dpi, qint64 maxBytes = kMaxPageBitmapBytes);

struct RasterizeOptions {
    double dpi = 150;
    qint64 maxBytes = kMaxPageBitmapBytes;
    // Encodes one rendered page as JPEG; the bytes are embedded as they are. An empty result
    // fails the job.
    std::function<QByteArray(const QImage&)> encodePage;
    QString creator;  // /Info /Creator when not empty
    // Called on the calling thread only (pages are rendered by worker threads meanwhile).
    Progress progress;
    // Worker threads rendering pages, each with its own engine context and document copy. Each
    // holds page bitmaps of tens of megabytes, so memory grows with their number.
    int threads = 1;
};

// A new PDF with one page per page of `pdf`, each of the visible page's point size and filled by
// its rendered, encoded picture. `encodePage` runs on the worker threads and must be thread-safe.
// All or nothing: throws PDFEngineError when any page fails, when
// the document has no pages, or when cancelled.
QByteArray rasterize(const QByteArray& pdf, const RasterizeOptions& options);
// The same for the file at `path`, which every worker reads from disk as it needs: a large scan
// is never whole in memory.
QByteArray rasterizeFile(const QString& path, const RasterizeOptions& options);

struct RedrawOptions {
    // Lossy recompression of embedded images happens only when set.
    bool recompressImages = true;
    // Images shown at more than 1.5 × this resolution (pixels per inch of their largest use on a
    // page) are downsampled to it.
    double targetDpi = 300;
    // Re-encodes an image (converted to RGB888 or Grayscale8) at `size` pixels, which may be
    // smaller than the image; JPEG bytes. An empty result keeps the image as it was.
    std::function<QByteArray(const QImage& image, QSize size)> encodeImage;
    QString creator;
    // Extra /Info entries written as real numbers (key without the slash).
    std::vector<std::pair<QString, double>> infoNumbers;
    Progress progress;
};

struct RedrawStatistics {
    int imagesSeen = 0;
    int imagesRecompressed = 0;
    int imagesDownsampled = 0;
};

// The document rewritten: images re-encoded where that makes them smaller, every stream
// deflated, unused objects dropped and (for documents of moderate size) duplicates merged.
// Pages, boxes, rotation, annotations, links and outlines stay as they are. Throws
// PDFEngineError on failure or cancellation. The result may be larger than the input; callers decide.
QByteArray redraw(const QByteArray& pdf, const RedrawOptions& options, RedrawStatistics* statistics = nullptr);

}  // namespace scrivola::PDFCompression
