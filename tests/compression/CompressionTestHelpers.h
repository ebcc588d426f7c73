#pragma once

// Inputs and pixel comparisons shared by the compression tests.

#include <QImage>

#include <cstdlib>

namespace scrivola::testing {

// Mean absolute difference per channel (0...255) of two images of the same size; 255 when the
// sizes differ.
inline double meanDifference(const QImage& a, const QImage& b) {
    if (a.size() != b.size() || a.isNull()) return 255;
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    double sum = 0;
    for (int row = 0; row < x.height(); ++row) {
        const auto* p = reinterpret_cast<const QRgb*>(x.constScanLine(row));
        const auto* q = reinterpret_cast<const QRgb*>(y.constScanLine(row));
        for (int col = 0; col < x.width(); ++col)
            sum += std::abs(qRed(p[col]) - qRed(q[col])) + std::abs(qGreen(p[col]) - qGreen(q[col])) +
                   std::abs(qBlue(p[col]) - qBlue(q[col]));
    }
    return sum / (3.0 * x.width() * x.height());
}

// The average colour of a rectangle of pixels.
inline QColor averageColor(const QImage& image, const QRect& area) {
    const QRect r = area.intersected(image.rect());
    if (r.isEmpty()) return {};
    qint64 red = 0, green = 0, blue = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) {
            const QRgb p = image.pixel(x, y);
            red += qRed(p);
            green += qGreen(p);
            blue += qBlue(p);
        }
    const qint64 n = qint64(r.width()) * r.height();
    return QColor(int(red / n), int(green / n), int(blue / n));
}

}  // namespace scrivola::testing
