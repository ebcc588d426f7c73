#pragma once

#include <QImage>
#include <QPointer>
#include <QRectF>
#include <QWidget>

class QPushButton;
class QToolButton;

namespace scrivola {

class PDFDocumentContext;
class ScrivolaPDFView;

// The picture being placed, laid over the page view while the context is placing a signature:
// dragging the picture moves it, dragging a corner resizes it (the opposite corner stays; no
// smaller than the context's minimum, sides independent), and it never leaves its page. "Place"
// or Return burns it in, the cross button or Escape cancels.
//
// The context owns the placement (page index and rectangle in page space); every change goes
// there and the overlay follows it through the view's pageTransform() whenever the pages move on
// screen, so it stays over the same spot of the page through scrolling, zooming and mode
// switches. While its page is not on screen it hides.
class SignaturePlacementOverlay : public QWidget {
    Q_OBJECT
public:
    static constexpr int kHandleSize = 8;  // corner handles, view points

    SignaturePlacementOverlay(PDFDocumentContext* context, ScrivolaPDFView* view);
    ~SignaturePlacementOverlay() override;

    // Hides the overlay and its buttons and deletes them once control is back in the event loop
    // (the overlay may be inside its own key or button handler).
    void dismiss();
    // Where the picture lies in the view's viewport (empty while hidden).
    QRectF pictureRect() const { return picture_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    enum class Drag { none, move, resize };
    void follow();
    // The corner of the picture under a point of the viewport: 0 top-left, 1 top-right,
    // 2 bottom-right, 3 bottom-left; -1 for none.
    int cornerAt(const QPointF& viewportPoint) const;
    void updateCursor(const QPointF& viewportPoint);
    void confirm();
    void cancel();

    QPointer<PDFDocumentContext> context_;
    QPointer<ScrivolaPDFView> view_;
    QPointer<QWidget> bar_;  // "Place" and the cross under the picture; a sibling in the viewport
    QPushButton* place_;
    QToolButton* cancel_;
    QRectF picture_;       // viewport coordinates
    QImage scaled_;        // the picture at its shown size, redrawn when that changes
    Drag drag_ = Drag::none;
    int corner_ = -1;
    QPointF dragStart_;    // viewport coordinates
    QRectF startPicture_;  // viewport coordinates at the press
    QRectF startPageRect_; // page space at the press
};

}  // namespace scrivola
