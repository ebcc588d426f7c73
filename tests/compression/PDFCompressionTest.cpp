// Compressing PDFs (rasterised or redrawn) and images: what comes out, estimates of its size,
// progress and cancelling.
#include "compression/CompressionService.h"
#include "image/codec/ImageCodec.h"
#include "pdf/engine/PDFCompression.h"
#include "support/Files.h"
#include "support/ImageFactory.h"
#include "support/PdfFactory.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <thread>

using namespace scrivola;
using namespace scrivola::testing;
namespace CS = scrivola::CompressionService;

namespace {

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

PDFCompressionSettings raster(double dpi, double quality = 0.7) { return {quality, dpi, true}; }
PDFCompressionSettings redraw(double quality) { return {quality, 150, false}; }

QString infoCreator(const QByteArray& pdf) {
    // The writer stores the creator as a plain string in the /Info dictionary.
    const qsizetype at = pdf.indexOf("/Creator");
    return at < 0 ? QString() : QString::fromLatin1(pdf.mid(at, 40));
}

// A page whose visible part differs from its media box: crop box, rotation, and a red and a blue
// block in opposite corners of the crop box.
QByteArray rotatedCroppedPdf() {
    PdfPageSpec page;
    page.mediaBox = QRectF(0, 0, 400, 300);
    page.cropBox = QRectF(50, 50, 300, 200);
    page.rotate = 90;
    page.content = "1 0 0 rg 50 50 100 80 re f 0 0 1 rg 250 170 100 80 re f\n";
    return buildPdf({page});
}

}  // namespace

TEST(PDFRasterize, PagePixelSizesFollowTheResolutionAndEncodedPagesAreEmbeddedAsTheyAre) {
    const QByteArray pdf = textPdf(10);
    EXPECT_EQ(PDFCompression::renderPage(pdf, 9, 150).size(), QSize(1275, 1650));

    const auto out = CS::rasterizePDF(pdf, raster(150));
    ASSERT_TRUE(out);
    const auto document = PDFDocument::loadFromData(*out);
    ASSERT_EQ(document->pageCount(), 10);
    EXPECT_EQ(document->page(9)->bounds().size(), QSizeF(612, 792));
    EXPECT_TRUE(infoCreator(*out).contains("Scrivola")) << infoCreator(*out).toStdString();
    // Each page's JPEG is embedded as it was encoded, not encoded again.
    EXPECT_TRUE(out->contains("/DCTDecode"));
    for (int i : {0, 9}) {
        const auto jpeg = CS::jpegData(PDFCompression::renderPage(pdf, i, 150), 0.7);
        ASSERT_TRUE(jpeg);
        EXPECT_TRUE(out->contains(*jpeg)) << "page " << i << " was re-encoded";
    }
}

TEST(PDFRasterize, KeepsRotationCropBoxAndDrawing) {
    const QByteArray pdf = rotatedCroppedPdf();
    const auto out = CS::rasterizePDF(pdf, raster(72, 0.9));
    ASSERT_TRUE(out);
    const auto original = PDFDocument::loadFromData(pdf);
    const auto copy = PDFDocument::loadFromData(*out);
    ASSERT_EQ(copy->pageCount(), 1);
    // The visible page, turned: 200 × 300 points.
    EXPECT_EQ(copy->page(0)->bounds().size(), QSizeF(200, 300));
    EXPECT_EQ(copy->page(0)->rotation(), 0);
    const QImage actual = copy->page(0)->render(1.0);
    EXPECT_LT(meanDifference(original->page(0)->render(1.0), actual), 4.0);
    // Rotated 90° clockwise: the red block (lower left of the crop box) is now at the top left.
    EXPECT_GT(share(actual, QRect(10, 10, 40, 40), Qt::red, 60), 0.9);
    EXPECT_GT(share(actual, QRect(150, 250, 40, 40), Qt::blue, 60), 0.9);
}

