#include "pdf/PDFDocumentModel.h"
#include "support/PdfFactory.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace scrivola;
using namespace scrivola::testing;

namespace {

class PDFDocumentModelTest : public ::testing::Test {
protected:
    QString path(const QString& name) const { return dir.filePath(name); }

    QString writePdf(const QString& name, int pages, const PDFWriteOptions& options = {}) const {
        EXPECT_TRUE(blankDocument(pages)->write(path(name), options));
        return path(name);
    }

    static DocumentError openError(const QString& file) {
        try {
            PDFDocumentModel model(file);
        } catch (const DocumentError& error) {
            return error;
        }
        ADD_FAILURE() << "opening " << file.toStdString() << " succeeded";
        return DocumentError::loadFailed(QString());
    }

    static QString pageText(const PDFDocument& document, int index) { return document.page(index)->text().plainText(); }

    QTemporaryDir dir;
};

// While alive, every file write of this process beyond a few bytes fails (also for root, where
// file permissions would not stop a write).
class FileSizeLimit {
public:
    FileSizeLimit() {
        getrlimit(RLIMIT_FSIZE, &saved_);
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = 16;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previousHandler_);
    }

private:
    rlimit saved_{};
    void (*previousHandler_)(int) = nullptr;
};

TEST_F(PDFDocumentModelTest, OpensAValidFileWithItsDisplayName) {
    const QString file = writeFile(dir, "Report.final.pdf", textPdf(3));
    PDFDocumentModel model(file);
    ASSERT_EQ(model.pdfDocument()->pageCount(), 3);
    EXPECT_TRUE(pageText(*model.pdfDocument(), 2).contains("Page 3"));
    EXPECT_EQ(model.url(), QFileInfo(file).absoluteFilePath());
    EXPECT_FALSE(model.isModified());
    EXPECT_EQ(model.displayName(), "Report.final");  // only the last extension goes
    EXPECT_EQ(PDFDocumentModel(blankDocument(1), path(".hidden")).displayName(), ".hidden");
}

TEST_F(PDFDocumentModelTest, UnreadableFilesFailWithTheirName) {
    const DocumentError missing = openError(path("absent.pdf"));
    EXPECT_EQ(missing.kind(), DocumentError::Kind::fileNotFound);
    EXPECT_EQ(missing.errorDescription(), "File not found: absent.pdf");
    ASSERT_TRUE(QFile::link(path("gone.pdf"), path("dangling.pdf")));
    EXPECT_EQ(openError(path("dangling.pdf")).kind(), DocumentError::Kind::fileNotFound);

    writeBytes(path("empty.pdf"), {});
    writeBytes(path("notes.pdf"), "These are plain notes, not a PDF.\n");
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.pdf"));
    // Reading a pipe nobody writes to would block forever.
    ASSERT_EQ(::mkfifo(QFile::encodeName(path("pipe.pdf")).constData(), 0600), 0);
    for (const QString name : {"empty.pdf", "notes.pdf", "folder.pdf", "pipe.pdf"}) {
        const DocumentError error = openError(path(name));
        EXPECT_EQ(error.kind(), DocumentError::Kind::loadFailed) << name.toStdString();
        EXPECT_EQ(error.errorDescription(), "Failed to load document: Could not open PDF at " + name);
    }
}

TEST_F(PDFDocumentModelTest, DamagedPdfsAreReportedCorruptedOrOpenRepaired) {
    writeBytes(path("broken.pdf"), "%PDF-1.7\n%garbage without any objects\n");
    EXPECT_EQ(openError(path("broken.pdf")).kind(), DocumentError::Kind::corruptedFile);

    const QByteArray whole = textPdf(4);
    PDFDocumentModel cut(writeFile(dir, "truncated.pdf", truncated(whole, whole.lastIndexOf("xref"))));
    ASSERT_EQ(cut.pdfDocument()->pageCount(), 4);
    EXPECT_TRUE(pageText(*cut.pdfDocument(), 3).contains("Page 4"));
    EXPECT_EQ(PDFDocumentModel(writeFile(dir, "xref.pdf", brokenXrefPdf(2))).pdfDocument()->pageCount(), 2);
}

TEST_F(PDFDocumentModelTest, PasswordsToOpenAreReportedButOwnerPasswordsAreNot) {
    PDFWriteOptions locked;
    locked.userPassword = "open sesame";
    locked.ownerPassword = "owner";
    const DocumentError error = openError(writePdf("locked.pdf", 2, locked));
    EXPECT_EQ(error.kind(), DocumentError::Kind::passwordProtected);
    EXPECT_EQ(error.errorDescription(), "Document is password protected");

    PDFWriteOptions restricted;
    restricted.ownerPassword = "owner";
    EXPECT_EQ(PDFDocumentModel(writePdf("restricted.pdf", 2, restricted)).pdfDocument()->pageCount(), 2);
}

