// Panes of a window: tabs moving between panes and windows with their pages, the divider, tab
// reordering, the tab menu, the empty-pane views, the tab list and the drop overlay.
#include "ui/ContentView.h"
#include "ui/DocumentArea.h"
#include "ui/DropZoneView.h"
#include "ui/PaneTabBar.h"
#include "ui/PaneView.h"
#include "ui/PaneWelcomeView.h"
#include "ui/TabListPopover.h"
#include "ui/WorkspaceWindow.h"

#include "image/ImageDocumentContext.h"
#include "image/view/ImageCanvasView.h"
#include "support/Files.h"
#include "support/ImageFactory.h"
#include "support/PdfFactory.h"
#include "workspace/AppViewModel.h"
#include "workspace/Pane.h"
#include "workspace/ServiceContainer.h"
#include "workspace/WindowRegistry.h"

#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QSettings>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace scrivola;
using namespace scrivola::testing;

namespace {

class PaneViewTest : public ::testing::Test {
protected:
    std::unique_ptr<WorkspaceWindow> makeWindow() {
        WorkspaceEnvironment environment;
        environment.settings = &settings;
        environment.registry = &registry;
        auto model = std::make_unique<AppViewModel>(std::make_unique<ServiceContainer>(dir.filePath(QStringLiteral("sig"))), environment);
        registry.add(model.get());
        auto window = std::make_unique<WorkspaceWindow>(std::move(model));
        window->resize(900, 600);
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        return window;
    }
    QString pdf(const QString& name) { return writeFile(dir, name + QStringLiteral(".pdf"), textPdf(2)); }
    QString png(const QString& name) {
        return writeBytes(dir.filePath(name + QStringLiteral(".png")), imageBytes(QSize(120, 80), "png"));
    }
    // A drop of a dragged tab's id text onto the widget, as the desktop delivers it.
    static bool dropText(QWidget* target, const QString& text) {
        QMimeData data;
        data.setText(text);
        return drop(target, data);
    }
    static bool drop(QWidget* target, const QMimeData& data) {
        QDragEnterEvent enter(QPoint(5, 5), Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        if (!enter.isAccepted()) return false;
        QDropEvent drop(QPointF(5, 5), Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &drop);
        return drop.isAccepted();
    }
    static QStringList names(Pane* pane) {
        QStringList result;
        for (TabItem* tab : pane->tabs()) result << tab->content()->displayName();
        return result;
    }

    QTemporaryDir dir;
    QSettings settings{dir.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat};
    WindowRegistry registry;
};

TEST_F(PaneViewTest, TabsMoveBetweenPanesAndWindowsTakingTheirPages) {
    auto window = makeWindow();
    AppViewModel* model = window->model();
    model->openFiles({pdf(QStringLiteral("one")), pdf(QStringLiteral("two"))});
    model->openFile(png(QStringLiteral("pic")));
    model->openSplit(SplitDirection::horizontal);
    ContentView* content = window->contentView();
    ASSERT_EQ(content->paneViews().size(), 2);

    // The PDF "two" shown, then dropped onto the second pane: the same area shows it there.
    TabItem* two = model->pane(0)->tabAt(1);
    model->pane(0)->setActiveTabID(two->id());
    DocumentArea* area = window->activeArea();
    ASSERT_TRUE(area && area->pdfView());
    EXPECT_TRUE(dropText(content->paneView(1), two->idText()));
    EXPECT_EQ(names(model->pane(1)), QStringList{"two"});
    EXPECT_EQ(model->focusedPaneIndex(), 1);
    EXPECT_EQ(content->paneView(1)->currentArea(), area);
    EXPECT_EQ(window->activePdfView(), area->pdfView());

    // The image moves over too: the second pane's canvas shows it, the first pane's lets it go.
    TabItem* pic = model->pane(0)->tabAt(1);
    model->setFocusedPaneIndex(0);
    model->pane(0)->setActiveTabID(pic->id());
    auto* image = qobject_cast<ImageDocumentContext*>(pic->context());
    EXPECT_EQ(content->paneView(0)->imageCanvas()->context(), image);
    EXPECT_TRUE(dropText(content->paneView(1), pic->idText()));
    EXPECT_EQ(window->imageCanvas(), content->paneView(1)->imageCanvas());
    EXPECT_EQ(window->imageCanvas()->context(), image);
    EXPECT_TRUE(window->imageCanvas()->isVisible());
    EXPECT_EQ(content->paneView(0)->imageCanvas()->context(), nullptr);
    // Back to the PDF in pane 1: its page view again, the canvas out of sight.
    model->pane(1)->setActiveTabID(two->id());
    EXPECT_EQ(window->activeArea(), area);
    EXPECT_FALSE(window->imageCanvas()->isVisible());

    // Dropped onto a pane of another window: the tab and its area go there.
    auto other = makeWindow();
    EXPECT_TRUE(dropText(other->contentView()->paneView(0), two->idText()));
    EXPECT_EQ(names(model->pane(1)), QStringList{"pic"});
    EXPECT_EQ(names(other->model()->pane(0)), QStringList{"two"});
    EXPECT_EQ(other->activeArea(), area);
    EXPECT_EQ(window->documentAreas()->find(two), nullptr);
    EXPECT_TRUE(area->isVisible());
    // An id that no window holds is refused without a change.
    EXPECT_FALSE(dropText(other->contentView()->paneView(0), QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper()));

    // Files dropped onto the second pane are noted as dropped and open there.
    QStringList marked;
    window->setMarkAsDropped([&](const QStringList& paths) { marked = paths; });
    const QString three = pdf(QStringLiteral("three"));
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(three)});
    model->setFocusedPaneIndex(0);
    EXPECT_TRUE(drop(content->paneView(1), files));
    EXPECT_EQ(marked, QStringList{three});
    EXPECT_EQ(names(model->pane(1)), (QStringList{"pic", "three"}));
    EXPECT_EQ(model->focusedPaneIndex(), 1);

