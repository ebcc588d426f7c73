// Opening files, folders and image collections into a window, finding tabs already open, and
// drops of files and tabs.
#include "WorkspaceFakes.h"

#include "image/ImageDocumentModel.h"
#include "pdf/PDFDocumentContext.h"
#include "pdf/PDFDocumentModel.h"
#include "signature/SignatureStorageService.h"
#include "support/ImageFactory.h"
#include "support/PdfFactory.h"
#include "workspace/DocumentTypes.h"
#include "workspace/WorkspaceDrops.h"

#include <QDir>
#include <QFile>
#include <QMimeData>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace scrivola;
using namespace scrivola::testing;

namespace {

class OpenDocumentsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(files.isValid());
        model = harness.makeModel();
    }
    QString pdf(const QString& name, int pages = 1) { return writeFile(files, name, textPdf(pages)); }
    QString png(const QString& name) { return writeFile(files, name, imageBytes(QSize(8, 6), "png")); }
    QString folder(const QString& name) {
        QDir(files.path()).mkpath(name);
        return files.filePath(name);
    }
    QStringList tabNames(int paneIndex = 0) const {
        QStringList names;
        for (TabItem* tab : model->pane(paneIndex)->tabs()) names << QFileInfo(tab->content()->url()).fileName();
        return names;
    }
    static QStringList imageNames(TabItem* tab) {
        QStringList names;
        auto* images = dynamic_cast<ImageDocumentModel*>(tab->content());
        if (!images) return names;
        for (const ImageEntry& entry : images->entries()) names << QFileInfo(entry.url).fileName();
        return names;
    }
    int totalTabs() const {
        int n = 0;
        for (Pane* pane : model->panes()) n += pane->count();
        return n;
    }

    QTemporaryDir files;
    WorkspaceHarness harness;
    std::unique_ptr<AppViewModel> model;
};

}  // namespace

TEST_F(OpenDocumentsTest, OpensAPDFWithItsContext) {
    const QString path = pdf(QStringLiteral("report.pdf"), 2);
    TabItem* tab = model->openFile(path);
    ASSERT_NE(tab, nullptr);
    EXPECT_EQ(model->activeTab(), tab);
    auto* context = dynamic_cast<PDFDocumentContext*>(tab->context());
    ASSERT_NE(context, nullptr);
    EXPECT_EQ(context->totalPages(), 2);
    EXPECT_EQ(context->signatureStorage(), model->services()->signatureStorage());
    EXPECT_EQ(model->windowTitle(), QStringLiteral("report.pdf"));
    EXPECT_EQ(harness.recent.list(), QStringList{QFileInfo(path).canonicalFilePath()});
}

TEST_F(OpenDocumentsTest, FolderOpensPDFsThenOneCollectionInCodePointOrder) {
    const QString dir = folder(QStringLiteral("docs"));
    png(QStringLiteral("docs/b.png"));
    pdf(QStringLiteral("docs/a.pdf"));
    png(QStringLiteral("docs/A.png"));
    writeFile(files, QStringLiteral("docs/notes.txt"), "text");
    model->openFiles({dir});
    EXPECT_EQ(tabNames(), (QStringList{QStringLiteral("a.pdf"), QStringLiteral("A.png")}));
    EXPECT_EQ(imageNames(model->activeTab()), (QStringList{QStringLiteral("A.png"), QStringLiteral("b.png")}));

    // Every file was noted, the collection's in order, newest first.
    QStringList recentNames;
    for (const QString& p : harness.recent.list()) recentNames << QFileInfo(p).fileName();
    EXPECT_EQ(recentNames, (QStringList{QStringLiteral("b.png"), QStringLiteral("A.png"), QStringLiteral("a.pdf")}));
}

TEST_F(OpenDocumentsTest, FolderListingIncludesHiddenEntriesButEntersNoFolder) {
    const QString dir = folder(QStringLiteral("scan"));
    png(QStringLiteral("scan/.hidden.png"));
    png(QStringLiteral("scan/page.png"));
    folder(QStringLiteral("scan/inner"));
    pdf(QStringLiteral("scan/inner/deep.pdf"));
    folder(QStringLiteral("scan/folder.pdf"));  // a folder with a document's name
    ASSERT_TRUE(QFile::link(dir, dir + QStringLiteral("/self")));
    ASSERT_TRUE(QFile::link(dir, dir + QStringLiteral("/loop.pdf")));
    ASSERT_TRUE(QFile::link(files.filePath(QStringLiteral("scan/inner")), dir + QStringLiteral("/inner-link")));
    model->openFiles({dir});
    ASSERT_EQ(model->pane(0)->count(), 1);
    EXPECT_EQ(imageNames(model->pane(0)->tabAt(0)), (QStringList{QStringLiteral(".hidden.png"), QStringLiteral("page.png")}));
}

