// scrivola-cli search and the page commands (rotate, delete, move, export, whiteout): each writes
// a new file and leaves its input as it was.
#include "CliRunner.h"
#include "pdf/PageEditingTestSupport.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace scrivola;
using namespace scrivola::testing;

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
