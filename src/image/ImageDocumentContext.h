#pragma once

#include "image/ImageDocumentModel.h"
#include "workspace/DocumentContent.h"

#include <QImage>
#include <QList>
#include <QPointer>
#include <QSet>
#include <QSizeF>

#include <optional>
#include <set>

namespace scrivola {

enum class ImageFitMode { fitPage, fitWidth, manual };

// The per-tab state of an image tab: the image shown, its fit and zoom, the thumbnail selection,
// the sidebar and compression sheet, and the undo history of image edits. Does not own the model.
class ImageExportPresenter;
class ImagePrintPresenter;

class ImageDocumentContext : public DocumentContext {
    Q_OBJECT
public:
    explicit ImageDocumentContext(ImageDocumentModel* model, QObject* parent = nullptr);

    DocumentType documentType() const override { return DocumentType::image; }
    ImageDocumentModel* model() const { return model_; }

    // NavigationCapable: each image of the collection counts as one page.
    int currentPage() const override { return currentPage_; }
    int totalPages() const override;
    void goToPage(int index) override;
    void goToNextPage() override;
    void goToPreviousPage() override;

    // ZoomCapable
    double zoomLevel() const override { return zoomLevel_; }
    void zoomIn() override;
    void zoomOut() override;
    void zoomToFit() override;
    void zoomToActualSize() override;
    // Set by the canvas when it zooms (magnification gestures, automatic fit).
    void setZoomLevel(double level);

    ImageFitMode imageFitMode() const { return imageFitMode_; }
    void setImageFitMode(ImageFitMode mode);
    // The fit picker's buttons ("Fit Image", "Fit Width"): choose the mode and request a fit.
    void applyFitMode(ImageFitMode mode);
    bool needsAutoFit() const { return needsAutoFit_; }
    void setNeedsAutoFit(bool needed);

    // The scale an automatic fit gives an image of `imageSize` points in a visible area of
    // `visibleSize`: at most 1 (a small image shows at its actual size), at least the zoom
    // range's minimum; none when the image has no area. Manual mode answers the current zoom.
    std::optional<double> autoFitScale(QSizeF imageSize, QSizeF visibleSize) const;
    // Performs a pending automatic fit: stores the scale and clears needsAutoFit. Returns false
    // (and leaves the request pending) when the image has no area.
    bool performAutoFit(QSizeF imageSize, QSizeF visibleSize);

    // The index of the image shown: currentPage, or 0 when that is out of range; -1 when empty.
    int shownIndex() const;
    QImage shownImage() const;
    // The shown entry's file name with extension; empty when there is none.
    QString currentFileName() const;
    // "12 images"
    QString imageCountText() const;

    bool isSidebarVisible() const { return isSidebarVisible_; }
    void setSidebarVisible(bool visible);
    double sidebarWidth() const { return sidebarWidth_; }
    void setSidebarWidth(double width);
    bool isCompressSheetVisible() const { return isCompressSheetVisible_; }
    void setCompressSheetVisible(bool visible);

    const QSet<int>& selectedImages() const { return selectedImages_; }
    void setSelectedImages(const QSet<int>& indices);
    void toggleImageSelection(int index);
    void extendImageSelection(int index);
    // What export acts on: the selection in ascending order, or else the current image.
    QList<int> exportTargetIndices() const;
    std::set<int> exportTargets() const override;
    void exportItems(const std::set<int>& indices) override { exportImages(indices); }

    // Takes the images at these indices out of the collection (their files stay untouched), in
    // descending order; the image shown stays shown while it remains, the selection empties and
    // the image is fitted again. The collection counts as modified. Indices out of range are
    // ignored; nothing happens when the others would leave no image. No undo step: undo steps
    // name their entries, and those of deleted entries do nothing.
    void deleteImages(const QSet<int>& indices);
    // Whether deleteImages would remove anything.
    bool canDeleteImages(const QSet<int>& indices) const;
    // Files dropped onto the collection: the images among them (by type; PDFs and other files
    // are ignored) not yet in it are appended, and the first one added is shown. Returns whether
    // the collection grew.
    bool addDroppedFiles(const QStringList& paths);

    // Rotates one image by whole degrees, positive meaning clockwise, with an undo step.
    void rotateImageAt(int index, int degrees);

    // Export and printing (ImageDocumentExport.cpp) ask the user through these presenters (the
    // app's dialogs, a test's fakes), which must outlive the context; without one they do nothing.
    void setExportPresenter(ImageExportPresenter* presenter) { exportPresenter_ = presenter; }
    void setPrintPresenter(ImagePrintPresenter* presenter) { printPresenter_ = presenter; }
    // Asks for the format, then for a file (one image) or a folder (several), and writes each
    // image there by its name with the chosen extension. Outputs never overwrite the collection's
    // own files nor each other ("name 2.jpeg", ...); errors are ignored.
    void exportImages(const std::set<int>& indices);
    // Prints the selected images in ascending order, or every image when none is selected: one
    // image a page, scaled to fit (also enlarged) and centred.
    void printImage();

signals:
    void imageFitModeChanged(scrivola::ImageFitMode mode);
    void needsAutoFitChanged(bool needed);
    void sidebarVisibleChanged(bool visible);
    void sidebarWidthChanged(double width);
    void selectedImagesChanged();
    void compressSheetVisibleChanged(bool visible);

protected:
    void markDocumentModified() override;
    // The image shown may have a new size: it is fitted again.
    void didUndoOrRedo() override { setNeedsAutoFit(true); }

private:
    void setCurrentPage(int page);
    // Keeps the shown image, the selection and the fit in step when an entry leaves.
    void entryRemoved(int index);

    QPointer<ImageDocumentModel> model_;
    int currentPage_ = 0;
    double zoomLevel_ = 1.0;
    ImageFitMode imageFitMode_ = ImageFitMode::fitPage;
    bool needsAutoFit_ = true;
    bool isSidebarVisible_ = false;
    double sidebarWidth_ = 200.0;
    QSet<int> selectedImages_;
    bool isCompressSheetVisible_ = false;
    ImageExportPresenter* exportPresenter_ = nullptr;
    ImagePrintPresenter* printPresenter_ = nullptr;
};

}  // namespace scrivola
