#include "compression/CompressionService.h"
#include "compression/CompressionTestHelpers.h"
#include "image/codec/ImageCodec.h"
#include "support/ImageFactory.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace scrivola;
using namespace scrivola::testing;
namespace CS = scrivola::CompressionService;

TEST(ImageCompression, ScaleImage) {
    const QImage image = patternImage(QSize(3, 3));
    const auto same = CS::scaleImage(image, 1.0);
    ASSERT_TRUE(same);
    EXPECT_EQ(same->cacheKey(), image.cacheKey());  // the image itself, no copy
    EXPECT_EQ(CS::scaleImage(image, 2.0)->cacheKey(), image.cacheKey());
    EXPECT_FALSE(CS::scaleImage(image, 0.25));  // 0 × 0 after truncation
    EXPECT_FALSE(CS::scaleImage(image, 0.0));
    EXPECT_FALSE(CS::scaleImage(image, -1.0));
    EXPECT_FALSE(CS::scaleImage(QImage(), 0.5));

    const auto half = CS::scaleImage(patternImage(QSize(401, 301)), 0.5);
    ASSERT_TRUE(half);
    EXPECT_EQ(half->size(), QSize(200, 150));
    // The quadrants survive the resampling.
    EXPECT_EQ(averageColor(*half, QRect(20, 20, 40, 40)).red(), kPatternTopLeft.red());
    EXPECT_EQ(averageColor(*half, QRect(140, 100, 40, 40)).blue(), kPatternBottomRight.blue());
}

TEST(ImageCompression, EncodesEachFormat) {
    QTemporaryDir dir;
    const QImage image = photoImage(QSize(320, 240));
    for (ImageOutputFormat format : ImageOutputFormats::allCases()) {
        const auto bytes = CS::compressImage(image, {0.6, 0.5, format});
        ASSERT_TRUE(bytes) << ImageOutputFormats::rawValue(format).toStdString();
        const QImage decoded = ImageCodec::decode(*bytes);
        EXPECT_EQ(decoded.size(), QSize(160, 120)) << ImageOutputFormats::rawValue(format).toStdString();
        EXPECT_EQ(ImageCodec::probe(writeBytes(dir.filePath(QStringLiteral("probe")), *bytes)).format,
                  ImageOutputFormats::fileExtension(format));
    }
    EXPECT_FALSE(CS::compressImage(patternImage(QSize(3, 3)), {0.5, 0.25, ImageOutputFormat::jpeg}));

    // Quality matters only for lossy formats.
    const auto pngLow = CS::compressImage(image, {0.1, 1.0, ImageOutputFormat::png});
    const auto pngHigh = CS::compressImage(image, {0.9, 1.0, ImageOutputFormat::png});
    ASSERT_TRUE(pngLow && pngHigh);
    EXPECT_EQ(*pngLow, *pngHigh);
    const auto jpegLow = CS::compressImage(image, {0.2, 1.0, ImageOutputFormat::jpeg});
    const auto jpegHigh = CS::compressImage(image, {0.9, 1.0, ImageOutputFormat::jpeg});
    ASSERT_TRUE(jpegLow && jpegHigh);
    EXPECT_LT(jpegLow->size(), jpegHigh->size() / 2);
}

TEST(ImageCompressionEstimate, NoOpSettingsGiveTheUncompressedTiffSizeAndSmallResultsTheRealSize) {
    const QImage opaque = photoImage(QSize(200, 100));
    const qint64 tiff = CS::uncompressedTiffSize(opaque);
    EXPECT_GE(tiff, 200 * 100 * 3);
    EXPECT_LT(tiff, 200 * 100 * 3 + 1024);
    EXPECT_EQ(CS::estimateCompressedSize(opaque, {1.0, 1.0, ImageOutputFormat::png}), tiff);
    EXPECT_EQ(CS::estimateCompressedSize(opaque, {1.0, 1.0, ImageOutputFormat::heic}), tiff);
    EXPECT_GT(CS::uncompressedTiffSize(patternImage(QSize(200, 100), true)), tiff);  // alpha: 4 samples

    // Small results are the real size.
    const QImage image = photoImage(QSize(400, 300));
    const ImageCompressionSettings settings{0.5, 0.5, ImageOutputFormat::jpeg};
    const auto bytes = CS::compressImage(image, settings);
    ASSERT_TRUE(bytes);
    EXPECT_EQ(CS::estimateCompressedSize(image, settings), bytes->size());
    EXPECT_FALSE(CS::estimateCompressedSize(patternImage(QSize(3, 3)), {0.5, 0.25, ImageOutputFormat::jpeg}));
    EXPECT_FALSE(CS::estimateCompressedSize(QImage(), settings));
}

TEST(ImageCompressionEstimate, LargeResultsAreExtrapolatedFromASample) {
    const QImage image = photoImage(QSize(1800, 1250), 11);  // 2.25 megapixels: sampled
    for (ImageOutputFormat format : {ImageOutputFormat::jpeg, ImageOutputFormat::heic}) {
        const ImageCompressionSettings settings{0.6, 1.0, format};
        const auto estimate = CS::estimateCompressedSize(image, settings);
        const auto actual = CS::compressImage(image, settings);
        ASSERT_TRUE(estimate && actual);
        const double ratio = double(*estimate) / double(actual->size());
        EXPECT_GT(ratio, 0.7) << ImageOutputFormats::rawValue(format).toStdString();
        EXPECT_LT(ratio, 1.3) << ImageOutputFormats::rawValue(format).toStdString();
    }
}

TEST(ImageCompression, ReportsProgressAndStopsWhenCancelled) {
    const QImage image = photoImage(QSize(64, 48));
    std::vector<std::pair<int, int>> steps;
    CompressionProgress progress;
    progress.report = [&](int done, int total) { steps.emplace_back(done, total); };
    ASSERT_TRUE(CS::compressImage(image, {0.7, 1.0, ImageOutputFormat::heic}, progress));
    ASSERT_FALSE(steps.empty());
    EXPECT_EQ(steps.back(), std::make_pair(2, 2));
    progress.isCancelled = [] { return true; };
    EXPECT_FALSE(CS::compressImage(image, {0.7, 1.0, ImageOutputFormat::heic}, progress));
}
