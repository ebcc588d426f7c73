// PDFs that need a password to open: unlocked with it, and saved and exported still protected by it.
#include "pdf/PDFDocumentContext.h"
#include "pdf/PDFDocumentModel.h"
#include "support/Files.h"
#include "support/PdfFactory.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace scrivola;
using namespace scrivola::testing;

namespace {

const QString kPassword = QStringLiteral("s3cret pässword");

class PDFPasswordTest : public ::testing::Test {
protected:
    QString lockedPdf(const QString& name, int pages) {
        PDFWriteOptions options;
        options.userPassword = kPassword;
        options.ownerPassword = QStringLiteral("owner");
        const PDFDocumentPtr source = PDFDocument::loadFromData(textPdf(pages));
        EXPECT_TRUE(source->write(dir.filePath(name), options));
        return dir.filePath(name);
    }

    static DocumentError::Kind openErrorKind(const QString& file, const QString& password) {
        try {
            PDFDocumentModel model(file, password);
        } catch (const DocumentError& error) {
            return error.kind();
        }
        return DocumentError::Kind::loadFailed;
    }

    // The file opens only with the password and then has these page texts' first lines.
    static void expectLockedWithPages(const QString& file, const QStringList& firstLines) {
        SCOPED_TRACE(file.toStdString());
        EXPECT_EQ(openErrorKind(file, {}), DocumentError::Kind::passwordProtected);
        EXPECT_EQ(openErrorKind(file, QStringLiteral("wrong")), DocumentError::Kind::passwordProtected);
        PDFDocumentModel reopened(file, kPassword);
        const PDFDocumentPtr& document = reopened.pdfDocument();
        ASSERT_EQ(document->pageCount(), firstLines.size());
        for (int i = 0; i < firstLines.size(); ++i) EXPECT_EQ(firstLine(*document->page(i)), firstLines[i]);
    }

    QTemporaryDir dir;
};

TEST_F(PDFPasswordTest, OpensOnlyWithItsPasswordAndSavesStayProtected) {
    const QString file = lockedPdf(QStringLiteral("locked.pdf"), 3);
    EXPECT_EQ(openErrorKind(file, QStringLiteral("wrong")), DocumentError::Kind::passwordProtected);
    const QByteArray original = readBytes(file);
    QStringList lines;
    {
        PDFDocumentModel model(file, kPassword);
        EXPECT_EQ(model.password(), kPassword);
        for (int i = 0; i < 3; ++i) lines << firstLine(*model.pdfDocument()->page(i));
        ASSERT_TRUE(lines[2].contains("Page 3"));

        // An edit saved as an update appended to the encrypted original.
        model.pdfDocument()->page(0)->setRotation(90);
        model.setModified(true);
        model.save();
        EXPECT_FALSE(model.isModified());
    }
    EXPECT_TRUE(readBytes(file).startsWith(original));
    expectLockedWithPages(file, lines);
    EXPECT_EQ(PDFDocumentModel(file, kPassword).pdfDocument()->page(0)->rotation(), 90);

    // A removed page forces a whole rewrite: still encrypted, with the same password.
    {
        PDFDocumentModel model(file, kPassword);
        model.pdfDocument()->removePage(1);
        model.markContentRemoved();
        model.save(dir.filePath(QStringLiteral("rewritten.pdf")));
    }
    expectLockedWithPages(dir.filePath(QStringLiteral("rewritten.pdf")), {lines[0], lines[2]});
    EXPECT_TRUE(readBytes(dir.filePath(QStringLiteral("rewritten.pdf"))).contains("/Encrypt"));

    // A file without a user password needs none, and the model remembers none.
    const QString plain = writeFile(dir, QStringLiteral("plain.pdf"), textPdf(1));
    EXPECT_TRUE(PDFDocumentModel(plain, QStringLiteral("anything")).password().isEmpty());
}

class ExportTo : public PDFExportPresenter {
public:
    explicit ExportTo(QString path) : path_(std::move(path)) {}
    QString chooseExportFile(const QString&, const QString&) override { return path_; }

private:
    QString path_;
};

TEST_F(PDFPasswordTest, ExportedPagesKeepThePasswordAndAFailedExportIsReported) {
    PDFDocumentModel model(lockedPdf(QStringLiteral("locked.pdf"), 3), kPassword);
    const QString line = firstLine(*model.pdfDocument()->page(1));
    PDFDocumentContext context(&model);
    QSignalSpy failures(&context, &DocumentContext::failureReported);

    ExportTo good(dir.filePath(QStringLiteral("page.pdf")));
    context.setExportPresenter(&good);
    EXPECT_FALSE(context.exportPages({1}).isEmpty());
    expectLockedWithPages(dir.filePath(QStringLiteral("page.pdf")), {line});
    EXPECT_EQ(failures.count(), 0);

    ExportTo bad(dir.filePath(QStringLiteral("missing folder/page.pdf")));
    context.setExportPresenter(&bad);
    EXPECT_TRUE(context.exportPages({1}).isEmpty());
    ASSERT_EQ(failures.count(), 1);
    EXPECT_EQ(failures.at(0).at(0).toString(), QStringLiteral("Failed to export: Could not write to page.pdf"));
}

}  // namespace
