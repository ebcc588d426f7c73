#include "PageEditingTestSupport.h"
#include "pdf/PDFDocumentContext.h"
#include "pdf/PDFEditingService.h"
#include "pdf/engine/PDFSaving.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>

using namespace scrivola;
using namespace scrivola::testing;

namespace {

// labelledPdf(3) with an incremental update adding an outline whose only item points at the
// second page (object 6) and a structure-tree-like catalog entry that also points at it.
QByteArray pdfWithOutlineToSecondPage() {
    return withUpdate(labelledPdf(3), {{1, "<< /Type /Catalog /Pages 2 0 R /Outlines 10 0 R /Marked 12 0 R >>"},
                                       {10, "<< /Type /Outlines /First 11 0 R /Last 11 0 R /Count 1 >>"},
                                       {11, "<< /Title (Second) /Parent 10 0 R /Dest [6 0 R /Fit] >>"},
                                       {12, "<< /Type /StructElem /S /P /Pg 6 0 R /K 0 >>"}});
}

using PDFIncrementalSaveTest = OpenedPdfTest;

TEST_F(PDFIncrementalSaveTest, RotatingOnePageOfALargeFileAppendsOnlyTheChangeAndKeepsPermissions) {
    open(textPdf(400));
    ASSERT_GT(original.size(), 100000);
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    context->setCurrentPage(123);
    context->rotatePages(90);
    model->save();
    EXPECT_EQ(QFile::permissions(path) & QFileDevice::Permissions(0x7077), QFileDevice::ReadOwner | QFileDevice::WriteOwner);

    const QByteArray saved = readBytes(path);
    EXPECT_LE(saved.size(), original.size() * 105 / 100);
    EXPECT_TRUE(saved.startsWith(original));  // the original bytes are kept as they were
    const auto reopened = PDFDocument::load(path);
    EXPECT_FALSE(reopened->wasRepaired());
    EXPECT_EQ(reopened->page(123)->rotation(), 90);
    EXPECT_EQ(reopened->page(122)->rotation(), 0);
}

TEST_F(PDFIncrementalSaveTest, RepeatedSavesInPlaceKeepEveryEditAndStayCompact) {
    open(textPdf(200));
    context->rotatePages(90);
    model->save();
    context->setCurrentPage(5);
    context->rotatePages(180);
    context->editingService()->movePage(7, 0);
    model->save();
    context->setCurrentPage(1);
    context->rotatePages(-90);
    model->save();

    const QByteArray saved = readBytes(path);
    // Every update starts again from the original bytes, so updates do not pile up.
    EXPECT_TRUE(saved.startsWith(original));
    EXPECT_LE(saved.size(), original.size() * 105 / 100);
    const auto reopened = PDFDocument::load(path);
    EXPECT_EQ(rotations(*reopened), rotations(document()));
    EXPECT_EQ(pageLabels(*reopened), pageLabels(document()));
}

TEST_F(PDFIncrementalSaveTest, SaveAsWritesTheOriginalPlusTheUpdateElsewhere) {
    open(labelledPdf(4));
    context->rotatePages(90);
    const QString other = dir.filePath(QStringLiteral("other.pdf"));
    model->save(other);
    EXPECT_EQ(readBytes(path), original);  // the source is untouched
    EXPECT_TRUE(readBytes(other).startsWith(original));
    EXPECT_EQ(PDFDocument::load(other)->page(0)->rotation(), 90);
}

TEST_F(PDFIncrementalSaveTest, DeletionRewritesTheFileWithoutTheDeletedContent) {
    open(pdfWithOutlineToSecondPage());
    ASSERT_FALSE(model->requiresFullRewrite());
    ASSERT_TRUE(fileContains(original, "uniqueword2"));
    context->deletePages({1});
    EXPECT_TRUE(model->requiresFullRewrite());
    model->save();

    const QByteArray saved = readBytes(path);
    EXPECT_FALSE(fileContains(saved, "uniqueword2"));
    EXPECT_TRUE(fileContains(saved, "uniqueword3"));
    EXPECT_EQ(pageLabels(*PDFDocument::load(path)), labels({1, 3}));

    // Undoing the deletion brings the page back; the next save writes it again.
    context->undo();
    context->rotatePages(90);
    model->save();
    const auto restored = PDFDocument::load(path);
    EXPECT_EQ(pageLabels(*restored), labels({1, 2, 3}));
    EXPECT_EQ(restored->page(0)->rotation(), 90);
}

TEST_F(PDFIncrementalSaveTest, DocumentsWithoutUsableOriginalBytesAreRewritten) {
    // A repaired file cannot take an update: the whole file is rewritten, and reads cleanly.
    open(brokenXrefPdf(3));
    ASSERT_TRUE(document().wasRepaired());
    EXPECT_FALSE(PDFSaving::canWriteIncrementally(document()));
    context->rotatePages(90);
    model->save();
    const auto reopened = PDFDocument::load(path);
    EXPECT_FALSE(reopened->wasRepaired());
    EXPECT_EQ(reopened->page(0)->rotation(), 90);
    EXPECT_FALSE(PDFSaving::canWriteIncrementally(*PDFDocument::createEmpty()));  // made in memory
}

TEST_F(PDFIncrementalSaveTest, FailedSaveLeavesTargetAndStateAlone) {
    open(labelledPdf(2));
    context->rotatePages(90);
    const QString missing = dir.filePath(QStringLiteral("no/such/folder/out.pdf"));
    EXPECT_THROW(model->save(missing), DocumentError);
    EXPECT_TRUE(model->isModified());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("doc.pdf")});

    // A read-only folder: neither path can write, nothing is left behind.
    QDir(dir.path()).mkdir(QStringLiteral("locked"));
    const QString locked = dir.filePath(QStringLiteral("locked"));
    QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    if (!QFileInfo(locked).isWritable()) {
        EXPECT_FALSE(PDFSaving::writeIncremental(document(), locked + QStringLiteral("/x.pdf")));
        EXPECT_THROW(model->save(locked + QStringLiteral("/x.pdf")), DocumentError);
        EXPECT_TRUE(QDir(locked).entryList(QDir::Files | QDir::Hidden).isEmpty());
    }
    QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

