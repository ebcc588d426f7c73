// SVG documents rasterised at their natural size with QtSvg.

#include "image/codec/CodecInternal.h"

#include <QPainter>
#include <QSvgRenderer>

namespace scrivola::codec {

namespace {

QSize naturalSize(const QSvgRenderer& renderer) {
    if (!renderer.isValid()) fail(ImageCodecError::Kind::corrupted, QStringLiteral("The SVG document could not be read"));
    const QSize size = renderer.defaultSize();
    checkPixelBudget(size);
    return size;
}

}  // namespace

ImageInfo probeSvg(const QByteArray& data) {
    QSvgRenderer renderer(data);
    ImageInfo info;
    info.format = formatName(Format::svg);
    info.pixelSize = naturalSize(renderer);
    info.hasAlpha = true;
    return info;
}

QImage decodeSvg(const QByteArray& data) {
    QSvgRenderer renderer(data);
    const QSize size = naturalSize(renderer);
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        fail(ImageCodecError::Kind::tooLarge, QStringLiteral("Not enough memory to draw the SVG document"));
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform | QPainter::TextAntialiasing);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
    painter.end();
    image.setColorSpace(QColorSpace::SRgb);
    return image;
}

}  // namespace scrivola::codec
