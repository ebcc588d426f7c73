#pragma once

#include "support/PdfFactory.h"

#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace scrivola::testing {

inline void expectRectNear(const QRectF& actual, const QRectF& expected, double tolerance = 0.01) {
    EXPECT_NEAR(actual.left(), expected.left(), tolerance);
    EXPECT_NEAR(actual.top(), expected.top(), tolerance);
    EXPECT_NEAR(actual.width(), expected.width(), tolerance);
    EXPECT_NEAR(actual.height(), expected.height(), tolerance);
}

}  // namespace scrivola::testing
