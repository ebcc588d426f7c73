// Image compression: scaling, re-encoding and the size estimate.

#include "compression/CompressionService.h"

#include "image/codec/ImageCodec.h"

#include <QColorSpace>
#include <QPainter>

#include <cmath>

namespace scrivola::CompressionService {

namespace {

bool cancelled(const CompressionProgress& progress) { return progress.isCancelled && progress.isCancelled(); }

void report(const CompressionProgress& progress, int done, int total) {
    if (progress.report) progress.report(done, total);
}

QSize scaledSize(QSize size, double factor) {
    if (factor >= 1.0) return size;
    return QSize(int(std::trunc(size.width() * factor)), int(std::trunc(size.height() * factor)));
}

std::optional<QByteArray> encode(const QImage& image, const ImageCompressionSettings& settings) {
    EncodeOptions options;
    options.quality = std::isnan(settings.quality) ? 1.0 : std::clamp(settings.quality, 0.0, 1.0);
    options.fastHeic = true;
    try {
        QByteArray bytes = ImageCodec::encode(image, ImageOutputFormats::encoding(settings.format), options);
        if (bytes.isEmpty()) return std::nullopt;
        return bytes;
    } catch (const ImageCodecError&) {
        return std::nullopt;
    }
}

// About kEstimateSamplePixels of the result, as a grid of tiles taken evenly over the image and
// scaled like the whole, so that the sample has the detail per pixel of the real result.
QImage estimateSample(const QImage& image, double factor, QSize target) {
    constexpr int kTile = 256;
    const int grid = int(std::ceil(std::sqrt(double(kEstimateSamplePixels) / (kTile * kTile))));
    const int columns = std::min(grid, std::max(1, target.width() / kTile));
    const int rows = std::min(grid, std::max(1, target.height() / kTile));
    const double f = std::min(factor, 1.0);
    const int sourceTile = std::max(1, int(std::lround(kTile / f)));
    QImage sample(columns * kTile, rows * kTile, image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (sample.isNull()) return {};
    sample.setColorSpace(image.colorSpace());
    sample.fill(Qt::transparent);
    QPainter painter(&sample);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            // The tile centred in its cell of the source.
            const int cx = int((c + 0.5) * image.width() / columns);
            const int cy = int((r + 0.5) * image.height() / rows);
            const int x = std::clamp(cx - sourceTile / 2, 0, std::max(0, image.width() - sourceTile));
            const int y = std::clamp(cy - sourceTile / 2, 0, std::max(0, image.height() - sourceTile));
            QImage tile = image.copy(x, y, std::min(sourceTile, image.width()), std::min(sourceTile, image.height()));
            if (tile.size() != QSize(kTile, kTile)) tile = ImageDrawing::scaled(tile, QSize(kTile, kTile));
            painter.drawImage(c * kTile, r * kTile, tile);
        }
    }
    painter.end();
    return sample;
}

}  // namespace

std::optional<QImage> scaleImage(const QImage& image, double factor) {
    if (image.isNull() || !(factor > 0)) return std::nullopt;
    if (factor >= 1.0) return image;
    const QSize size = scaledSize(image.size(), factor);
    if (size.width() < 1 || size.height() < 1) return std::nullopt;
    QImage scaled = ImageDrawing::scaled(image, size);
    if (scaled.isNull()) return std::nullopt;
    return scaled;
}

std::optional<QByteArray> compressImage(const QImage& image, const ImageCompressionSettings& settings,
                                        const CompressionProgress& progress) {
    constexpr int kSteps = 2;
    report(progress, 0, kSteps);
    const auto scaled = scaleImage(image, settings.scale);
    if (!scaled || cancelled(progress)) return std::nullopt;
    report(progress, 1, kSteps);
    auto bytes = encode(*scaled, settings);
    if (!bytes || cancelled(progress)) return std::nullopt;
    report(progress, kSteps, kSteps);
    return bytes;
}

qint64 uncompressedTiffSize(const QImage& image) {
    // Header, one IFD with its tag values, and the strips of 8-bit samples.
    constexpr qint64 kHeaderAndDirectory = 8 + 2 + 16 * 12 + 4 + 64;
    const qint64 samples = image.hasAlphaChannel() ? 4 : 3;
    return kHeaderAndDirectory + qint64(image.width()) * image.height() * samples;
}

std::optional<qint64> estimateCompressedSize(const QImage& image, const ImageCompressionSettings& settings) {
    if (image.isNull()) return std::nullopt;
    if (settings.quality >= 1.0 && settings.scale >= 1.0) return uncompressedTiffSize(image);
    if (!(settings.scale > 0)) return std::nullopt;
    const QSize target = scaledSize(image.size(), settings.scale);
    if (target.width() < 1 || target.height() < 1) return std::nullopt;
    const qint64 targetPixels = qint64(target.width()) * target.height();
    if (targetPixels <= 2 * kEstimateSamplePixels) {
        const auto bytes = compressImage(image, settings);
        if (!bytes) return std::nullopt;
        return bytes->size();
    }
    const QImage sample = estimateSample(image, settings.scale, target);
    if (sample.isNull()) return std::nullopt;
    const auto bytes = encode(sample, settings);
    if (!bytes) return std::nullopt;
    const double ratio = double(targetPixels) / (double(sample.width()) * sample.height());
    return qint64(double(bytes->size()) * ratio);
}

}  // namespace scrivola::CompressionService
