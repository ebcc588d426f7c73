// Opening files, folders and image collections into a window, and finding tabs already open.
#include "WorkspaceFakes.h"

#include "image/ImageDocumentModel.h"
#include "pdf/PDFDocumentContext.h"
#include "pdf/PDFDocumentModel.h"
#include "signature/SignatureStorageService.h"
#include "support/ImageFactory.h"
#include "support/PdfFactory.h"

#include <QDir>
#include <QFile>
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
    ASSERT_NE(dynamic_cast<PDFDocumentModel*>(tab->content()), nullptr);
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
    ASSERT_EQ(model->pane(0)->count(), 2);
    EXPECT_EQ(QFileInfo(model->pane(0)->tabAt(0)->content()->url()).fileName(), QStringLiteral("a.pdf"));
    TabItem* collection = model->pane(0)->tabAt(1);
    EXPECT_EQ(imageNames(collection), (QStringList{QStringLiteral("A.png"), QStringLiteral("b.png")}));
    EXPECT_EQ(model->activeTab(), collection);

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

    auto other = harness.makeModel();
    other->openFiles({png(QStringLiteral("x.png")), png(QStringLiteral("y.png")), png(QStringLiteral("z.png"))});
    ASSERT_EQ(other->pane(0)->count(), 1);
    EXPECT_EQ(imageNames(other->pane(0)->tabAt(0)).size(), 3);

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
    EXPECT_EQ(model->focusedPaneIndex(), 0);
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

    for (const QString& path : {zero, random, badImage, folderNamedPdf, fifo, missing}) {
        EXPECT_EQ(model->openFile(path), nullptr) << path.toStdString();
        model->openFiles({path});
    }
    EXPECT_EQ(model->openImageCollection({badImage, files.filePath(QStringLiteral("gone.png"))}), nullptr);
    EXPECT_EQ(totalTabs(), 0);
    EXPECT_TRUE(harness.recent.list().isEmpty());

    // The rest of a list still opens.
    model->openFiles({random, pdf(QStringLiteral("good.pdf")), missing});
    EXPECT_EQ(tabNames(), QStringList{QStringLiteral("good.pdf")});
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