    // Closing the split brings the second pane's tabs into the first, shown by its view.
    model->closeSplitView();
    QCoreApplication::processEvents();
    EXPECT_EQ(names(model->pane(0)), (QStringList{"one", "pic", "three"}));
    model->pane(0)->setActiveTabID(pic->id());
    EXPECT_EQ(window->imageCanvas()->context(), image);
    EXPECT_TRUE(window->imageCanvas()->isVisible());
}

// The areas shown longest ago go beyond the limit, never one on screen; another window takes an
// area over; an area dies with its tab.
TEST_F(PaneViewTest, DocumentAreasAreBoundedFollowTheirTabsAndDieWithThem) {
    auto window = makeWindow();
    AppViewModel* model = window->model();
    model->openFiles({pdf(QStringLiteral("a")), pdf(QStringLiteral("b")), pdf(QStringLiteral("c"))});
    const QList<TabItem*> tabs = model->pane(0)->tabs();
    const auto make = [&](TabItem* tab) { return new DocumentArea(tab, model->services()->signatureStorage()); };
    QStackedWidget screen;
    DocumentAreaCache cache(2, make), other(2, make);
    DocumentArea* a = cache.areaFor(tabs[0]);
    screen.addWidget(a);
    screen.setCurrentWidget(a);
    const QPointer<DocumentArea> b = cache.areaFor(tabs[1]);
    const QPointer<DocumentArea> c = cache.areaFor(tabs[2]);
    EXPECT_EQ(cache.count(), 2);
    EXPECT_EQ(cache.find(tabs[0]), a);
    EXPECT_TRUE(b.isNull());
    EXPECT_EQ(other.areaFor(tabs[0]), a);
    EXPECT_EQ(cache.find(tabs[0]), nullptr);
    EXPECT_NE(c->pdfView(), nullptr);
    ASSERT_NE(c->bottomBar(), nullptr);
    model->closeTab(*tabs[2]);
    EXPECT_TRUE(c.isNull());
    EXPECT_EQ(cache.count(), 0);
}

