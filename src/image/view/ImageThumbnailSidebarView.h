#pragma once

#include <QAbstractScrollArea>
#include <QPointer>
#include <QSet>

#include <memory>

class QMenu;
class QPropertyAnimation;

namespace scrivola {

class ImageDocumentContext;
class ImageDocumentModel;

// The strip of thumbnails of an image collection: every image in a cell (its thumbnail fitted
// at most 120 points tall, its file name below), the current one framed, the marked ones
// checked. Clicks navigate and select, the context menu and the Delete key export or delete,
// files dropped onto it join the collection. Vertical beside the canvas or horizontal beneath
// it. Cells are laid out by arithmetic and painted only while visible; only painted cells ask
// the model for their thumbnails, so a folder of hundreds of photos costs what is on screen.
// Everything shown is read from the context and its model.
class ImageThumbnailSidebarView : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit ImageThumbnailSidebarView(ImageDocumentContext* context, QWidget* parent = nullptr,
                                       Qt::Orientation orientation = Qt::Vertical);
    ~ImageThumbnailSidebarView() override;

    Qt::Orientation orientation() const { return orientation_; }
    void setOrientation(Qt::Orientation orientation);

    // The cell of an index in viewport coordinates (empty when out of range), and the index at a
    // viewport point (-1 when none).
    QRect cellRect(int index) const;
    int indexAt(QPoint viewportPoint) const;
    // The rectangle the thumbnail is drawn into, inside cellRect(index).
    QRect imageRect(int index) const;

    // A click on a cell: Ctrl toggles the mark, Shift extends the marks from the current image,
    // a plain click shows the image and clears the marks.
    void handleTap(int index, Qt::KeyboardModifiers modifiers);
    // The context menu of a cell: "Export Image..." / "Export N Images...", a separator,
    // "Delete Image" / "Delete N Images" (disabled when it would leave no image). The targets are
    // the marked images when the cell is one of them, otherwise the cell alone.
    std::unique_ptr<QMenu> contextMenuFor(int index);
    bool isDropTargeted() const { return isDropTargeted_; }
    int hoveredIndex() const { return hovered_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    int count() const;
    QSize cellSize() const;
    int cellStride() const;      // cell extent along the strip plus the spacing
    int scrollOffset() const;
    QScrollBar* alongBar() const;
    void updateScrollRange();
    void updateThumbnailBound();
    // Scrolls so that the current cell is centred, gliding when the strip is on screen.
    void centreCurrent(bool animated);
    void setHovered(int index);
    void setDropTargeted(bool targeted);
    void updateCell(int index);
    // False when the cell's thumbnail is not made yet.
    bool paintCell(QPainter& painter, int index);
    void paintDropOverlay(QPainter& painter);

    QPointer<ImageDocumentContext> context_;
    QPointer<ImageDocumentModel> model_;
    Qt::Orientation orientation_;
    int hovered_ = -1;
    bool isDropTargeted_ = false;
    QPropertyAnimation* scrollAnimation_ = nullptr;
};

}  // namespace scrivola
