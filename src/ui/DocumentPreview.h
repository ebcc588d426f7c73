#pragma once

#include "workspace/TabItem.h"

#include <QFutureWatcher>
#include <QImage>
#include <QPointer>
#include <QWidget>

namespace scrivola {

class ImageDocumentContext;

// Shows the current image of an image tab, fitted to the widget, or the empty window's hint (PDF
// tabs have their page view). Pixels are decoded and scaled on a worker thread; a result for an
// older request is dropped.
class DocumentPreview : public QWidget {
    Q_OBJECT
public:
    explicit DocumentPreview(QWidget* parent = nullptr);
    ~DocumentPreview() override;

    void setTab(TabItem* tab);
    TabItem* tab() const { return tab_; }
    bool hasPicture() const { return !picture_.isNull(); }

signals:
    // The first picture of a document was painted.
    void painted();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void scheduleRender();
    void render();
    void renderImage(ImageDocumentContext* context);
    void finish(quint64 generation, const QImage& picture, const QString& message);

    QPointer<TabItem> tab_;
    QList<QMetaObject::Connection> connections_;
    QImage picture_;
    QString message_;
    quint64 generation_ = 0;
    bool renderPending_ = false;
    bool paintedOnce_ = false;
};

}  // namespace scrivola
