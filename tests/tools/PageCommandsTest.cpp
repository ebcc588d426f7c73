#include "pdf/engine/PDFEngine.h"
#include "support/PdfFactory.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace scrivola;
namespace factory = scrivola::testing;

namespace {

struct CliRun {
    int exitCode = -1;
    QString out;
    QString err;
};

CliRun runCli(const QStringList& args) {
    QProcess process;
    process.start(QStringLiteral(SCRIVOLA_CLI_PATH), args);
    process.waitForFinished(60000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError())};
}

QStringList pageLines(int pageIndex) {
    QStringList lines{QStringLiteral("Page %1").arg(pageIndex + 1)};
    if (pageIndex == 1) lines << QStringLiteral("a Matrix and a matrix") << QStringLiteral("then a ma-") << QStringLiteral("trix split");
    if (pageIndex == 3) lines << QStringLiteral("MATRIX");
    return lines;
}

QStringList labelsOf(const PDFDocument& document) {
    QStringList labels;
    for (int i = 0; i < document.pageCount(); ++i) {
        const auto text = document.page(i)->text();
        labels << (text.blocks.empty() ? QString() : text.blocks.front().lines.front().text.trimmed());
    }
    return labels;
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class PageCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        input = factory::writeFile(dir, QStringLiteral("in.pdf"), factory::textPdf(5, pageLines));
        original = readFile(input);
    }
    void TearDown() override { EXPECT_EQ(readFile(input), original) << "the input was changed"; }
    QString out(const QString& name = QStringLiteral("out.pdf")) const { return dir.filePath(name); }

    QTemporaryDir dir;
    QString input;
    QByteArray original;
};

TEST_F(PageCommandsTest, SearchPrintsEveryHitInDocumentOrderAndTheCount) {
    const CliRun run = runCli({QStringLiteral("search"), input, QStringLiteral("matrix")});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QStringList lines = run.out.trimmed().split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 5);
    EXPECT_EQ(lines[0], QStringLiteral("page 2: Matrix"));
    EXPECT_EQ(lines[1], QStringLiteral("page 2: matrix"));
    EXPECT_TRUE(lines[2].startsWith(QStringLiteral("page 2: ma"))) << lines[2].toStdString();
    EXPECT_EQ(lines[3], QStringLiteral("page 4: MATRIX"));
    EXPECT_EQ(lines[4], QStringLiteral("hits: 4"));

    const CliRun none = runCli({QStringLiteral("search"), input, QStringLiteral("absent")});
    EXPECT_EQ(none.exitCode, 0);
    EXPECT_EQ(none.out.trimmed(), QStringLiteral("hits: 0"));
}

TEST_F(PageCommandsTest, RotateTurnsTheListedPages) {
    const CliRun run = runCli({QStringLiteral("rotate"), input, QStringLiteral("--pages"), QStringLiteral("1,3-4"),
                            QStringLiteral("--by"), QStringLiteral("-90"), QStringLiteral("-o"), out()});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const auto result = PDFDocument::load(out());
    std::vector<int> rotations;
    for (int i = 0; i < result->pageCount(); ++i) rotations.push_back(result->page(i)->rotation());
    EXPECT_EQ(rotations, (std::vector<int>{270, 0, 270, 270, 0}));
    // Saved as an update of the original bytes.
    EXPECT_TRUE(readFile(out()).startsWith(original));
}