TEST_F(OpenDocumentsTest, ListsSplitIntoPDFsAndImages) {
    const QString image = png(QStringLiteral("one.png"));
    const QString doc = pdf(QStringLiteral("doc.pdf"));
    model->openFiles({image, doc, files.filePath(QStringLiteral("ignored.txt"))});
    EXPECT_EQ(tabNames(), (QStringList{QStringLiteral("doc.pdf"), QStringLiteral("one.png")}));
    EXPECT_EQ(imageNames(model->pane(0)->tabAt(1)), QStringList{QStringLiteral("one.png")});

    // The same image twice in a list is shown once.
    const QString dir = folder(QStringLiteral("pics"));
    const QString a = png(QStringLiteral("pics/a.png"));
    png(QStringLiteral("pics/b.png"));
    auto third = harness.makeModel();
    third->openFiles({dir, a});
    ASSERT_EQ(third->pane(0)->count(), 1);
    EXPECT_EQ(imageNames(third->pane(0)->tabAt(0)), (QStringList{QStringLiteral("a.png"), QStringLiteral("b.png")}));
}

TEST_F(OpenDocumentsTest, TheSameFileOpensOnce) {
    const QString path = pdf(QStringLiteral("a.pdf"));
    folder(QStringLiteral("sub"));
    const QString link = files.filePath(QStringLiteral("link.pdf"));
    ASSERT_TRUE(QFile::link(path, link));
    TabItem* first = model->openFile(path);
    ASSERT_NE(first, nullptr);
    model->openSplit(SplitDirection::horizontal);
    model->setFocusedPaneIndex(1);
    model->pane(1)->addTab(fakeTab(QStringLiteral("other.pdf")));

    EXPECT_EQ(model->openFile(link), first);
    model->setFocusedPaneIndex(1);
    EXPECT_EQ(model->openFile(files.filePath(QStringLiteral("sub/../a.pdf"))), first);
    EXPECT_EQ(model->focusedPaneIndex(), 0);
    model->openFiles({path, link});
    EXPECT_EQ(totalTabs(), 2);
    // Reopening activates the existing tab.
    TabItem* b = model->openFile(pdf(QStringLiteral("b.pdf")));
    EXPECT_EQ(model->activeTab(), b);
    model->openFile(path);
    EXPECT_EQ(model->activeTab(), first);
}

TEST_F(OpenDocumentsTest, CollectionsNoteOnlyTheirImagesAndAnImageOfOneOpensInItsOwnTab) {
    const QString a = png(QStringLiteral("a.png"));
    const QString broken = writeFile(files, QStringLiteral("broken.png"), QByteArray("garbage"));
    const QString b = png(QStringLiteral("b.png"));
    TabItem* collection = model->openImageCollection({a, broken, b});
    ASSERT_NE(collection, nullptr);
    EXPECT_EQ(imageNames(collection), (QStringList{QStringLiteral("a.png"), QStringLiteral("b.png")}));
    EXPECT_EQ(harness.recent.list(), (QStringList{QFileInfo(b).canonicalFilePath(), QFileInfo(a).canonicalFilePath()}));
    TabItem* single = model->openFile(a);
    ASSERT_NE(single, nullptr);
    EXPECT_NE(single, collection);
    EXPECT_EQ(imageNames(single), QStringList{QStringLiteral("a.png")});
    EXPECT_EQ(model->openFile(a), single);
    EXPECT_EQ(model->pane(0)->count(), 2);
}

