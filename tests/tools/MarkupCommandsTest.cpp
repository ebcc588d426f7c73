// scrivola-cli whiteout: the output file has lost what the rectangle covered and nothing else.

#include "pdf/engine/PDFEngine.h"
#include "CliRunner.h"
#include "support/PdfFactory.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace scrivola;
using namespace scrivola::testing;

namespace {

QString textOf(const QString& path, int page = 0) {
    return PDFDocument::loadFromData(readFileBytes(path))->page(page)->text().plainText();
}

class WhiteoutCommand : public ::testing::Test {
protected:
    void SetUp() override {
        PdfPageSpec page;
        page.lines = {{"Keep this line above", QPointF(72, 700)},
                      {"The SECRETWORD sits here", QPointF(72, 650)},
                      {"Keep this line below", QPointF(72, 600)}};
        input = writeFile(dir, "in.pdf", buildPdf({page, page}));
        original = readFileBytes(input);
    }
    QString path(const QString& name) const { return dir.filePath(name); }

    QTemporaryDir dir;
    QString input;
    QByteArray original;
};

TEST_F(WhiteoutCommand, RemovesTheCoveredWordFromTheOutputOnly) {
    const CliRun run = runCli({"whiteout", input, "--page", "1", "--rect", "60,640,320,24", "-o", path("out.pdf")});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QString first = textOf(path("out.pdf"), 0);
    EXPECT_FALSE(first.contains("SECRETWORD"));
    EXPECT_TRUE(first.contains("Keep this line above"));
    EXPECT_TRUE(first.contains("Keep this line below"));
    EXPECT_TRUE(textOf(path("out.pdf"), 1).contains("SECRETWORD"));
    EXPECT_EQ(readFileBytes(input), original);
}

TEST_F(WhiteoutCommand, RectangleIsInPagePointsFromTheMediaBoxCornerOfATurnedPage) {
    const QString turned = writeFile(dir, "turned.pdf", rotatedOffsetPage({"Turned TOPWORD", "Second line stays"}));
    // The first line's baseline is at user (172, 920), page point (72, 720).
    const CliRun run = runCli({"whiteout", turned, "--page", "1", "--rect", "60,716,300,16", "-o", path("t.pdf")});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    auto document = PDFDocument::loadFromData(readFileBytes(path("t.pdf")));
    EXPECT_EQ(document->page(0)->rotation(), 90);
    const QString text = document->page(0)->text().plainText();
    EXPECT_FALSE(text.contains("TOPWORD"));
    EXPECT_TRUE(text.contains("Second line stays"));
}

TEST_F(WhiteoutCommand, UsageErrorsExitWithTwoAndWriteNothing) {
    const QString out = path("never.pdf");
    const QList<QStringList> bad = {
        {"whiteout", input, "--page", "1", "--rect", "1,2,3", "-o", out},
        {"whiteout", input, "--page", "1", "--rect", "1,2,-3,4", "-o", out},
        {"whiteout", input, "--page", "1", "--rect", "a,2,3,4", "-o", out},
        {"whiteout", input, "--page", "3", "--rect", "10,10,30,30", "-o", out},
        {"whiteout", input, "--page", "1", "--rect", "900,900,30,30", "-o", out},
        {"whiteout", input, "--rect", "10,10,30,30", "-o", out},
        {"whiteout", input, "--page", "1", "--rect", "10,10,30,30"},
        {"whiteout", input, "--page", "1", "--rect", "10,10,30,30", "-o", input},
    };
    for (const QStringList& args : bad) {
        const CliRun run = runCli(args);
        EXPECT_EQ(run.exitCode, 2) << args.join(' ').toStdString() << "\n" << run.err.toStdString();
        EXPECT_TRUE(run.err.contains("usage: scrivola-cli whiteout")) << run.err.toStdString();
    }
    EXPECT_FALSE(QFile::exists(out));
    EXPECT_EQ(readFileBytes(input), original);
}

TEST_F(WhiteoutCommand, DocumentErrorsExitWithOneAndHelpWithZero) {
    const CliRun missing =
        runCli({"whiteout", path("none.pdf"), "--page", "1", "--rect", "10,10,30,30", "-o", path("o.pdf")});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_FALSE(missing.err.isEmpty());
    const QString junk = writeFile(dir, "junk.pdf", QByteArray("not a pdf at all"));
    const CliRun broken = runCli({"whiteout", junk, "--page", "1", "--rect", "10,10,30,30", "-o", path("o.pdf")});
    EXPECT_EQ(broken.exitCode, 1);
    EXPECT_FALSE(QFile::exists(path("o.pdf")));

    const CliRun help = runCli({"whiteout", "--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.contains("whiteout FILE --page N --rect X,Y,W,H -o"));
}

}  // namespace
