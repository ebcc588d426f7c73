// The toolbars and bottom bars around a document, driven by their controls and checked on the
// context, the saved file and the text boxes on the page.
#include "ui/DocumentBottomBar.h"
#include "ui/DocumentToolbar.h"
#include "ui/IconButton.h"
#include "ui/Symbols.h"
#include "ui/TextFormatToolbar.h"

#include "annotation/CoreTextFreeTextAnnotation.h"
#include "image/ImageDocumentContext.h"
#include "pdf/PDFDocumentContext.h"
#include "support/Files.h"
#include "support/ImageFactory.h"
#include "support/PdfFactory.h"
#include "workspace/AppViewModel.h"
#include "workspace/ServiceContainer.h"

#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace scrivola;
using namespace scrivola::testing;

namespace {

class DocumentBarsTest : public ::testing::Test {
protected:
    DocumentBarsTest() {
        WorkspaceEnvironment environment;
        environment.settings = &settings;
        model = std::make_unique<AppViewModel>(std::make_unique<ServiceContainer>(dir.filePath(QStringLiteral("sig"))), environment);
    }
    TabItem* openPdf(int pages = 3) {
        pdfPath = writeFile(dir, QStringLiteral("doc.pdf"), textPdf(pages));
        return model->openFile(pdfPath);
    }
    static PDFDocumentContext* pdf(TabItem* tab) { return qobject_cast<PDFDocumentContext*>(tab->context()); }
    // Lets the deferred undo notifications arrive.
    static void settle() { QTest::qWait(20); }
    static QAction* item(IconButton* button, const QString& text) {
        for (QAction* action : button->menu()->actions())
            if (action->text() == text) return action;
        return nullptr;
    }

