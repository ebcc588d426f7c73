#include "image/ImageDocumentModel.h"

#include "image/codec/ImageCodec.h"

#include <QColorSpace>
#include <QTransform>

#include <cmath>

namespace scrivola {

QImage rotated(const QImage& image, double degrees) {
    if (image.isNull()) return {};
    const double quarters = degrees / 90.0;
    if (quarters == std::round(quarters)) {
        // Counterclockwise by a whole number of quarter turns is clockwise by the rest of a full turn.
        const int counterclockwise = int(std::fmod(std::round(quarters), 4.0)) * 90;
        const int clockwise = (360 - counterclockwise) % 360;
        return clockwise == 0 ? image.copy() : ImageDrawing::rotated(image, clockwise);
    }
    // Any other angle: the whole image on a canvas grown to hold it. QTransform turns clockwise on
    // screen (y down) for positive angles, hence the negation.
    QImage turned = image.transformed(QTransform().rotate(-degrees), Qt::SmoothTransformation);
    turned.setDotsPerMeterX(image.dotsPerMeterX());
    turned.setDotsPerMeterY(image.dotsPerMeterY());
    if (image.colorSpace().isValid()) turned.setColorSpace(image.colorSpace());
    return turned;
}

}  // namespace scrivola
