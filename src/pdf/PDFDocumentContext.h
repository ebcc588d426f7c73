#pragma once

#include "pdf/PDFContextTypes.h"
#include "pdf/PDFDocumentModel.h"
#include "pdf/PDFExportPresenter.h"
#include "pdf/PDFSearchSession.h"
#include "pdf/PDFSignaturePlacement.h"
#include "pdf/PDFTextBoxTool.h"
#include "pdf/PDFPrinting.h"
#include "pdf/PDFViewHandle.h"
#include "signature/SignatureStorageService.h"
#include "workspace/DocumentContent.h"
#include "workspace/UndoManager.h"

#include <QImage>
#include <QRectF>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <set>
#include <vector>

namespace scrivola {

class PDFEditingService;

// The per-tab state of an open PDF: view state (zoom, fit, layout, pages, sidebars), undo
// availability and the operations that change them. The search (search()), the text-box tool
// (textTool()) and the signature placement (signaturePlacement()) are parts of their own.
// Views observe the change signals and call the operations; they hold no document state.
// The context does not own its model: the tab owns both.
class PDFDocumentContext : public DocumentContext, public SearchCapable {
    Q_OBJECT
public:
    explicit PDFDocumentContext(PDFDocumentModel* model, QObject* parent = nullptr);
    ~PDFDocumentContext() override;

    DocumentType documentType() const override { return DocumentType::pdf; }
    // Ends the text-box editor of the view, if one is open (see PDFTextBoxTool::endInlineEditing()).
    void endPendingEdits() override { textTool_->endInlineEditing(); }
    PDFDocumentModel* model() const { return model_.data(); }

    // --- Zoom ---------------------------------------------------------------------------
    double zoomLevel() const override { return zoomLevel_; }
    // Written by the view bridge after a fit or a gesture; values that are not positive and
    // finite are ignored.
    void setZoomLevel(double value);
    void zoomIn() override;
    void zoomOut() override;
    void zoomToFit() override;
    void zoomToActualSize() override;
    // A fit mode chosen by the user: the view refits.
    void chooseAutoFitMode(AutoFitMode mode);

    // --- Navigation ---------------------------------------------------------------------
    int currentPage() const override { return currentPage_; }
    // Written by the view bridge when the user scrolls; kept inside the document.
    void setCurrentPage(int index);
    int totalPages() const override;
    void goToPage(int index) override;
    void goToNextPage() override;
    void goToPreviousPage() override;

    // --- Text boxes and the annotation selection -----------------------------------------
    PDFTextBoxTool* textTool() const { return textTool_; }

    // --- Search ---------------------------------------------------------------------------
    PDFSearchSession* search() const { return search_; }
    void nextResult() override;
    void previousResult() override;

    // --- Page editing -------------------------------------------------------------------
    // The tab's editing service over the model, editing through this context; created on first use.
    PDFEditingService* editingService();
    // Rotates the selected pages, or the current page when none is selected, as one undo step.
    void rotatePages(int degrees);
    // Deletes the pages (never all of them); the surviving selected pages stay selected.
    void deletePages(const std::set<int>& indices);
    void deleteSelectedPages();
    // Moves a page as PDFEditingService::movePage does.
    void movePage(int from, int to);
    // Moves several pages together as PDFEditingService::movePages does.
    void movePages(const std::set<int>& indices, int to);
    // Rotates exactly these pages by `degrees`, as one undo step.
    void rotatePages(const std::set<int>& indices, int degrees);
    // Writes copies of the pages (ascending) into a new PDF at the file the export presenter
    // chooses, proposing "Page N.pdf" or "Pages (N).pdf"; never over the open document's own
    // file (a free "<name> 2.pdf" beside it is used instead). Returns the file written; empty
    // when cancelled, without a presenter or when the write failed. The document is untouched.
    QString exportPages(const std::set<int>& indices);
    // Export: the selected pages, or else the current page.
    std::set<int> exportTargets() const override;
    void exportItems(const std::set<int>& indices) override { exportPages(indices); }
    static QString proposedExportName(int firstPageIndex, int pageCount);
    PDFExportPresenter* exportPresenter() const { return exportPresenter_; }
    void setExportPresenter(PDFExportPresenter* presenter) { exportPresenter_ = presenter; }

    // --- Page selection -----------------------------------------------------------------
    void togglePageSelection(int index);
    void extendSelection(int index);

    // --- View -----------------------------------------------------------------------------
    // The view currently on screen (held weakly: views belong to the view layer), or null.
    std::shared_ptr<PDFViewHandle> pdfView() const { return pdfView_.lock(); }
    void setPdfView(const std::shared_ptr<PDFViewHandle>& view) { pdfView_ = view; }

    // --- Printing -----------------------------------------------------------------------
    PDFPrintPresenter* printPresenter() const { return printPresenter_; }
    void setPrintPresenter(PDFPrintPresenter* presenter) { printPresenter_ = presenter; }
    // Prints the selected pages in ascending order, or every page when none is selected, on
    // the device the presenter supplies. Returns whether anything was printed; without a
    // presenter, or when the user cancels, nothing happens.
    bool printDocument();

    // --- Signature store (held weakly; owned by the window's services) ------------------
    SignatureStorageService* signatureStorage() const { return signatureStorage_.data(); }
    void setSignatureStorage(SignatureStorageService* storage) { signatureStorage_ = storage; }

