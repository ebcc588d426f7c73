#pragma once

#include "support/ImageFactory.h"
#include "image/codec/ImageCodec.h"

#include <QColor>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <optional>

namespace scrivola::testing {

// The error kind an action throws, or none when it succeeds.
inline std::optional<ImageCodecError::Kind> codecErrorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const ImageCodecError& error) {
        return error.kind();
    }
    return std::nullopt;
}

inline ::testing::AssertionResult colourNear(QRgb actual, const QColor& expected, int tolerance) {
    const QColor a = QColor::fromRgba(actual);
    const int d = std::max({std::abs(a.red() - expected.red()), std::abs(a.green() - expected.green()),
                            std::abs(a.blue() - expected.blue()), std::abs(a.alpha() - expected.alpha())});
    if (d <= tolerance) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "pixel " << a.name(QColor::HexArgb).toStdString() << " differs from "
                                         << expected.name(QColor::HexArgb).toStdString() << " by " << d;
}

// Samples the middle of each quadrant of a decoded patternImage.
inline void expectPattern(const QImage& decoded, int tolerance, const QColor& bottomRight = kPatternBottomRight) {
    ASSERT_FALSE(decoded.isNull());
    const QImage image = decoded.convertToFormat(QImage::Format_ARGB32);
    const int w = image.width(), h = image.height();
    EXPECT_TRUE(colourNear(image.pixel(w / 4, h / 4), kPatternTopLeft, tolerance)) << "top-left";
    EXPECT_TRUE(colourNear(image.pixel(3 * w / 4, h / 4), kPatternTopRight, tolerance)) << "top-right";
    EXPECT_TRUE(colourNear(image.pixel(w / 4, 3 * h / 4), kPatternBottomLeft, tolerance)) << "bottom-left";
    EXPECT_TRUE(colourNear(image.pixel(3 * w / 4, 3 * h / 4), bottomRight, tolerance)) << "bottom-right";
}

class CodecTest : public ::testing::Test {
protected:
    QString path(const QString& name) const { return dir_.filePath(name); }
    QString write(const QString& name, const QByteArray& bytes) { return writeBytes(path(name), bytes); }
    QTemporaryDir dir_;
};

}  // namespace scrivola::testing
