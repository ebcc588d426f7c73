#pragma once

#include "pdf/engine/PDFEngine.h"
#include "support/PdfFactory.h"

#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace scrivola::testing {

inline QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// True when the pixel is clearly not white (ink or colour).
inline bool isInk(const QImage& image, int x, int y) {
    const QColor c = image.pixelColor(x, y);
    return c.red() < 200 || c.green() < 200 || c.blue() < 200;
}

// Bounding box of the non-white pixels; null when the image is blank.
inline QRect inkBounds(const QImage& image) {
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (isInk(image, x, y)) box = box.isNull() ? QRect(x, y, 1, 1) : box.united(QRect(x, y, 1, 1));
    return box;
}

inline void expectRectNear(const QRectF& actual, const QRectF& expected, double tolerance = 0.01) {
    EXPECT_NEAR(actual.left(), expected.left(), tolerance);
    EXPECT_NEAR(actual.top(), expected.top(), tolerance);
    EXPECT_NEAR(actual.width(), expected.width(), tolerance);
    EXPECT_NEAR(actual.height(), expected.height(), tolerance);
}

}  // namespace scrivola::testing
