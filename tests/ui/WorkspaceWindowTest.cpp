// The first window: tabs of the focused pane and the active tab's page or image, painted.
#include "ui/WorkspaceWindow.h"

#include "app/shell/MenuCommands.h"

#include "image/ImageDocumentContext.h"
#include "image/view/ImageCanvasView.h"

#include "image/view/ImageThumbnailSidebarView.h"
#include "annotation/view/AnnotationsSidebarView.h"
#include "signature/view/SignatureSidebarView.h"

#include "pdf/PDFDocumentContext.h"
#include "pdf/view/ScrivolaPDFView.h"
#include "thumbnails/view/ThumbnailGridView.h"
#include "thumbnails/view/ThumbnailSidebarView.h"
#include "ui/DocumentBottomBar.h"
#include "ui/PaneTabBar.h"
#include "ui/PaneWelcomeView.h"
#include "support/Files.h"
#include "support/ImageFactory.h"
#include "support/PdfFactory.h"
#include "workspace/AppViewModel.h"
#include "workspace/Pane.h"
#include "workspace/RecentDocuments.h"
#include "workspace/ServiceContainer.h"

#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScrollBar>
#include <QSettings>
#include <QSignalSpy>
#include <QToolButton>
#include <QTest>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace scrivola;
using namespace scrivola::testing;

namespace {

class WorkspaceWindowTest : public ::testing::Test {
protected:
    std::unique_ptr<WorkspaceWindow> makeWindow() {
        // Not the first start: no welcome sheet over the window.
        settings.setValue(AppViewModel::kHasSeenWelcomeKey, true);
        WorkspaceEnvironment environment;
        environment.recentDocuments = &recent;
        environment.settings = &settings;
        auto model = std::make_unique<AppViewModel>(std::make_unique<ServiceContainer>(dir.filePath(QStringLiteral("sig"))), environment);
        auto window = std::make_unique<WorkspaceWindow>(std::move(model));
        // The application's menu bar, whose shortcuts the tests use as a user does.
        new MenuCommands(window->menuBar(), nullptr, window->model());
        window->resize(800, 600);
        window->show();
        window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
        return window;
    }

    // The image canvas as drawn on screen.
    static QImage grab(WorkspaceWindow& window) { return window.imageCanvas()->grab().toImage(); }

    // Lets the page view draw everything in view.
    static bool settled(ScrivolaPDFView& view) {
        return QTest::qWaitFor(
            [&] {
                view.viewport()->repaint();
                return view.scheduler() && view.scheduler()->pendingCount() == 0;
            },
            10000);
    }

    // The active image tab's image painted in full.
    static bool waitForPaint(WorkspaceWindow& window) {
        ImageCanvasView* canvas = window.imageCanvas();
        return QTest::qWaitFor([&] {
            canvas->viewport()->repaint();
            return canvas->showsFullImage();
        }, 10000);
    }

