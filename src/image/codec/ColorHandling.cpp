// Colour spaces: nclx descriptions from HEIF files, conversion to sRGB for display, flattening alpha.

#include "image/codec/CodecInternal.h"

#include <QPainter>
#include <QPointF>

namespace scrivola::codec {

QColorSpace colorSpaceFromNclx(int primaries, int transfer, double rx, double ry, double gx, double gy, double bx,
                               double by, double wx, double wy) {
    // ITU-T H.273: primaries 1 = BT.709 (sRGB), 2 = unspecified; transfer 13 = sRGB, 8 = linear,
    // 1/6/14/15 = BT.709-style curves (close to gamma 2.2 for display), 4 = gamma 2.2, 5 = gamma 2.8.
    if (primaries == 2 || primaries == 0) primaries = 1;
    QColorSpace::TransferFunction function = QColorSpace::TransferFunction::SRgb;
    float gamma = 0.0f;
    switch (transfer) {
    case 8: function = QColorSpace::TransferFunction::Linear; break;
    case 4: function = QColorSpace::TransferFunction::Gamma; gamma = 2.2f; break;
    case 5: function = QColorSpace::TransferFunction::Gamma; gamma = 2.8f; break;
    case 16:
    case 18:
        return {};  // HDR curves (PQ, HLG) have no QColorSpace equivalent: leave the image untagged
    default: break;
    }
    if (primaries == 1)
        return function == QColorSpace::TransferFunction::SRgb ? QColorSpace(QColorSpace::SRgb)
                                                               : QColorSpace(QColorSpace::Primaries::SRgb, function, gamma);
    if (primaries == 12) return QColorSpace(QColorSpace::Primaries::DciP3D65, function, gamma);
    if (wx <= 0 || wy <= 0 || rx <= 0 || gx <= 0 || bx <= 0) return {};
    const QColorSpace space(QPointF(wx, wy), QPointF(rx, ry), QPointF(gx, gy), QPointF(bx, by), function, gamma);
    return space.isValid() ? space : QColorSpace();
}

QImage flattenedOntoWhite(const QImage& image) {
    if (!image.hasAlphaChannel()) return image.convertToFormat(QImage::Format_RGB32);
    QImage flat(image.size(), QImage::Format_RGB32);
    if (flat.isNull()) return flat;
    flat.fill(Qt::white);
    flat.setDotsPerMeterX(image.dotsPerMeterX());
    flat.setDotsPerMeterY(image.dotsPerMeterY());
    flat.setColorSpace(image.colorSpace());
    QPainter painter(&flat);
    painter.drawImage(0, 0, image);
    painter.end();
    return flat;
}

}  // namespace scrivola::codec

namespace scrivola::ImageCodec {

QImage toDisplayColorSpace(const QImage& image) {
    const QColorSpace space = image.colorSpace();
    if (image.isNull() || !space.isValid() || space == QColorSpace(QColorSpace::SRgb)) return image;
    // Conversion works on 32-bit RGB formats; indexed and grey images are widened first.
    QImage source = image;
    switch (image.format()) {
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
    case QImage::Format_ARGB32_Premultiplied:
    case QImage::Format_RGBX64:
    case QImage::Format_RGBA64:
    case QImage::Format_RGBA64_Premultiplied: break;
    default: source = image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    }
    QImage converted = source.convertedToColorSpace(QColorSpace::SRgb);
    return converted.isNull() ? image : converted;
}

}  // namespace scrivola::ImageCodec