TEST_F(PDFIncrementalSaveTest, EncryptedDocumentsStayEncrypted) {
    PDFWriteOptions options;
    options.ownerPassword = QStringLiteral("owner");
    const QByteArray encrypted = PDFDocument::loadFromData(labelledPdf(3))->writeToBuffer(options);
    ASSERT_TRUE(encrypted.contains("/Encrypt"));
    open(encrypted);
    context->setCurrentPage(2);
    context->rotatePages(90);
    model->save();
    const QByteArray saved = readBytes(path);
    EXPECT_TRUE(saved.contains("/Encrypt"));
    EXPECT_FALSE(saved.contains("uniqueword"));  // no stream was written in the clear
    const auto reopened = PDFDocument::load(path);
    EXPECT_EQ(rotations(*reopened), (std::vector<int>{0, 0, 90}));
    EXPECT_EQ(pageLabels(*reopened), labels({1, 2, 3}));
}

TEST_F(PDFIncrementalSaveTest, PagesTakenOutByOtherEditsAreNotKeptInTheFileEither) {
    // A page replaced or removed without the content flag (as page replacements do) still
    // forces the compacting rewrite, so the old page's content leaves the file.
    open(labelledPdf(3));
    document().removePage(1);
    model->setModified(true);
    ASSERT_FALSE(model->requiresFullRewrite());
    model->save();
    const QByteArray saved = readBytes(path);
    EXPECT_FALSE(fileContains(saved, "uniqueword2"));
    EXPECT_EQ(pageLabels(*PDFDocument::load(path)), labels({1, 3}));
}

// Each edit that takes content away, once saved, leaves a file of one revision in which no
// stream or string holds the old text; additions alone keep the incremental save.
TEST_F(PDFIncrementalSaveTest, EditsThatRemoveContentLeaveNoTraceOfIt) {
    const auto revisions = [&] { return readBytes(path).count("%%EOF"); };
    const auto traceOf = [&](const QByteArray& text) { return fileContains(readBytes(path), text); };
    const auto typeBox = [&](const QString& text) {
        context->textTool()->beginInlineEditing(0, nullptr);
        context->textTool()->confirmTextAnnotation(text, QRectF(72, 500, 300, 40));
        return document().page(0)->annotations().back();
    };
    const std::vector<std::function<void(const PDFAnnotationPtr&)>> removals = {
        [&](const PDFAnnotationPtr& box) { context->textTool()->removeTextAnnotation(box, document().page(0)); },
        [&](const PDFAnnotationPtr& box) {  // editing the text again
            context->textTool()->beginInlineEditing(0, box);
            document().page(0)->removeAnnotation(box);
            context->textTool()->confirmTextAnnotation(QStringLiteral("Replacement words"), box->bounds());
        },
        [&](const PDFAnnotationPtr& box) { box->setFont(QStringLiteral("Helvetica"), 30); },  // keeps its text
        [&](const PDFAnnotationPtr&) { context->undo(); },
        [&](const PDFAnnotationPtr&) { context->applyWhiteout(QRectF(60, 490, 330, 60), 0); },
    };
    for (size_t i = 0; i < removals.size(); ++i) {
        SCOPED_TRACE(i);
        open(labelledPdf(2));
        const PDFAnnotationPtr box = typeBox(QStringLiteral("Secretword%1").arg(i));
        model->save();
        ASSERT_EQ(revisions(), 2) << "an addition is saved incrementally";
        const QByteArray secret = "Secretword" + QByteArray::number(int(i));
        ASSERT_TRUE(traceOf(secret));

        removals[i](box);
        model->save();
        EXPECT_EQ(revisions(), 1);
        if (i != 2) {
            EXPECT_FALSE(traceOf(secret));
        }
        EXPECT_EQ(PDFDocument::load(path)->pageCount(), 2);
    }
}

}  // namespace