    QTemporaryDir dir;
    QSettings settings{dir.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat};
    RecentDocuments recent{&settings};
};

TEST_F(WorkspaceWindowTest, ShowsAPdfAndAnImageInTabs) {
    const QString pdf = writeFile(dir, QStringLiteral("doc.pdf"), textPdf(3));
    const QString png = writeBytes(dir.filePath(QStringLiteral("pic.png")), imageBytes(QSize(300, 200), "png"));
    auto window = makeWindow();
    window->model()->openFiles({pdf, png});

    auto* tabBar = window->findChild<PaneTabBar*>();
    ASSERT_NE(tabBar, nullptr);
    ASSERT_EQ(tabBar->count(), 2);
    EXPECT_EQ(tabBar->tabView(0)->shownName(), QStringLiteral("doc"));
    EXPECT_EQ(tabBar->tabView(1)->shownName(), QStringLiteral("pic"));
    EXPECT_TRUE(tabBar->tabView(1)->isActive());
    EXPECT_EQ(window->windowTitle(), QStringLiteral("pic.png"));

    // The image tab shows the pattern's colours.
    ASSERT_TRUE(waitForPaint(*window));
    const QImage shown = grab(*window);
    bool red = false;
    for (int y = 0; y < shown.height() && !red; y += 3)
        for (int x = 0; x < shown.width() && !red; x += 3) {
            const QColor c = shown.pixelColor(x, y);
            red = c.red() > 180 && c.green() < 80 && c.blue() < 80;
        }
    EXPECT_TRUE(red);

    // Clicking the PDF tab activates it in the model and shows its page view, fitted, with the
    // first page's text painted where page space puts it.
    QTest::mouseClick(tabBar->tabView(0), Qt::LeftButton);
    EXPECT_EQ(window->model()->activeTab()->content()->displayName(), QStringLiteral("doc"));
    ScrivolaPDFView* view = window->activePdfView();
    ASSERT_NE(view, nullptr);

    // Ctrl++ zooms in, Ctrl+0 shows the actual size and Ctrl+1 fits, through the context.
    const double fitted = view->scaleFactor();
    QTest::keyClick(window.get(), Qt::Key_Plus, Qt::ControlModifier);
    EXPECT_GT(view->scaleFactor(), fitted);
    QTest::keyClick(window.get(), Qt::Key_0, Qt::ControlModifier);
    EXPECT_EQ(view->scaleFactor(), 1.0);
    QTest::keyClick(window.get(), Qt::Key_1, Qt::ControlModifier);
    const QSize room = view->viewport()->size() - QSize(20, 20);
    EXPECT_NEAR(view->scaleFactor(), std::min(room.height() / 792.0, room.width() / 612.0), 1e-9);

    // The View menu's display modes: the current one ticked, choosing one switches the view.
    QMenu* viewMenu = nullptr;
    for (QAction* a : window->menuBar()->actions())
        if (a->text() == "&View") viewMenu = a->menu();
    ASSERT_NE(viewMenu, nullptr);
    emit viewMenu->aboutToShow();
    QAction* ticked = nullptr;
    QAction* continuous = nullptr;
    for (QAction* a : viewMenu->actions()) {
        if (a->text() == "✓ Single Page") ticked = a;
        if (a->text() == "  Continuous") continuous = a;
    }
    ASSERT_TRUE(ticked && continuous);
    EXPECT_TRUE(continuous->isEnabled());
    continuous->trigger();
    EXPECT_EQ(view->displayMode(), ViewMode::continuous);
}

// The whole window saved as a PNG and read back: the page is painted white with dark text where
// the file sets its lines, on the grey view background.
TEST_F(WorkspaceWindowTest, AScreenshotShowsThePagePainted) {
    const QString pdf = writeFile(dir, QStringLiteral("doc.pdf"), textPdf(2));
    auto window = makeWindow();
    // Room for the bars around the page, so that the text is drawn large enough to measure.
    window->resize(1100, 900);
    window->model()->openFile(pdf);
    ScrivolaPDFView* view = window->activePdfView();
    ASSERT_NE(view, nullptr);
    ASSERT_TRUE(settled(*view));
    // The page sidebar beside the view, its first cells drawn.
    auto* sidebar = window->findChild<ThumbnailSidebarView*>();
    ASSERT_NE(sidebar, nullptr);
    ThumbnailGridView* grid = sidebar->grid();
    ASSERT_TRUE(QTest::qWaitFor([&] {
        grid->viewport()->repaint();
        return grid->paintedRevision(0) == 0 && grid->paintedRevision(1) == 0;
    }, 10000));
    const QString png = dir.filePath(QStringLiteral("window.png"));
    ASSERT_TRUE(window->grab().save(png));
    const QImage shot(png);
    ASSERT_EQ(shot.size(), window->size());

    // Page points (y up) to pixels of the shot.
    const auto at = [&](double x, double y) { return view->viewport()->mapTo(window.get(), view->convertFromPage(QPointF(x, y), 0).toPoint()); };
    const QRect page(at(0, 792), at(612, 0));
    ASSERT_TRUE(shot.rect().contains(page));
    EXPECT_GT(share(shot, page.adjusted(2, 2, -2, -2), Qt::white, 8), 0.95);
    // The four lines (baselines 720 down to 672) in dark ink; nothing below them.
    const QRect lines(at(72, 732), at(330, 668));
    EXPECT_GT(inkCount(shot, lines, Qt::white, 160), lines.width() * lines.height() / 50);
    const QRect ink = inkBounds(shot, lines);
    EXPECT_LT(ink.left() - lines.left(), 3);
    EXPECT_LT(ink.top() - lines.top(), 8);
    EXPECT_EQ(inkCount(shot, QRect(at(40, 650), at(580, 40))), 0);

    // Beside the page: the view's background, a grey that is neither the page nor black.
    const QColor background = view->palette().color(QPalette::Dark);
    EXPECT_TRUE(sameColour(background, QColor(background.red(), background.red(), background.red()), 12));
    EXPECT_GT(background.lightness(), 40);
    EXPECT_LT(background.lightness(), 225);
    const QRect beside(view->viewport()->mapTo(window.get(), QPoint(0, 0)), QPoint(page.left() - 2, page.bottom()));
    ASSERT_GT(beside.width(), 20);
    EXPECT_GT(share(shot, beside, background, 4), 0.99);

    // Left of the view, the thumbnails: white pages with their text lines as grey ink at the top.
    EXPECT_LT(sidebar->mapTo(window.get(), QPoint(sidebar->width(), 0)).x(), view->mapTo(window.get(), QPoint(0, 0)).x());
    for (int index : {0, 1}) {
        const QRect cell = grid->cellRect(index).toAlignedRect().translated(grid->viewport()->mapTo(window.get(), QPoint(0, 0)));
        const int left = cell.center().x() - 50;  // inside the 140-point frame
        const QRect top(left, cell.top() + 12, 100, cell.height() / 4);
        const QRect bottom(left, cell.top() + cell.height() / 2, 100, cell.height() / 4);
        EXPECT_GT(share(shot, bottom, Qt::white, 8), 0.95) << index;
        EXPECT_GT(inkCount(shot, top, Qt::white, 30), 20) << index;
    }
}

TEST_F(WorkspaceWindowTest, PageKeysTurnPagesEditMenuUndoesAndClosingATabUpdatesTheBar) {
    const QString pdf = writeFile(dir, QStringLiteral("doc.pdf"), textPdf(3));
    auto window = makeWindow();
    window->model()->openFile(pdf);
    auto* context = qobject_cast<PDFDocumentContext*>(window->model()->activeTab()->context());
    ASSERT_NE(context, nullptr);
    QTest::keyClick(window.get(), Qt::Key_PageDown);
    EXPECT_EQ(context->currentPage(), 1);
    QTest::keyClick(window.get(), Qt::Key_End);
    EXPECT_EQ(context->currentPage(), 2);
    QTest::keyClick(window.get(), Qt::Key_Home);
    EXPECT_EQ(context->currentPage(), 0);

    // The Edit menu names the step; its shortcuts undo and redo it.
    QMenu* editMenu = nullptr;
    for (QAction* a : window->menuBar()->actions())
        if (a->text() == "&Edit") editMenu = a->menu();
    ASSERT_NE(editMenu, nullptr);
    const auto items = [&] {
        emit editMenu->aboutToShow();
        QStringList texts;
        for (QAction* a : editMenu->actions()) {
            if (a->isSeparator()) break;  // undo and redo come first
            texts << a->text() + (a->isEnabled() ? "" : " (off)");
        }
        emit editMenu->aboutToHide();
        return texts;
    };
    context->rotatePages(90);
    EXPECT_EQ(items(), (QStringList{"Undo Rotate Page", "Redo (off)"}));
    QTest::keySequence(window.get(), editMenu->actions().at(0)->shortcut());
    EXPECT_EQ(context->model()->pdfDocument()->page(0)->rotation(), 0);
    EXPECT_EQ(items(), (QStringList{"Undo (off)", "Redo Rotate Page"}));
    QTest::keySequence(window.get(), editMenu->actions().at(1)->shortcut());
    EXPECT_EQ(context->model()->pdfDocument()->page(0)->rotation(), 90);
    context->model()->setModified(false);  // as after a save: closing asks nothing

    auto* tabBar = window->findChild<PaneTabBar*>();
    tabBar->tabView(0)->closeButton()->click();
    EXPECT_EQ(window->model()->focusedPane()->count(), 0);
    EXPECT_EQ(tabBar->count(), 0);
    EXPECT_EQ(window->findChild<PaneWelcomeView*>()->heading(), QStringLiteral("Scrivola"));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Scrivola"));
}

TEST_F(WorkspaceWindowTest, ABrokenFileOpensNothingAndLeavesTheOpenTabAlone) {
    const QString pdf = writeFile(dir, QStringLiteral("good.pdf"), textPdf(1));
    const QString junk = writeFile(dir, QStringLiteral("junk.pdf"), QByteArray(2048, '\x7f'));
    auto window = makeWindow();
    window->model()->openFiles({pdf, junk});
    auto* tabBar = window->findChild<PaneTabBar*>();
    EXPECT_EQ(tabBar->count(), 1);
    EXPECT_EQ(tabBar->tabView(0)->shownName(), QStringLiteral("good"));

    // A page list pointing at a missing object and at a number: the pages show as empty pages.
    const QString damaged = writeFile(dir, QStringLiteral("damaged.pdf"),
                                      assemblePdf({"<< /Type /Catalog /Pages 2 0 R >>",
                                                   "<< /Type /Pages /Kids [99 0 R 3 0 R 7] /Count 3 >>",
                                                   "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 400] >>"}));
    window->model()->openFile(damaged);
    ASSERT_EQ(tabBar->count(), 2);
    auto* context = qobject_cast<PDFDocumentContext*>(window->model()->activeTab()->context());
    ASSERT_NE(context, nullptr);
    for (int page : {0, 2}) {
        context->goToPage(page);
        ScrivolaPDFView* view = window->activePdfView();
        ASSERT_NE(view, nullptr);
        EXPECT_TRUE(settled(*view));
        EXPECT_EQ(view->currentPage(), page);
    }
}

TEST_F(WorkspaceWindowTest, KeysTurnPagesScrollZoomAndSwitchTools) {
    const QString pdf = writeFile(dir, QStringLiteral("doc.pdf"), textPdf(4));
    auto window = makeWindow();
    window->model()->openFiles({pdf});
    auto* context = qobject_cast<PDFDocumentContext*>(window->model()->activeTab()->context());
    ScrivolaPDFView* view = window->activePdfView();
    ASSERT_TRUE(context && view);
    QCoreApplication::processEvents();

    // Fitted: the arrows turn pages, whichever widget has the focus.
    QTest::keyClick(view, Qt::Key_Right);
    QTest::keyClick(window->findChild<PaneTabBar*>()->tabView(0), Qt::Key_Down);
    EXPECT_EQ(context->currentPage(), 2);
    QTest::keyClick(view, Qt::Key_Left);
    QTest::keyClick(view, Qt::Key_Left, Qt::AltModifier);  // passed on
    EXPECT_EQ(context->currentPage(), 1);

    // Zoomed by hand: they scroll 40 points at zoom 1 and 20 at zoom 2 (40 pixels both times).
    context->setViewMode(ViewMode::continuous);
    QTest::keyClick(view, Qt::Key_0, Qt::ControlModifier);
    ASSERT_EQ(context->autoFitMode(), AutoFitMode::manual);
    int before = view->verticalScrollBar()->value();
    QTest::keyClick(view, Qt::Key_Down);
    EXPECT_EQ(view->verticalScrollBar()->value(), before + 40);
    QTest::keyClick(view, Qt::Key_Equal, Qt::ControlModifier);
    EXPECT_GT(context->zoomLevel(), 1.0);

    // Ctrl+T and Ctrl+H switch the tools; arrows typed into a text box stay there.
    QTest::keyClick(view, Qt::Key_H, Qt::ControlModifier);
    EXPECT_TRUE(context->isHighlightMode());
    QTest::keyClick(view, Qt::Key_T, Qt::ControlModifier);
    EXPECT_TRUE(context->textTool()->isTextAnnotationMode());
    EXPECT_FALSE(context->isHighlightMode());
    context->textTool()->setTextSubMode(TextSubMode::add);
    const QPoint onPage = view->convertFromPage(QPointF(100, 300), view->currentPage()).toPoint();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, onPage);
    ASSERT_TRUE(view->isInlineEditing());
    QTest::keyClicks(view->inlineEditor(), QStringLiteral("ab"));
    before = view->verticalScrollBar()->value();
    QTest::keyClick(view->inlineEditor(), Qt::Key_Left);
    EXPECT_EQ(view->verticalScrollBar()->value(), before);
    EXPECT_EQ(view->inlineEditor()->textCursor().position(), 1);
}