TEST_F(PaneViewTest, TheDividerStopsAtBothLimitsInEitherDirection) {
    auto window = makeWindow();
    AppViewModel* model = window->model();
    ContentView* content = window->contentView();
    QToolButton* single = content->paneView(0)->tabBar()->button(QStringLiteral("Single View"));
    single->click();  // not split: nothing happens
    EXPECT_FALSE(model->isSplitView());
    content->paneView(0)->tabBar()->button(QStringLiteral("Split Horizontal"))->click();
    ASSERT_TRUE(model->isSplitView());
    SplitResizeHandle* handle = content->handle();
    ASSERT_TRUE(handle->isVisible());
    // The handle follows the ratio: the pointer's moves are counted from where the drag began.
    const QPoint start = handle->mapToGlobal(handle->rect().center());
    const auto moveTo = [&](QPoint offset) { QTest::mouseMove(handle, handle->mapFromGlobal(start + offset)); };
    QTest::mousePress(handle, Qt::LeftButton, {}, handle->mapFromGlobal(start));
    moveTo({5000, 0});
    EXPECT_DOUBLE_EQ(model->splitRatio(), 0.8);
    moveTo({-5000, 0});
    EXPECT_DOUBLE_EQ(model->splitRatio(), 0.2);
    moveTo({content->width() / 10, 0});
    EXPECT_NEAR(model->splitRatio(), 0.6, 0.01);
    QTest::mouseRelease(handle, Qt::LeftButton, {}, handle->mapFromGlobal(start));
    EXPECT_NEAR(content->paneView(0)->width(), 0.6 * content->width() - 4, 2);

    // One above the other: the height counts.
    content->paneView(1)->tabBar()->button(QStringLiteral("Split Vertical"))->click();
    ASSERT_TRUE(model->isSplitView());
    const QPoint centre = handle->rect().center();
    QTest::mousePress(handle, Qt::LeftButton, {}, centre);
    QTest::mouseMove(handle, centre + QPoint(0, 4000));
    EXPECT_DOUBLE_EQ(model->splitRatio(), 0.8);
    QTest::mouseRelease(handle, Qt::LeftButton, {});
    EXPECT_NEAR(content->paneView(1)->y(), 0.8 * content->height() + 4, 2);
    EXPECT_EQ(content->paneView(0)->width(), content->width());
}

TEST_F(PaneViewTest, ATabDroppedOnATabOfItsPaneReordersAndOneFromTheOtherPaneIsRefused) {
    auto window = makeWindow();
    AppViewModel* model = window->model();
    model->openFiles({pdf(QStringLiteral("a")), pdf(QStringLiteral("b")), pdf(QStringLiteral("c")), pdf(QStringLiteral("d"))});
    model->openSplit(SplitDirection::vertical);
    model->moveTab(*model->pane(0)->tabAt(3), 1);
    PaneTabBar* bar = window->contentView()->paneView(0)->tabBar();
    ASSERT_EQ(bar->count(), 3);
    EXPECT_TRUE(dropText(bar->tabView(0), model->pane(0)->tabAt(2)->idText()));
    EXPECT_EQ(names(model->pane(0)), (QStringList{"c", "a", "b"}));
    // The tab of pane 1 is refused by the tab; the drop goes on to the pane, which takes it.
    TabItem* d = model->pane(1)->tabAt(0);
    EXPECT_FALSE(bar->tabView(1)->dropTabText(d->idText()));
    EXPECT_EQ(names(model->pane(0)), (QStringList{"c", "a", "b"}));
    EXPECT_TRUE(dropText(bar->tabView(1), d->idText()));
    EXPECT_EQ(names(model->pane(0)), (QStringList{"c", "a", "b", "d"}));
    EXPECT_TRUE(bar->tabView(3)->isActive());
}

TEST_F(PaneViewTest, MoveToNewWindowNeedsTwoTabsAndGoesThroughTheRegistry) {
    std::vector<std::unique_ptr<TabItem>> opened;
    registry.setOpenWindowWithTab([&](std::unique_ptr<TabItem> tab) { opened.push_back(std::move(tab)); });
    auto window = makeWindow();
    AppViewModel* model = window->model();
    model->openFile(pdf(QStringLiteral("only")));
    model->openSplit(SplitDirection::horizontal);
    model->moveTab(*model->pane(0)->tabAt(0), 1);
    const auto menuFor = [&](int pane, int tab) {
        std::unique_ptr<QMenu> menu(window->contentView()->paneView(pane)->tabBar()->tabView(tab)->makeContextMenu());
        return menu;
    };
    {
        auto menu = menuFor(1, 0);
        ASSERT_EQ(menu->actions().size(), 2);
        EXPECT_EQ(menu->actions()[0]->text(), QStringLiteral("Move to New Window"));
        EXPECT_EQ(menu->actions()[1]->text(), QStringLiteral("Close Tab"));
        EXPECT_FALSE(menu->actions()[0]->isEnabled());
    }
    model->openFile(pdf(QStringLiteral("second")));
    auto menu = menuFor(1, 0);
    ASSERT_TRUE(menu->actions()[0]->isEnabled());
    const QUuid moved = model->pane(1)->tabAt(0)->id();
    menu->actions()[0]->trigger();
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0]->id(), moved);
    EXPECT_EQ(model->findTab(moved), nullptr);
    // "Close Tab" closes through the model.
    menuFor(1, 0)->actions()[1]->trigger();
    EXPECT_EQ(model->pane(1)->count(), 0);
}

