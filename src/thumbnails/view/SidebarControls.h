#pragma once

#include "pdf/PDFDocumentContext.h"

#include <QPointer>
#include <QWidget>

class QSlider;
class QToolButton;

namespace scrivola {


// The row over the page thumbnails: the sort toggle (reorder by drag when on) and "Delete" for
// the selected pages, dimmed to 35 % while deleting is not allowed.
class SidebarToolbar : public QWidget {
    Q_OBJECT
public:
    explicit SidebarToolbar(PDFDocumentContext* context, QWidget* parent = nullptr);
    QToolButton* sortButton() const { return sort_; }
    QToolButton* deleteButton() const { return delete_; }
    // At least one page selected and fewer than the document has.
    bool canDelete() const;

protected:
    // The icons are drawn in the palette's colours: a new appearance draws them again.
    void changeEvent(QEvent* event) override;

private:
    void refresh();

    QPointer<PDFDocumentContext> context_;
    QToolButton* sort_;
    QToolButton* delete_;
};

// Minus, slider and plus under the thumbnails: the context's thumbnail scale, 0.5 to 1.5 in
// steps of 0.1 by the buttons, continuous by the slider.
class ThumbnailZoomControls : public QWidget {
    Q_OBJECT
public:
    static constexpr double kMinScale = 0.5;
    static constexpr double kMaxScale = 1.5;
    static constexpr double kStep = 0.1;

    explicit ThumbnailZoomControls(PDFDocumentContext* context, QWidget* parent = nullptr);
    QToolButton* minusButton() const { return minus_; }
    QToolButton* plusButton() const { return plus_; }
    QSlider* slider() const { return slider_; }

protected:
    void changeEvent(QEvent* event) override;

private:
    void setIcons();
    void refresh();

    QPointer<PDFDocumentContext> context_;
    QToolButton* minus_;
    QSlider* slider_;
    QToolButton* plus_;
};

}  // namespace scrivola
