// scrivola-cli info and render, and the exit codes every subcommand shares.
#include "CliRunner.h"

#include "support/Files.h"
#include "support/ImageFactory.h"
#include "support/PdfFactory.h"

#include "pdf/engine/PDFEngine.h"

#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace scrivola::testing;

namespace {

class DocumentCommandsTest : public ::testing::Test {
protected:
    QString path(const QString& name) const { return dir.filePath(name); }
    QString writePdf(const QString& name, const QByteArray& bytes) { return writeFile(dir, name, bytes); }
    QTemporaryDir dir;
};

TEST_F(DocumentCommandsTest, InfoListsEveryPageWithSizeAndRotation) {
    const QString pdf = writePdf("three.pdf", textPdf(3, {}, QSizeF(595, 842)));
    const CliRun run = runCli({"info", pdf});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QStringList lines = run.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(lines[0], "pages: 3");
    EXPECT_EQ(lines[1], "page 1: 595 x 842 pt, rotation 0");

    const QString rotated = writePdf("rotated.pdf", rotatedOffsetPage());
    const CliRun second = runCli({"info", rotated});
    ASSERT_EQ(second.exitCode, 0);
    EXPECT_TRUE(second.out.contains("page 1: 612 x 792 pt, rotation 90")) << second.out.toStdString();
}

TEST_F(DocumentCommandsTest, InfoDescribesAnImage) {
    const QString png = writeBytes(path("p.png"), imageBytes(QSize(40, 30), "png"));
    const CliRun run = runCli({"info", png});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains("format: png"));
    EXPECT_TRUE(run.out.contains("size: 40 x 30 px"));
}

TEST_F(DocumentCommandsTest, RenderWritesThePageAtTheRequestedResolution) {
    const QString pdf = writePdf("doc.pdf", textPdf(2));
    const QString out = path("p2.png");
    const CliRun run = runCli({"render", pdf, "--page", "2", "--dpi", "144", "-o", out});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QImage image(out);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), QSize(1224, 1584));  // Letter at 2 pixels per point
    // Written a band at a time, the file holds exactly the page the engine draws whole.
    const QImage whole = scrivola::PDFDocument::loadFromData(textPdf(2))->page(1)->render(2);
    EXPECT_EQ(image.convertToFormat(QImage::Format_RGB32), whole);
    EXPECT_FALSE(inkBounds(whole).isEmpty());
}

TEST_F(DocumentCommandsTest, RenderAppliesRotation) {
    const QString pdf = writePdf("rot.pdf", rotatedOffsetPage());
    const QString out = path("r.png");
    ASSERT_EQ(runCli({"render", pdf, "-o", out}).exitCode, 0);
    EXPECT_EQ(QImage(out).size(), QSize(792, 612));
}

TEST_F(DocumentCommandsTest, DocumentErrorsExitOneWithTheirFixedMessage) {
    const CliRun missing = runCli({"info", path("Report.pdf")});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.err.trimmed(), "File not found: Report.pdf");

    const QString junk = writeFile(dir, "junk.pdf", QByteArray(4000, 'x'));
    const CliRun broken = runCli({"render", junk, "-o", path("o.png")});
    EXPECT_EQ(broken.exitCode, 1);
    EXPECT_EQ(broken.err.trimmed(), "Failed to load document: Could not open PDF at junk.pdf");
    EXPECT_FALSE(QFile::exists(path("o.png")));

    // Damaged images: the image libraries' own complaints stay off our standard error.
    for (const char* format : {"png", "tiff"}) {
        QByteArray bytes = imageBytes(QSize(300, 200), format);
        bytes.truncate(bytes.size() / 3);
        const QString name = QStringLiteral("cut.") + QLatin1String(format);
        const CliRun cut =
            runCli({"convert", writeBytes(path(name), bytes), "--format", "jpeg", "-o", path("cut.jpg")});
        EXPECT_EQ(cut.exitCode, 1) << format;
        EXPECT_EQ(cut.err, QStringLiteral("Failed to load document: Could not open image at %1\n").arg(name)) << format;
    }

    const QString huge = writeBytes(path("huge.png"), pngDeclaringSize(100000, 100000));
    const CliRun tooLarge = runCli({"info", huge});
    EXPECT_EQ(tooLarge.exitCode, 1);
    EXPECT_TRUE(tooLarge.err.startsWith("Failed to load document: ")) << tooLarge.err.toStdString();
}

TEST_F(DocumentCommandsTest, BadUsageExitsTwoWithTheUsage) {
    const QString pdf = writePdf("doc.pdf", textPdf(2));
    for (const QStringList& args :
         {QStringList{}, QStringList{"frobnicate"}, QStringList{"render", pdf},
          QStringList{"render", pdf, "--page", "3", "-o", path("x.png")},
          QStringList{"render", pdf, "--dpi", "fast", "-o", path("x.png")}, QStringList{"info", pdf, "--bogus"}}) {
        const CliRun run = runCli(args);
        EXPECT_EQ(run.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(run.err.contains("usage: scrivola-cli") || run.out.contains("usage: scrivola-cli"))
            << args.join(' ').toStdString();
    }
}

TEST_F(DocumentCommandsTest, HelpAndNeverOverwritingTheInput) {
    const CliRun help = runCli({"render", "--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.startsWith("usage: scrivola-cli render"));

    const QString png = writeBytes(path("same.png"), imageBytes(QSize(20, 20), "png"));
    const QByteArray before = readFileBytes(png);
    const CliRun run = runCli({"render", png, "-o", png});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(readFileBytes(png), before);
}

}  // namespace
