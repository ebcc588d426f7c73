// scrivola-cli: info, render, compress and convert; search and the page commands (each writes a
// new file and leaves its input as it was); and the exit codes every subcommand shares: 0 with its
// usage for --help, 2 with the usage for bad arguments, 1 for documents it cannot use.
#include "CliRunner.h"

#include "image/codec/ImageCodec.h"
#include "pdf/PageEditingTestSupport.h"
#include "pdf/engine/PDFEngine.h"
#include "support/ImageFactory.h"
#include "support/PdfFactory.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace scrivola;
using namespace scrivola::testing;

namespace {

class DocumentCommandsTest : public ::testing::Test {
protected:
    QString path(const QString& name) const { return dir.filePath(name); }
    QTemporaryDir dir;
};

TEST_F(DocumentCommandsTest, InfoAndRenderDescribeAndDrawPages) {
    const QString pdf = writeFile(dir, "three.pdf", textPdf(3, {}, QSizeF(595, 842)));
    const CliRun run = runCli({"info", pdf});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QStringList lines = run.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(lines[0], "pages: 3");
    EXPECT_EQ(lines[1], "page 1: 595 x 842 pt, rotation 0");
    const QString rotated = writeFile(dir, "rotated.pdf", rotatedOffsetPage());
    EXPECT_TRUE(runCli({"info", rotated}).out.contains("page 1: 612 x 792 pt, rotation 90"));
    const CliRun image = runCli({"info", writeBytes(path("p.png"), imageBytes(QSize(40, 30), "png"))});
    EXPECT_TRUE(image.out.contains("format: png") && image.out.contains("size: 40 x 30 px")) << image.out.toStdString();

    const QString out = path("p2.png");
    ASSERT_EQ(runCli({"render", pdf, "--page", "2", "--dpi", "144", "-o", out}).exitCode, 0);
    const QImage page(out);
    EXPECT_EQ(page.size(), QSize(1190, 1684));  // A4 at 2 pixels per point
    EXPECT_FALSE(inkBounds(page, {}, Qt::white, 150).isNull());
    // Written a band at a time, the file holds exactly the page the engine draws whole.
    EXPECT_EQ(page.convertToFormat(QImage::Format_RGB32),
              scrivola::PDFDocument::loadFromData(textPdf(3, {}, QSizeF(595, 842)))->page(1)->render(2));
    ASSERT_EQ(runCli({"render", rotated, "-o", path("r.png")}).exitCode, 0);
    EXPECT_EQ(QImage(path("r.png")).size(), QSize(792, 612));
}

TEST_F(DocumentCommandsTest, CompressRedrawsAndRasterisesPdfs) {
    QImage detailed(500, 400, QImage::Format_RGB32);  // lossless, and JPEG shrinks it a lot
    for (int y = 0; y < 400; ++y)
        for (int x = 0; x < 500; ++x) detailed.setPixel(x, y, qRgb((x * 7 + y) % 256, (y * 5) % 256, ((x ^ y) * 3) % 256));
    const QString in = writeFile(dir, "picture.pdf", pdfWithImage(detailed, QSizeF(300, 240)));
    const CliRun redraw = runCli({"compress", in, "--quality", "0.5", "-o", path("small.pdf")});
    ASSERT_EQ(redraw.exitCode, 0) << redraw.err.toStdString();
    const QByteArray small = readBytes(path("small.pdf"));
    EXPECT_LT(small.size(), QFileInfo(in).size() / 2);
    EXPECT_TRUE(small.contains("Scrivola"));
    EXPECT_EQ(PDFDocument::loadFromData(small)->pageCount(), 1);

    const QString text = writeFile(dir, "text.pdf", textPdf(3));
    const CliRun raster =
        runCli({"compress", text, "--rasterize", "--dpi", "50", "--quality", "0.3", "-o", path("raster.pdf")});
    if (raster.exitCode == 0) {
        EXPECT_EQ(PDFDocument::loadFromData(readBytes(path("raster.pdf")))->pageCount(), 3);
    }
    // Pictures of text pages at 300 dpi outweigh the text: nothing is written without --force,
    // and with it the input itself comes back.
    const QStringList large{"compress", text, "--rasterize", "--dpi", "300", "--quality", "1", "-o", path("large.pdf")};
    const CliRun refused = runCli(large);
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(refused.err.contains("not smaller")) << refused.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(path("large.pdf")));
    const CliRun forced = runCli(large + QStringList{"--force"});
    ASSERT_EQ(forced.exitCode, 0) << forced.err.toStdString();
    EXPECT_EQ(readBytes(path("large.pdf")), readBytes(text));

