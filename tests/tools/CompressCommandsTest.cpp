#include "image/codec/ImageCodec.h"
#include "pdf/engine/PDFEngine.h"
#include "support/ImageFactory.h"
#include "CliRunner.h"
#include "support/PdfFactory.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace scrivola;
using namespace scrivola::testing;

namespace {

// Noise-free but detailed: a lossless image that JPEG shrinks a lot.
QImage gradientImage(QSize size) {
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, qRgb((x * 7 + y) % 256, (y * 5) % 256, ((x ^ y) * 3) % 256));
    return image;
}

class CompressCommands : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path(const QString& name) const { return dir.filePath(name); }
};

}  // namespace

TEST_F(CompressCommands, RedrawsAndRasterisesPdfs) {
    const QString in = writeFile(dir, "picture.pdf", pdfWithImage(gradientImage(QSize(500, 400)), QSizeF(300, 240)));
    const CliRun redraw = runCli({"compress", in, "--quality", "0.5", "-o", path("small.pdf")});
    ASSERT_EQ(redraw.exitCode, 0) << redraw.err.toStdString();
    const QByteArray small = readFileBytes(path("small.pdf"));
    EXPECT_LT(small.size(), QFileInfo(in).size() / 2);
    EXPECT_TRUE(small.contains("Scrivola"));
    EXPECT_EQ(PDFDocument::loadFromData(small)->pageCount(), 1);

    const QString text = writeFile(dir, "text.pdf", textPdf(3));
    const CliRun raster =
        runCli({"compress", text, "--rasterize", "--dpi", "50", "--quality", "0.3", "-o", path("raster.pdf")});
    ASSERT_EQ(raster.exitCode, 0) << raster.err.toStdString();
    const QByteArray rasterised = readFileBytes(path("raster.pdf"));
    // Pictures of text pages are larger than the text: the input comes back, noted on stderr.
    if (rasterised.contains("/DCTDecode")) {
        EXPECT_EQ(PDFDocument::loadFromData(rasterised)->pageCount(), 3);
    } else {
        EXPECT_EQ(rasterised, readFileBytes(text));
        EXPECT_TRUE(raster.err.contains("no gain"));
    }
}

TEST_F(CompressCommands, FailuresReportAndWriteNothing) {
    // A page too large to rasterise at 300 dpi fails the whole job.
    PdfPageSpec normal;
    PdfPageSpec huge;
    huge.mediaBox = QRectF(0, 0, 14400, 14400);
    const QString big = writeFile(dir, "big.pdf", buildPdf({normal, huge}));
    const CliRun failed = runCli({"compress", big, "--rasterize", "--dpi", "300", "-o", path("big-out.pdf")});
    EXPECT_EQ(failed.exitCode, 1);
    EXPECT_FALSE(failed.err.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(path("big-out.pdf")));

    const CliRun missing = runCli({"compress", path("missing.pdf"), "-o", path("x.pdf")});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_TRUE(missing.err.contains("missing.pdf")) << missing.err.toStdString();

    const QString broken = writeFile(dir, "broken.pdf", QByteArray("%PDF-1.7\ngarbage"));
    EXPECT_EQ(runCli({"compress", broken, "-o", path("y.pdf")}).exitCode, 1);
    EXPECT_FALSE(QFileInfo::exists(path("y.pdf")));
}

TEST_F(CompressCommands, BadUsageExitsWithTwoAndNeverOverwritesTheInput) {
    const QString pdf = writeFile(dir, "a.pdf", textPdf(1));
    const QByteArray before = readFileBytes(pdf);
    const CliRun same = runCli({"compress", pdf, "-o", pdf});
    EXPECT_EQ(same.exitCode, 2);
    EXPECT_TRUE(same.err.contains("usage:"));
    EXPECT_EQ(readFileBytes(pdf), before);
    EXPECT_EQ(runCli({"compress", pdf, "--scale", "0.5", "-o", path("b.pdf")}).exitCode, 2);
    EXPECT_EQ(runCli({"compress", pdf, "--quality", "1.5", "-o", path("b.pdf")}).exitCode, 2);
    EXPECT_EQ(runCli({"compress", pdf}).exitCode, 2);
    const QString png = writeBytes(path("p.png"), imageBytes(QSize(20, 20), "png"));
    EXPECT_EQ(runCli({"convert", png, "-o", path("p.jpeg")}).exitCode, 2);  // --format is required
    EXPECT_EQ(runCli({"convert", png, "--format", "gif", "-o", path("p.gif")}).exitCode, 2);
    EXPECT_EQ(runCli({"compress", png, "--rasterize", "-o", path("p.jpeg")}).exitCode, 2);
    EXPECT_EQ(runCli({"compress", png, "-o", path("p.xyz")}).exitCode, 2);  // no format to write
    for (const char* command : {"compress", "convert"}) {
        const CliRun help = runCli({command, "--help"});
        EXPECT_EQ(help.exitCode, 0);
        EXPECT_TRUE(help.out.startsWith(QStringLiteral("usage: scrivola-cli ") + command)) << help.out.toStdString();
    }
}

TEST_F(CompressCommands, ScalesAndReencodesImages) {
    const QString png = writeBytes(path("p.png"), imageBytes(QSize(200, 100), "png"));
    const CliRun scaled = runCli({"compress", png, "--scale", "0.5", "--format", "png", "-o", path("half.png")});
    ASSERT_EQ(scaled.exitCode, 0) << scaled.err.toStdString();
    const ImageInfo half = ImageCodec::probe(path("half.png"));
    EXPECT_EQ(half.format, "png");
    EXPECT_EQ(half.pixelSize, QSize(100, 50));

    // Without --format the output's extension decides.
    ASSERT_EQ(runCli({"compress", png, "--quality", "0.4", "-o", path("p.jpg")}).exitCode, 0);
    EXPECT_EQ(ImageCodec::probe(path("p.jpg")).format, "jpeg");

    for (const char* format : {"jpeg", "tiff", "heic"}) {
        const QString out = path(QStringLiteral("c.") + format);
        const CliRun run = runCli({"convert", png, "--format", format, "--quality", "0.7", "-o", out});
        ASSERT_EQ(run.exitCode, 0) << format << run.err.toStdString();
        const ImageInfo info = ImageCodec::probe(out);
        EXPECT_EQ(info.format, QString::fromLatin1(format));
        EXPECT_EQ(info.pixelSize, QSize(200, 100));
    }
    // A JPEG re-encoded as JPEG keeps how it is shown (Exif orientation 6 here); a damaged one is
    // reported as such and nothing is written.
    const QString turned = writeBytes(path("turned.jpg"), jpegWithExifOrientation6(QSize(160, 100)));
    ASSERT_EQ(runCli({"convert", turned, "--format", "jpeg", "--quality", "0.5", "-o", path("turned2.jpg")}).exitCode,
              0);
    EXPECT_EQ(ImageCodec::probe(path("turned2.jpg")).pixelSize, QSize(160, 100));
    const QString cut = writeBytes(path("cut.jpg"), truncatedJpeg(QSize(200, 150)));
    const CliRun damaged = runCli({"convert", cut, "--format", "jpeg", "-o", path("cut2.jpg")});
    EXPECT_EQ(damaged.exitCode, 1);
    EXPECT_EQ(damaged.err, "Failed to load document: Could not open image at cut.jpg\n");
    EXPECT_FALSE(QFile::exists(path("cut2.jpg")));

    const QString text = writeBytes(path("fake.png"), "not an image");
    const CliRun bad = runCli({"convert", text, "--format", "jpeg", "-o", path("fake.jpeg")});
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_TRUE(bad.err.contains("fake.png"));
}
