#include "PdfModelTestFiles.h"
#include "pdf/PDFDocumentModel.h"
#include "support/PdfFactory.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace scrivola;
using namespace scrivola::pdftest;
namespace factory = scrivola::testing;

namespace {

class PDFDocumentModelTest : public ::testing::Test {
protected:
    QString path(const QString& name) const { return dir.filePath(name); }

    // Writes a valid document of `pages` pages and returns its path.
    QString writePdf(const QString& name, int pages, const PDFWriteOptions& options = {}) const {
        const QString file = path(name);
        EXPECT_TRUE(blankDocument(pages)->write(file, options));
        return file;
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

    // Writes a text PDF made without the engine; page i reads "Page i+1".
    QString writeTextPdf(const QString& name, int pages) const {
        return factory::writeFile(dir, name, factory::textPdf(pages));
    }

    static QString pageText(const PDFDocument& document, int index) {
        return document.page(index)->text().plainText();
    }

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

TEST_F(PDFDocumentModelTest, OpensAValidFile) {
    const QString file = writeTextPdf("Report.final.pdf", 3);
    PDFDocumentModel model(file);
    ASSERT_EQ(model.pdfDocument()->pageCount(), 3);
    EXPECT_TRUE(pageText(*model.pdfDocument(), 2).contains("Page 3"));
    EXPECT_EQ(model.url(), QFileInfo(file).absoluteFilePath());
    EXPECT_FALSE(model.isModified());
    EXPECT_EQ(model.documentType(), DocumentType::pdf);
    EXPECT_EQ(model.displayName(), "Report.final");  // only the last extension goes
}

TEST_F(PDFDocumentModelTest, MissingFilesAreNotFound) {
    const DocumentError missing = openError(path("absent.pdf"));
    EXPECT_EQ(missing.kind(), DocumentError::Kind::fileNotFound);
    EXPECT_EQ(missing.errorDescription(), "File not found: absent.pdf");

    // A link whose target is gone is missing as well.
    ASSERT_TRUE(QFile::link(path("gone.pdf"), path("dangling.pdf")));
    EXPECT_EQ(openError(path("dangling.pdf")).kind(), DocumentError::Kind::fileNotFound);
}

TEST_F(PDFDocumentModelTest, FilesThatAreNoPdfFailToLoadWithTheirName) {
    writeBytes(path("empty.pdf"), {});
    writeBytes(path("notes.pdf"), "These are plain notes, not a PDF.\n");
    QByteArray noise(4096, '\0');
    for (int i = 0; i < noise.size(); ++i) noise[i] = char((i * 7919 + 13) % 251);
    writeBytes(path("noise.pdf"), noise);

    for (const QString name : {"empty.pdf", "notes.pdf", "noise.pdf"}) {
        const DocumentError error = openError(path(name));
        EXPECT_EQ(error.kind(), DocumentError::Kind::loadFailed) << name.toStdString();
        EXPECT_EQ(error.payload(), "Could not open PDF at " + name);
        EXPECT_EQ(error.errorDescription(), "Failed to load document: Could not open PDF at " + name);
    }
}

TEST_F(PDFDocumentModelTest, FoldersAndPipesAreNotReadAsDocuments) {
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.pdf"));
    DocumentError error = openError(path("folder.pdf"));
    EXPECT_EQ(error.kind(), DocumentError::Kind::loadFailed);
    EXPECT_EQ(error.payload(), "Could not open PDF at folder.pdf");

    // Reading a pipe nobody writes to would block forever.
    ASSERT_EQ(::mkfifo(QFile::encodeName(path("pipe.pdf")).constData(), 0600), 0);
    error = openError(path("pipe.pdf"));
    EXPECT_EQ(error.kind(), DocumentError::Kind::loadFailed);
}

TEST_F(PDFDocumentModelTest, DamagedPdfsAreReportedCorruptedOrOpenRepaired) {
    // A PDF header followed by nothing usable cannot be repaired.
    writeBytes(path("broken.pdf"), "%PDF-1.7\n%garbage without any objects\n");
    EXPECT_EQ(openError(path("broken.pdf")).kind(), DocumentError::Kind::corruptedFile);

    // A file cut short after its pages, or with a wrong cross-reference table, is repaired by
    // the engine and opens.
    const QByteArray whole = factory::textPdf(4);
    const qsizetype xref = whole.lastIndexOf("xref");
    ASSERT_GT(xref, 0);
    PDFDocumentModel cut(factory::writeFile(dir, "truncated.pdf", factory::truncated(whole, xref)));
    ASSERT_EQ(cut.pdfDocument()->pageCount(), 4);
    EXPECT_TRUE(pageText(*cut.pdfDocument(), 3).contains("Page 4"));
    PDFDocumentModel misplaced(factory::writeFile(dir, "xref.pdf", factory::brokenXrefPdf(2)));
    EXPECT_EQ(misplaced.pdfDocument()->pageCount(), 2);
}

TEST_F(PDFDocumentModelTest, PasswordsToOpenAreReportedButOwnerPasswordsAreNot) {
    PDFWriteOptions locked;
    locked.userPassword = "open sesame";
    locked.ownerPassword = "owner";
    const DocumentError error = openError(writePdf("locked.pdf", 2, locked));
    EXPECT_EQ(error.kind(), DocumentError::Kind::passwordProtected);
    EXPECT_EQ(error.errorDescription(), "Document is password protected");

    // Only an owner password (permissions): the file opens without asking.
    PDFWriteOptions restricted;
    restricted.ownerPassword = "owner";
    PDFDocumentModel model(writePdf("restricted.pdf", 2, restricted));
    EXPECT_EQ(model.pdfDocument()->pageCount(), 2);
}

TEST_F(PDFDocumentModelTest, DisplayNames) {
    EXPECT_EQ(PDFDocumentModel(blankDocument(1)).displayName(), "Untitled");
    EXPECT_EQ(PDFDocumentModel(blankDocument(1), path("Report.final.pdf")).displayName(), "Report.final");
    EXPECT_EQ(PDFDocumentModel(blankDocument(1), path("plain")).displayName(), "plain");
    EXPECT_EQ(PDFDocumentModel(blankDocument(1), path(".hidden")).displayName(), ".hidden");
}

TEST_F(PDFDocumentModelTest, SaveWithoutAFileFails) {
    PDFDocumentModel model(blankDocument(2));
    model.setModified(true);
    try {
        model.save();
        FAIL() << "save without a file succeeded";
    } catch (const DocumentError& error) {
        EXPECT_EQ(error.kind(), DocumentError::Kind::saveFailed);
        EXPECT_EQ(error.payload(), "No file URL set");
    }
    EXPECT_TRUE(model.isModified());
    EXPECT_TRUE(model.url().isEmpty());
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
    EXPECT_EQ(model.displayName(), "second");
    EXPECT_FALSE(model.isModified());
    EXPECT_EQ(urlSpy.count(), 1);
    ASSERT_EQ(modifiedSpy.count(), 2);
    EXPECT_FALSE(modifiedSpy.at(1).at(0).toBool());
    EXPECT_EQ(readBytes(original), originalBytes);  // Save As leaves the source alone

    // A plain save now goes to the new file.
    model.pdfDocument()->insertBlankPage({100, 100}, 3);
    model.setModified(true);
    model.save();
    EXPECT_FALSE(model.isModified());
    EXPECT_EQ(PDFDocumentModel(path("second.pdf")).pdfDocument()->pageCount(), 4);
    EXPECT_EQ(PDFDocumentModel(original).pdfDocument()->pageCount(), 2);
}

TEST_F(PDFDocumentModelTest, FailedSaveChangesNothing) {
    const QString file = writePdf("kept.pdf", 2);
    const QByteArray before = readBytes(file);
    PDFDocumentModel model(file);
    model.pdfDocument()->insertBlankPage({100, 100}, 0);
    model.setModified(true);

    // Into a folder that does not exist.
    try {
        model.save(path("no/such/folder/out.pdf"));
        FAIL() << "save into a missing folder succeeded";
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
    EXPECT_EQ(model.url(), file);
    EXPECT_EQ(model.pdfDocument()->pageCount(), 3);  // the open document is intact

    // Once writing works again the same model saves.
    model.save();
    EXPECT_EQ(PDFDocumentModel(file).pdfDocument()->pageCount(), 3);
}

TEST_F(PDFDocumentModelTest, SavingOverTheOpenFileKeepsTheDocumentWorking) {
    const QString file = writeTextPdf("inplace.pdf", 3);
    PDFDocumentModel model(file);

    model.pdfDocument()->insertBlankPage({150, 150}, 3);
    model.setModified(true);
    model.save();
    // Edit again after the file under the document was replaced, and save again.
    model.pdfDocument()->page(0)->setRotation(90);
    model.pdfDocument()->removePage(1);
    model.setModified(true);
    model.save();
    EXPECT_FALSE(model.isModified());
    // The open document still reads its pages after its file was replaced twice.
    EXPECT_TRUE(pageText(*model.pdfDocument(), 1).contains("Page 3"));
    EXPECT_FALSE(model.pdfDocument()->page(1)->render(0.5).isNull());

    PDFDocumentModel reopened(file);
    const PDFDocument& document = *reopened.pdfDocument();
    ASSERT_EQ(document.pageCount(), 3);
    EXPECT_EQ(document.page(0)->rotation(), 90);
    EXPECT_TRUE(pageText(document, 0).contains("Page 1"));
    EXPECT_TRUE(pageText(document, 1).contains("Page 3"));
    EXPECT_EQ(document.page(2)->bounds().size(), QSizeF(150, 150));
}

TEST_F(PDFDocumentModelTest, SavingThroughALinkUpdatesItsTarget) {
    const QString target = writeTextPdf("target.pdf", 2);
    ASSERT_TRUE(QFile::link(target, path("link.pdf")));
    PDFDocumentModel model(path("link.pdf"));
    model.pdfDocument()->insertBlankPage({100, 100}, 2);
    model.save();
    EXPECT_TRUE(QFileInfo(path("link.pdf")).isSymLink());
    EXPECT_EQ(PDFDocumentModel(target).pdfDocument()->pageCount(), 3);
}

TEST_F(PDFDocumentModelTest, ReplacingTheDocumentNotifies) {
    PDFDocumentModel model(blankDocument(1));
    QSignalSpy spy(&model, &PDFDocumentModel::documentChanged);
    const PDFDocumentPtr replacement = blankDocument(5);
    model.setPdfDocument(replacement);
    EXPECT_EQ(model.pdfDocument(), replacement);
    model.setPdfDocument(nullptr);  // never absent
    EXPECT_EQ(model.pdfDocument(), replacement);
    EXPECT_EQ(spy.count(), 1);
}

}  // namespace
