#pragma once

#include "image/ImageDocumentContext.h"

#include <QAbstractScrollArea>
#include <QElapsedTimer>
#include <QImage>
#include <QPointer>
#include <QTimer>

#include <optional>

class QPainter;

namespace scrivola {

// The image of an image tab on screen: the context's shown image in a scroll area that magnifies
// it (0.1 to 10), centres it when it is smaller than the view, pans it with the mouse and the
// arrow keys when it is larger, zooms with Ctrl + wheel and pinch, carries out the context's
// automatic fits and keeps its magnification and the context's zoomLevel in step both ways.
// A size badge ("1920 × 1080") sits in the bottom-right corner; dropped files are handed on.
//
// Painting draws only the exposed part of the picture, never a scaled copy of the whole image
// at the zoom: from the decoded image (converted once to the display's colours), or, for a strong
// reduction, from one copy reduced to the current scale on a worker. Until the full decode is in,
// a quick preview of the file stands in; while images change quickly (a held arrow key) only
// previews are decoded, and once an image is on screen its neighbours are decoded ahead.
class ImageCanvasView : public QAbstractScrollArea {
    Q_OBJECT
public:
    static constexpr double kMinimumMagnification = 0.1;
    static constexpr double kMaximumMagnification = 10.0;
    // Screen points one arrow press scrolls (40 ÷ magnification image points).
    static constexpr double kArrowScrollAmount = 40;

    explicit ImageCanvasView(QWidget* parent = nullptr);
    ~ImageCanvasView() override;

    // The tab shown; null shows nothing. The context must outlive the canvas or be reset first.
    void setContext(ImageDocumentContext* context);
    ImageDocumentContext* context() const { return context_; }

    double magnification() const { return magnification_; }
    // Sets the magnification (limited to 0.1...10) keeping the image point under `anchor`
    // (viewport coordinates; the view's centre when none) in place. The context is not told.
    void setMagnification(double magnification, std::optional<QPointF> anchor = {});
    // The shown image's size in points; empty without an image.
    QSizeF imageSize() const { return imageSize_; }
    // The magnified image exceeds the view in width or height: panning, the hand cursors and the
    // arrow keys work only then.
    bool isLargerThanView() const;
    // The part of the image in view, in image points (beyond the image where it is centred).
    QRectF visibleRect() const;
    bool isPanning() const { return isPanning_; }
    // The index shown, and whether its full decode (not a preview) is what is painted.
    int shownIndex() const { return index_; }
    bool showsFullImage() const { return !full_.isNull(); }
    // The text of the size badge; empty without an image.
    QString sizeBadgeText() const;

signals:
    // Local files dropped onto the canvas.
    void filesDropped(const QStringList& paths);
    // A picture of image `index` reached the screen for the first time: `full` for its full
    // decode, otherwise its preview.
    void imagePainted(int index, bool full);
    // The first picture painted since the context was set.
    void painted();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    bool viewportEvent(QEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    class SizeBadge;

    // Loading (ImageCanvasPictures.cpp).
    void showCurrent(bool reload);
    void imageReady(int index);
    void previewReady(int index);
    void takeFull(const QImage& image);
    void afterFirstFullPaint();
    void takePreview(const QImage& preview);
    void setImageSize(QSizeF size);
    void requestFullDecode();
    void prepareDisplayCopy();
    void prepareReducedCopy();
    // Device pixels per pixel of the full image at the current magnification.
    double deviceScale() const;
    void notePainted(bool full);
    void paintStandIn(QPainter& painter);

    // Geometry and zoom (ImageCanvasView.cpp).
    void scheduleAutoFit();
    void applyAutoFit();
    void followContextZoom();
    // A zoom made in the view: applied here, then written into the context as manual.
    void zoomFromView(double magnification, QPointF anchor);
    void updateScrollBars();
    void updateCursor();
    void updateBadge();
    // The image's top-left corner in viewport coordinates.
    QPointF imageOrigin() const;
    QSizeF fitArea() const;

    QPointer<ImageDocumentContext> context_;
    QPointer<ImageDocumentModel> model_;
    QList<QMetaObject::Connection> connections_;

    int index_ = -1;
    quint64 entryId_ = 0;
    QImage full_;       // the model's decoded (or edited) image
    QImage display_;    // full_ in the display's colours and a format painting takes directly
    QImage preview_;    // a quick reduced decode, in the display's colours
    QImage reduced_;    // the whole image reduced to about the current scale, display colours
    // The picture of an image passed just before (display colours, its size in points), shown
    // fitted until the shown image has a picture of its own: images never flash empty while
    // the arrow keys step through a collection.
    QImage standIn_;
    QSizeF standInSize_;
    QString message_;
    QSizeF imageSize_;
    quint64 generation_ = 0;  // rises with every change of image; workers' results carry it
    bool displayPending_ = false;
    QSize reducedPendingSize_;
    bool paintedFull_ = false;
    bool paintedPreview_ = false;
    bool paintedSinceContext_ = false;

    double magnification_ = 1.0;
    bool isUpdatingContext_ = false;  // a view zoom is being written into the context
    bool fitScheduled_ = false;

    bool isPanning_ = false;
    QPoint panOrigin_;
    QPoint scrollOrigin_;

    int direction_ = 1;          // the way the collection was last stepped through
    QElapsedTimer lastChange_;   // when the shown image last changed
    QTimer fullDecodeDelay_;     // while images change quickly, full decodes wait for a pause
    QTimer reduceDelay_;         // a zoom in progress settles before a reduced copy is made
    SizeBadge* badge_ = nullptr;
};

}  // namespace scrivola
