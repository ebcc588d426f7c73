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
        page.lines = {{QStringLiteral("Keep this line above"), QPointF(72, 700)},
                      {QStringLiteral("The SECRETWORD sits here"), QPointF(72, 650)},
                      {QStringLiteral("Keep this line below"), QPointF(72, 600)}};
        input = writeFile(dir, QStringLiteral("in.pdf"), buildPdf({page, page}));
        original = readFileBytes(input);
    }
    QString path(const QString& name) const { return dir.filePath(name); }

    QTemporaryDir dir;
    QString input;
    QByteArray original;
};

TEST_F(WhiteoutCommand, RemovesTheCoveredWordFromTheOutputOnly) {
    const CliRun run = runCli({QStringLiteral("whiteout"), input, QStringLiteral("--page"), QStringLiteral("1"), QStringLiteral("--rect"),
                         QStringLiteral("60,640,320,24"), QStringLiteral("-o"), path(QStringLiteral("out.pdf"))});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QString first = textOf(path(QStringLiteral("out.pdf")), 0);
    EXPECT_FALSE(first.contains(QStringLiteral("SECRETWORD")));
    EXPECT_TRUE(first.contains(QStringLiteral("Keep this line above")));
    EXPECT_TRUE(first.contains(QStringLiteral("Keep this line below")));
    EXPECT_TRUE(textOf(path(QStringLiteral("out.pdf")), 1).contains(QStringLiteral("SECRETWORD")));
    EXPECT_EQ(readFileBytes(input), original);
}

TEST_F(WhiteoutCommand, RectangleIsInPagePointsFromTheMediaBoxCornerOfATurnedPage) {
    const QString turned = writeFile(dir, QStringLiteral("turned.pdf"), rotatedOffsetPage({QStringLiteral("Turned TOPWORD"), QStringLiteral("Second line stays")}));
    // The first line's baseline is at user (172, 920), page point (72, 720).
    const CliRun run = runCli({QStringLiteral("whiteout"), turned, QStringLiteral("--page"), QStringLiteral("1"), QStringLiteral("--rect"),
                         QStringLiteral("60,716,300,16"), QStringLiteral("-o"), path(QStringLiteral("t.pdf"))});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    auto document = PDFDocument::loadFromData(readFileBytes(path(QStringLiteral("t.pdf"))));
    EXPECT_EQ(document->page(0)->rotation(), 90);
    const QString text = document->page(0)->text().plainText();
    EXPECT_FALSE(text.contains(QStringLiteral("TOPWORD")));
    EXPECT_TRUE(text.contains(QStringLiteral("Second line stays")));
}

TEST_F(WhiteoutCommand, UsageErrorsExitWithTwoAndWriteNothing) {
    const QString out = path(QStringLiteral("never.pdf"));
    const QList<QStringList> bad = {
        {QStringLiteral("whiteout"), input, QStringLiteral("--page"), QStringLiteral("1"), QStringLiteral("--rect"), QStringLiteral("1,2,3"), QStringLiteral("-o"), out},
        {QStringLiteral("whiteout"), input, QStringLiteral("--page"), QStringLiteral("1"), QStringLiteral("--rect"), QStringLiteral("1,2,-3,4"), QStringLiteral("-o"), out},
        {QStringLiteral("whiteout"), input, QStringLiteral("--page"), QStringLiteral("1"), QStringLiteral("--rect"), QStringLiteral("a,2,3,4"), QStringLiteral("-o"), out},
        {QStringLiteral("whiteout"), input, QStringLiteral("--page"), QStringLiteral("3"), QStringLiteral("--rect"), QStringLiteral("10,10,30,30"), QStringLiteral("-o"), out},
        {QStringLiteral("whiteout"), input, QStringLiteral("--page"), QStringLiteral("1"), QStringLiteral("--rect"), QStringLiteral("900,900,30,30"), QStringLiteral("-o"), out},
        {QStringLiteral("whiteout"), input, QStringLiteral("--rect"), QStringLiteral("10,10,30,30"), QStringLiteral("-o"), out},
        {QStringLiteral("whiteout"), input, QStringLiteral("--page"), QStringLiteral("1"), QStringLiteral("--rect"), QStringLiteral("10,10,30,30")},
        {QStringLiteral("whiteout"), input, QStringLiteral("--page"), QStringLiteral("1"), QStringLiteral("--rect"), QStringLiteral("10,10,30,30"), QStringLiteral("-o"), input},
    };
    for (const QStringList& args : bad) {
        const CliRun run = runCli(args);
        EXPECT_EQ(run.exitCode, 2) << args.join(' ').toStdString() << "\n" << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(QStringLiteral("usage: scrivola-cli whiteout"))) << run.err.toStdString();
    }
    EXPECT_FALSE(QFile::exists(out));
    EXPECT_EQ(readFileBytes(input), original);
}

TEST_F(WhiteoutCommand, DocumentErrorsExitWithOneAndHelpWithZero) {
    const CliRun missing = runCli({QStringLiteral("whiteout"), path(QStringLiteral("none.pdf")), QStringLiteral("--page"), QStringLiteral("1"),
                             QStringLiteral("--rect"), QStringLiteral("10,10,30,30"), QStringLiteral("-o"), path(QStringLiteral("o.pdf"))});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_FALSE(missing.err.isEmpty());
    const QString junk = writeFile(dir, QStringLiteral("junk.pdf"), QByteArray("not a pdf at all"));
    const CliRun broken = runCli({QStringLiteral("whiteout"), junk, QStringLiteral("--page"), QStringLiteral("1"), QStringLiteral("--rect"),
                            QStringLiteral("10,10,30,30"), QStringLiteral("-o"), path(QStringLiteral("o.pdf"))});
    EXPECT_EQ(broken.exitCode, 1);
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("o.pdf"))));

    const CliRun help = runCli({QStringLiteral("whiteout"), QStringLiteral("--help")});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.contains(QStringLiteral("whiteout FILE --page N --rect X,Y,W,H -o")));
}

}  // namespace
