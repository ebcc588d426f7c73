// Opening documents: good, locked, damaged and hostile inputs.

#include "EngineTestUtil.h"

#include <QRandomGenerator>
#include <unistd.h>

namespace scrivola::testing {
namespace {

using Kind = PDFEngineError::Kind;

Kind loadKind(const QString& path) {
    try {
        PDFDocument::load(path);
    } catch (const PDFEngineError& e) {
        return e.kind();
    }
    ADD_FAILURE() << "expected a load failure for " << path.toStdString();
    return Kind::operationFailed;
}

TEST(EngineLoad, OpensFileAndDataWithPages) {
    QTemporaryDir dir;
    const QByteArray bytes = textPdf(3);
    auto fromFile = PDFDocument::load(writeFile(dir, "three.pdf", bytes));
    auto fromData = PDFDocument::loadFromData(bytes);
    ASSERT_TRUE(fromFile && fromData);
    EXPECT_EQ(fromFile->pageCount(), 3);
    EXPECT_EQ(fromData->pageCount(), 3);
    EXPECT_FALSE(fromFile->wasRepaired());
    EXPECT_EQ(fromFile->page(3), nullptr);
    EXPECT_EQ(fromFile->page(-1), nullptr);
    EXPECT_EQ(fromFile->page(2)->text().blocks.front().lines.front().text, "Page 3");
}

TEST(EngineLoad, IncrementalUpdateShowsTheUpdatedPageTree) {
    auto doc = PDFDocument::loadFromData(incrementalUpdatePdf());
    ASSERT_EQ(doc->pageCount(), 2);
    EXPECT_EQ(doc->page(1)->text().plainText(), "Updated page");
    EXPECT_FALSE(doc->wasRepaired());
}

TEST(EngineLoad, UnreadableInputsAreLoadFailed) {
    QTemporaryDir dir;  // missing files, folders and text files: see the document model's tests
    if (geteuid() != 0) {  // root reads files regardless of their permission bits
        const QString locked = writeFile(dir, "locked.pdf", textPdf(1));
        QFile::setPermissions(locked, QFileDevice::WriteOwner);
        EXPECT_EQ(loadKind(locked), Kind::loadFailed);
    }
    EXPECT_THROW(PDFDocument::loadFromData({}), PDFEngineError);
}

TEST(EngineLoad, DamagedPdfIsCorruptedOrRepairedNeverACrash) {
    const QByteArray good = textPdf(4);
    QTemporaryDir dir;
    // A header and nothing usable.
    EXPECT_EQ(loadKind(writeFile(dir, "header.pdf", "%PDF-1.7\n%garbage\n")), Kind::corruptedFile);
    // Cuts at many points: either a (repaired) document that works or corruptedFile.
    for (qsizetype cut : {qsizetype(9), qsizetype(40), good.size() / 4, good.size() / 2, good.size() - 200,
                          good.size() - 30, good.size() - 5}) {
        SCOPED_TRACE(cut);
        try {
            auto doc = PDFDocument::loadFromData(truncated(good, cut));
            for (int i = 0; i < doc->pageCount(); ++i) {
                auto page = doc->page(i);
                ASSERT_TRUE(page);
                page->render(0.2);
                page->text();
            }
            doc->findString("fox");
        } catch (const PDFEngineError& e) {
            EXPECT_EQ(e.kind(), Kind::corruptedFile);
        }
    }
    // Random bytes, with and without a PDF header.
    QRandomGenerator random(42);
    for (int round = 0; round < 5; ++round) {
        QByteArray noise(2048, '\0');
        for (auto& c : noise) c = char(random.bounded(256));
        EXPECT_THROW(PDFDocument::loadFromData(noise), PDFEngineError);
        try {
            auto doc = PDFDocument::loadFromData("%PDF-1.4\n" + noise);
            for (int i = 0; i < doc->pageCount(); ++i) doc->page(i)->render(0.1);
        } catch (const PDFEngineError& e) {
            EXPECT_EQ(e.kind(), Kind::corruptedFile);
        }
    }
}

TEST(EngineLoad, BrokenXrefIsRepaired) {
    auto doc = PDFDocument::loadFromData(brokenXrefPdf(3));
    ASSERT_TRUE(doc);
    EXPECT_TRUE(doc->wasRepaired());
    EXPECT_EQ(doc->pageCount(), 3);
    EXPECT_EQ(doc->page(1)->text().blocks.front().lines.front().text, "Page 2");
}

TEST(EngineLoad, UserPasswordLocksOwnerPasswordDoesNot) {
    QTemporaryDir dir;
    auto source = PDFDocument::loadFromData(textPdf(2));
    PDFWriteOptions userLocked;
    userLocked.userPassword = "secret";
    userLocked.ownerPassword = "owner";
    const QString lockedPath = dir.filePath("user.pdf");
    ASSERT_TRUE(source->write(lockedPath, userLocked));
    EXPECT_EQ(loadKind(lockedPath), Kind::passwordProtected);
    EXPECT_TRUE(readBytes(lockedPath).contains("/AESV3"));

    PDFWriteOptions ownerOnly;
    ownerOnly.ownerPassword = "owner";
    const QString ownerPath = dir.filePath("owner.pdf");
    ASSERT_TRUE(source->write(ownerPath, ownerOnly));
    auto opened = PDFDocument::load(ownerPath);
    EXPECT_EQ(opened->pageCount(), 2);
    EXPECT_EQ(opened->page(0)->text().blocks.front().lines.front().text, "Page 1");
    // Saving it again keeps it readable.
    auto again = PDFDocument::loadFromData(opened->writeToBuffer());
    EXPECT_EQ(again->page(1)->text().blocks.front().lines.front().text, "Page 2");
}

}  // namespace
}  // namespace scrivola::testing
