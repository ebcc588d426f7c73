// Drawing helpers: images drawn by a handler, exact quarter turns, quality downscaling, point sizes.

#include "image/codec/ImageCodec.h"

#include "image/codec/CodecInternal.h"

#include <QPainter>
#include <QTransform>

#include <cmath>

namespace scrivola::ImageDrawing {

namespace {

// Qt gives every new image 96 DPI; an image still at that value never had a resolution of its own.
int defaultDotsPerMeter() {
    static const int value = QImage(1, 1, QImage::Format_RGB32).dotsPerMeterX();
    return value;
}

void copyMetadata(const QImage& from, QImage& to, bool swapAxes) {
    to.setDotsPerMeterX(swapAxes ? from.dotsPerMeterY() : from.dotsPerMeterX());
    to.setDotsPerMeterY(swapAxes ? from.dotsPerMeterX() : from.dotsPerMeterY());
    to.setColorSpace(from.colorSpace());
}

}  // namespace

QImage drawImage(QSize pixelSize, const std::function<void(QPainter&)>& draw) {
    if (pixelSize.isEmpty() || codec::exceedsPixelBudget(pixelSize)) return {};
    QImage image(pixelSize, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) return image;
    image.fill(Qt::transparent);
    if (draw) {
        QPainter painter(&image);
        painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform | QPainter::TextAntialiasing);
        draw(painter);
    }
    return image;
}

QImage rotated(const QImage& image, int degreesClockwise) {
    if (image.isNull()) return image;
    const int degrees = ((degreesClockwise % 360) + 360) % 360;
    if (degrees == 0) return image.copy();
    QImage result;
    bool swap = false;
    if (degrees % 90 == 0) {
        // Exact pixel moves: Qt takes its memory-rotation paths for right angles.
        result = image.transformed(QTransform().rotate(degrees));
        swap = degrees != 180;
    } else {
        // Any other angle: the whole picture on a canvas that holds it, corners transparent.
        const QImage source = image.hasAlphaChannel() ? image : image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        result = source.transformed(QTransform().rotate(degrees), Qt::SmoothTransformation);
    }
    copyMetadata(image, result, swap);
    return result;
}

QImage scaled(const QImage& image, QSize size) {
    if (image.isNull() || size.isEmpty()) return {};
    if (size == image.size()) return image.copy();
    QImage current = image;
    // Halving first is fast and, ending in one smooth pass of less than 2:1, keeps detail without aliasing.
    while (current.width() / 2 >= size.width() && current.height() / 2 >= size.height()) {
        current = current.scaled(current.width() / 2, current.height() / 2, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    QImage result = current.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    copyMetadata(image, result, false);
    return result;
}

QSizeF pointSize(const QImage& image) {
    if (image.isNull()) return {};
    auto dpi = [](int dotsPerMeter) {
        if (dotsPerMeter <= 0 || dotsPerMeter == defaultDotsPerMeter()) return 72.0;
        return dotsPerMeter * 0.0254;
    };
    return {image.width() * 72.0 / dpi(image.dotsPerMeterX()), image.height() * 72.0 / dpi(image.dotsPerMeterY())};
}

}  // namespace scrivola::ImageDrawing
