// Signature stamping in the page view: the crosshair and the press that starts a placement.

#include "pdf/view/ScrivolaPDFView.h"

#include <QMouseEvent>

namespace scrivola {

void ScrivolaPDFView::setSignatureStampMode(bool on) {
    signatureStampMode_ = on;
    updateToolCursor();
}

bool ScrivolaPDFView::stampPress(QMouseEvent* event) {
    if (!signatureStampMode_ || event->button() != Qt::LeftButton || !document_) return false;
    // Beside a page the click goes to the nearest one; the context keeps the picture on it.
    const int page = pageIndexAt(event->position(), true);
    if (page >= 0) emit signatureStamp(convertToPage(event->position(), page), page);
    return true;
}

}  // namespace scrivola
