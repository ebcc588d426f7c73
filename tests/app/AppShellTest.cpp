// The application shell: windows and their models, the quit walk, tabs moving into new windows,
// the window that receives open requests, and the menu bar's rules.
#include "app/core/AppearanceSettings.h"
#include "app/shell/AppDelegate.h"
#include "app/shell/MenuCommands.h"
#include "image/ImageDocumentContext.h"
#include "pdf/PDFDocumentContext.h"
#include "pdf/engine/PDFEngine.h"
#include "support/Files.h"
#include "support/ImageFactory.h"
#include "support/PdfFactory.h"
#include "ui/TabPages.h"
#include "ui/WorkspaceWindow.h"
#include "workspace/WindowRegistry.h"
#include "workspace/WorkspaceFakes.h"

#include <QAction>
#include <QDir>
#include <QMenuBar>
#include <QTest>
#include <gtest/gtest.h>

using namespace scrivola;
using namespace scrivola::testing;

namespace {

class AppShellTest : public ::testing::Test {
protected:
    AppShellTest() {
        options.settings = &settings;
        options.signatureFolder = dir.filePath(QStringLiteral("signatures"));
        options.prompter = &prompter;
        options.appearance = &appearance;
        delegate = std::make_unique<AppDelegate>(options);
        delegate->setTerminate([this] { ++terminations; });
    }

    QString pdf(const QString& name, int pages = 2) { return writeFile(dir, name, textPdf(pages)); }
    static MenuCommands* menus(WorkspaceWindow* window) { return window->findChild<MenuCommands*>(); }
    static PDFDocumentContext* pdfContext(TabItem* tab) { return qobject_cast<PDFDocumentContext*>(tab->context()); }
    // A PDF tab in the window with page 1 turned: modified.
    TabItem* modifiedPdf(AppViewModel* model, const QString& name) {
        TabItem* tab = model->openFile(pdf(name));
        pdfContext(tab)->rotatePages(90);
        return tab;
    }
    static int rotationOnDisk(const QString& path) { return PDFDocument::load(path)->page(0)->rotation(); }

    QTemporaryDir dir;
    QSettings settings{dir.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat};
    AppearanceSettings appearance{&settings};
    FakePrompter prompter;
    AppDelegate::Options options;
    std::unique_ptr<AppDelegate> delegate;
    int terminations = 0;
};

}  // namespace

// Every modified tab of every window is asked about, a pane not shown included; "Cancel" at the
// second stops the quit with the first already saved; a failed save stops it too.
TEST_F(AppShellTest, QuitAsksAboutEveryModifiedTabAndStopsAtCancelOrAFailedSave) {
    AppViewModel* first = delegate->openNewWindow()->model();
    AppViewModel* second = delegate->openNewWindow()->model();
    TabItem* a = modifiedPdf(first, QStringLiteral("a.pdf"));
    first->openSplit(SplitDirection::horizontal);
    first->setFocusedPaneIndex(1);
    TabItem* hidden = modifiedPdf(first, QStringLiteral("hidden.pdf"));
    first->setFocusedPaneIndex(0);  // the second pane is not the one shown
    first->openFile(pdf(QStringLiteral("clean.pdf")));
    TabItem* c = modifiedPdf(second, QStringLiteral("c.pdf"));
    ASSERT_EQ(first->paneIndexOf(hidden->id()), 1);

    prompter.answers = {SaveResult::save, SaveResult::cancel};
    EXPECT_FALSE(delegate->quit());
    EXPECT_EQ(prompter.alertsShownFor, (QStringList{"a", "hidden"}));
    EXPECT_EQ(rotationOnDisk(dir.filePath("a.pdf")), 90);
    EXPECT_FALSE(a->content()->isModified());
    EXPECT_TRUE(hidden->content()->isModified());
    EXPECT_EQ(terminations, 0);
    EXPECT_EQ(delegate->windows().size(), 2);

    // The file's folder is gone: "Save" fails, the quit stops, the document stays modified.
    prompter.alertsShownFor.clear();
    prompter.answers = {SaveResult::dontSave, SaveResult::save};
    ASSERT_TRUE(QFile::remove(dir.filePath("c.pdf")));
    ASSERT_TRUE(QDir(dir.path()).mkdir("c.pdf"));  // a folder where the file was: nothing can be written
    EXPECT_FALSE(delegate->quit());
    EXPECT_EQ(prompter.alertsShownFor, (QStringList{"hidden", "c"}));
    EXPECT_TRUE(c->content()->isModified());
    EXPECT_EQ(terminations, 0);

    // Closing one window asks about that window's tabs only.
    prompter.alertsShownFor.clear();
    prompter.answers = {SaveResult::cancel};
    EXPECT_FALSE(delegate->windowFor(second)->close());
    EXPECT_EQ(prompter.alertsShownFor, QStringList{"c"});

    prompter.alertsShownFor.clear();
    prompter.answers = {SaveResult::dontSave, SaveResult::dontSave};
    EXPECT_TRUE(delegate->quit());
    EXPECT_EQ(prompter.alertsShownFor, (QStringList{"hidden", "c"}));  // asked once each, not again on closing
    EXPECT_EQ(terminations, 1);
    QTest::qWait(0);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(delegate->windows().isEmpty());
    EXPECT_EQ(rotationOnDisk(dir.filePath("hidden.pdf")), 0);
}