TEST_F(PaneViewTest, EmptyPanesOfferToOpenOrToMoveTheOtherPanesTabs) {
    auto window = makeWindow();
    AppViewModel* model = window->model();
    ContentView* content = window->contentView();
    PaneWelcomeView* first = content->paneView(0)->welcomeView();
    EXPECT_TRUE(first->isVisible());
    EXPECT_EQ(first->heading(), QStringLiteral("Scrivola"));
    EXPECT_TRUE(first->moveButtons().isEmpty());

    model->openFiles({pdf(QStringLiteral("left")), png(QStringLiteral("right"))});
    EXPECT_FALSE(first->isVisible());
    model->openSplit(SplitDirection::horizontal);
    PaneWelcomeView* second = content->paneView(1)->welcomeView();
    EXPECT_EQ(second->heading(), QStringLiteral("Move a tab here"));
    ASSERT_EQ(second->moveButtons().size(), 2);
    EXPECT_EQ(second->moveButtons()[1]->text(), QStringLiteral("right"));
    second->moveButtons()[1]->click();
    EXPECT_EQ(names(model->pane(1)), QStringList{"right"});
    EXPECT_EQ(model->focusedPaneIndex(), 1);
    // The last tab of pane 0 moved away: pane 0 now lists the tab of pane 1.
    QTest::mouseClick(content->paneView(1)->welcomeView(), Qt::LeftButton);
    model->moveTab(*model->pane(0)->tabAt(0), 1);
    QCoreApplication::processEvents();
    EXPECT_EQ(first->heading(), QStringLiteral("Move a tab here"));
    EXPECT_EQ(first->moveButtons().size(), 2);
    EXPECT_TRUE(first->isVisible());
    // The focused pane alone is outlined.
    EXPECT_TRUE(content->paneView(1)->isOutlined());
    EXPECT_FALSE(content->paneView(0)->isOutlined());
    QTest::mouseClick(first, Qt::LeftButton);
    EXPECT_EQ(model->focusedPaneIndex(), 0);

    // While files are dragged over the window, the overlay covers it.
    auto* overlay = window->findChild<DropZoneView*>();
    ASSERT_NE(overlay, nullptr);
    EXPECT_FALSE(overlay->isVisible());
    model->setDropTargetActive(true);
    EXPECT_TRUE(overlay->isVisible());
    EXPECT_EQ(overlay->geometry(), window->rect());
    model->setDropTargetActive(false);
    EXPECT_FALSE(overlay->isVisible());
    // A file drag entering a pane turns it on; leaving the window turns it off shortly after.
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(pdf(QStringLiteral("more")))});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(first, &enter);
    EXPECT_TRUE(overlay->isVisible());
    QDragLeaveEvent leave;
    QApplication::sendEvent(content->paneView(0), &leave);
    EXPECT_TRUE(overlay->isVisible());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !model->isDropTargetActive(); }, 1000));
    EXPECT_FALSE(overlay->isVisible());
}

TEST_F(PaneViewTest, TheTabListFiltersWithoutRegardToCase) {
    auto window = makeWindow();
    AppViewModel* model = window->model();
    model->openFiles({pdf(QStringLiteral("QUARTERLY Report")), pdf(QStringLiteral("notes")), pdf(QStringLiteral("quarterly draft"))});
    PaneTabBar* bar = window->contentView()->paneView(0)->tabBar();
    bar->button(QStringLiteral("Show All Tabs"))->click();
    TabListPopover* list = bar->tabList();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->searchField()->placeholderText(), QStringLiteral("Search Tabs..."));
    EXPECT_EQ(list->shownNames(), (QStringList{"QUARTERLY Report", "notes", "quarterly draft"}));
    EXPECT_FALSE(list->offersClear());
    list->setSearchText(QStringLiteral("quarterly"));
    EXPECT_EQ(list->shownNames(), (QStringList{"QUARTERLY Report", "quarterly draft"}));
    EXPECT_TRUE(list->offersClear());
    list->setSearchText(QStringLiteral("zzz"));
    EXPECT_TRUE(list->shownNames().isEmpty());
    EXPECT_TRUE(list->showsNoMatches());
    list->setSearchText(QStringLiteral("REPORT"));
    list->choose(0);
    EXPECT_EQ(model->activeTab()->content()->displayName(), QStringLiteral("QUARTERLY Report"));
    QCoreApplication::processEvents();
    EXPECT_EQ(bar->tabList(), nullptr);
}

}  // namespace
