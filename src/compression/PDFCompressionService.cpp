// PDF compression: redraw and rasterise, their estimates and the page rendering step.

#include "compression/CompressionService.h"

#include "image/codec/ImageCodec.h"
#include "pdf/engine/PDFCompression.h"

#include <QFile>
#include <QFileInfo>

#include <cmath>
#include <functional>
#include <thread>

namespace scrivola::CompressionService {

namespace {

// The engine's progress hook: reports, then answers whether to go on.
PDFCompression::Progress engineProgress(const CompressionProgress& progress) {
    if (!progress.report && !progress.isCancelled) return {};
    return [progress](int done, int total) {
        if (progress.isCancelled && progress.isCancelled()) return false;
        if (progress.report) progress.report(done, total);
        return !(progress.isCancelled && progress.isCancelled());
    };
}

double clampedQuality(double quality) { return std::isnan(quality) ? 1.0 : std::clamp(quality, 0.0, 1.0); }

// Redraw downsamples images shown at more than 1.5 × this resolution.
double redrawTargetDpi(double quality) { return quality < 0.5 ? 150.0 : 300.0; }

QByteArray redrawData(const QByteArray& pdf, double quality, const CompressionProgress& progress) {
    PDFCompression::RedrawOptions options;
    options.recompressImages = quality < 1.0;
    options.targetDpi = redrawTargetDpi(quality);
    options.encodeImage = [quality](const QImage& image, QSize size) -> QByteArray {
        const QImage source = size == image.size() ? image : ImageDrawing::scaled(image, size);
        return jpegData(source, quality).value_or(QByteArray());
    };
    options.creator = QString::fromLatin1(kCreator);
    options.infoNumbers.emplace_back(QString::fromLatin1(kImageQualityKey), quality);
    options.progress = engineProgress(progress);
    return PDFCompression::redraw(pdf, options);
}

}  // namespace

std::optional<QByteArray> documentSnapshot(const PDFDocument& document) {
    // An unchanged document is its original bytes; only an edited one is written out.
    if (auto original = document.originalBytes()) return original;
    try {
        return document.writeToBuffer();
    } catch (const PDFEngineError&) {
        return std::nullopt;
    }
}

namespace {

// Rasterising with the settings' resolution and quality; none when the settings or the job fail.
std::optional<QByteArray> rasterizeWith(const PDFCompressionSettings& settings, const CompressionProgress& progress,
                                        const std::function<QByteArray(const PDFCompression::RasterizeOptions&)>& run) {
    if (!(settings.dpi > 0)) return std::nullopt;
    const double quality = clampedQuality(settings.quality);
    PDFCompression::RasterizeOptions options;
    options.dpi = settings.dpi;
    options.threads = int(std::thread::hardware_concurrency());
    options.encodePage = [quality](const QImage& page) { return jpegData(page, quality).value_or(QByteArray()); };
    options.creator = QString::fromLatin1(kCreator);
    options.progress = engineProgress(progress);
    try {
        return run(options);
    } catch (const PDFEngineError&) {
        return std::nullopt;
    }
}

}  // namespace

std::optional<QByteArray> rasterizePDF(const QByteArray& pdf, const PDFCompressionSettings& settings,
                                       const CompressionProgress& progress) {
    return rasterizeWith(settings, progress, [&](const auto& options) { return PDFCompression::rasterize(pdf, options); });
}

std::optional<PDFCompressionResult> compressPDFFile(const QString& path, const PDFCompressionSettings& settings,
                                                    const CompressionProgress& progress) {
    const auto readInput = [&]() -> std::optional<QByteArray> {
        QFile input(path);
        if (!input.open(QIODevice::ReadOnly)) return std::nullopt;
        return input.readAll();
    };
    if (!settings.useRasterization) {
        const std::optional<QByteArray> pdf = readInput();
        return pdf ? compressPDFData(*pdf, settings, progress) : std::nullopt;
    }
    const std::optional<QByteArray> compressed = rasterizeWith(
        settings, progress, [&](const auto& options) { return PDFCompression::rasterizeFile(path, options); });
    if (!compressed || compressed->isEmpty()) return std::nullopt;
    if (compressed->size() < QFileInfo(path).size()) return PDFCompressionResult{*compressed, true};
    const std::optional<QByteArray> pdf = readInput();
    return pdf ? std::optional(PDFCompressionResult{*pdf, false}) : std::nullopt;
}

std::optional<PDFCompressionResult> compressPDFData(const QByteArray& pdf, const PDFCompressionSettings& settings,
                                                    const CompressionProgress& progress) {
    std::optional<QByteArray> compressed;
    if (settings.useRasterization) {
        compressed = rasterizePDF(pdf, settings, progress);
    } else {
        try {
            compressed = redrawData(pdf, clampedQuality(settings.quality), progress);
        } catch (const PDFEngineError&) {
            compressed = std::nullopt;
        }
    }
    if (!compressed || compressed->isEmpty()) return std::nullopt;
    if (compressed->size() < pdf.size()) return PDFCompressionResult{*compressed, true};
    return PDFCompressionResult{pdf, false};
}

std::optional<QByteArray> compressPDF(const PDFDocument& document, const PDFCompressionSettings& settings,
                                      const CompressionProgress& progress) {
    if (document.pageCount() <= 0) return std::nullopt;
    const auto snapshot = documentSnapshot(document);
    if (!snapshot) return std::nullopt;
    const auto result = compressPDFData(*snapshot, settings, progress);
    if (!result) return std::nullopt;
    return result->data;
}

qint64 estimateRedrawSize(qint64 fileSize, double quality) {
    return qint64(double(fileSize) * (quality * kQualityWeight + kBaseFactor));
}

std::optional<qint64> estimateCompressedSize(const PDFDocument& document, const QString& url,
                                             const PDFCompressionSettings& settings) {
    if (!settings.useRasterization) {
        const auto size = fileSize(url);
        if (!size) return std::nullopt;
        return estimateRedrawSize(*size, settings.quality);
    }
    const int count = document.pageCount();
    const auto first = document.page(0);
    if (count <= 0 || !first) return std::nullopt;
    const QImage picture = renderPageToImage(*first, settings.dpi);
    if (picture.isNull()) return std::nullopt;
    const auto jpeg = jpegData(picture, clampedQuality(settings.quality));
    if (!jpeg) return std::nullopt;
    return qint64(jpeg->size()) * count + qint64(count) * kPageAllowance;
}

std::optional<qint64> fileSize(const QString& path) {
    if (path.isEmpty()) return std::nullopt;
    const QFileInfo info(path);
    if (!info.exists() || !info.isFile()) return std::nullopt;
    return info.size();
}

QImage renderPageToImage(const PDFPage& page, double dpi) {
    try {
        return PDFCompression::renderPage(page, dpi);
    } catch (const PDFEngineError&) {
        return {};
    }
}

std::optional<QByteArray> jpegData(const QImage& image, double quality) {
    if (image.isNull()) return std::nullopt;
    EncodeOptions options;
    options.quality = clampedQuality(quality);
    try {
        QByteArray bytes = ImageCodec::encode(image, ImageEncoding::jpeg, options);
        if (bytes.isEmpty()) return std::nullopt;
        return bytes;
    } catch (const ImageCodecError&) {
        return std::nullopt;
    }
}

}  // namespace scrivola::CompressionService