// A tab moved into a new window leaves its pane (the next tab becomes active there, its page
// goes) and is the active tab of the new window's first pane; a PDF tab keeps the one
// signature store of the application.
TEST_F(AppShellTest, ATabMovesIntoANewWindow) {
    WorkspaceWindow* source = delegate->openNewWindow();
    AppViewModel* model = source->model();
    TabItem* moving = model->openFile(pdf(QStringLiteral("one.pdf")));
    model->openFile(pdf(QStringLiteral("two.pdf")));
    model->focusedPane()->setActiveTabID(moving->id());
    ASSERT_EQ(source->findChildren<PdfTabPage*>().size(), 2);
    const QString idText = moving->id().toString(QUuid::WithoutBraces).toUpper();

    ASSERT_TRUE(delegate->registry()->moveTabToNewWindow(*model, idText));
    ASSERT_EQ(delegate->windows().size(), 2);
    WorkspaceWindow* target = delegate->windows().last();
    EXPECT_EQ(target->model()->focusedPane()->count(), 1);
    EXPECT_EQ(target->model()->activeTab(), moving);
    EXPECT_EQ(target->activePdfContext(), pdfContext(moving));
    EXPECT_EQ(model->focusedPane()->count(), 1);
    EXPECT_EQ(model->activeTab()->content()->displayName(), QStringLiteral("two"));
    EXPECT_EQ(source->findChildren<PdfTabPage*>().size(), 1);
    EXPECT_EQ(target->model()->services()->signatureStorage(), model->services()->signatureStorage());
    EXPECT_EQ(delegate->lastFocusedViewModel(), target->model());
    EXPECT_FALSE(delegate->registry()->moveTabToNewWindow(*model, idText));  // no longer there
}

// The window that was active last receives files handed over by another launch, whichever window
// got the request; when it closes, the one left takes over.
TEST_F(AppShellTest, OpenRequestsGoToTheWindowActiveLast) {
    // Without a window, one opens and receives the files once it stands.
    delegate->openRequestedFiles({pdf(QStringLiteral("first.pdf"))});
    ASSERT_EQ(delegate->windows().size(), 1);
    WorkspaceWindow* a = delegate->windows().first();
    EXPECT_EQ(a->model()->focusedPane()->count(), 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return a->model()->focusedPane()->count() == 1; }, 2000));
    a->model()->closeActiveTab();

    WorkspaceWindow* b = delegate->openNewWindow();
    // The tracker follows the window manager's activation, which comes asynchronously.
    const auto becomesTarget = [&](WorkspaceWindow* window) {
        window->activateWindow();
        return QTest::qWaitFor([&] { return delegate->lastFocusedViewModel() == window->model(); }, 2000);
    };
    EXPECT_TRUE(becomesTarget(a));
    EXPECT_TRUE(becomesTarget(b));

    const QString file = pdf(QStringLiteral("sent.pdf"));
    delegate->openRequestedFiles({file});
    EXPECT_EQ(b->model()->focusedPane()->count(), 1);
    EXPECT_EQ(a->model()->focusedPane()->count(), 0);
    // Files just dropped were handled already.
    delegate->markURLsAsDropped({file});
    delegate->openRequestedFiles({file});
    EXPECT_EQ(b->model()->focusedPane()->count(), 1);

    b->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(delegate->lastFocusedViewModel(), a->model());
    delegate->openRequestedFiles({pdf(QStringLiteral("next.pdf"))});
    EXPECT_EQ(a->model()->focusedPane()->count(), 1);
}

