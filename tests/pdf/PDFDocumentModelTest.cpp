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

// Files that cannot be opened fail with their own kind and message; damaged ones open repaired
// where they can; a password to open is reported, an owner password is not.
TEST_F(PDFDocumentModelTest, UnreadableDamagedAndLockedFilesFailWithTheirOwnError) {
    ASSERT_TRUE(QFile::link(path("gone.pdf"), path("dangling.pdf")));
    writeBytes(path("empty.pdf"), {});
    writeBytes(path("notes.pdf"), "These are plain notes, not a PDF.\n");
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.pdf"));
    // Reading a pipe nobody writes to would block forever.
    ASSERT_EQ(::mkfifo(QFile::encodeName(path("pipe.pdf")).constData(), 0600), 0);
    writeBytes(path("broken.pdf"), "%PDF-1.7\n%garbage without any objects\n");
    PDFWriteOptions locked;
    locked.userPassword = "open sesame";
    locked.ownerPassword = "owner";
    writePdf("locked.pdf", 2, locked);
    using Kind = DocumentError::Kind;
    const QString loadFailed = "Failed to load document: Could not open PDF at ";
    for (const auto& [name, kind, description] : std::vector<std::tuple<QString, Kind, QString>>{
             {"absent.pdf", Kind::fileNotFound, "File not found: absent.pdf"},
             {"dangling.pdf", Kind::fileNotFound, "File not found: dangling.pdf"},
             {"empty.pdf", Kind::loadFailed, loadFailed + "empty.pdf"},
             {"notes.pdf", Kind::loadFailed, loadFailed + "notes.pdf"},
             {"folder.pdf", Kind::loadFailed, loadFailed + "folder.pdf"},
             {"pipe.pdf", Kind::loadFailed, loadFailed + "pipe.pdf"},
             {"broken.pdf", Kind::corruptedFile, "File appears to be corrupted"},
             {"locked.pdf", Kind::passwordProtected, "Document is password protected"}}) {
        const DocumentError error = openError(path(name));
        EXPECT_EQ(error.kind(), kind) << name.toStdString();
        EXPECT_EQ(error.errorDescription(), description);
    }
    EXPECT_TRUE(readBytes(path("locked.pdf")).contains("/AESV3"));
    PDFWriteOptions restricted;
    restricted.ownerPassword = "owner";
    const QString owner = writePdf("restricted.pdf", 2, restricted);
    EXPECT_EQ(PDFDocumentModel(owner).pdfDocument()->pageCount(), 2);

    const QByteArray whole = textPdf(4);
    PDFDocumentModel cut(writeFile(dir, "truncated.pdf", truncated(whole, whole.lastIndexOf("xref"))));
    ASSERT_EQ(cut.pdfDocument()->pageCount(), 4);
    EXPECT_TRUE(pageText(*cut.pdfDocument(), 3).contains("Page 4"));
    EXPECT_EQ(PDFDocumentModel(writeFile(dir, "xref.pdf", brokenXrefPdf(2))).pdfDocument()->pageCount(), 2);
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
