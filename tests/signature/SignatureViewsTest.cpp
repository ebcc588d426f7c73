// The drawing canvas and its sheet, and the signature sidebar over a store in a temporary folder.
#include "signature/view/SignatureCanvas.h"
#include "signature/view/SignatureCard.h"
#include "signature/view/SignatureSidebarView.h"
#include "support/Files.h"
#include "support/PdfFactory.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

#include <cmath>

using namespace scrivola;
using namespace scrivola::testing;

namespace {

void drag(QWidget* widget, const std::vector<QPoint>& points) {
    QTest::mousePress(widget, Qt::LeftButton, {}, points.front());
    for (size_t i = 1; i < points.size(); ++i) QTest::mouseMove(widget, points[i]);
    QTest::mouseRelease(widget, Qt::LeftButton, {}, points.back());
}

bool isInk(QRgb pixel) { return qAlpha(pixel) > 200 && qRed(pixel) < 40 && qGreen(pixel) < 40 && qBlue(pixel) < 40; }

class SignatureViewsTest : public ::testing::Test {
protected:
    void SetUp() override {
        storage = std::make_unique<SignatureStorageService>(dir.path());
        model = std::make_unique<PDFDocumentModel>(writeFile(dir, "doc.pdf", textPdf(1)));
        context = std::make_unique<PDFDocumentContext>(model.get());
        sidebar = std::make_unique<SignatureSidebarView>(context.get(), storage.get());
        sidebar->resize(240, 600);
        sidebar->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(sidebar.get()));
    }
    PDFSignaturePlacement* placement() const { return context->signaturePlacement(); }
    // A drawn signature saved as the sheet would.
    QUuid addSignature(const QString& name) {
        QImage image(40, 20, QImage::Format_ARGB32);
        image.fill(Qt::black);
        return storage->save(image, name, SignatureKind::signature)->id;
    }

    QTemporaryDir dir;
    std::unique_ptr<SignatureStorageService> storage;
    std::unique_ptr<PDFDocumentModel> model;
    std::unique_ptr<PDFDocumentContext> context;
    std::unique_ptr<SignatureSidebarView> sidebar;
};

}  // namespace

TEST(SignatureCanvasTest, DragsBecomeStrokesAndClicksDoNot) {
    SignatureCanvas canvas;
    canvas.resize(380, 160);
    canvas.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&canvas));
    QTest::mouseClick(&canvas, Qt::LeftButton, {}, QPoint(30, 30));
    EXPECT_TRUE(canvas.strokes().empty());
    EXPECT_TRUE(canvas.renderImage().isNull());

    drag(&canvas, {{10, 50}, {60, 50}, {110, 50}});
    ASSERT_EQ(canvas.strokes().size(), 1u);
    EXPECT_TRUE(canvas.currentStroke().empty());

    // 100 + 2 × 2.5 + 16 by 0 + 2 × 2.5 + 16 points, at 2 pixels per point and 144 DPI.
    const QImage image = canvas.renderImage();
    ASSERT_EQ(image.size(), QSize(242, 42));
    EXPECT_NEAR(image.dotsPerMeterX() * 0.0254, 144.0, 0.5);
    EXPECT_TRUE(isInk(image.pixel(121, 21)));                     // on the stroke, black
    EXPECT_EQ(qAlpha(image.pixel(121, 4)), 0);                    // the margin, transparent
    EXPECT_TRUE(isInk(image.pixel(20, 21)));                      // the round cap before the first point
    EXPECT_EQ(qAlpha(image.pixel(image.width() - 3, 21)), 0);    // beyond the cap

    canvas.clear();
    EXPECT_TRUE(canvas.strokes().empty());
    EXPECT_TRUE(canvas.renderImage().isNull());
}