TEST_F(PDFDocumentModelTest, SaveAsRetargetsLaterSaves) {
    const QString original = writePdf("first.pdf", 2);
    const QByteArray originalBytes = readBytes(original);
    PDFDocumentModel model(original);
    QSignalSpy urlSpy(&model, &DocumentContent::urlChanged);
    QSignalSpy modifiedSpy(&model, &DocumentContent::modifiedChanged);

    model.pdfDocument()->insertBlankPage({100, 100}, 2);
    model.setModified(true);
    model.save(path("second.pdf"));
    EXPECT_EQ(model.url(), path("second.pdf"));
    EXPECT_FALSE(model.isModified());
    EXPECT_EQ(urlSpy.count(), 1);
    EXPECT_EQ(modifiedSpy.count(), 2);
    EXPECT_EQ(readBytes(original), originalBytes);  // Save As leaves the source alone

    model.pdfDocument()->insertBlankPage({100, 100}, 3);
    model.setModified(true);
    model.save();
    EXPECT_EQ(PDFDocumentModel(path("second.pdf")).pdfDocument()->pageCount(), 4);
    EXPECT_EQ(PDFDocumentModel(original).pdfDocument()->pageCount(), 2);
}

TEST_F(PDFDocumentModelTest, FailedSaveChangesNothing) {
    PDFDocumentModel untitled(blankDocument(2));
    untitled.setModified(true);
    try {
        untitled.save();
        ADD_FAILURE() << "save without a file succeeded";
    } catch (const DocumentError& error) {
        EXPECT_EQ(error.kind(), DocumentError::Kind::saveFailed);
        EXPECT_EQ(error.payload(), "No file URL set");
    }
    EXPECT_TRUE(untitled.isModified());

    const QString file = writePdf("kept.pdf", 2);
    const QByteArray before = readBytes(file);
    PDFDocumentModel model(file);
    model.pdfDocument()->insertBlankPage({100, 100}, 0);
    model.setModified(true);
    try {
        model.save(path("no/such/folder/out.pdf"));
        ADD_FAILURE() << "save into a missing folder succeeded";
    } catch (const DocumentError& error) {
        EXPECT_EQ(error.kind(), DocumentError::Kind::saveFailed);
        EXPECT_EQ(error.payload(), "Could not write to out.pdf");
    }
    EXPECT_EQ(model.url(), file);
    EXPECT_TRUE(model.isModified());

    // Over the existing file while writing fails part-way: the file keeps every byte.
    {
        FileSizeLimit limit;
        EXPECT_THROW(model.save(), DocumentError);
    }
    EXPECT_EQ(readBytes(file), before);
    EXPECT_TRUE(model.isModified());
    EXPECT_EQ(model.pdfDocument()->pageCount(), 3);
    model.save();
    EXPECT_EQ(PDFDocumentModel(file).pdfDocument()->pageCount(), 3);
}

// The open document keeps reading, rendering and editing, its pages and annotations the same
// objects, across saves over its own file.
TEST_F(PDFDocumentModelTest, SavingOverTheOpenFileOrThroughALinkKeepsTheDocumentWorking) {
    const QString file = writeFile(dir, "inplace.pdf", textPdf(3));
    ASSERT_TRUE(QFile::link(file, path("link.pdf")));
    PDFDocumentModel model(path("link.pdf"));
    model.pdfDocument()->insertBlankPage({150, 150}, 3);
    auto box = PDFAnnotation::create(PDFAnnotation::Subtype::freeText, QRectF(100, 100, 200, 30));
    box->setContents("First save");
    model.pdfDocument()->page(2)->addAnnotation(box);
    model.setModified(true);
    model.save();
    box->setContents("Second save");
    model.pdfDocument()->page(0)->setRotation(90);
    model.pdfDocument()->removePage(1);
    model.setModified(true);
    model.save();
    EXPECT_TRUE(QFileInfo(path("link.pdf")).isSymLink());
    EXPECT_FALSE(model.pdfDocument()->page(1)->render(0.5).isNull());

    PDFDocumentModel reopened(file);
    const PDFDocument& document = *reopened.pdfDocument();
    ASSERT_EQ(document.pageCount(), 3);
    EXPECT_EQ(document.page(0)->rotation(), 90);
    EXPECT_TRUE(pageText(document, 1).contains("Page 3"));
    EXPECT_EQ(document.page(1)->annotations().at(0)->contents(), "Second save");
    EXPECT_EQ(document.page(2)->bounds().size(), QSizeF(150, 150));
}

}  // namespace
