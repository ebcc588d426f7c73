// A whole window with a marked-up PDF in the dark and the light appearance: the palette reaches
// every part of the interface. With SCRIVOLA_SCREENSHOT_DIR set, the pictures are kept there.
#include "ui/WorkspaceWindow.h"

#include "ui/MessageBar.h"

#include "annotation/CoreTextFreeTextAnnotation.h"
#include "app/core/AppearanceSettings.h"
#include "app/core/Theme.h"
#include "app/shell/MenuCommands.h"
#include "pdf/PDFDocumentContext.h"
#include "pdf/view/ScrivolaPDFView.h"
#include "support/PdfFactory.h"
#include "workspace/AppViewModel.h"
#include "workspace/ServiceContainer.h"

#include <QApplication>
#include <QDir>
#include <QMenuBar>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace scrivola;
using namespace scrivola::testing;

namespace {

// Three pages of text, the first with a highlighted line and a text box.
QString markedUpPdf(const QString& path) {
    PDFDocumentPtr document = PDFDocument::loadFromData(textPdf(3));
    PDFPagePtr page = document->page(0);
    PDFAnnotationPtr highlight = PDFAnnotation::create(PDFAnnotation::Subtype::highlight, QRectF(70, 700, 262, 16));
    highlight->setColor(QColor(255, 204, 0));
    page->addAnnotation(highlight);
    CoreTextFreeTextAnnotation::Properties properties;
    properties.contents = QStringLiteral("Review before signing");
    properties.font = QFont(QStringLiteral("DejaVu Sans"), 14);
    properties.fontColor = QColor(0, 122, 255);
    page->addAnnotation(CoreTextFreeTextAnnotation::create(QRectF(300, 480, 220, 40), properties).annotation());
    EXPECT_TRUE(document->write(path));
    return path;
}

// The share of the picture's pixels darker than a mid grey.
double darkShare(const QImage& image) {
    qint64 dark = 0;
    for (int y = 0; y < image.height(); y += 2)
        for (int x = 0; x < image.width(); x += 2)
            if (qGray(image.pixel(x, y)) < 90) ++dark;
    return double(dark) / (double((image.width() + 1) / 2) * double((image.height() + 1) / 2));
}

TEST(ScreenshotTest, WholeWindowInDarkAndLightAppearance) {
    QTemporaryDir dir;
    QSettings settings(dir.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat);
    settings.setValue(AppViewModel::kHasSeenWelcomeKey, true);
    const QPalette original = QApplication::palette();

    WorkspaceEnvironment environment;
    environment.settings = &settings;
    auto model = std::make_unique<AppViewModel>(std::make_unique<ServiceContainer>(dir.filePath(QStringLiteral("sig"))), environment);
    WorkspaceWindow window(std::move(model));
    // The menus of the application, as a user sees them.
    new MenuCommands(window.menuBar(), nullptr, window.model());
    window.resize(1200, 800);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const QString keep = qEnvironmentVariable("SCRIVOLA_SCREENSHOT_DIR");
    const auto save = [&](const QImage& shot, const QString& name) {
        if (keep.isEmpty()) return;
        QDir().mkpath(keep);
        shot.save(QDir(keep).filePath(name));
    };
    QApplication::setPalette(AppearanceSettings::palette(AppearanceMode::dark, false, original));
    // The first start: the welcome sheet over the empty window, and a failure in the message bar.
    window.model()->setShowWelcomeSheet(true);
    emit window.model()->failureReported(QStringLiteral("File appears to be corrupted"));
    QTest::qWait(50);
    save(window.grab().toImage(), QStringLiteral("welcome-dark.png"));
    window.model()->setShowWelcomeSheet(false);
    window.findChild<MessageBar*>()->dismiss();

    window.model()->openFiles({markedUpPdf(dir.filePath(QStringLiteral("Quarterly Report.pdf")))});
    auto* context = window.activePdfContext();
    ASSERT_NE(context, nullptr);
    context->setSidebarVisible(true);

    for (const AppearanceMode mode : {AppearanceMode::dark, AppearanceMode::light}) {
        SCOPED_TRACE(rawValue(mode).toStdString());
        const bool dark = mode == AppearanceMode::dark;
        QApplication::setPalette(AppearanceSettings::palette(mode, false, original));
        ScrivolaPDFView* view = window.activePdfView();
        ASSERT_NE(view, nullptr);
        ASSERT_TRUE(QTest::qWaitFor([&] {
            view->viewport()->repaint();
            return view->scheduler() && view->scheduler()->pendingCount() == 0;
        }, 10000));
        QTest::qWait(50);
        const QImage shot = window.grab().toImage();
        ASSERT_EQ(shot.size() / shot.devicePixelRatio(), QSize(1200, 800));
        save(shot, QStringLiteral("window-%1.png").arg(rawValue(mode).toLower()));

        // The empty part of the menu bar shows the theme's window colour.
        QMenuBar* bar = window.menuBar();
        const QPoint inBar = bar->mapTo(&window, QPoint(bar->width() / 2, bar->height() / 2)) * shot.devicePixelRatio();
        const QColor barColour = shot.pixelColor(inBar);
        const QColor expected = Theme::background(dark);
        EXPECT_LE(std::abs(barColour.red() - expected.red()) + std::abs(barColour.green() - expected.green()) +
                      std::abs(barColour.blue() - expected.blue()), 30)
            << barColour.name().toStdString();
        // Outside the white page the interface is mostly dark, or hardly at all.
        const double share = darkShare(shot);
        if (dark)
            EXPECT_GT(share, 0.3);
        else
            EXPECT_LT(share, 0.08);
        // The page itself stays white in both.
        const QPoint pageCentre = view->viewport()->mapTo(&window, view->viewport()->rect().center()) * shot.devicePixelRatio();
        EXPECT_GT(qGray(shot.pixel(pageCentre)), 200);
    }
    QApplication::setPalette(original);
}

}  // namespace
