// AppViewModel and its panes: split, moving and transferring tabs, closing with the
// unsaved-changes prompt, saving; the panes' closing and activation rules and tab order.
#include "WorkspaceFakes.h"

#include "workspace/Pane.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace scrivola;
using namespace scrivola::testing;

namespace {

class AppViewModelTest : public ::testing::Test {
protected:
    void SetUp() override { model = harness.makeModel(); }
    TabItem* add(const QString& name, int paneIndex = 0, FakeDocument** document = nullptr) {
        return model->pane(paneIndex)->addTab(fakeTab(name, document));
    }

    WorkspaceHarness harness;
    std::unique_ptr<AppViewModel> model;
};

}  // namespace

TEST_F(AppViewModelTest, ToggleSplitOpensTurnsAndCloses) {
    model->toggleSplit(SplitDirection::horizontal);
    EXPECT_TRUE(model->isSplitView());
    EXPECT_EQ(model->paneCount(), 2);
    EXPECT_EQ(model->focusedPaneIndex(), 0);

    model->setSplitRatio(0.7);
    model->toggleSplit(SplitDirection::vertical);  // only turns
    EXPECT_EQ(model->splitDirection(), SplitDirection::vertical);
    EXPECT_DOUBLE_EQ(model->splitRatio(), 0.7);

    model->openSplit(SplitDirection::horizontal);  // already split: nothing
    EXPECT_EQ(model->paneCount(), 2);
    EXPECT_EQ(model->splitDirection(), SplitDirection::vertical);

    model->toggleSplit(SplitDirection::vertical);
    EXPECT_FALSE(model->isSplitView());
    EXPECT_EQ(model->paneCount(), 1);

    model->toggleSplit(SplitDirection::horizontal);  // a new split starts at half
    EXPECT_DOUBLE_EQ(model->splitRatio(), 0.5);
    model->setSplitRatio(0.95);
    EXPECT_DOUBLE_EQ(model->splitRatio(), 0.8);
}

TEST_F(AppViewModelTest, ClosingTheOnlyTabKeepsTheSplitAndClosingTheSplitMovesTabsToTheFirstPane) {
    TabItem* a = add(QStringLiteral("a.pdf"));
    model->openSplit(SplitDirection::horizontal);
    EXPECT_TRUE(model->closeTab(*add(QStringLiteral("only.pdf"), 1)));
    EXPECT_TRUE(model->isSplitView());
    EXPECT_TRUE(model->pane(1)->activeTabID().isNull());

    TabItem* b = add(QStringLiteral("b.pdf"), 1);
    TabItem* c = add(QStringLiteral("c.pdf"), 1);
    model->pane(1)->setActiveTabID(b->id());
    model->setFocusedPaneIndex(1);
    model->closeSplitView();
    EXPECT_FALSE(model->isSplitView());
    EXPECT_EQ(model->focusedPaneIndex(), 0);
    EXPECT_EQ(model->pane(0)->tabs(), (QList<TabItem*>{a, b, c}));
    EXPECT_EQ(model->activeTab(), c);
    EXPECT_EQ(model->windowTitle(), QStringLiteral("c.pdf"));
}

TEST_F(AppViewModelTest, MoveTabBetweenPanes) {
    TabItem* a = add(QStringLiteral("a.pdf"));
    TabItem* b = add(QStringLiteral("b.pdf"));
    model->moveTab(*a, 1);  // no second pane: nothing
    model->moveTab(*a, -1);
    model->moveTab(*a, 0);  // already there: nothing
    EXPECT_EQ(model->pane(0)->tabs(), (QList<TabItem*>{a, b}));

    model->openSplit(SplitDirection::horizontal);
    add(QStringLiteral("c.pdf"), 1);
    model->moveTab(*b, 1);
    EXPECT_EQ(model->pane(0)->tabs(), (QList<TabItem*>{a}));
    EXPECT_EQ(model->pane(1)->count(), 2);
    EXPECT_EQ(model->focusedPaneIndex(), 1);
    EXPECT_EQ(model->activeTab(), b);
}