TEST(PDFRasterize, AnnotationsOfTheOpenDocumentAppear) {
    const auto document = PDFDocument::loadFromData(textPdf(1));
    const auto page = document->page(0);
    auto highlight = PDFAnnotation::create(PDFAnnotation::Subtype::highlight, QRectF(300, 300, 200, 40));
    highlight->setQuadRects({QRectF(300, 300, 200, 40)});
    highlight->setColor(QColor(255, 255, 0));
    page->addAnnotation(highlight);
    auto box = PDFAnnotation::create(PDFAnnotation::Subtype::freeText, QRectF(72, 100, 300, 60));
    box->setFont(QStringLiteral("Helvetica"), 36);
    box->setFontColor(QColor(255, 0, 0));
    box->setContents(QStringLiteral("MMMMMM"));
    page->addAnnotation(box);

    // The snapshot carries the unsaved annotations; the rasterised copy draws them into the page.
    const auto snapshot = CS::documentSnapshot(*document);
    ASSERT_TRUE(snapshot);
    const auto out = CS::rasterizePDF(*snapshot, raster(72, 0.9));
    ASSERT_TRUE(out);
    const QImage picture = PDFDocument::loadFromData(*out)->page(0)->render(1.0, false);
    // Page space is y-up from the bottom; the picture is y-down.
    EXPECT_GT(share(picture, QRect(320, 792 - 335, 160, 30), Qt::yellow, 60), 0.9) << "the highlight is missing";
    EXPECT_GT(share(picture, QRect(72, 792 - 160, 300, 60), Qt::red, 90), 0.02) << "the text box is missing";
    // The document itself is unchanged.
    EXPECT_EQ(page->annotations().size(), 2u);

    // Pictures of a small text page are larger than the page: compression keeps the input.
    const auto compressed = CS::compressPDF(*document, raster(72, 0.9));
    ASSERT_TRUE(compressed);
    EXPECT_EQ(*compressed, *snapshot);
}

TEST(PDFRasterize, AnUnrenderablePageFailsTheWholeJob) {
    // 14,400 points square at 300 dpi would need a 60,000-pixel square bitmap (over 10 GB).
    PdfPageSpec normal;
    PdfPageSpec huge;
    huge.mediaBox = QRectF(0, 0, 14400, 14400);
    const QByteArray pdf = buildPdf({normal, huge, normal});
    EXPECT_FALSE(CS::rasterizePDF(pdf, raster(300)));
    EXPECT_FALSE(CS::compressPDFData(pdf, raster(300)));
    // At 10 dpi the same page is fine.
    const auto small = CS::rasterizePDF(pdf, raster(10));
    ASSERT_TRUE(small);
    EXPECT_EQ(PDFDocument::loadFromData(*small)->pageCount(), 3);

    // From a file read page by page: the same result, and the same refusal.
    QTemporaryDir dir;
    const QString file = writeBytes(dir.filePath("in.pdf"), pdf);
    PDFCompression::RasterizeOptions options;
    options.dpi = 10;
    options.encodePage = [](const QImage& page) { return CS::jpegData(page, 0.5).value_or(QByteArray()); };
    EXPECT_EQ(PDFCompression::rasterizeFile(file, options), PDFCompression::rasterize(pdf, options));
    const auto fromFile = CS::compressPDFFile(file, raster(10));
    ASSERT_TRUE(fromFile);
    EXPECT_FALSE(fromFile->isSmaller);  // three tiny pages: the input is smaller and comes back
    EXPECT_EQ(fromFile->data, pdf);
    EXPECT_FALSE(CS::compressPDFFile(file, raster(300)));
    EXPECT_FALSE(CS::compressPDFFile(dir.filePath("missing.pdf"), raster(10)));
}

TEST(PDFCompression, NothingComesOfDocumentsWithoutPagesOrData) {
    const auto empty = PDFDocument::createEmpty();
    EXPECT_FALSE(CS::compressPDF(*empty, redraw(0.5)));
    EXPECT_FALSE(CS::estimateCompressedSize(*empty, QString(), raster(150)));
    EXPECT_FALSE(CS::compressPDFData(QByteArray("not a pdf at all"), redraw(0.5)));
    EXPECT_FALSE(CS::compressPDFData(truncated(textPdf(3), 40), raster(72)));
}

