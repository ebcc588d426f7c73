#pragma once

#include <QPointer>
#include <QWidget>

class QLabel;

namespace scrivola {

class ImageDocumentContext;
class PageNavigationView;

// The line that goes with an image tab's strip: the shown image's file name (secondary text,
// shortened in the middle), the number of images ("12 images") and, for two or more images,
// the page navigator (at most 250 points wide). Follows the context.
class ImageCollectionBar : public QWidget {
    Q_OBJECT
public:
    explicit ImageCollectionBar(ImageDocumentContext* context, QWidget* parent = nullptr);

    QString fileNameText() const { return fileName_; }
    QString countText() const;
    PageNavigationView* navigation() const { return navigation_; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void refresh();
    void elideName();

    QPointer<ImageDocumentContext> context_;
    QString fileName_;
    QLabel* name_ = nullptr;
    QLabel* count_ = nullptr;
    PageNavigationView* navigation_ = nullptr;
};

}  // namespace scrivola
