// What surrounds the documents of a window: the message bar of failures, the welcome sheet of
// the first start and the title-bar buttons.
#include "ui/MessageBar.h"
#include "ui/ShortcutsInfoView.h"
#include "ui/TitleBarButtons.h"
#include "ui/WelcomeSheetView.h"
#include "ui/WorkspaceWindow.h"

#include "app/core/ProductLinks.h"
#include "pdf/PDFDocumentContext.h"
#include "support/Files.h"
#include "support/PdfFactory.h"
#include "workspace/AppViewModel.h"
#include "workspace/ServiceContainer.h"

#include <QDir>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace scrivola;
using namespace scrivola::testing;

namespace {

class WindowChromeTest : public ::testing::Test {
protected:
    std::unique_ptr<WorkspaceWindow> makeWindow() {
        WorkspaceEnvironment environment;
        environment.settings = &settings;
        auto model = std::make_unique<AppViewModel>(std::make_unique<ServiceContainer>(dir.filePath(QStringLiteral("sig"))), environment);
        auto window = std::make_unique<WorkspaceWindow>(std::move(model));
        window->resize(900, 700);
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        return window;
    }
    static QStringList labelTexts(const QWidget& widget) {
        QStringList texts;
        for (const QLabel* label : widget.findChildren<QLabel*>()) texts << label->text();
        return texts;
    }

    QTemporaryDir dir;
    QSettings settings{dir.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat};
};

TEST_F(WindowChromeTest, FailuresShowInTheMessageBarUntilClosedOrReplaced) {
    settings.setValue(AppViewModel::kHasSeenWelcomeKey, true);
    QDir(dir.path()).mkpath(QStringLiteral("work"));
    const QString pdf = writeFile(dir, QStringLiteral("work/doc.pdf"), textPdf(2));
    writeBytes(dir.filePath(QStringLiteral("broken.pdf")), "%PDF-1.7\n%garbage without any objects\n");
    auto window = makeWindow();
    auto* bar = window->findChild<MessageBar*>();
    ASSERT_NE(bar, nullptr);
    EXPECT_TRUE(bar->isHidden());

    AppViewModel* model = window->model();
    model->openFiles({dir.filePath(QStringLiteral("broken.pdf"))});
    EXPECT_TRUE(bar->isVisible());
    EXPECT_EQ(bar->message(), QStringLiteral("File appears to be corrupted"));
    EXPECT_EQ(model->activeTab(), nullptr);

    // A save whose folder has gone: the document stays modified, the bar tells why.
    ASSERT_NE(model->openFile(pdf), nullptr);
    auto* context = qobject_cast<PDFDocumentContext*>(model->activeTab()->context());
    ASSERT_NE(context, nullptr);
    context->rotatePages(90);
    ASSERT_TRUE(model->activeTab()->content()->isModified());
    ASSERT_TRUE(QDir(dir.filePath(QStringLiteral("work"))).removeRecursively());
    EXPECT_FALSE(model->saveActiveDocument());
    EXPECT_TRUE(model->activeTab()->content()->isModified());
    EXPECT_EQ(bar->message(), QStringLiteral("Failed to save document: Could not write to doc.pdf"));

    // Closed by its button; a tab's export failure shows again in the bar of its window.
    QTest::mouseClick(bar->closeButton(), Qt::LeftButton);
    EXPECT_TRUE(bar->isHidden());
    emit context->failureReported(QStringLiteral("Failed to export: Could not write to Page 1.pdf"));
    EXPECT_TRUE(bar->isVisible());
    EXPECT_EQ(bar->message(), QStringLiteral("Failed to export: Could not write to Page 1.pdf"));
}

TEST_F(WindowChromeTest, WelcomeSheetShowsUntilGetStartedAndAgainWhenAsked) {
    auto window = makeWindow();
    auto* sheet = window->findChild<WelcomeSheetView*>();
    ASSERT_NE(sheet, nullptr);
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_EQ(sheet->width(), 520);
    const QStringList texts = labelTexts(*sheet);
    for (const char* text : {"Welcome to Scrivola", "PDF & Image Editor for Linux", "Private & Clean",
                             "No ads, no tracking, no cloud. Your files stay on your computer."})
        EXPECT_TRUE(texts.contains(QString::fromUtf8(text))) << text;
    EXPECT_EQ(WelcomeSheetView::features().size(), 4);
    // Centred over the window's content.
    EXPECT_NEAR(sheet->geometry().center().x(), window->rect().center().x(), 2);

    QTest::mouseClick(sheet->getStartedButton(), Qt::LeftButton);
    EXPECT_FALSE(window->model()->showWelcomeSheet());
    EXPECT_TRUE(settings.value(AppViewModel::kHasSeenWelcomeKey).toBool());
    QTest::qWait(0);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(window->findChild<WelcomeSheetView*>(), nullptr);

    // The next window starts without it; the Help menu's item shows it again.
    auto next = makeWindow();
    EXPECT_EQ(next->findChild<WelcomeSheetView*>(), nullptr);
    next->model()->setShowWelcomeSheet(true);
    auto* again = next->findChild<WelcomeSheetView*>();
    ASSERT_NE(again, nullptr);
    EXPECT_TRUE(again->isVisible());
    QTest::keyClick(again, Qt::Key_Escape);
    EXPECT_FALSE(next->model()->showWelcomeSheet());
}

TEST_F(WindowChromeTest, TitleBarButtonsShowTheShortcutsAndOpenTheSupportPage) {
    settings.setValue(AppViewModel::kHasSeenWelcomeKey, true);
    auto window = makeWindow();
    auto* buttons = qobject_cast<TitleBarButtons*>(window->menuBar()->cornerWidget(Qt::TopRightCorner));
    ASSERT_NE(buttons, nullptr);
    EXPECT_EQ(buttons->size(), QSize(72, 28));
    EXPECT_EQ(buttons->infoButton()->toolTip(), QStringLiteral("Keyboard Shortcuts"));
    EXPECT_EQ(buttons->feedbackButton()->toolTip(), QStringLiteral("Send Feedback"));

    QTest::mouseClick(buttons->infoButton(), Qt::LeftButton);
    QWidget* popup = buttons->infoButton()->popup();
    ASSERT_NE(popup, nullptr);
    EXPECT_TRUE(popup->isVisible());
    const QStringList texts = labelTexts(*popup);
    for (const char* text : {"Keyboard Shortcuts", "Files", "Save As...", "Ctrl+Shift+S", "Toggle Sidebar", "Ctrl+Alt+S",
                             "Scroll Zoom", "Ctrl + Scroll", "Highlight Text", "Ctrl+H"})
        EXPECT_TRUE(texts.contains(QString::fromUtf8(text))) << text;
    EXPECT_FALSE(texts.join(' ').contains(QStringLiteral("⌘")));
    popup->close();

    QList<QUrl> opened;
    buttons->feedbackButton()->setUrlOpener([&](const QUrl& url) {
        opened << url;
        return true;
    });
    QTest::mouseClick(buttons->feedbackButton(), Qt::LeftButton);
    EXPECT_EQ(opened, QList<QUrl>{ProductLinks::supportPage()});
}

}  // namespace