// With nothing to act on, only what opens a window works; the rules follow the active tab's
// kind and its undo state as they change, not only when a menu opens.
TEST_F(AppShellTest, MenuItemsFollowTheActiveDocument) {
    QMenuBar bar;
    MenuCommands noWindow(&bar, delegate.get(), nullptr);
    const auto enabled = [](MenuCommands* menu, const QStringList& titles) {
        QStringList on;
        for (const QString& title : titles) {
            QAction* action = menu->action(title);
            EXPECT_NE(action, nullptr) << title.toStdString();
            if (action && action->isEnabled()) on << title;
        }
        return on;
    };
    const QStringList probe = {"New Window", "Open...", "Close Tab", "Save", "Export...", "Share...", "Undo",
                               "Rotate Left", "Find...", "Select All Pages", "Two Pages", "Zoom to Fit", "Split Horizontal"};
    EXPECT_EQ(enabled(&noWindow, probe), (QStringList{"New Window", "Open..."}));

    WorkspaceWindow* window = delegate->openNewWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    MenuCommands* menu = menus(window);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(enabled(menu, probe), (QStringList{"New Window", "Open...", "Split Horizontal"}));
    EXPECT_EQ(menu->action("Save As...")->shortcut(), QKeySequence(QStringLiteral("Ctrl+Shift+S")));
    EXPECT_EQ(menu->action("Next Tab")->shortcut(), QKeySequence(QStringLiteral("Ctrl+Shift+]")));
    EXPECT_EQ(menu->action("Toggle Sidebar")->shortcut(), QKeySequence(QStringLiteral("Ctrl+Alt+S")));

    TabItem* tab = window->model()->openFile(pdf(QStringLiteral("doc.pdf"), 3));
    PDFDocumentContext* context = pdfContext(tab);
    EXPECT_EQ(enabled(menu, probe), (QStringList{"New Window", "Open...", "Close Tab", "Save", "Export...", "Share...",
                                                 "Rotate Left", "Find...", "Select All Pages", "Two Pages", "Zoom to Fit",
                                                 "Split Horizontal"}));
    EXPECT_EQ(menu->action("Single Page")->text(), QStringLiteral("✓ Single Page"));
    EXPECT_EQ(menu->action("Dark")->text(), QStringLiteral("✓ Dark"));
    menu->action("Light")->trigger();
    EXPECT_EQ(appearance.appearanceMode(), AppearanceMode::light);
    EXPECT_EQ(menu->action("Dark")->text(), QStringLiteral("  Dark"));
    EXPECT_EQ(menu->action("Light")->text(), QStringLiteral("✓ Light"));

    // Through the keys, as a user gives them.
    QTest::keySequence(window, QKeySequence(QStringLiteral("Ctrl+L")));
    EXPECT_EQ(context->model()->pdfDocument()->page(0)->rotation(), 270);
    QTest::qWait(0);
    EXPECT_TRUE(menu->action("Undo")->isEnabled());
    EXPECT_EQ(menu->action("Undo")->text(), QStringLiteral("Undo Rotate Page"));
    QTest::keySequence(window, QKeySequence(QStringLiteral("Ctrl+Z")));
    QTest::qWait(0);
    EXPECT_EQ(context->model()->pdfDocument()->page(0)->rotation(), 0);
    EXPECT_FALSE(menu->action("Undo")->isEnabled());
    EXPECT_TRUE(menu->action("Redo")->isEnabled());
    QTest::keySequence(window, QKeySequence(QStringLiteral("Ctrl+A")));
    EXPECT_EQ(context->selectedPages(), (std::set<int>{0, 1, 2}));
    menu->action("Find...")->trigger();
    EXPECT_TRUE(context->search()->isSidebarVisible());
    menu->action("Find...")->trigger();
    EXPECT_FALSE(context->search()->isSidebarVisible());
    menu->action("Two Pages")->trigger();
    QTest::qWait(0);
    EXPECT_EQ(menu->action("Two Pages")->text(), QStringLiteral("✓ Two Pages"));
    menu->action("Split Horizontal")->trigger();
    menu->action("Split Vertical")->trigger();
    EXPECT_TRUE(window->model()->isSplitView());
    EXPECT_EQ(window->model()->splitDirection(), SplitDirection::vertical);

    // An image: no search, page selection or display modes; rotation works on the shown image.
    window->model()->openFile(writeBytes(dir.filePath("photo.png"), imageBytes(QSize(40, 30), "png")));
    ASSERT_NE(window->activeImageContext(), nullptr);
    EXPECT_EQ(enabled(menu, probe), (QStringList{"New Window", "Open...", "Close Tab", "Save", "Export...", "Share...",
                                                 "Rotate Left", "Zoom to Fit", "Split Horizontal"}));
    EXPECT_EQ(menu->action("Two Pages")->text(), QStringLiteral("  Two Pages"));
    menu->action("Rotate Right")->trigger();
    EXPECT_EQ(window->activeImageContext()->model()->pixelSize(0), QSizeF(30, 40));

    menu->action("Close Tab")->trigger();  // modified: asked, and the prompter cancels
    EXPECT_EQ(prompter.alertsShownFor, QStringList{"photo"});
    EXPECT_NE(window->activeImageContext(), nullptr);
}
