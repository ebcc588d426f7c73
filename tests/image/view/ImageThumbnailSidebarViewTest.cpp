// The strip of an image collection on screen: lazily painted small thumbnails, the click and
// key rules, the context menu, and file drops.
#include "support/Files.h"
#include "support/ImageFactory.h"

#include "image/ImageDocumentContext.h"
#include "image/view/ImageThumbnailSidebarView.h"

#include <QAction>
#include <QApplication>
#include <QDragEnterEvent>
#include <QMenu>
#include <QMimeData>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

using namespace scrivola;
using namespace scrivola::testing;

namespace {

class ImageStripTest : public ::testing::Test {
protected:
    void open(int count, QSize picture = {400, 300}) {
        QStringList urls;
        for (int i = 0; i < count; ++i)
            urls << writeImage(dir.filePath(QString("photo%1.jpg").arg(i)), quadrantImage(picture.width(), picture.height()), "jpeg");
        model = std::make_unique<ImageDocumentModel>(urls);
        context = std::make_unique<ImageDocumentContext>(model.get());
        strip = std::make_unique<ImageThumbnailSidebarView>(context.get());
        strip->resize(200, 600);
        strip->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(strip.get()));
    }
    void click(int index, Qt::KeyboardModifiers modifiers = {}) {
        QTest::mouseClick(strip->viewport(), Qt::LeftButton, modifiers, strip->cellRect(index).center());
    }
    void key(int key) { QTest::keyClick(strip.get(), Qt::Key(key)); }
    QStringList menuTexts(int index) {
        QStringList texts;
        const std::unique_ptr<QMenu> menu = strip->contextMenuFor(index);
        for (QAction* action : menu->actions())
            texts << (action->isSeparator() ? QStringLiteral("-") : action->text() + (action->isEnabled() ? "" : " (off)"));
        return texts;
    }
    // Sends a drag with these files over the strip; drops it unless `leave`.
    void dragFiles(const QStringList& paths, bool leave = false) {
        QMimeData data;
        QList<QUrl> urls;
        for (const QString& path : paths) urls << QUrl::fromLocalFile(path);
        data.setUrls(urls);
        const QPoint at = strip->viewport()->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(strip->viewport(), &enter);
        EXPECT_TRUE(strip->isDropTargeted());
        if (leave) {
            QDragLeaveEvent left;
            QApplication::sendEvent(strip->viewport(), &left);
        } else {
            QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, {});
            QApplication::sendEvent(strip->viewport(), &drop);
        }
        EXPECT_FALSE(strip->isDropTargeted());
    }

    QTemporaryDir dir;
    std::unique_ptr<ImageDocumentModel> model;
    std::unique_ptr<ImageDocumentContext> context;
    std::unique_ptr<ImageThumbnailSidebarView> strip;
};

TEST_F(ImageStripTest, VisibleCellsPaintSmallThumbnailsAndNoFullImageIsDecoded) {
    open(30, {1600, 1200});
    QTRY_VERIFY_WITH_TIMEOUT(!model->thumbnail(0).isNull() && !model->thumbnail(2).isNull(), 5000);
    EXPECT_EQ(model->thumbnail(0).size(), QSize(160, 120));
    QTest::qWait(200);
    for (int i = 0; i < model->count(); ++i) ASSERT_TRUE(model->cachedImage(i).isNull()) << i;
    EXPECT_TRUE(model->thumbnail(29).isNull());  // never on screen, never made

    // Painted: the thumbnail's top-left quadrant (red) fills the cell picture's top-left.
    const QRect picture = strip->imageRect(0);
    const QImage shot = strip->viewport()->grab().toImage();
    EXPECT_TRUE(near(shot.pixel(picture.left() + picture.width() / 4, picture.top() + picture.height() / 4), qRgb(255, 0, 0)));

    // The current cell glides to the centre.
    context->goToPage(15);
    const int middle = strip->viewport()->height() / 2;
    QTRY_VERIFY_WITH_TIMEOUT(std::abs(strip->cellRect(15).center().y() - middle) <= 1, 2000);
    QTRY_VERIFY_WITH_TIMEOUT(!model->thumbnail(15).isNull(), 5000);

    strip->setOrientation(Qt::Horizontal);
    EXPECT_EQ(strip->cellRect(1).top(), strip->cellRect(0).top());
    EXPECT_GT(strip->cellRect(1).left(), strip->cellRect(0).right());
    EXPECT_EQ(strip->indexAt(strip->cellRect(1).center()), 1);
}

TEST_F(ImageStripTest, ClicksNavigateAndSelectAndKeysDeleteOnlyWhatLeavesAnImage) {
    open(5);
    click(0, Qt::ControlModifier);  // the current image joins the marks, nothing moves
    EXPECT_EQ(context->currentPage(), 0);
    EXPECT_EQ(context->selectedImages(), QSet<int>{0});
    click(2);
    EXPECT_EQ(context->currentPage(), 2);
    EXPECT_TRUE(context->selectedImages().isEmpty());
    click(4, Qt::ShiftModifier);
    EXPECT_EQ(context->selectedImages(), (QSet<int>{2, 3, 4}));
    click(3, Qt::ControlModifier | Qt::ShiftModifier);  // Ctrl is tested first: toggles
    EXPECT_EQ(context->selectedImages(), (QSet<int>{2, 4}));
    key(Qt::Key_Down);
    EXPECT_EQ(context->currentPage(), 3);

    context->setSelectedImages({0, 1, 2, 3, 4});
    EXPECT_EQ(menuTexts(1), (QStringList{"Export 5 Images...", "-", "Delete 5 Images (off)"}));
    key(Qt::Key_Delete);
    EXPECT_EQ(model->count(), 5);

    context->setSelectedImages({1, 2});
    EXPECT_EQ(menuTexts(3), (QStringList{"Export Image...", "-", "Delete Image"}));
    strip->contextMenuFor(1)->actions().last()->trigger();  // "Delete 2 Images"
    EXPECT_EQ(model->count(), 3);
    EXPECT_TRUE(model->isModified());
    context->setSelectedImages({0});
    key(Qt::Key_Delete);
    EXPECT_EQ(model->count(), 2);
    for (int i = 0; i < 5; ++i) EXPECT_TRUE(QFileInfo::exists(dir.filePath(QString("photo%1.jpg").arg(i))));
}

TEST_F(ImageStripTest, DroppedImagesJoinTheCollection) {
    open(2);

    const QString pdf = writeBytes(dir.filePath("doc.pdf"), "%PDF-1.4\n");
    const QString a = writeImage(dir.filePath("a.png"), quadrantImage(20, 20), "png");
    const QString b = writeImage(dir.filePath("b.png"), quadrantImage(20, 20), "png");
    dragFiles({a}, true);  // left without dropping: nothing changes, no overlay stays
    EXPECT_EQ(model->count(), 2);
    dragFiles({pdf, a, b});
    ASSERT_EQ(model->count(), 4);
    EXPECT_EQ(context->currentPage(), 2);
    context->goToPage(0);
    dragFiles({b});  // already there: nothing, and no navigation
    EXPECT_EQ(model->count(), 4);
    EXPECT_EQ(context->currentPage(), 0);
}

}  // namespace