TEST_F(PageCommandsTest, DeleteMoveAndExportRearrangePages) {
    CliRun run = runCli({QStringLiteral("delete"), input, QStringLiteral("--pages"), QStringLiteral("2,4"), QStringLiteral("-o"), out()});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(labelsOf(*PDFDocument::load(out())), (QStringList{"Page 1", "Page 3", "Page 5"}));
    EXPECT_FALSE(readFile(out()).contains("a Matrix and a matrix"));

    run = runCli({QStringLiteral("move"), input, QStringLiteral("--page"), QStringLiteral("1"), QStringLiteral("--to"),
                  QStringLiteral("3"), QStringLiteral("-o"), out(QStringLiteral("moved.pdf"))});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(labelsOf(*PDFDocument::load(out(QStringLiteral("moved.pdf")))),
              (QStringList{"Page 2", "Page 3", "Page 1", "Page 4", "Page 5"}));
    run = runCli({QStringLiteral("move"), input, QStringLiteral("--page"), QStringLiteral("5"), QStringLiteral("--to"),
                  QStringLiteral("1"), QStringLiteral("-o"), out(QStringLiteral("moved.pdf"))});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(labelsOf(*PDFDocument::load(out(QStringLiteral("moved.pdf")))),
              (QStringList{"Page 5", "Page 1", "Page 2", "Page 3", "Page 4"}));

    run = runCli({QStringLiteral("export"), input, QStringLiteral("--pages"), QStringLiteral("4,2"), QStringLiteral("-o"),
                  out(QStringLiteral("export.pdf"))});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(labelsOf(*PDFDocument::load(out(QStringLiteral("export.pdf")))), (QStringList{"Page 2", "Page 4"}));
}

TEST_F(PageCommandsTest, BadUsageExitsWithTwoAndWritesNothing) {
    const QList<QStringList> bad{
        {QStringLiteral("rotate"), input, QStringLiteral("--pages"), QStringLiteral("1"), QStringLiteral("--by"), QStringLiteral("45"), QStringLiteral("-o"), out()},
        {QStringLiteral("rotate"), input, QStringLiteral("--pages"), QStringLiteral("9"), QStringLiteral("--by"), QStringLiteral("90"), QStringLiteral("-o"), out()},
        {QStringLiteral("delete"), input, QStringLiteral("--pages"), QStringLiteral("1-5"), QStringLiteral("-o"), out()},
        {QStringLiteral("move"), input, QStringLiteral("--page"), QStringLiteral("1"), QStringLiteral("-o"), out()},
        {QStringLiteral("export"), input, QStringLiteral("--pages"), QStringLiteral("1"), QStringLiteral("-o"), input},
        {QStringLiteral("search"), input},
        {QStringLiteral("rotate"), input, QStringLiteral("--pages"), QStringLiteral("1"), QStringLiteral("--by"), QStringLiteral("90")},
    };
    for (const QStringList& args : bad) {
        const CliRun run = runCli(args);
        EXPECT_EQ(run.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(run.err.contains(QStringLiteral("usage: scrivola-cli ") + args.front())) << run.err.toStdString();
    }
    EXPECT_FALSE(QFile::exists(out()));
}

TEST_F(PageCommandsTest, DocumentErrorsExitWithOneAndHelpWithZero) {
    const CliRun missing = runCli({QStringLiteral("delete"), dir.filePath(QStringLiteral("gone.pdf")), QStringLiteral("--pages"),
                                QStringLiteral("1"), QStringLiteral("-o"), out()});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_FALSE(missing.err.isEmpty());
    const QString junk = factory::writeFile(dir, QStringLiteral("junk.pdf"), QByteArray("not a pdf at all"));
    EXPECT_EQ(runCli({QStringLiteral("search"), junk, QStringLiteral("x")}).exitCode, 1);
    const CliRun unwritable = runCli({QStringLiteral("export"), input, QStringLiteral("--pages"), QStringLiteral("1"),
                                   QStringLiteral("-o"), dir.filePath(QStringLiteral("no/folder/x.pdf"))});
    EXPECT_EQ(unwritable.exitCode, 1);

    for (const char* name : {"search", "rotate", "delete", "move", "export"}) {
        const CliRun help = runCli({QString::fromLatin1(name), QStringLiteral("--help")});
        EXPECT_EQ(help.exitCode, 0);
        EXPECT_TRUE(help.out.startsWith(QStringLiteral("usage: scrivola-cli ") + QString::fromLatin1(name)));
    }
}

}  // namespace