TEST_F(SignatureViewsTest, TheSheetStoresTheDrawingAsATransparentPng) {
    SignatureCreationSheet* sheet = sidebar->openCreationSheet();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(sheet));
    QPointer<SignatureCreationSheet> alive = sheet;
    SignatureCanvas* canvas = sheet->canvas();

    // Nothing drawn, or drawn and cleared: Save keeps the sheet open and stores nothing.
    QTest::mouseClick(canvas, Qt::LeftButton, {}, QPoint(40, 40));
    QTest::mouseClick(sheet->saveButton(), Qt::LeftButton);
    drag(canvas, {{10, 50}, {110, 50}});
    QTest::mouseClick(sheet->clearButton(), Qt::LeftButton);
    QTest::mouseClick(sheet->saveButton(), Qt::LeftButton);
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_TRUE(storage->signatures().isEmpty());

    drag(canvas, {{10, 50}, {60, 50}, {110, 50}});
    QTest::mouseClick(sheet->saveButton(), Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(alive.isNull());
    ASSERT_EQ(storage->signatures().size(), 1);
    const StoredSignature saved = storage->signatures().front();
    EXPECT_EQ(saved.name, SignatureCreationSheet::defaultName(QDate::currentDate()));
    EXPECT_FALSE(saved.isBuiltIn);

    const QImage png(storage->signaturesDir() + "/" + saved.idText() + ".png");
    ASSERT_EQ(png.size(), QSize(242, 42));
    EXPECT_NEAR(png.width() * 72.0 / (png.dotsPerMeterX() * 0.0254), 121.0, 0.5);  // size in points
    EXPECT_TRUE(isInk(png.pixel(121, 21)));
    EXPECT_EQ(qAlpha(png.pixel(1, 1)), 0);
    EXPECT_NE(sidebar->card(saved.id), nullptr);

    // A typed name is kept as typed, spaces included.
    sheet = sidebar->openCreationSheet();
    drag(sheet->canvas(), {{20, 20}, {80, 90}});
    sheet->nameField()->setText("  Initials ");
    QTest::mouseClick(sheet->saveButton(), Qt::LeftButton);
    EXPECT_EQ(storage->signatures().back().name, "  Initials ");
    EXPECT_EQ(SignatureCreationSheet::defaultName(QDate(2026, 3, 14), QLocale(QLocale::English)), "Signature Mar 14");
}

TEST_F(SignatureViewsTest, RenameTrimsAndBlankKeepsTheOldName) {
    const QUuid id = addSignature("Mine");
    std::unique_ptr<QMenu> menu = sidebar->cardMenuFor(id);
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(menu->actions().size(), 2);
    EXPECT_EQ(menu->actions().at(0)->text(), "Rename");
    menu->actions().at(0)->trigger();
    SignatureCard* card = sidebar->card(id);
    ASSERT_TRUE(card->isRenaming());
    EXPECT_EQ(card->renameField()->placeholderText(), "Name");

    card->renameField()->setText(" \t New name\t ");
    QTest::keyClick(card->renameField(), Qt::Key_Return);
    EXPECT_FALSE(card->isRenaming());
    EXPECT_EQ(storage->find(id)->name, "New name");
    EXPECT_EQ(card->nameLabel()->text(), "New name");

    sidebar->beginRenaming(id);
    card->renameField()->setText("   ");
    QTest::mouseClick(card->confirmButton(), Qt::LeftButton);
    EXPECT_FALSE(card->isRenaming());
    EXPECT_EQ(storage->find(id)->name, "New name");
}

