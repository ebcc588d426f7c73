// Drops onto a window and onto panes: files, and tabs dragged by their id within and between windows.
#include "WorkspaceFakes.h"

#include "pdf/PDFDocumentContext.h"
#include "support/PdfFactory.h"
#include "workspace/WorkspaceDrops.h"

#include <QMimeData>
#include <gtest/gtest.h>

using namespace scrivola;
using namespace scrivola::testing;

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
    EXPECT_TRUE(WorkspaceDrops::hasFiles(files));

    QMimeData text;
    text.setText(QStringLiteral("B3F1C7E2-0000-4000-8000-000000000001"));
    payload = WorkspaceDrops::payload(text);
    EXPECT_TRUE(payload.paths.isEmpty());
    EXPECT_EQ(payload.texts, QStringList{text.text()});
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
    EXPECT_EQ(model->focusedPaneIndex(), 1);
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
