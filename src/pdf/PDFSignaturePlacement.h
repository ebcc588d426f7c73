#pragma once

#include "pdf/engine/PDFEngine.h"

#include <QImage>
#include <QObject>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QUuid>

#include <optional>

namespace scrivola {

class PDFDocumentContext;

// Placing a signature or stamp on one PDF tab: the chosen item and the picture being placed.
// The picture lies at signaturePageRect() on page signaturePlacementPageIndex(), in that page's
// space (PDF points, y up, media-box origin; see PDFEngine.h), so scrolling and zooming never
// move it on the page. It always lies wholly on the page's crop box, follows its page through
// edits and ends when the page goes. Remembered sizes in the store are in view points at the
// current zoom, as the page is shown. All state is set only by the operations. Owned by its
// context.
class PDFSignaturePlacement : public QObject {
    Q_OBJECT
public:
    static constexpr double kMinimumSignatureWidth = 60;  // page points, as the page is shown
    static constexpr double kMinimumSignatureHeight = 30;

    explicit PDFSignaturePlacement(PDFDocumentContext* context);

    const std::optional<QUuid>& selectedSignatureId() const { return selectedSignatureId_; }
    bool isPlacingSignature() const { return isPlacingSignature_; }
    const QImage& placingSignatureImage() const { return placingSignatureImage_; }
    const QRectF& signaturePageRect() const { return signaturePageRect_; }
    QSizeF signatureSize() const { return signaturePageRect_.size(); }
    int signaturePlacementPageIndex() const { return signaturePlacementPageIndex_; }

    // Selects the item, or deselects it when it is selected; a placement in progress ends.
    void toggleSignatureSelection(const QUuid& id);
    // A click in stamping mode at `pagePoint` (page space) on page `pageIndex`: starts placing
    // the selected item centred on the click at the size it was last placed at (no smaller than
    // the minimum), shrunk and moved as needed to lie wholly on the page.
    void handleSignatureStamp(const QPointF& pagePoint, int pageIndex);
    // Moves or resizes the picture being placed to `pageRect` (page space of the placement
    // page), shrunk and moved as needed to lie wholly on the page. Nothing while not placing.
    void moveSignaturePlacement(const QRectF& pageRect);
    // Burns the picture in at signaturePageRect() on its page as one undo step, remembers the
    // size in the store and ends the placement; the item stays selected.
    void confirmSignaturePlacement();
    void cancelSignaturePlacement();
    // Nothing selected, nothing being placed: the view leaves stamping mode.
    void clearSignatureSelection();

    // --- The signature sidebar's edits of the store ---------------------------------------
    // Deletes a non-built-in item from the store; a deleted selected item is deselected, and any
    // placement in progress ends. Returns whether the item was deleted.
    bool deleteSignature(const QUuid& id);
    // Renames an item to `text` without the spaces and tabs at either end (line breaks stay);
    // a name that is empty after trimming leaves the old one. Returns whether it was renamed.
    bool renameSignature(const QUuid& id, const QString& text);
    // `text` without spaces and tabs at either end.
    static QString trimmedName(const QString& text);
    // `rect` (page space) made to lie wholly on `box`: scaled down about its centre, keeping its
    // proportions, when larger, then moved inside.
    static QRectF fitOnPage(const QRectF& rect, const QRectF& box);

signals:
    // The selected item, whether a placement is in progress, or its page or rectangle changed.
    void changed();
    void placingSignatureImageChanged();

private:
    // After an edit: the placement follows its page to its new index and fits its (possibly
    // changed) crop box, or ends when the page is gone.
    void followPlacementPage();
    void setPlacement(int pageIndex, const QRectF& pageRect);

    PDFDocumentContext* context_;
    std::optional<QUuid> selectedSignatureId_;
    bool isPlacingSignature_{false};
    QImage placingSignatureImage_;
    QRectF signaturePageRect_{0, 0, 200, 80};
    int signaturePlacementPageIndex_{0};
    PDFPagePtr signaturePlacementPage_;  // the page object, followed when pages move
};

}  // namespace scrivola