TEST(PDFRedraw, ShrinksLargeImagesAndKeepsTheirLook) {
    const QImage photo = photoImage(QSize(600, 450));
    const QByteArray pdf = pdfWithImage(photo, QSizeF(144, 108));  // 300 ppi at 2 × 1.5 inches
    const auto result = CS::compressPDFData(pdf, redraw(0.7));
    ASSERT_TRUE(result);
    EXPECT_TRUE(result->isSmaller);
    EXPECT_LT(result->data.size(), pdf.size() / 3) << pdf.size() << " -> " << result->data.size();
    EXPECT_TRUE(result->data.contains("/DCTDecode"));
    EXPECT_TRUE(result->data.contains("/kCGPDFContextImageQuality"));
    const auto before = PDFDocument::loadFromData(pdf);
    const auto after = PDFDocument::loadFromData(result->data);
    EXPECT_EQ(after->page(0)->bounds().size(), QSizeF(144, 108));
    EXPECT_LT(meanDifference(before->page(0)->render(2.0), after->page(0)->render(2.0)), 8.0);
}

TEST(PDFRedraw, DownsamplesImagesFarAboveTheTargetResolution) {
    // 1000 pixels across half an inch: 2000 ppi, brought down to 300 at quality 0.8.
    const QByteArray pdf = pdfWithImage(photoImage(QSize(1000, 500), 3), QSizeF(36, 18));
    PDFCompression::RedrawStatistics statistics;
    PDFCompression::RedrawOptions options;
    options.targetDpi = 300;
    QSize encodedAt;
    options.encodeImage = [&](const QImage& image, QSize size) {
        encodedAt = size;
        return CS::jpegData(image.scaled(size), 0.8).value_or(QByteArray());
    };
    const QByteArray out = PDFCompression::redraw(pdf, options, &statistics);
    EXPECT_EQ(statistics.imagesSeen, 1);
    EXPECT_EQ(statistics.imagesDownsampled, 1);
    EXPECT_EQ(encodedAt, QSize(150, 75));
    EXPECT_LT(out.size(), pdf.size() / 10);
}

TEST(PDFRedraw, NeverReturnsALargerFile) {
    const QByteArray pdf = pdfWithImage(photoImage(QSize(400, 300)), QSizeF(200, 150));
    const auto once = CS::compressPDFData(pdf, redraw(0.3));
    ASSERT_TRUE(once);
    // A second pass at a higher quality cannot win anything: the input comes back as it is.
    const auto twice = CS::compressPDFData(once->data, redraw(1.0));
    ASSERT_TRUE(twice);
    EXPECT_LE(twice->data.size(), once->data.size());
    if (!twice->isSmaller) {
        EXPECT_EQ(twice->data, once->data);
    }
    // Quality 1 leaves the picture's pixels alone.
    const QByteArray lossless = pdfWithImage(photoImage(QSize(300, 200)), QSizeF(100, 100));
    const auto kept = CS::compressPDFData(lossless, redraw(1.0));
    ASSERT_TRUE(kept);
    EXPECT_LE(kept->data.size(), lossless.size());
    EXPECT_FALSE(kept->data.contains("/DCTDecode"));
}

TEST(PDFRedraw, KeepsPagesBoxesAndAnnotations) {
    const auto document = PDFDocument::loadFromData(rotatedCroppedPdf());
    // Unchanged, the document is its own bytes; the snapshot below is written out.
    EXPECT_EQ(CS::documentSnapshot(*document), rotatedCroppedPdf());
    auto highlight = PDFAnnotation::create(PDFAnnotation::Subtype::highlight, QRectF(60, 60, 50, 20));
    highlight->setQuadRects({QRectF(60, 60, 50, 20)});
    document->page(0)->addAnnotation(highlight);
    const auto snapshot = CS::documentSnapshot(*document);
    ASSERT_TRUE(snapshot);
    const auto result = CS::compressPDFData(*snapshot, redraw(0.5));
    ASSERT_TRUE(result);
    const auto copy = PDFDocument::loadFromData(result->data);
    const auto page = copy->page(0);
    EXPECT_EQ(page->rotation(), 90);
    EXPECT_EQ(page->bounds(PDFBox::cropBox), QRectF(50, 50, 300, 200));
    ASSERT_EQ(page->annotations().size(), 1u);
    EXPECT_EQ(page->annotations()[0]->subtype(), PDFAnnotation::Subtype::highlight);
}