TEST_F(SignatureViewsTest, SelectionPlacementEscapeAndDelete) {
    const QUuid id = addSignature("Mine");
    EXPECT_FALSE(sidebar->hintLabel()->isVisible());
    QTest::mouseClick(sidebar->card(id), Qt::LeftButton);
    EXPECT_EQ(placement()->selectedSignatureId(), id);
    EXPECT_TRUE(sidebar->card(id)->isSelected());
    EXPECT_TRUE(sidebar->hintLabel()->isVisible());
    EXPECT_EQ(sidebar->hintLabel()->text(), "Click on PDF to place. ESC to cancel.");

    // A change in the store keeps the card and its scaled picture.
    SignatureCard* card = sidebar->card(id);
    const qint64 picture = card->scaledPicture().cacheKey();
    ASSERT_FALSE(card->scaledPicture().isNull());
    ASSERT_TRUE(storage->updateLastSize(id, 300, 90));
    EXPECT_EQ(sidebar->card(id), card);
    EXPECT_EQ(card->scaledPicture().cacheKey(), picture);

    // Escape ends a placement first, then the selection; switching tabs ends a placement.
    placement()->handleSignatureStamp(QPointF(200, 400), 0);
    ASSERT_TRUE(placement()->isPlacingSignature());
    EXPECT_FALSE(sidebar->hintLabel()->isVisible());
    QTest::keyClick(sidebar.get(), Qt::Key_Escape);
    EXPECT_FALSE(placement()->isPlacingSignature());
    EXPECT_EQ(placement()->selectedSignatureId(), id);
    placement()->handleSignatureStamp(QPointF(200, 400), 0);
    sidebar->setActiveTab(SidebarTab::stamps);
    EXPECT_FALSE(placement()->isPlacingSignature());
    sidebar->setActiveTab(SidebarTab::signatures);
    QTest::keyClick(sidebar.get(), Qt::Key_Escape);
    EXPECT_FALSE(placement()->selectedSignatureId().has_value());

    // Deleting the selected item while it is being placed clears both.
    QTest::mouseClick(sidebar->card(id), Qt::LeftButton);
    placement()->handleSignatureStamp(QPointF(200, 400), 0);
    sidebar->cardMenuFor(id)->actions().at(1)->trigger();
    EXPECT_FALSE(placement()->selectedSignatureId().has_value());
    EXPECT_FALSE(placement()->isPlacingSignature());
    EXPECT_FALSE(storage->find(id).has_value());
    EXPECT_EQ(sidebar->card(id), nullptr);
    EXPECT_TRUE(sidebar->emptyState()->isVisible());

    // Closing hides the sidebar and clears the selection.
    const QUuid other = addSignature("Other");
    QTest::mouseClick(sidebar->card(other), Qt::LeftButton);
    context->setSignatureSidebarVisible(true);
    QTest::mouseClick(sidebar->findChild<QToolButton*>("closeButton"), Qt::LeftButton);
    EXPECT_FALSE(context->isSignatureSidebarVisible());
    EXPECT_FALSE(placement()->selectedSignatureId().has_value());
}

TEST_F(SignatureViewsTest, StampsTabAndImportThroughTheChooser) {
    QStringList titles;
    QString chosen;
    sidebar->setImageChooser([&](QWidget*, const QString& title) {
        titles << title;
        return chosen;
    });
    sidebar->setActiveTab(SidebarTab::stamps);
    EXPECT_EQ(sidebar->newButton()->toolTip(), "Import Stamp");
    ASSERT_EQ(storage->stamps().size(), 5);
    for (const StoredSignature& stamp : storage->stamps()) {
        ASSERT_NE(sidebar->card(stamp.id), nullptr);
        EXPECT_EQ(sidebar->cardMenuFor(stamp.id), nullptr);
    }

    // "+" on Stamps imports at once; an unreadable file or a cancelled chooser adds nothing.
    QImage picture(30, 12, QImage::Format_ARGB32);
    picture.fill(Qt::red);
    chosen = dir.filePath("Company.seal.png");
    ASSERT_TRUE(picture.save(chosen));
    QTest::mouseClick(sidebar->newButton(), Qt::LeftButton);
    ASSERT_EQ(storage->stamps().size(), 6);
    EXPECT_EQ(storage->stamps().back().name, "Company.seal");
    EXPECT_EQ(storage->stamps().back().image.size(), QSize(30, 12));
    EXPECT_NE(sidebar->card(storage->stamps().back().id), nullptr);
    chosen = writeFile(dir, "broken.png", QByteArray("not an image"));
    sidebar->importImage();
    chosen.clear();
    sidebar->importImage();
    EXPECT_EQ(storage->stamps().size(), 6);
    EXPECT_EQ(titles, QStringList(3, "Select a stamp image"));

    // On Signatures "+" offers the menu; its import asks for a signature image.
    sidebar->setActiveTab(SidebarTab::signatures);
    EXPECT_EQ(sidebar->newButton()->toolTip(), "New Signature");
    EXPECT_TRUE(sidebar->emptyState()->isVisible());
    ASSERT_EQ(sidebar->newMenu()->actions().size(), 2);
    EXPECT_EQ(sidebar->newMenu()->actions().at(0)->text(), "Draw Signature");
    chosen = dir.filePath("Company.seal.png");
    sidebar->newMenu()->actions().at(1)->trigger();
    EXPECT_EQ(titles.back(), "Select a signature image");
    ASSERT_EQ(storage->signatures().size(), 1);
    EXPECT_EQ(storage->signatures().front().kind, SignatureKind::signature);
}