    // A page too large to rasterise at 300 dpi fails the whole job.
    PdfPageSpec huge;
    huge.mediaBox = QRectF(0, 0, 14400, 14400);
    const QString big = writeFile(dir, "big.pdf", buildPdf({PdfPageSpec(), huge}));
    const CliRun failed = runCli({"compress", big, "--rasterize", "--dpi", "300", "-o", path("big-out.pdf")});
    EXPECT_EQ(failed.exitCode, 1);
    EXPECT_FALSE(failed.err.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(path("big-out.pdf")));
}

TEST_F(DocumentCommandsTest, CompressAndConvertScaleAndReencodeImages) {
    const QString png = writeBytes(path("p.png"), imageBytes(QSize(200, 100), "png"));
    ASSERT_EQ(runCli({"compress", png, "--scale", "0.5", "--format", "png", "-o", path("half.png")}).exitCode, 0);
    EXPECT_EQ(ImageCodec::probe(path("half.png")).pixelSize, QSize(100, 50));
    // Without --format the output's extension decides. A JPEG of this flat pattern outweighs
    // its PNG: written only with --force.
    const QStringList toJpeg{"compress", png, "--quality", "0.4", "-o", path("p.jpg")};
    EXPECT_EQ(runCli(toJpeg).exitCode, 1);
    EXPECT_FALSE(QFileInfo::exists(path("p.jpg")));
    ASSERT_EQ(runCli(toJpeg + QStringList{"--force"}).exitCode, 0);
    EXPECT_EQ(ImageCodec::probe(path("p.jpg")).format, "jpeg");
    for (const char* format : {"tiff", "heic"}) {
        const QString out = path(QStringLiteral("c.") + format);
        const CliRun run = runCli({"convert", png, "--format", format, "--quality", "0.7", "-o", out});
        ASSERT_EQ(run.exitCode, 0) << format << run.err.toStdString();
        EXPECT_EQ(ImageCodec::probe(out).format, QString::fromLatin1(format));
        EXPECT_EQ(ImageCodec::probe(out).pixelSize, QSize(200, 100));
    }
    // A JPEG re-encoded as JPEG keeps how it is shown (Exif orientation 6 here).
    const QString turned = writeBytes(path("turned.jpg"), jpegWithExifOrientation6(QSize(160, 100)));
    ASSERT_EQ(runCli({"convert", turned, "--format", "jpeg", "--quality", "0.5", "-o", path("turned2.jpg")}).exitCode, 0);
    EXPECT_EQ(ImageCodec::probe(path("turned2.jpg")).pixelSize, QSize(160, 100));
}

// Documents that cannot be used exit 1 with their fixed message, and nothing is written; the
// image libraries' own complaints stay off standard error.
TEST_F(DocumentCommandsTest, DocumentErrorsExitOneWithTheirFixedMessage) {
    const CliRun missing = runCli({"info", path("Report.pdf")});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.err.trimmed(), "File not found: Report.pdf");
    const QString junk = writeFile(dir, "junk.pdf", QByteArray(4000, 'x'));
    const CliRun broken = runCli({"render", junk, "-o", path("o.png")});
    EXPECT_EQ(broken.exitCode, 1);
    EXPECT_EQ(broken.err.trimmed(), "Failed to load document: Could not open PDF at junk.pdf");
    EXPECT_EQ(runCli({"compress", writeFile(dir, "b.pdf", "%PDF-1.7\ngarbage"), "-o", path("o.pdf")}).exitCode, 1);

    for (const char* format : {"png", "tiff", "jpg"}) {
        QByteArray bytes = imageBytes(QSize(300, 200), QByteArray(format) == "jpg" ? "jpeg" : format);
        bytes.truncate(bytes.size() / 3);
        const QString name = QStringLiteral("cut.") + QLatin1String(format);
        const CliRun cut = runCli({"convert", writeBytes(path(name), bytes), "--format", "jpeg", "-o", path("o.jpg")});
        EXPECT_EQ(cut.exitCode, 1) << format;
        EXPECT_EQ(cut.err, QStringLiteral("Failed to load document: Could not open image at %1\n").arg(name)) << format;
    }
    const CliRun tooLarge = runCli({"info", writeBytes(path("huge.png"), pngDeclaringSize(100000, 100000))});
    EXPECT_EQ(tooLarge.exitCode, 1);
    EXPECT_TRUE(tooLarge.err.startsWith("Failed to load document: ")) << tooLarge.err.toStdString();
    EXPECT_EQ(QDir(dir.path()).entryList({"o.*"}, QDir::Files), QStringList());
}