TEST_F(AppViewModelTest, RemoveTabForTransferByUpperCaseId) {
    TabItem* a = add(QStringLiteral("a.pdf"));
    TabItem* b = add(QStringLiteral("b.pdf"));
    add(QStringLiteral("c.pdf"));
    model->pane(0)->setActiveTabID(b->id());

    EXPECT_EQ(model->removeTabForTransfer(QStringLiteral("not a uuid")), nullptr);
    EXPECT_EQ(model->removeTabForTransfer(TabItem::idText(QUuid::createUuid())), nullptr);
    EXPECT_EQ(model->pane(0)->count(), 3);

    const QString text = b->idText();
    EXPECT_EQ(text, text.toUpper());
    EXPECT_FALSE(text.startsWith('{'));
    std::unique_ptr<TabItem> taken = model->removeTabForTransfer(text);
    EXPECT_EQ(taken.get(), b);
    EXPECT_EQ(model->pane(0)->tabs(), (QList<TabItem*>{a, model->activeTab()}));
}

TEST_F(AppViewModelTest, CloseAsksAboutUnsavedChanges) {
    FakeDocument* document = nullptr;
    TabItem* tab = add(QStringLiteral("report.pdf"), 0, &document);
    document->setModified(true);

    harness.prompter.answers = {SaveResult::cancel};
    EXPECT_FALSE(model->closeTab(*tab));
    EXPECT_EQ(harness.prompter.alertsShownFor, QStringList{QStringLiteral("report.pdf")});
    document->failSaving = true;
    harness.prompter.answers = {SaveResult::save};
    EXPECT_FALSE(model->closeTab(*tab));
    EXPECT_EQ(model->pane(0)->count(), 1);
    EXPECT_TRUE(document->isModified());

    harness.prompter.answers = {SaveResult::dontSave};
    EXPECT_TRUE(model->closeTab(*tab));
    EXPECT_TRUE(model->pane(0)->isEmpty());

    // "Save" writes before the tab goes; an unmodified tab asks nothing.
    tab = add(QStringLiteral("again.pdf"), 0, &document);
    document->setModified(true);
    QSignalSpy destroyed(document, &QObject::destroyed);
    int savesBeforeClose = -1;
    QObject::connect(document, &DocumentContent::modifiedChanged, [&] { savesBeforeClose = document->saveCount; });
    harness.prompter.answers = {SaveResult::save};
    EXPECT_TRUE(model->closeTab(*tab));
    EXPECT_EQ(savesBeforeClose, 1);
    EXPECT_EQ(destroyed.count(), 1);
    add(QStringLiteral("clean.pdf"));
    harness.prompter.alertsShownFor.clear();
    EXPECT_TRUE(model->closeActiveTab());
    EXPECT_TRUE(harness.prompter.alertsShownFor.isEmpty());
    EXPECT_FALSE(model->closeActiveTab());  // no active tab

    // Without a prompter a modified tab stays open.
    model->setPrompter(nullptr);
    tab = add(QStringLiteral("kept.pdf"), 0, &document);
    document->setModified(true);
    EXPECT_FALSE(model->closeTab(*tab));
}