// A collection in the canvas: the arrows turn images, the rotate keys turn the shown one with
// undo, and the File menu carries export and print.
TEST_F(WorkspaceWindowTest, ImageTabsTurnRotateAndOfferExportAndPrint) {
    QStringList files;
    for (int i = 0; i < 3; ++i)
        files << writeBytes(dir.filePath(QString("p%1.png").arg(i)), imageBytes(QSize(300 + i * 10, 200), "png"));
    auto window = makeWindow();
    QSignalSpy painted(window.get(), &WorkspaceWindow::documentPainted);
    window->model()->openFiles(files);
    auto* context = qobject_cast<ImageDocumentContext*>(window->model()->activeTab()->context());
    ASSERT_NE(context, nullptr);
    ImageCanvasView* canvas = window->imageCanvas();
    ASSERT_TRUE(waitForPaint(*window));
    EXPECT_GE(painted.count(), 1);
    EXPECT_EQ(canvas->sizeBadgeText(), QStringLiteral("300 × 200"));

    QTest::keyClick(canvas, Qt::Key_Right);
    EXPECT_EQ(context->currentPage(), 1);
    ASSERT_TRUE(waitForPaint(*window));
    EXPECT_EQ(canvas->shownIndex(), 1);
    EXPECT_EQ(canvas->sizeBadgeText(), QStringLiteral("310 × 200"));

    QTest::keyClick(canvas, Qt::Key_L, Qt::ControlModifier);  // rotate left
    EXPECT_EQ(canvas->sizeBadgeText(), QStringLiteral("200 × 310"));
    EXPECT_TRUE(context->model()->isModified());
    QTest::keyClick(canvas, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(canvas->sizeBadgeText(), QStringLiteral("310 × 200"));
    QTest::keyClick(canvas, Qt::Key_L, Qt::ControlModifier | Qt::ShiftModifier);  // rotate right
    EXPECT_EQ(context->model()->pixelSize(1), QSizeF(200, 310));
    EXPECT_EQ(context->model()->pixelSize(0), QSizeF(300, 200));

    QStringList fileItems;
    for (QAction* a : window->menuBar()->actions())
        if (a->text() == "&File")
            for (QAction* item : a->menu()->actions())
                if (!item->isSeparator()) fileItems << item->text() + " " + item->shortcut().toString();
    EXPECT_TRUE(fileItems.contains("Export... Ctrl+Shift+E"));
    EXPECT_TRUE(fileItems.contains("Print... Ctrl+P"));
}

// A collection: its strip beside the canvas with every thumbnail painted, its bar below; saved as
// a PNG and read back, the strip's cells show the images' colours.
TEST_F(WorkspaceWindowTest, AScreenshotShowsTheCollectionWithItsStrip) {
    QStringList files;
    for (int i = 0; i < 3; ++i) files << writeBytes(dir.filePath(QString("c%1.png").arg(i)), imageBytes(QSize(400, 300), "png"));
    auto window = makeWindow();
    window->model()->openFiles(files);
    ASSERT_TRUE(waitForPaint(*window));
    auto* strip = window->findChild<ImageThumbnailSidebarView*>();
    auto* bar = window->findChild<DocumentBottomBar*>();
    ASSERT_TRUE(strip && bar);
    EXPECT_TRUE(strip->isVisible());
    EXPECT_TRUE(bar->imageName()->text().endsWith(QStringLiteral("3 images")));
    auto* model = window->activeImageContext()->model();
    ASSERT_TRUE(QTest::qWaitFor([&] {
        strip->viewport()->repaint();
        return !model->thumbnail(0).isNull() && !model->thumbnail(1).isNull() && !model->thumbnail(2).isNull();
    }, 10000));
    strip->viewport()->repaint();
    const QString png = dir.filePath(QStringLiteral("collection.png"));
    ASSERT_TRUE(window->grab().save(png));
    const QImage shot(png);
    EXPECT_LT(strip->mapTo(window.get(), QPoint(strip->width(), 0)).x(), window->imageCanvas()->mapTo(window.get(), QPoint(0, 0)).x());
    for (int index = 0; index < 3; ++index) {
        const QRect picture = strip->imageRect(index).translated(strip->viewport()->mapTo(window.get(), QPoint(0, 0)));
        ASSERT_TRUE(shot.rect().contains(picture)) << index;
        // The top-left quarter of each thumbnail in the pattern's top-left colour.
        const QRect quarter(picture.topLeft() + QPoint(4, 4), picture.size() / 2 - QSize(8, 8));
        EXPECT_GT(share(shot, quarter, kPatternTopLeft, 40), 0.9) << index;
    }
    // Toggle Sidebar hides the strip and the canvas takes its room.
    QTest::keyClick(window.get(), Qt::Key_S, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_FALSE(strip->isVisible());
}

// The sidebars of a PDF on their keys: text annotations, then signatures and stamps in their
// place, then the page thumbnails hidden.
TEST_F(WorkspaceWindowTest, SidebarsOfAPdfComeAndGoOnTheirKeys) {
    auto window = makeWindow();
    window->model()->openFile(writeFile(dir, QStringLiteral("doc.pdf"), textPdf(2)));
    PDFDocumentContext* context = window->activePdfContext();
    ASSERT_NE(context, nullptr);
    QTest::keyClick(window.get(), Qt::Key_A, Qt::ControlModifier | Qt::AltModifier);
    auto* annotations = window->findChild<AnnotationsSidebarView*>();
    ASSERT_NE(annotations, nullptr);
    EXPECT_TRUE(annotations->isVisible());
    QTest::keyClick(window.get(), Qt::Key_G, Qt::ControlModifier | Qt::AltModifier);
    auto* signatures = window->findChild<SignatureSidebarView*>();
    ASSERT_NE(signatures, nullptr);
    EXPECT_TRUE(signatures->isVisible());
    EXPECT_FALSE(annotations->isVisible());
    EXPECT_GT(signatures->mapTo(window.get(), QPoint(0, 0)).x(), window->activePdfView()->mapTo(window.get(), QPoint(0, 0)).x());
    QTest::keyClick(window.get(), Qt::Key_G, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_FALSE(signatures->isVisible());
    auto* thumbnails = window->findChild<ThumbnailSidebarView*>();
    ASSERT_TRUE(thumbnails && thumbnails->isVisible());
    QTest::keyClick(window.get(), Qt::Key_S, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_FALSE(thumbnails->isVisible());
    EXPECT_FALSE(context->isSidebarVisible());
}

}  // namespace