TEST_F(DocumentCommandsTest, BadUsageExitsTwoWithTheUsageAndNeverOverwritesTheInput) {
    const QString pdf = writeFile(dir, "doc.pdf", textPdf(2));
    const QString png = writeBytes(path("same.png"), imageBytes(QSize(20, 20), "png"));
    const QByteArray pdfBytes = readBytes(pdf), pngBytes = readBytes(png);
    const QString x = path("x.png");
    for (const QStringList& args : QList<QStringList>{
             {}, {"frobnicate"}, {"render", pdf}, {"render", pdf, "--page", "3", "-o", x},
             {"render", pdf, "--dpi", "fast", "-o", x}, {"info", pdf, "--bogus"}, {"render", png, "-o", png},
             {"compress", pdf, "-o", pdf}, {"compress", pdf, "--scale", "0.5", "-o", path("b.pdf")},
             {"compress", pdf, "--quality", "1.5", "-o", path("b.pdf")}, {"compress", pdf},
             {"convert", png, "-o", path("p.jpeg")},  // --format is required
             {"convert", png, "--format", "gif", "-o", path("p.gif")}, {"compress", png, "--rasterize", "-o", x},
             {"compress", png, "-o", path("p.xyz")}}) {  // no format to write
        const CliRun run = runCli(args);
        EXPECT_EQ(run.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(run.err.contains("usage: scrivola-cli") || run.out.contains("usage: scrivola-cli"))
            << args.join(' ').toStdString();
    }
    EXPECT_EQ(readBytes(pdf), pdfBytes);
    EXPECT_EQ(readBytes(png), pngBytes);
    for (const char* command :
         {"info", "render", "compress", "convert", "search", "rotate", "delete", "move", "export", "whiteout"}) {
        const CliRun help = runCli({command, "--help"});
        EXPECT_EQ(help.exitCode, 0) << command;
        EXPECT_TRUE(help.out.startsWith(QStringLiteral("usage: scrivola-cli ") + command)) << help.out.toStdString();
    }
}

}  // namespace

// Search and the page commands (rotate, delete, move, export, whiteout).
namespace {

QStringList pageLines(int pageIndex) {
    QStringList lines{QStringLiteral("Page %1").arg(pageIndex + 1)};
    if (pageIndex == 1)
        lines << "a Matrix and a matrix"
              << "then a ma-"
              << "trix split";
    if (pageIndex == 3) lines << "MATRIX";
    return lines;
}

class PageCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        input = writeFile(dir, "in.pdf", textPdf(5, pageLines));
        original = readBytes(input);
    }
    void TearDown() override { EXPECT_EQ(readBytes(input), original) << "the input was changed"; }
    QString out(const QString& name = "out.pdf") const { return dir.filePath(name); }

    QTemporaryDir dir;
    QString input;
    QByteArray original;
};