TEST_F(AppViewModelTest, SaveAndSaveAsFailuresLeaveTheDocumentModified) {
    FakeDocument* document = nullptr;
    add(QStringLiteral("a.pdf"), 0, &document);
    document->setModified(true);
    document->failSaving = true;
    QSignalSpy failures(model.get(), &AppViewModel::failureReported);
    EXPECT_FALSE(model->saveActiveDocument());
    EXPECT_TRUE(document->isModified());
    harness.prompter.saveLocation = QStringLiteral("/tmp/elsewhere.pdf");
    EXPECT_FALSE(model->saveActiveDocumentAs());
    EXPECT_TRUE(document->isModified());
    ASSERT_EQ(failures.count(), 2);
    for (const auto& failure : failures) EXPECT_EQ(failure.at(0).toString(), QStringLiteral("Failed to save document: disk full"));

    document->failSaving = false;
    EXPECT_TRUE(model->saveActiveDocument());
    EXPECT_EQ(document->saveCount, 1);
    EXPECT_FALSE(document->isModified());

    document->setModified(true);
    harness.prompter.saveLocation.clear();  // cancelled
    EXPECT_FALSE(model->saveActiveDocumentAs());
    EXPECT_TRUE(document->savedAs.isEmpty());
    QSignalSpy titleSpy(model.get(), &AppViewModel::windowTitleChanged);
    harness.prompter.saveLocation = harness.dir.filePath(QStringLiteral("renamed.pdf"));
    EXPECT_TRUE(model->saveActiveDocumentAs());
    EXPECT_EQ(document->savedAs, QStringList{harness.prompter.saveLocation});
    EXPECT_EQ(harness.prompter.proposedNames.last(), QStringLiteral("a.pdf"));
    ASSERT_GE(titleSpy.count(), 1);
    EXPECT_EQ(titleSpy.last().at(0).toString(), QStringLiteral("renamed.pdf"));
}

TEST_F(AppViewModelTest, SaveBecomesSaveAsWhenTheFileCannotBeWrittenInPlace) {
    FakeDocument* document = nullptr;
    add(QStringLiteral("photo.svg"), 0, &document);
    document->setModified(true);
    document->needsSaveAs = true;
    harness.prompter.saveLocation = harness.dir.filePath(QStringLiteral("photo.png"));
    EXPECT_TRUE(model->saveActiveDocument());
    EXPECT_EQ(document->saveCount, 0);
    EXPECT_EQ(document->savedAs, QStringList{harness.prompter.saveLocation});

    // Closing with "Save" takes the same road; a cancelled save dialog keeps the tab.
    document->setModified(true);
    harness.prompter.saveLocation.clear();
    harness.prompter.answers = {SaveResult::save};
    EXPECT_FALSE(model->closeActiveTab());
    EXPECT_EQ(model->pane(0)->count(), 1);
}

TEST_F(AppViewModelTest, ResolveUnsavedChangesStopsAtCancel) {
    FakeDocument* first = nullptr;
    FakeDocument* second = nullptr;
    add(QStringLiteral("first.pdf"), 0, &first);
    add(QStringLiteral("clean.pdf"));
    add(QStringLiteral("second.pdf"), 0, &second);
    first->setModified(true);
    second->setModified(true);
    harness.prompter.answers = {SaveResult::save, SaveResult::cancel};
    EXPECT_FALSE(model->resolveUnsavedChanges());
    EXPECT_EQ(harness.prompter.alertsShownFor, (QStringList{QStringLiteral("first.pdf"), QStringLiteral("second.pdf")}));
    EXPECT_EQ(first->saveCount, 1);
    EXPECT_TRUE(second->isModified());
    EXPECT_EQ(model->pane(0)->count(), 3);

    harness.prompter.answers = {SaveResult::dontSave};
    EXPECT_TRUE(model->resolveUnsavedChanges());
}

TEST_F(AppViewModelTest, WindowTitleFollowsTheFocusedPane) {
    QSignalSpy titleSpy(model.get(), &AppViewModel::windowTitleChanged);
    add(QStringLiteral("a.pdf"));
    EXPECT_EQ(model->windowTitle(), QStringLiteral("a.pdf"));
    model->openSplit(SplitDirection::horizontal);
    model->pane(1)->addTab(std::make_unique<TabItem>(std::make_unique<FakeDocument>(QString(), QStringLiteral("Untitled 2"))));
    EXPECT_EQ(model->windowTitle(), QStringLiteral("a.pdf"));
    model->setFocusedPaneIndex(1);
    EXPECT_EQ(model->windowTitle(), QStringLiteral("Untitled 2"));
    EXPECT_EQ(titleSpy.count(), 2);
}