TEST_F(OpenDocumentsTest, BadFilesLeaveTheWorkspaceUnchanged) {
    const QString zero = writeFile(files, QStringLiteral("zero.pdf"), QByteArray());
    const QString random = writeFile(files, QStringLiteral("random.pdf"), QByteArray(4096, '\x9c'));
    const QString badImage = writeFile(files, QStringLiteral("bad.png"), QByteArray("not an image at all"));
    const QString folderNamedPdf = folder(QStringLiteral("x.pdf"));
    const QString fifo = files.filePath(QStringLiteral("pipe.pdf"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString missing = files.filePath(QStringLiteral("missing.pdf"));

    // Each failure is reported with its error's message.
    QSignalSpy failures(model.get(), &AppViewModel::failureReported);
    const QString loadFailed = QStringLiteral("Failed to load document: ");
    const QStringList expected = {loadFailed + "Could not open PDF at zero.pdf", loadFailed + "Could not open PDF at random.pdf",
                                  loadFailed + "Could not open image at bad.png", loadFailed + "Not a regular file: x.pdf",
                                  loadFailed + "Not a regular file: pipe.pdf", "File not found: missing.pdf"};
    int i = 0;
    for (const QString& path : {zero, random, badImage, folderNamedPdf, fifo, missing}) {
        failures.clear();
        EXPECT_EQ(model->openFile(path), nullptr) << path.toStdString();
        ASSERT_EQ(failures.count(), 1) << path.toStdString();
        EXPECT_EQ(failures.at(0).at(0).toString(), expected[i++]);
        model->openFiles({path});
    }
    EXPECT_EQ(model->openImageCollection({badImage, files.filePath(QStringLiteral("gone.png"))}), nullptr);
    EXPECT_EQ(totalTabs(), 0);
    EXPECT_TRUE(harness.recent.list().isEmpty());

    // The rest of a list still opens.
    model->openFiles({random, pdf(QStringLiteral("good.pdf")), missing});
    EXPECT_EQ(tabNames(), QStringList{QStringLiteral("good.pdf")});
}

// A PDF that needs a password asks for it until it opens, again after a wrong one; cancelling
// opens nothing and reports nothing.
TEST_F(OpenDocumentsTest, PasswordProtectedPDFsAskForTheirPassword) {
    PDFWriteOptions options;
    options.userPassword = QStringLiteral("right");
    ASSERT_TRUE(PDFDocument::loadFromData(textPdf(2))->write(files.filePath(QStringLiteral("locked.pdf")), options));
    const QString locked = files.filePath(QStringLiteral("locked.pdf"));
    QSignalSpy failures(model.get(), &AppViewModel::failureReported);

    harness.prompter.passwords = {QStringLiteral("wrong"), std::nullopt};
    EXPECT_EQ(model->openFile(locked), nullptr);
    using Request = std::pair<QString, bool>;
    EXPECT_EQ(harness.prompter.passwordRequests, (QList<Request>{{"locked.pdf", false}, {"locked.pdf", true}}));
    EXPECT_EQ(totalTabs(), 0);
    EXPECT_EQ(failures.count(), 0);
    EXPECT_TRUE(harness.recent.list().isEmpty());

    harness.prompter.passwordRequests.clear();
    harness.prompter.passwords = {QStringLiteral("wrong"), QStringLiteral("right")};
    TabItem* tab = model->openFile(locked);
    ASSERT_NE(tab, nullptr);
    EXPECT_EQ(harness.prompter.passwordRequests.size(), 2);
    EXPECT_EQ(static_cast<PDFDocumentModel*>(tab->content())->pdfDocument()->pageCount(), 2);
    EXPECT_EQ(failures.count(), 0);

    // Without a prompter to ask, the file is reported as protected.
    model->closeTab(*tab);
    model->setPrompter(nullptr);
    EXPECT_EQ(model->openFile(locked), nullptr);
    ASSERT_EQ(failures.count(), 1);
    EXPECT_EQ(failures.at(0).at(0).toString(), QStringLiteral("Document is password protected"));
}

TEST_F(OpenDocumentsTest, AFileOpenInAnotherWindowBringsThatWindowForward) {
    QList<AppViewModel*> broughtForward;
    harness.registry.setBringToFront([&](AppViewModel* m) { broughtForward.append(m); });
    const QString path = pdf(QStringLiteral("shared.pdf"));
    model->openSplit(SplitDirection::horizontal);
    model->setFocusedPaneIndex(1);
    TabItem* tab = model->openFile(path);
    model->pane(1)->addTab(fakeTab(QStringLiteral("later.pdf")));
    model->setFocusedPaneIndex(0);

    auto second = harness.makeModel();
    EXPECT_EQ(second->openFile(path), tab);
    EXPECT_EQ(second->pane(0)->count(), 0);
    EXPECT_EQ(broughtForward, QList<AppViewModel*>{model.get()});
    EXPECT_EQ(model->focusedPaneIndex(), 1);
    EXPECT_EQ(model->activeTab(), tab);
}

TEST_F(OpenDocumentsTest, OpenedAndChosenFilesGoToTheFocusedPane) {
    model->openSplit(SplitDirection::vertical);
    model->setFocusedPaneIndex(1);
    model->openFile(pdf(QStringLiteral("right.pdf")));
    EXPECT_EQ(model->pane(0)->count(), 0);
    EXPECT_EQ(tabNames(1), QStringList{QStringLiteral("right.pdf")});
    harness.prompter.filesToOpen = {pdf(QStringLiteral("chosen.pdf"))};
    model->openDocument();
    EXPECT_EQ(tabNames(1), (QStringList{QStringLiteral("right.pdf"), QStringLiteral("chosen.pdf")}));
    harness.prompter.filesToOpen.clear();  // cancelled
    model->openDocument();
    EXPECT_EQ(model->pane(1)->count(), 2);
}

// Documents are classified by their name alone.
TEST(DocumentTypesTest, ClassifiesByExtensionOnly) {
    EXPECT_EQ(DocumentTypes::from("/a/b/REPORT.PDF"), DocumentType::pdf);
    EXPECT_EQ(DocumentTypes::from("/tmp/archive.tar.pdf"), DocumentType::pdf);
    for (const char* name : {"x.jpeg", "x.tif", "x.svg", "x.avif", "x.HEIF"})
        EXPECT_EQ(DocumentTypes::from(QString("/tmp/") + name), DocumentType::image) << name;
    for (const char* name : {"/tmp/README", "/tmp/archive.pdf.zip", "/tmp/folder.pdf/inner", ""})
        EXPECT_FALSE(DocumentTypes::from(name)) << name;
    // The name decides, not the bytes.
    QTemporaryDir dir;
    const QString fakePdf = scrivola::testing::writeBytes(dir.path() + "/not-really.pdf", "\x89PNG\r\n\x1a\nthis is not a PDF");
    EXPECT_EQ(DocumentTypes::from(fakePdf), DocumentType::pdf);
    // The open dialog offers every type.
    for (const auto& type : DocumentTypes::supportedContentTypes())
        for (const auto& ext : type.extensions)
            EXPECT_TRUE(DocumentTypes::openDialogFilter().contains("*." + ext)) << ext.toStdString();
    // Extensions belong to exactly one type, and the filter offers each.
    QSet<QString> seen;
    const QString filter = DocumentTypes::openDialogFilter();
    for (const auto& type : DocumentTypes::supportedContentTypes())
        for (const auto& ext : type.extensions) {
            EXPECT_FALSE(seen.contains(ext)) << ext.toStdString();
            seen.insert(ext);
            EXPECT_TRUE(filter.contains("*." + ext)) << ext.toStdString();
        }
}

// what() is UTF-8 and stays valid in a copy after the original is gone.
TEST(DocumentErrorTest, WhatOutlivesTheOriginal) {
    std::optional<DocumentError> copy;
    {
        const DocumentError original = DocumentError::saveFailed("Grüße");
        copy = original;
    }
    EXPECT_EQ(QString::fromUtf8(copy->what()), "Failed to save document: Grüße");
}

// Drops onto a window and onto panes: files, and tabs dragged by their id within and between windows.
namespace {

class WorkspaceDropsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(files.isValid());
        model = harness.makeModel();
    }
    QString pdf(const QString& name) { return writeFile(files, name, textPdf(1)); }
    static WorkspaceDrops::Payload textPayload(const QString& text) { return {{}, {text}}; }

    QTemporaryDir files;
    WorkspaceHarness harness;
    std::unique_ptr<AppViewModel> model;
};

}  // namespace

