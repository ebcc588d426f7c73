#pragma once

#include "pdf/PDFContextTypes.h"
#include "pdf/PDFPageLayout.h"
#include "pdf/PDFRenderScheduler.h"
#include "pdf/PDFTextSelection.h"
#include "pdf/engine/PDFEngine.h"
#include "pdf/view/InlineTextEditor.h"

#include <QAbstractScrollArea>
#include <QColor>
#include <QFont>
#include <QPointer>
#include <QUrl>

class QPainter;

#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace scrivola {

// What the tools of the tab ask of the view, copied from its context by the bridge.
struct PDFViewTools {
    bool textAnnotationMode = false;
    TextSubMode textSubMode = TextSubMode::select;
    bool whiteoutMode = false;
    // The text format of a new box and of the box being edited.
    QFont font{QStringLiteral("Helvetica"), 14};
    QColor fontColor = Qt::black;
    Qt::Alignment alignment = Qt::AlignLeft;
    bool underline = false;
    bool strikethrough = false;
    // The selected annotations, drawn with the selection border.
    std::vector<PDFAnnotationPtr> selectedAnnotations;
};

// The page view of a PDF tab: pages laid out in one of the four display modes, drawn in tiles by
// the render scheduler at the current scale and device pixel ratio (only visible tiles; a tile
// not drawn yet shows as a white page), scrolled and zoomed.
//
// View points are the widget's own coordinates (y down). Page points are in page space (PDF
// points, origin at the media box's bottom-left, y up); the two are converted in one place,
// pageTransform(). Page sizes are read as pages come into view: until then a page is taken to
// have the first page's size, so opening reads no page beyond the first.
class ScrivolaPDFView : public QAbstractScrollArea {
    Q_OBJECT
public:
    static constexpr double kMinimumScale = 0.1;
    static constexpr double kMaximumScale = 10;
    static constexpr int kTileSize = 256;  // device pixels

    explicit ScrivolaPDFView(QWidget* parent = nullptr);
    ~ScrivolaPDFView() override;

    // Shows `document` (null: nothing) as it is at `revision`.
    void setDocument(PDFDocumentPtr document, quint64 revision = 0);
    const PDFDocumentPtr& document() const { return document_; }
    // The document changed (an edit): pages are laid out and drawn again.
    void setRevision(quint64 revision);

    ViewMode displayMode() const { return mode_; }
    void setDisplayMode(ViewMode mode);
    double scaleFactor() const { return scale_; }
    // Clamped to kMinimumScale…kMaximumScale; the point at the top-left of the view stays.
    void setScaleFactor(double scale);

    // The page at the top of the view (the shown page in the non-continuous modes); -1 when empty.
    int currentPage() const;
    void goToPage(int index);

    // The page under a view point; with `nearest`, the closest page when the point lies beside
    // or between pages. -1 when there is none.
    int pageIndexAt(const QPointF& viewPoint, bool nearest) const;
    // Page space of page `index` to view points, and back.
    QTransform pageTransform(int index) const;
    QPointF convertToPage(const QPointF& viewPoint, int index) const;
    QPointF convertFromPage(const QPointF& pagePoint, int index) const;

    // The text the user selected with the mouse: a drag selects by characters, a double click
    // and drag by words, a triple click by lines. In hand mode drags pan the view instead.
    std::optional<PDFSelection> currentSelection() const;
    void clearSelection();
    void setHandMode(bool hand);
    bool isHandMode() const { return handMode_; }

    // Signature stamping (an item chosen, none being placed): a left press on or beside a page
    // reports signatureStamp() with the point on the nearest page; the cursor is a crosshair.
    void setSignatureStampMode(bool on);
    bool isSignatureStampMode() const { return signatureStampMode_; }

    // "Page N of M" for the page indicator in the view's bottom-right corner; empty without pages.
    QString pageIndicatorText() const;

    const PDFRenderScheduler* scheduler() const { return scheduler_; }
    bool isBoundsReady() const { return boundsReady_; }

