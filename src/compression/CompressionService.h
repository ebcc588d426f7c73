#pragma once

// Smaller copies of documents: PDFs redrawn (rewritten with their images recompressed) or
// rasterised to one JPEG picture per page, and raster images scaled and re-encoded; plus cheap
// size estimates for the compression dialog. Stateless: nothing is written to disk and the
// given document or image is never changed.
//
// Threads: the functions that take a PDFDocument or PDFPage run on the main thread (the
// engine's documents live there). Everything else is pure and thread-safe: compressPDFData()
// and the image functions may run on a worker thread. A dialog takes documentSnapshot() on the
// main thread and hands the bytes to compressPDFData() on a worker, with a CompressionProgress
// for its progress bar and Cancel button.
//
// Failures are values: none (std::nullopt) from compression means nothing to save; none from an
// estimate means "unavailable" (never 0).

#include "compression/CompressionSettings.h"
#include "pdf/engine/PDFEngine.h"

#include <QByteArray>
#include <QImage>
#include <QString>

#include <optional>

namespace scrivola {

struct PDFCompressionResult {
    QByteArray data;
    // False when compression gained nothing: `data` is then the input itself, never a larger file.
    bool isSmaller = false;
};

namespace CompressionService {

inline constexpr const char* kCreator = "Scrivola";
inline constexpr const char* kImageQualityKey = "kCGPDFContextImageQuality";
inline constexpr double kPointsPerInch = 72.0;
// Redraw estimate: file size × (quality × 0.7 + 0.3).
inline constexpr double kQualityWeight = 0.7;
inline constexpr double kBaseFactor = 0.3;
// Rasterised estimate: bytes of page 0's JPEG × pages + 1024 bytes a page.
inline constexpr qint64 kPageAllowance = 1024;
// Image estimates of larger results encode a sample of about this many pixels and extrapolate.
inline constexpr qint64 kEstimateSamplePixels = 1'000'000;

// --- PDFs ---

// The document's current state (unsaved edits included) as PDF bytes; none on failure. Main thread.
std::optional<QByteArray> documentSnapshot(const PDFDocument& document);

// Main thread. Compresses the document as it is now; the bytes are never larger than the
// document's own (when nothing is gained, the snapshot itself comes back). None when the
// document has no pages or any page fails.
std::optional<QByteArray> compressPDF(const PDFDocument& document, const PDFCompressionSettings& settings,
                                      const CompressionProgress& progress = {});

// Thread-safe. `pdf` is a whole PDF file. Redraw: images re-encoded at `quality` (downsampled
// above 450 ppi to 300, or above 225 to 150 at quality below 0.5) where that makes them smaller,
// streams deflated, unused and duplicate objects dropped; pages, annotations, links and outlines
// kept. Rasterise: every visible page (crop box, rotation, annotations) rendered at `dpi` on white
// and embedded as one JPEG at `quality`. The creator is "Scrivola". All or nothing: none when
// the input cannot be read, has no pages, a page cannot be rendered (or would need a bitmap of
// more than 512 MB), or the job is cancelled.
std::optional<PDFCompressionResult> compressPDFData(const QByteArray& pdf, const PDFCompressionSettings& settings,
                                                    const CompressionProgress& progress = {});

// Thread-safe. The same for the PDF file at `path`; rasterising reads it from disk page by page
// instead of holding it in memory.
std::optional<PDFCompressionResult> compressPDFFile(const QString& path, const PDFCompressionSettings& settings,
                                                    const CompressionProgress& progress = {});

// Thread-safe. The rasterising variant on its own, whatever its size compared with the input.
std::optional<QByteArray> rasterizePDF(const QByteArray& pdf, const PDFCompressionSettings& settings,
                                       const CompressionProgress& progress = {});

// Main thread. Redraw: file size × (quality × 0.7 + 0.3), truncated; none when the file size of
// `url` cannot be read. Rasterise: page 0 rendered and encoded as JPEG, its byte count × pages +
// 1024 × pages; none for a document without pages or when page 0 fails.
std::optional<qint64> estimateCompressedSize(const PDFDocument& document, const QString& url,
                                             const PDFCompressionSettings& settings);
// The redraw arithmetic on its own.
qint64 estimateRedrawSize(qint64 fileSize, double quality);

// Size in bytes of the file at `path`; none when there is no path or the size cannot be read.
std::optional<qint64> fileSize(const QString& path);

// Main thread. The visible page (crop box, rotation, annotations) on white at `dpi`, of
// trunc(width × dpi ÷ 72) × trunc(height × dpi ÷ 72) pixels; a null image on failure.
QImage renderPageToImage(const PDFPage& page, double dpi);

// JPEG bytes at `quality` (0...1); none when encoding fails.
std::optional<QByteArray> jpegData(const QImage& image, double quality);

// --- Images (thread-safe) ---

// Factor 1 or more: the same image. Otherwise trunc(width × f) × trunc(height × f) pixels,
// smoothly resampled; none when a side would be less than 1 or the factor is not positive.
std::optional<QImage> scaleImage(const QImage& image, double factor);

// Scaled, then encoded in the settings' format (HEIC with the encoder's fast preset). None on failure.
std::optional<QByteArray> compressImage(const QImage& image, const ImageCompressionSettings& settings,
                                        const CompressionProgress& progress = {});

// Quality and scale at 1 or more: the size of the image as uncompressed TIFF data, whatever the
// format. Otherwise the size of compressImage(); results above about two megapixels are
// estimated from a mosaic of tiles of about one megapixel, encoded and scaled by the pixel
// ratio. None when encoding fails.
std::optional<qint64> estimateCompressedSize(const QImage& image, const ImageCompressionSettings& settings);

// Bytes of an uncompressed 8-bit TIFF of the image (3 samples a pixel, 4 with alpha).
qint64 uncompressedTiffSize(const QImage& image);

}  // namespace CompressionService

}  // namespace scrivola