    // --- Highlight and whiteout -----------------------------------------------------------
    // The toolbar toggles. Turning highlight or whiteout mode on turns the other two of
    // highlight, whiteout and text annotation mode off; turning one off touches nothing else.
    void toggleHighlightMode();
    void toggleWhiteoutMode();
    // Highlights the view's current text selection: one highlight annotation per line (on the
    // first page the line touches) in highlightColor(), all in one undo step; then clears the
    // view's selection. Returns how many were added (0: nothing changed, the selection stays).
    int highlightSelection();
    // Removes what `rect` (page space, clipped to the media box) covers on the page at `index`
    // (text, image pixels; line art is painted white) by replacing the page with a flattened,
    // whitened copy, as one undo step. Rectangles of 2 points or less in either direction after
    // clipping, and pages that do not exist, change nothing. Returns whether the page changed.
    bool applyWhiteout(const QRectF& rect, int index);

    // --- Signature placement ------------------------------------------------------------------
    PDFSignaturePlacement* signaturePlacement() const { return signaturePlacement_; }
    // Draws `image` into `rect` (page space), upright as the page is shown and clipped to the
    // page, by replacing the page with a flattened copy, as one undo step. Returns whether the
    // page changed (not for a null image, a missing page or a rectangle off the page).
    bool flattenSignature(const QImage& image, const QRectF& rect, int index);

    // --- View state: display, sidebars, selected pages, fit ------------------------------
    ViewMode viewMode() const { return viewMode_; }
    bool isTextSelectionMode() const { return isTextSelectionMode_; }
    bool isSidebarVisible() const { return isSidebarVisible_; }
    double sidebarWidth() const { return sidebarWidth_; }
    double thumbnailScale() const { return thumbnailScale_; }
    SidebarMode sidebarMode() const { return sidebarMode_; }
    const std::set<int>& selectedPages() const { return selectedPages_; }
    AutoFitMode autoFitMode() const { return autoFitMode_; }
    bool needsAutoFit() const { return needsAutoFit_; }
    void setViewMode(ViewMode value);
    void setTextSelectionMode(bool value);
    void setSidebarVisible(bool value);
    void setSidebarWidth(double value);
    void setThumbnailScale(double value);
    void setSidebarMode(SidebarMode value);
    void setSelectedPages(const std::set<int>& value);
    void setAutoFitMode(AutoFitMode value);
    void setNeedsAutoFit(bool value);

    // --- Tool modes, sidebars and sheets --------------------------------------------------
    HighlightColor highlightColor() const { return highlightColor_; }
    bool isHighlightMode() const { return isHighlightMode_; }
    bool isWhiteoutMode() const { return isWhiteoutMode_; }
    bool isAnnotationsSidebarVisible() const { return isAnnotationsSidebarVisible_; }
    bool isSignatureSidebarVisible() const { return isSignatureSidebarVisible_; }
    bool isCompressSheetVisible() const { return isCompressSheetVisible_; }
    void setHighlightColor(HighlightColor value);
    void setHighlightMode(bool value);
    void setWhiteoutMode(bool value);
    void setAnnotationsSidebarVisible(bool value);
    void setSignatureSidebarVisible(bool value);
    void setCompressSheetVisible(bool value);
    // Shows the annotations sidebar in place of the search and signature sidebars.
    void openAnnotationsSidebar();
    // Hides the signature sidebar; nothing stays selected for stamping and a placement ends.
    void closeSignatureSidebar();
    // Shows the signature sidebar (hiding the search and annotations sidebars) or closes it.
    void toggleSignatureSidebar();

signals:
    // The display mode, hand or text-selection mode, or the need to refit changed.
    void viewChanged();
    void autoFitModeChanged();
    void selectedPagesChanged();
    // A sidebar's visibility, width or mode, the thumbnail scale or the compress sheet changed.
    void panelsChanged();
    // The highlight colour, or highlight or whiteout mode, changed.
    void toolModesChanged();

protected:
    void markDocumentModified() override;
    // An undone insertion or a redone deletion can shorten the document.
    void didUndoOrRedo() override { clampCurrentPage(); }

private:
    friend class PDFTextBoxTool;  // edits through commitPlacements()
    // Replaces `page` by what `makeReplacement` builds, as one undo step named `name`; false when
    // building or swapping failed (the document is then unchanged).
    bool commitPageReplacement(const QString& name, const PDFPagePtr& page,
                               const std::function<PDFPagePtr()>& makeReplacement);
    // Puts each annotation on its page (present) or takes it off, as one undo step named `name`.
    struct Placement {
        PDFAnnotationPtr annotation;
        PDFPagePtr page;
        bool present;
    };
    void commitPlacements(const QString& name, const std::vector<Placement>& placements);
    void clampCurrentPage();

    QPointer<PDFDocumentModel> model_;
    int currentPage_ = 0;
    double zoomLevel_{1.0};
    ViewMode viewMode_{ViewMode::singlePage};
    bool isTextSelectionMode_{true};
    bool isSidebarVisible_{true};
    double sidebarWidth_{200.0};
    double thumbnailScale_{1.0};
    SidebarMode sidebarMode_{SidebarMode::view};
    std::set<int> selectedPages_;
    AutoFitMode autoFitMode_{AutoFitMode::fitPage};
    bool needsAutoFit_{true};
    std::weak_ptr<PDFViewHandle> pdfView_;
    PDFPrintPresenter* printPresenter_ = nullptr;
    PDFEditingService* editingService_ = nullptr;  // child object, created on first use
    PDFExportPresenter* exportPresenter_ = nullptr;
    PDFSearchSession* search_;  // child object
    PDFTextBoxTool* textTool_;  // child object
    PDFSignaturePlacement* signaturePlacement_;  // child object

    HighlightColor highlightColor_{HighlightColor::yellow};
    bool isHighlightMode_{false};
    bool isWhiteoutMode_{false};
    bool isAnnotationsSidebarVisible_{false};
    bool isSignatureSidebarVisible_{false};
    bool isCompressSheetVisible_{false};
    QPointer<SignatureStorageService> signatureStorage_;
};

}  // namespace scrivola
