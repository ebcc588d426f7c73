#pragma once

#include "pdf/PDFPageLayout.h"
#include "pdf/PDFRenderScheduler.h"
#include "pdf/PDFTextSelection.h"
#include "pdf/engine/PDFEngine.h"

#include <QAbstractScrollArea>

class QPainter;

#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace scrivola {

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

    const PDFRenderScheduler* scheduler() const { return scheduler_.get(); }
    bool isBoundsReady() const { return boundsReady_; }

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

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void relayout();
    void updateScrollBars();
    // Where the laid-out document's origin lies in view points (centred when narrower than the view).
    QPointF documentOrigin() const;
    int shownRow() const;
    // Reads the sizes of the pages in view that are still estimated; true when one differed.
    bool learnSizesOf(const std::vector<int>& pages);
    void noteCurrentPage();
    void paintPageIndicator(QPainter& painter) const;
    void paintSelection(QPainter& painter, int page, const QRectF& pageArea) const;
    // The structured text of a page, read once per revision.
    PDFTextSelection::PageTextSource textSource(int page);
    std::optional<TextCaret> caretAt(const QPointF& viewPoint);
    void startSelection(const QPointF& viewPoint, TextSnap snap);
    // Drops what was learnt of the pages (sizes, texts) and the selection: a new document or revision.
    void forgetPageState();
    // The press of stamping mode; false when the event is not one.
    bool stampPress(QMouseEvent* event);

    PDFDocumentPtr document_;
    quint64 revision_ = 0;
    std::unique_ptr<PDFRenderScheduler> scheduler_;
    std::vector<QSizeF> sizes_;
    std::vector<char> known_;
    PDFPageLayout layout_;
    ViewMode mode_ = ViewMode::continuous;
    double scale_ = 1;
    int shownPage_ = 0;  // the non-continuous modes' shown page
    int lastCurrent_ = -1;
    bool boundsReady_ = false;
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
};

}  // namespace scrivola