    QTemporaryDir dir;
    QSettings settings{dir.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat};
    std::unique_ptr<AppViewModel> model;
    QString pdfPath;
};

TEST_F(DocumentBarsTest, ExportTitleFollowsTheSelection) {
    TabItem* tab = openPdf();
    DocumentToolbar toolbar(model.get(), tab);
    IconButton* exporter = toolbar.control(QStringLiteral("export"));
    ASSERT_TRUE(exporter);
    EXPECT_EQ(exporter->text(), QStringLiteral("Export Current Page"));
    pdf(tab)->setSelectedPages({0, 1, 2});
    EXPECT_EQ(exporter->text(), QStringLiteral("Export 3 Pages"));
    pdf(tab)->setSelectedPages({});
    EXPECT_EQ(exporter->text(), QStringLiteral("Export Current Page"));

    const QString a = writeImage(dir.filePath(QStringLiteral("a.png")), patternImage(QSize(40, 30)), "png");
    const QString b = writeImage(dir.filePath(QStringLiteral("b.png")), patternImage(QSize(40, 30)), "png");
    TabItem* images = model->openImageCollection({a, b});
    ASSERT_TRUE(images);
    DocumentToolbar imageToolbar(model.get(), images);
    auto* context = qobject_cast<ImageDocumentContext*>(images->context());
    EXPECT_EQ(imageToolbar.control(QStringLiteral("export"))->text(), QStringLiteral("Export Current Image"));
    context->setSelectedImages({0, 1});
    EXPECT_EQ(imageToolbar.control(QStringLiteral("export"))->text(), QStringLiteral("Export 2 Images"));
    // No PDF-only controls on an image tab.
    EXPECT_FALSE(imageToolbar.control(QStringLiteral("search")));
    EXPECT_FALSE(imageToolbar.control(QStringLiteral("textMode")));

    // The image bar names the shown image and counts the collection.
    DocumentBottomBar bar(images);
    EXPECT_TRUE(bar.imageName()->text().startsWith(QStringLiteral("a.png")));
    EXPECT_TRUE(bar.imageName()->text().endsWith(QStringLiteral("2 images")));
    context->goToNextPage();
    EXPECT_TRUE(bar.imageName()->text().startsWith(QStringLiteral("b.png")));
}

TEST_F(DocumentBarsTest, DisplayModePickerFlipsLayoutAndContinuity) {
    TabItem* tab = openPdf();
    PDFDocumentContext* context = pdf(tab);
    DocumentBottomBar bar(tab);
    const auto click = [&](const char* name) { bar.control(QString::fromLatin1(name))->click(); };

    context->setViewMode(ViewMode::twoPages);
    click("continuousScroll");
    EXPECT_EQ(context->viewMode(), ViewMode::twoPagesContinuous);
    EXPECT_TRUE(bar.control(QStringLiteral("continuousScroll"))->isActive());
    EXPECT_TRUE(bar.control(QStringLiteral("twoPages"))->isActive());
    click("continuousScroll");
    EXPECT_EQ(context->viewMode(), ViewMode::twoPages);
    context->setViewMode(ViewMode::twoPagesContinuous);
    click("singlePage");
    EXPECT_EQ(context->viewMode(), ViewMode::continuous);
    EXPECT_FALSE(bar.control(QStringLiteral("twoPages"))->isActive());
    click("twoPages");
    EXPECT_EQ(context->viewMode(), ViewMode::twoPagesContinuous);

    // Fit and zoom go through the context and show its state.
    click("fitWidth");
    EXPECT_EQ(context->autoFitMode(), AutoFitMode::fitWidth);
    EXPECT_TRUE(bar.control(QStringLiteral("fitWidth"))->isActive());
    context->setZoomLevel(1.0);
    click("zoomIn");
    EXPECT_EQ(bar.zoomLabel()->text(), QStringLiteral("125%"));
}

TEST_F(DocumentBarsTest, SaveAndUndoFollowTheDocument) {
    TabItem* tab = openPdf();
    PDFDocumentContext* context = pdf(tab);
    DocumentToolbar toolbar(model.get(), tab);
    IconButton* save = toolbar.control(QStringLiteral("save"));
    IconButton* undo = toolbar.control(QStringLiteral("undo"));
    EXPECT_EQ(save->toolTip(), QStringLiteral("Saved"));
    EXPECT_DOUBLE_EQ(save->drawnOpacity(), IconButton::kDimmedOpacity);
    EXPECT_FALSE(undo->isEnabled());

    // Rotate through the menu: the document changes, Save and Undo come alive.
    item(toolbar.control(QStringLiteral("rotate")), QStringLiteral("Rotate Right (90°)"))->trigger();
    settle();
    EXPECT_EQ(save->toolTip(), QStringLiteral("Save"));
    EXPECT_DOUBLE_EQ(save->drawnOpacity(), 1.0);
    EXPECT_TRUE(undo->isEnabled());
    EXPECT_EQ(context->model()->pdfDocument()->page(0)->rotation(), 90);

    // Save writes the file even when another tab was active.
    model->openFile(writeFile(dir, QStringLiteral("other.pdf"), textPdf(1)));
    save->click();
    EXPECT_EQ(save->toolTip(), QStringLiteral("Saved"));
    const PDFDocumentPtr reopened = PDFDocument::load(pdfPath);
    ASSERT_TRUE(reopened);
    EXPECT_EQ(reopened->page(0)->rotation(), 90);

    undo->click();
    settle();
    EXPECT_EQ(context->model()->pdfDocument()->page(0)->rotation(), 0);
    EXPECT_FALSE(undo->isEnabled());
    EXPECT_TRUE(toolbar.control(QStringLiteral("redo"))->isEnabled());

    // Modes: the highlight colour menu and the tool buttons show the context's state.
    toolbar.control(QStringLiteral("highlight"))->click();
    EXPECT_TRUE(context->isHighlightMode());
    EXPECT_EQ(toolbar.control(QStringLiteral("highlight"))->toolTip(), QStringLiteral("Disable Highlight Mode"));
    toolbar.control(QStringLiteral("whiteout"))->click();
    EXPECT_FALSE(context->isHighlightMode());
    item(toolbar.control(QStringLiteral("highlightColor")), QStringLiteral("Pink"))->trigger();
    EXPECT_EQ(context->highlightColor(), HighlightColor::pink);
    EXPECT_TRUE(item(toolbar.control(QStringLiteral("highlightColor")), QStringLiteral("Pink"))->isChecked());
    toolbar.control(QStringLiteral("handTool"))->click();
    EXPECT_FALSE(context->isTextSelectionMode());
    EXPECT_TRUE(toolbar.control(QStringLiteral("handTool"))->isActive());
}

TEST_F(DocumentBarsTest, TextFormatControlsRestyleTheSelectedBoxOneStepEach) {
    TabItem* tab = openPdf(1);
    PDFDocumentContext* context = pdf(tab);
    PDFTextBoxTool* tool = context->textTool();
    QWidget host;
    TextFormatToolbar toolbar(context, &host);
    EXPECT_TRUE(toolbar.isHidden());
    tool->toggleTextAnnotationMode();
    EXPECT_FALSE(toolbar.isHidden());

    const QRectF bounds(72, 600, 120, 24);
    tool->beginInlineEditing(0, nullptr);
    tool->confirmTextAnnotation(QStringLiteral("Quarterly figures"), bounds);
    const PDFAnnotationPtr box = context->model()->pdfDocument()->page(0)->annotations().back();
    tool->selectAnnotation(box);
    settle();
    const CoreTextFreeTextAnnotation text(box);

    toolbar.control(QStringLiteral("bold"))->click();
    item(toolbar.control(QStringLiteral("size")), QStringLiteral("36 pt"))->trigger();
    item(toolbar.control(QStringLiteral("color")), QStringLiteral("Red"))->trigger();
    toolbar.control(QStringLiteral("alignCenter"))->click();
    toolbar.setColorChooser([](const QColor&, QWidget*) { return QColor(); });  // cancelled: no change
    toolbar.chooseOtherColor();
    settle();
    EXPECT_TRUE(text.font().bold());
    EXPECT_DOUBLE_EQ(box->fontSize(), 36);
    EXPECT_TRUE(sameColour(text.fontColor(), QColor(255, 59, 48), 2));
    EXPECT_EQ(text.alignment(), Qt::AlignHCenter);
    EXPECT_TRUE(toolbar.control(QStringLiteral("bold"))->isActive());
    EXPECT_EQ(toolbar.control(QStringLiteral("size"))->text(), QStringLiteral("36 pt"));
    // The larger text no longer fits: the box grew right and down, its top-left corner kept.
    EXPECT_GT(box->bounds().width(), bounds.width());
    EXPECT_GT(box->bounds().height(), bounds.height());
    EXPECT_DOUBLE_EQ(box->bounds().left(), bounds.left());
    EXPECT_DOUBLE_EQ(box->bounds().bottom(), bounds.bottom());

    // One undo step each: alignment, colour, then size (with the bounds), then bold.
    context->undo();
    settle();
    EXPECT_EQ(text.alignment(), Qt::AlignLeft);
    EXPECT_TRUE(sameColour(text.fontColor(), QColor(255, 59, 48), 2));
    context->undo();
    context->undo();
    settle();
    EXPECT_DOUBLE_EQ(box->fontSize(), 14);
    EXPECT_DOUBLE_EQ(box->bounds().height(), bounds.height());
    EXPECT_TRUE(text.font().bold());
    EXPECT_TRUE(toolbar.control(QStringLiteral("bold"))->isActive());
    context->undo();
    settle();
    EXPECT_FALSE(text.font().bold());
    EXPECT_EQ(box->bounds(), bounds);
    EXPECT_FALSE(toolbar.control(QStringLiteral("bold"))->isActive());
    EXPECT_EQ(context->undoActionName(), QStringLiteral("Add Text Box"));

    // Without a selection a control sets the format of new boxes only.
    tool->clearAnnotationSelection();
    toolbar.control(QStringLiteral("italic"))->click();
    EXPECT_TRUE(tool->textIsItalic());
    EXPECT_FALSE(text.font().italic());
    // Bullets only apply to a box being typed.
    EXPECT_FALSE(toolbar.control(QStringLiteral("bullets"))->isEnabled());
}

TEST_F(DocumentBarsTest, EveryControlHasItsSymbolAndFilledSymbolsAreCutOut) {
    TabItem* tab = openPdf(1);
    QWidget host;
    DocumentToolbar toolbar(model.get(), tab, &host);
    DocumentBottomBar bar(tab, &host);
    TextFormatToolbar format(pdf(tab), &host);
    for (IconButton* button : host.findChildren<IconButton*>())
        if (!button->symbol().isEmpty()) {
            EXPECT_TRUE(hasSymbol(button->symbol())) << button->symbol().toStdString();
        }

    // A filled symbol: an opaque disc with the mark cut out of it.
    QImage image(64, 64, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    paintSymbol(painter, QStringLiteral("xmark.circle.fill"), QRectF(0, 0, 64, 64), Qt::black);
    painter.end();
    EXPECT_EQ(qAlpha(image.pixel(32, 32)), 0);   // the cross's centre
    EXPECT_EQ(qAlpha(image.pixel(32, 10)), 255);  // the disc above it
}

}  // namespace