TEST_F(WorkspaceDropsTest, PayloadTakesLocalFilesElseText) {
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/a.pdf")), QUrl(QStringLiteral("https://example.com/b.pdf"))});
    files.setText(QStringLiteral("ignored when files are present"));
    auto payload = WorkspaceDrops::payload(files);
    EXPECT_EQ(payload.paths, QStringList{QStringLiteral("/tmp/a.pdf")});
    EXPECT_TRUE(payload.texts.isEmpty());
    QMimeData text;
    text.setText(QStringLiteral("B3F1C7E2-0000-4000-8000-000000000001"));
    EXPECT_EQ(WorkspaceDrops::payload(text).texts, QStringList{text.text()});
    EXPECT_FALSE(WorkspaceDrops::hasFiles(text));
}

TEST_F(WorkspaceDropsTest, WindowDropMarksOpensAndEndsTheHighlight) {
    const QString path = pdf(QStringLiteral("dropped.pdf"));
    QStringList marked;
    model->setDropTargetActive(true);
    WorkspaceDrops::dropOnWindow(*model, {path}, [&](const QStringList& paths) {
        marked = paths;
        EXPECT_EQ(model->pane(0)->count(), 0);  // marked before opening
    });
    EXPECT_EQ(marked, QStringList{path});
    EXPECT_EQ(model->pane(0)->count(), 1);
    EXPECT_FALSE(model->isDropTargetActive());

    // Files dropped on a pane open there.
    model->openSplit(SplitDirection::horizontal);
    EXPECT_TRUE(WorkspaceDrops::dropOnPane(*model, 1, {{pdf(QStringLiteral("p.pdf"))}, {}},
                                           [&](const QStringList& p) { marked = p; }));
    EXPECT_EQ(marked.size(), 1);
    EXPECT_EQ(model->focusedPaneIndex(), 1);
    EXPECT_EQ(model->pane(1)->count(), 1);
    EXPECT_EQ(model->pane(0)->count(), 1);
}