TEST_F(PageCommandsTest, SearchPrintsEveryHitInDocumentOrderAndTheCount) {
    const CliRun run = runCli({"search", input, "matrix"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QStringList lines = run.out.trimmed().split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 5);
    EXPECT_EQ(lines[0], "page 2: Matrix");
    EXPECT_EQ(lines[1], "page 2: matrix");
    EXPECT_TRUE(lines[2].startsWith("page 2: ma")) << lines[2].toStdString();
    EXPECT_EQ(lines[3], "page 4: MATRIX");
    EXPECT_EQ(lines[4], "hits: 4");

    EXPECT_EQ(runCli({"search", input, "absent"}).out.trimmed(), "hits: 0");
}

TEST_F(PageCommandsTest, RotateTurnsTheListedPages) {
    const CliRun run = runCli({"rotate", input, "--pages", "1,3-4", "--by", "-90", "-o", out()});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const auto result = PDFDocument::load(out());
    std::vector<int> rotations;
    for (int i = 0; i < result->pageCount(); ++i) rotations.push_back(result->page(i)->rotation());
    EXPECT_EQ(rotations, (std::vector<int>{270, 0, 270, 270, 0}));
    // Saved as an update of the original bytes.
    EXPECT_TRUE(readBytes(out()).startsWith(original));
}

TEST_F(PageCommandsTest, DeleteMoveAndExportRearrangePages) {
    CliRun run = runCli({"delete", input, "--pages", "2,4", "-o", out()});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(pageLabels(*PDFDocument::load(out())), (QStringList{"Page 1", "Page 3", "Page 5"}));
    EXPECT_FALSE(readBytes(out()).contains("a Matrix and a matrix"));

    run = runCli({"move", input, "--page", "1", "--to", "3", "-o", out("moved.pdf")});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(pageLabels(*PDFDocument::load(out("moved.pdf"))),
              (QStringList{"Page 2", "Page 3", "Page 1", "Page 4", "Page 5"}));

    run = runCli({"export", input, "--pages", "4,2", "-o", out("export.pdf")});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(pageLabels(*PDFDocument::load(out("export.pdf"))), (QStringList{"Page 2", "Page 4"}));
}

TEST_F(PageCommandsTest, BadUsageExitsWithTwoAndWritesNothing) {
    const QList<QStringList> bad{
        {"rotate", input, "--pages", "1", "--by", "45", "-o", out()},
        {"rotate", input, "--pages", "9", "--by", "90", "-o", out()},
        {"delete", input, "--pages", "1-5", "-o", out()},
        {"move", input, "--page", "1", "-o", out()},
        {"export", input, "--pages", "1", "-o", input},
        {"search", input},
        {"rotate", input, "--pages", "1", "--by", "90"},
        {"whiteout", input, "--page", "1", "--rect", "1,2,3", "-o", out()},
        {"whiteout", input, "--page", "1", "--rect", "1,2,-3,4", "-o", out()},
        {"whiteout", input, "--page", "1", "--rect", "a,2,3,4", "-o", out()},
        {"whiteout", input, "--page", "6", "--rect", "10,10,30,30", "-o", out()},
        {"whiteout", input, "--page", "1", "--rect", "900,900,30,30", "-o", out()},
        {"whiteout", input, "--rect", "10,10,30,30", "-o", out()},
        {"whiteout", input, "--page", "1", "--rect", "10,10,30,30", "-o", input},
    };
    for (const QStringList& args : bad) {
        const CliRun run = runCli(args);
        EXPECT_EQ(run.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(run.err.contains(QStringLiteral("usage: scrivola-cli ") + args.front())) << run.err.toStdString();
    }
    EXPECT_FALSE(QFile::exists(out()));
}

TEST_F(PageCommandsTest, DocumentErrorsExitWithOne) {
    const CliRun missing = runCli({"delete", dir.filePath("gone.pdf"), "--pages", "1", "-o", out()});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_FALSE(missing.err.isEmpty());
    const QString junk = writeFile(dir, "junk.pdf", QByteArray("not a pdf at all"));
    EXPECT_EQ(runCli({"search", junk, "x"}).exitCode, 1);
    EXPECT_EQ(runCli({"whiteout", junk, "--page", "1", "--rect", "10,10,30,30", "-o", out()}).exitCode, 1);
    EXPECT_EQ(runCli({"export", input, "--pages", "1", "-o", dir.filePath("no/folder/x.pdf")}).exitCode, 1);
    EXPECT_FALSE(QFile::exists(out()));
    EXPECT_TRUE(runCli({"whiteout", "--help"}).out.contains("whiteout FILE --page N --rect X,Y,W,H -o"));
}

// Whiteout takes its rectangle in page points from the media box corner, also on a turned page
// with an offset media box: what it covered is gone from that page only.
TEST_F(PageCommandsTest, WhiteoutRemovesTheCoveredWordFromThatPageOfTheOutputOnly) {
    PdfPageSpec page;
    page.lines = {{"Keep this line above", QPointF(72, 700)}, {"The SECRETWORD sits here", QPointF(72, 650)}};
    const QString plain = writeFile(dir, "plain.pdf", buildPdf({page, page}));
    ASSERT_EQ(runCli({"whiteout", plain, "--page", "1", "--rect", "60,640,320,24", "-o", out()}).exitCode, 0);
    auto document = PDFDocument::load(out());
    EXPECT_FALSE(document->page(0)->text().plainText().contains("SECRETWORD"));
    EXPECT_TRUE(document->page(0)->text().plainText().contains("Keep this line above"));
    EXPECT_TRUE(document->page(1)->text().plainText().contains("SECRETWORD"));

    const QString turned = writeFile(dir, "turned.pdf", rotatedOffsetPage({"Turned TOPWORD", "Second line stays"}));
    // The first line's baseline is at user (172, 920), page point (72, 720).
    ASSERT_EQ(runCli({"whiteout", turned, "--page", "1", "--rect", "60,716,300,16", "-o", out("t.pdf")}).exitCode, 0);
    document = PDFDocument::load(out("t.pdf"));
    EXPECT_EQ(document->page(0)->rotation(), 90);
    EXPECT_FALSE(document->page(0)->text().plainText().contains("TOPWORD"));
    EXPECT_TRUE(document->page(0)->text().plainText().contains("Second line stays"));
}

}  // namespace