TEST_F(AppViewModelTest, WelcomeSheetUntilDismissedOnce) {
    EXPECT_TRUE(model->showWelcomeSheet());
    model->setShowWelcomeSheet(false);
    EXPECT_TRUE(harness.settings.value(QStringLiteral("hasSeenWelcome")).toBool());
    auto second = harness.makeModel();
    EXPECT_FALSE(second->showWelcomeSheet());
    second->setShowWelcomeSheet(true);  // the Help menu shows it again
    EXPECT_TRUE(second->showWelcomeSheet());
}

TEST_F(AppViewModelTest, RegistryForgetsDestroyedModels) {
    auto second = harness.makeModel();
    EXPECT_EQ(harness.registry.models(), (QList<AppViewModel*>{model.get(), second.get()}));
    harness.registry.add(model.get());
    EXPECT_EQ(harness.registry.models().size(), 2);
    second.reset();
    EXPECT_EQ(harness.registry.models(), QList<AppViewModel*>{model.get()});
}

// Pane: closing and activation rules and tab order.
namespace {

// Adds tabs named t0..t(n-1); returns them in order.
QList<TabItem*> addTabs(Pane& pane, int n) {
    QList<TabItem*> tabs;
    for (int i = 0; i < n; ++i) tabs.append(pane.addTab(fakeTab(QStringLiteral("t%1.pdf").arg(i))));
    return tabs;
}

}  // namespace

TEST(PaneTest, ClosingRepairsTheActiveTab) {
    // Of three tabs: which is active, which closes, which is active afterwards.
    for (const auto& [active, closed, after] : {std::tuple{2, 2, 1}, {1, 1, 2}, {1, 0, 1}}) {
        Pane pane;
        const auto tabs = addTabs(pane, 3);
        pane.setActiveTabID(tabs[active]->id());
        QSignalSpy activeSpy(&pane, &Pane::activeTabIDChanged);
        pane.closeTab(*tabs[closed]);
        EXPECT_EQ(pane.count(), 2);
        EXPECT_EQ(pane.activeTab(), tabs[after]) << active << closed;
        EXPECT_EQ(activeSpy.count(), active == closed ? 1 : 0);
    }
    {  // the only tab: an empty pane without an active tab, and the document is gone
        Pane pane;
        FakeDocument* document = nullptr;
        TabItem* tab = pane.addTab(fakeTab(QStringLiteral("a.pdf"), &document));
        QSignalSpy destroyed(document, &QObject::destroyed);
        pane.closeTab(*tab);
        EXPECT_TRUE(pane.isEmpty());
        EXPECT_TRUE(pane.activeTabID().isNull());
        EXPECT_EQ(destroyed.count(), 1);
    }
    {  // a tab of another pane: nothing
        Pane pane, other;
        addTabs(pane, 2);
        QSignalSpy tabsSpy(&pane, &Pane::tabsChanged);
        pane.closeTab(*addTabs(other, 1)[0]);
        EXPECT_EQ(pane.count(), 2);
        EXPECT_EQ(other.count(), 1);
        EXPECT_EQ(tabsSpy.count(), 0);
    }
}

TEST(PaneTest, MoveTabReordersAndKeepsTheActiveTab) {
    Pane pane;
    const auto tabs = addTabs(pane, 4);  // active: t3
    pane.moveTab(0, 3);
    EXPECT_EQ(pane.tabs(), (QList<TabItem*>{tabs[1], tabs[2], tabs[3], tabs[0]}));
    pane.moveTab(3, 1);
    EXPECT_EQ(pane.tabs(), (QList<TabItem*>{tabs[1], tabs[0], tabs[2], tabs[3]}));
    EXPECT_EQ(pane.activeTab(), tabs[3]);

    const auto before = pane.tabs();
    for (auto [from, to] : {std::pair{-1, 0}, {0, -1}, {2, 2}, {4, 0}, {0, 4}}) pane.moveTab(from, to);
    EXPECT_EQ(pane.tabs(), before);
}