// The redraw estimate needs the file: without a readable one it is unavailable, not 0. The
// rasterised estimate grows with the page count.
TEST(PDFCompressionEstimate, EstimatesNeedWhatTheyAreMadeFrom) {
    QTemporaryDir dir;
    const QString path = writeFile(dir, QStringLiteral("a.pdf"), textPdf(2));
    const auto document = PDFDocument::load(path);
    EXPECT_GT(CS::estimateCompressedSize(*document, path, redraw(0.5)).value_or(0), 0);
    EXPECT_FALSE(CS::fileSize(dir.filePath(QStringLiteral("missing.pdf"))));
    EXPECT_FALSE(CS::fileSize(dir.path()));
    EXPECT_FALSE(CS::estimateCompressedSize(*document, QString(), redraw(0.5)));
    const auto two = CS::estimateCompressedSize(*document, QString(), raster(150, 0.6));
    const auto six = CS::estimateCompressedSize(*PDFDocument::loadFromData(textPdf(6)), QString(), raster(150, 0.6));
    ASSERT_TRUE(two && six);
    EXPECT_GT(*six, *two * 2);
}

TEST(PDFCompression, RunsOnAWorkerWhileTheMainThreadRendersAndCanBeCancelled) {
    const QByteArray pdf = textPdf(6);
    std::atomic<int> reported{0};
    std::optional<PDFCompressionResult> result;
    std::thread worker([&] {
        CompressionProgress progress;
        progress.report = [&](int done, int) { reported = done; };
        result = CS::compressPDFData(pdf, raster(100, 0.5), progress);
    });
    const auto document = PDFDocument::loadFromData(textPdf(4));
    for (int i = 0; i < 4; ++i) EXPECT_FALSE(document->page(i)->render(1.0).isNull());
    worker.join();
    ASSERT_TRUE(result);
    EXPECT_EQ(reported.load(), 6);
    EXPECT_EQ(PDFDocument::loadFromData(result->data)->pageCount(), 6);

    int calls = 0;
    CompressionProgress cancelling;
    cancelling.report = [&](int, int) { ++calls; };
    cancelling.isCancelled = [&] { return calls >= 2; };
    EXPECT_FALSE(CS::compressPDFData(pdf, raster(72), cancelling));
    EXPECT_FALSE(CS::compressPDFData(pdf, redraw(0.5), cancelling));
}

// Images: scaling, encoding, size estimates and progress.

TEST(ImageCompression, ScaleImage) {
    const QImage image = patternImage(QSize(3, 3));
    EXPECT_EQ(CS::scaleImage(image, 2.0)->size(), image.size());  // never enlarged
    EXPECT_FALSE(CS::scaleImage(image, 0.25));  // 0 × 0 after truncation
    EXPECT_FALSE(CS::scaleImage(image, -1.0));

    const auto half = CS::scaleImage(patternImage(QSize(401, 301)), 0.5);
    ASSERT_TRUE(half);
    EXPECT_EQ(half->size(), QSize(200, 150));
    // The quadrants survive the resampling.
    EXPECT_EQ(share(*half, QRect(20, 20, 40, 40), kPatternTopLeft, 2), 1.0);
    EXPECT_EQ(share(*half, QRect(140, 100, 40, 40), kPatternBottomRight, 2), 1.0);
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
    EXPECT_EQ(CS::estimateCompressedSize(opaque, {1.0, 1.0, ImageOutputFormat::heic}), tiff);

    // Small results are the real size.
    const QImage image = photoImage(QSize(400, 300));
    const ImageCompressionSettings settings{0.5, 0.5, ImageOutputFormat::jpeg};
    const auto bytes = CS::compressImage(image, settings);
    ASSERT_TRUE(bytes);
    EXPECT_EQ(CS::estimateCompressedSize(image, settings), bytes->size());
    EXPECT_FALSE(CS::estimateCompressedSize(patternImage(QSize(3, 3)), {0.5, 0.25, ImageOutputFormat::jpeg}));
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
