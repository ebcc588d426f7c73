#pragma once

#include "pdf/PDFDocumentContext.h"

#include "pdf/PDFRenderScheduler.h"

#include <QObject>
#include <QPointer>
#include <QSizeF>

#include <vector>

namespace scrivola {


// The page pictures of a thumbnail sidebar, drawn by the application's render scheduler at
// thumbnail priority and cached there under the context's documentRevision: an edit, undo or
// redo brings new pictures (the ones before stand in until they come); an unchanged revision
// reuses the cache. Pages are measured only when asked for, so a long document opens fast.
class ThumbnailRenderer : public QObject {
    Q_OBJECT
public:
    explicit ThumbnailRenderer(PDFDocumentContext* context, QObject* parent = nullptr);
    ~ThumbnailRenderer() override;

    int pageCount() const;
    int revision() const;
    // The page as shown (crop box, rotation applied) in points; empty when it has no page.
    QSizeF pageSize(int page);
    bool isMeasured(int page) const;
    // The picture of `page` fitting a frame of `frame` points at twice its size (more on screens
    // of a higher pixel ratio), never at the page's own size.
    RenderRequest requestFor(int page, const QSizeF& frame, double devicePixelRatio);
    static double pictureScale(const QSizeF& pageSize, const QSizeF& frame, double devicePixelRatio);

    // As PDFRenderScheduler::request, cached and placeholder.
    QImage request(const RenderRequest& request) { return scheduler_ ? scheduler_->request(request) : QImage(); }
    QImage cached(const RenderRequest& request) const { return scheduler_ ? scheduler_->cached(request) : QImage(); }
    QImage placeholder(const RenderRequest& request) const {
        return scheduler_ ? scheduler_->placeholder(request) : QImage();
    }
    // Drops the queued work of pages no longer in view.
    void cancelExcept(const std::vector<RenderRequest>& wanted);
    PDFRenderScheduler* scheduler() const { return scheduler_; }

signals:
    // A picture of the current revision arrived.
    void rendered(int page);
    // The document changed: pages may have come, gone, turned or moved.
    void revisionChanged();

private:
    void registerDocument();
    void forgetSizes();

    QPointer<PDFDocumentContext> context_;
    QPointer<PDFRenderScheduler> scheduler_;
    PDFRenderScheduler::DocumentId documentId_ = 0;
    std::vector<QSizeF> sizes_;  // by page; empty while not measured
};

}  // namespace scrivola