    // --- Tools (text boxes, whiteout) ---------------------------------------------------------
    // The gestures are reported through the signals below; the context makes the changes, and
    // the new state comes back through setTools() and setRevision().
    const PDFViewTools& tools() const { return tools_; }
    void setTools(const PDFViewTools& tools);
    // The free-text annotation under a page point (first in the page's order), or null.
    PDFAnnotationPtr freeTextAt(int page, const QPointF& pagePoint) const;

    // --- Inline text editor -----------------------------------------------------------------
    // Opens the editor for a new box whose top-left corner is `pagePoint`, or for `existing`,
    // which is taken off its page while the editor shows it. The editor is anchored in page
    // space: it follows scrolling, zooming and mode switches.
    void showInlineEditor(const QPointF& pagePoint, int page, const PDFAnnotationPtr& existing);
    bool isInlineEditing() const;
    InlineTextEditor* inlineEditor() const { return editor_; }
    // Closes the editor, reporting its text and page rectangle (inlineEditCommitted).
    void commitInlineEditor();
    // Closes the editor without a change; a box being re-edited goes back on its page.
    void cancelInlineEditor();
    // Ends editing for an outside reason (save, undo, page change...): commits when the text is
    // not blank, otherwise cancels, so a box being re-edited is never lost.
    void endInlineEditing();
    // Puts bullets in front of the selected lines of the editor, or takes them away.
    void toggleBulletList();

signals:
    void currentPageChanged(int index);
    void scaleFactorChanged(double scale);
    // The user zoomed with Ctrl and the wheel (not a change made through setScaleFactor alone).
    void userZoomed();
    // Once, the first time the view is laid out larger than 20 × 20 points: it can be fitted.
    void boundsReady();
    // Once per document, when a drawn page first reached the screen.
    void painted();
    void selectionChanged();
    // The mouse was released after selecting text.
    void selectionFinished();
    // A press in signature stamping mode: `pagePoint` in the page space of page `pageIndex`.
    void signatureStamp(const QPointF& pagePoint, int pageIndex);
    // Pages moved on screen (scroll, zoom, layout, resize): what is placed in page space follows.
    void pagesMoved();

