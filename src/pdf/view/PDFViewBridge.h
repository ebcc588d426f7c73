#pragma once

#include <QObject>
#include <QPointer>

#include <memory>

namespace scrivola {

class PDFDocumentContext;
class PDFViewHandle;
class ScrivolaPDFView;
class SignaturePlacementOverlay;

// Keeps a tab's context and its page view in step. What the user asked for (page, zoom, fit mode,
// display mode, the document and its revision) goes from the context into the view; what the
// user did in the view (scrolling to another page, zooming) comes back. The last values pushed
// into the view stop the two from echoing each other. It belongs to the view.
class PDFViewBridge : public QObject {
    Q_OBJECT
public:
    PDFViewBridge(PDFDocumentContext* context, ScrivolaPDFView* view);

    // Brings the view up to the context: document, display mode, then fit, page and zoom.
    void update();
    // Fits the current page to the view as the context's fit mode says; false when the view or
    // the page has no size yet (the fit is then retried on the next update).
    bool applyAutoFit();

private:
    void applyState();
    // Stamping mode while an item is chosen and none is being placed; the placement overlay while
    // one is.
    void updateSignaturePlacement();
    void connectTools();
    void applyTools();

    QPointer<PDFDocumentContext> context_;
    ScrivolaPDFView* view_;
    // What the context may ask of the view (its selection, its points); the context holds it weakly.
    std::shared_ptr<PDFViewHandle> handle_;
    int lastAppliedPage_ = -1;
    double lastAppliedScale_ = -1;
    bool isApplyingFit_ = false;
    QPointer<SignaturePlacementOverlay> placementOverlay_;
};

}  // namespace scrivola