TEST_F(WorkspaceDropsTest, TabDraggedBetweenPanes) {
    model->openSplit(SplitDirection::horizontal);
    TabItem* a = model->pane(0)->addTab(fakeTab(QStringLiteral("a.pdf")));
    model->pane(0)->addTab(fakeTab(QStringLiteral("b.pdf")));

    EXPECT_FALSE(WorkspaceDrops::dropOnPane(*model, 0, textPayload(a->idText())));  // its own pane
    EXPECT_EQ(model->pane(0)->count(), 2);
    EXPECT_FALSE(WorkspaceDrops::dropOnPane(*model, 0, textPayload(QStringLiteral("hello"))));
    EXPECT_FALSE(WorkspaceDrops::dropOnPane(*model, 0, textPayload(TabItem::idText(QUuid::createUuid()))));

    EXPECT_TRUE(WorkspaceDrops::dropOnPane(*model, 1, textPayload(a->idText())));
    EXPECT_EQ(model->pane(1)->tabs(), QList<TabItem*>{a});
    EXPECT_EQ(model->pane(0)->count(), 1);
    EXPECT_EQ(model->focusedPaneIndex(), 1);
    EXPECT_EQ(model->activeTab(), a);
}

TEST_F(WorkspaceDropsTest, TabDraggedFromAnotherWindowMovesWithItsDocument) {
    auto source = harness.makeModel();
    TabItem* tab = source->openFile(pdf(QStringLiteral("travelling.pdf")));
    ASSERT_NE(tab, nullptr);
    source->pane(0)->addTab(fakeTab(QStringLiteral("stays.pdf")));
    source->pane(0)->setActiveTabID(tab->id());
    DocumentContent* document = tab->content();

    model->openSplit(SplitDirection::vertical);
    EXPECT_TRUE(WorkspaceDrops::dropOnPane(*model, 1, textPayload(tab->idText())));
    EXPECT_EQ(model->pane(1)->activeTab(), tab);
    EXPECT_EQ(tab->content(), document);
    EXPECT_EQ(source->pane(0)->count(), 1);
    EXPECT_EQ(source->activeTab()->content()->displayName(), QStringLiteral("stays.pdf"));

    // The PDF now uses this window's signature store, which outlives the source window.
    auto* context = dynamic_cast<PDFDocumentContext*>(tab->context());
    ASSERT_NE(context, nullptr);
    EXPECT_EQ(context->signatureStorage(), model->services()->signatureStorage());
    source.reset();
    EXPECT_EQ(context->signatureStorage(), model->services()->signatureStorage());

    // The file is now found in this window.
    EXPECT_EQ(model->openFile(tab->content()->url()), tab);
}