    // Gestures of the tools, in page space (points, y up) with zero-based page indices.
    void annotationSelectRequested(const scrivola::PDFAnnotationPtr& annotation);
    void annotationToggleRequested(const scrivola::PDFAnnotationPtr& annotation);
    void annotationsBanded(const std::vector<scrivola::PDFAnnotationPtr>& annotations);
    void annotationSelectionCleared();
    void deleteSelectedRequested();
    void annotationMoved(const scrivola::PDFAnnotationPtr& annotation, const QRectF& from, const QRectF& to, int page);
    void annotationDeleteRequested(const scrivola::PDFAnnotationPtr& annotation, int page);
    void inlineEditBegan(int page, const QPointF& pagePoint, const scrivola::PDFAnnotationPtr& existing);
    void inlineEditCommitted(const QString& text, const QRectF& bounds, int page);
    void inlineEditCancelled();
    void whiteoutRequested(const QRectF& rect, int page);
    void filesDropped(const QList<QUrl>& urls);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void wheelEvent(QWheelEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void relayout();
    void updateScrollBars();
    // Where the laid-out document's origin lies in view points (centred when narrower than the view).
    QPointF documentOrigin() const;
    int shownRow() const;
    // Reads the sizes of the pages in view that are still estimated; true when one differed.
    bool learnSizesOf(const std::vector<int>& pages);
    void noteCurrentPage();
    bool flipAtEdge(int delta);
    void paintPageIndicator(QPainter& painter) const;
    void paintSelection(QPainter& painter, int page, const QRectF& pageArea) const;
    // Fills a tile not drawn yet from the tiles of the scale shown before; false when none is cached.
    bool paintFallback(QPainter& painter, const RenderRequest& tile, const QPointF& pageTopLeft, double dpr) const;
    // The structured text of a page, read once per revision.
    PDFTextSelection::PageTextSource textSource(int page);
    std::optional<TextCaret> caretAt(const QPointF& viewPoint);
    void startSelection(const QPointF& viewPoint, TextSnap snap);
    // The revision tiles are drawn for: the document's, and the view's own changes on top (a
    // box moved live, a box taken off its page while it is edited).
    quint64 renderRevision() const { return (revision_ << 24) + localEdits_; }
    void noteLocalEdit();
    // Tool gestures; each returns whether it took the event.
    bool toolPress(QMouseEvent* event);
    bool toolMove(QMouseEvent* event);
    bool toolRelease(QMouseEvent* event);
    // Ends a drag whose release will not come (Escape, the focus gone): boxes moved live go back
    // where they were and nothing is reported. Returns whether a drag was under way.
    bool cancelDrag();
    void updateToolCursor();
    void paintToolOverlays(QPainter& painter, int page) const;
    // A view point in a page: the page under it (nearest), its page point, and whether the
    // point lies on the page itself.
    struct PagePoint {
        int page = -1;
        QPointF point;
        bool onPage = false;
    };
    PagePoint pagePointAt(const QPointF& viewPoint) const;
    // The page object at an index, null outside the document.
    PDFPagePtr pageObject(int index) const { return document_ ? document_->page(index) : nullptr; }
    // The free-text annotations of a page that a page-space rectangle touches, in page order.
    std::vector<PDFAnnotationPtr> freeTextsIn(int page, const QRectF& rect) const;
    // Opens the editor and reports it, as a gesture does.
    void openInlineEditor(int page, const QPointF& pagePoint, const PDFAnnotationPtr& existing);
    void placeInlineEditor();
    void resizeInlineEditor();
    QString dismissInlineEditor();
    int editorPageIndex() const;
    // Drops what was learnt of the pages (sizes, texts) and the selection: a new document or revision.
    void forgetPageState();
    // The press of stamping mode; false when the event is not one.
    bool stampPress(QMouseEvent* event);

    PDFDocumentPtr document_;
    quint64 revision_ = 0;
    PDFRenderScheduler* scheduler_;  // the application's
    PDFRenderScheduler::DocumentId documentId_ = 0;
    // The device scale of the last picture drawn whole: its tiles stand in after a zoom.
    double fallbackScale_ = 0;
    std::vector<QSizeF> sizes_;
    std::vector<char> known_;
    PDFPageLayout layout_;
    ViewMode mode_ = ViewMode::continuous;
    double scale_ = 1;
    int shownPage_ = 0;  // the non-continuous modes' shown page
    int lastCurrent_ = -1;
    bool boundsReady_ = false;
    int edgeWheel_ = 0;
    bool paintedOnce_ = false;

    std::map<int, PDFPageText> texts_;
    std::optional<TextCaret> anchor_;
    TextSnap snap_ = TextSnap::character;
    PDFSelection selection_;
    bool selecting_ = false;
    bool handMode_ = false;
    std::optional<QPoint> panFrom_;
    QPoint panScroll_;
    bool signatureStampMode_ = false;

    PDFViewTools tools_;
    quint64 localEdits_ = 0;
    // A press on a text box: a click, or the start of moving it and the other selected boxes of
    // its page (their bounds at the press).
    struct BoxPress {
        PDFAnnotationPtr hit;
        int page = -1;
        QPointF pagePoint;
        bool dragging = false;
        std::vector<std::pair<PDFAnnotationPtr, QRectF>> startBounds;
    };
    std::optional<BoxPress> boxPress_;
    // A rubber band or whiteout rectangle being drawn, spanned in the page it started on.
    struct PageDrag {
        enum class Kind { band, whiteout } kind;
        int page = -1;
        QPointF start;
        QPointF current;
        QRectF rect() const { return QRectF(start, current).normalized(); }
    };
    std::optional<PageDrag> pageDrag_;
    std::vector<PDFAnnotationPtr> previewAnnotations_;

    // The inline editor, anchored at a page-space rectangle (its top-left stays put).
    QPointer<InlineTextEditor> editor_;
    PDFPagePtr editorPage_;
    QRectF editorPageBox_;
    double editorFontPoints_ = 14;
    PDFAnnotationPtr hiddenAnnotation_;
    PDFPagePtr hiddenAnnotationPage_;
};

}  // namespace scrivola
