#pragma once

#include "pdf/PDFDocumentContext.h"

#include <QAbstractScrollArea>
#include <QImage>
#include <QPointer>

#include <functional>
#include <map>
#include <optional>
#include <set>

class QDrag;
class QMenu;
class QMimeData;
class QVariantAnimation;

namespace scrivola {

class ThumbnailRenderer;

// The page thumbnails of a PDF tab in as many columns as fit, painting only the cells in view.
// Clicks navigate and select (Ctrl toggles, Shift extends), the context menu exports, deletes or
// rotates the pages it targets, Delete deletes the selection, arrow keys move the current page,
// and in sort mode pages are reordered by drag and drop (several marked pages move as a block).
// The grid follows the context's current page. All state except the drag lives in the context.
class ThumbnailGridView : public QAbstractScrollArea {
    Q_OBJECT
public:
    static constexpr double kBaseWidth = 140;
    static constexpr double kBaseHeight = 180;
    static constexpr int kMargin = 8;
    static constexpr int kColumnSpacing = 4;
    static constexpr int kRowSpacing = 8;
    // Display lists made in one paint at most for this long; the rest follow in the next paint.
    static constexpr int kPaintBudgetMs = 12;

    explicit ThumbnailGridView(PDFDocumentContext* context, QWidget* parent = nullptr);
    ~ThumbnailGridView() override;

    PDFDocumentContext* context() const { return context_.data(); }
    ThumbnailRenderer* renderer() const { return renderer_; }

    // Layout, in viewport coordinates at the current scroll position.
    double thumbnailWidth() const;
    double thumbnailHeight() const;
    double minimumColumnWidth() const { return thumbnailWidth() + 16; }
    int columnCount() const;
    QRectF cellRect(int page) const;
    // The cell under a viewport point, or -1.
    int pageAt(const QPoint& point) const;
    // Where a drop at a viewport point puts pages: before that index (the page count: at the end).
    int dropIndexAt(const QPoint& point) const;
    // Centres the page's cell, animated when the grid is on screen.
    void scrollToPage(int page, bool animated);

    // The revision whose picture the last paint showed for `page`; -1 for a placeholder, an empty
    // frame or a page not painted.
    int paintedRevision(int page) const;
    // Pages the main view shows (highlighted).
    std::set<int> visiblePages() const;

    // Drag state: the page dragged from this grid and the index a drop would go before.
    std::optional<int> dragSourceIndex() const { return dragSource_; }
    std::optional<int> dropTargetIndex() const { return dropTarget_; }
    // Runs a drag; by default QDrag::exec. Tests replace it to play the drop events.
    using DragRunner = std::function<Qt::DropAction(QDrag*)>;
    void setDragRunner(DragRunner runner) { dragRunner_ = std::move(runner); }
    void startPageDrag(int page);

    // What a click on `page` does with these modifiers.
    void clickPage(int page, Qt::KeyboardModifiers modifiers);
    // The pages a context action on `page` acts on: the selection when it holds the page.
    std::set<int> targetsFor(int page) const;
    // The context menu of `page` (the caller owns it).
    QMenu* contextMenuFor(int page);

signals:
    // The first time every cell in view was painted with its picture.
    void firstScreenPainted();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    double columnWidth() const;
    double rowPitch() const;
    void relayout();
    bool acceptsDrag(const QMimeData* mime) const;
    void setDropTarget(std::optional<int> index);
    // Whether dropping before `target` would change the page order.
    bool wouldMove(int target) const;
    // Moves the dragged page (or the marked block it belongs to) before `target`; false when
    // that changes nothing.
    bool performDrop(int target);
    void scheduleRepaint();
    // The picture last shown for `page` when it still fits a page of `pageSize`; else null.
    QImage standIn(int page, const QSizeF& pageSize) const;

    QPointer<PDFDocumentContext> context_;
    ThumbnailRenderer* renderer_;
    std::optional<int> dragSource_;
    std::optional<int> dropTarget_;
    int pressPage_ = -1;
    QPoint pressPoint_;
    int hoverPage_ = -1;
    DragRunner dragRunner_;
    QVariantAnimation* scrollAnimation_;
    QVariantAnimation* barAnimation_;  // the drop bar fades in
    std::map<int, int> painted_;       // page → revision shown, from the last paint
    // The pictures the last paint showed, standing in while a new thumbnail scale or an edit has
    // nothing better cached (only cells in view, so it stays small).
    std::map<int, QImage> shown_;
    bool repaintQueued_ = false;
    bool firstScreenDone_ = false;
};

}  // namespace scrivola
