#include "image/view/ImageCollectionBar.h"

#include "app/core/Theme.h"
#include "image/ImageDocumentContext.h"
#include "thumbnails/view/PageNavigationView.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>

namespace scrivola {

ImageCollectionBar::ImageCollectionBar(ImageDocumentContext* context, QWidget* parent)
    : QWidget(parent), context_(context) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(12, 4, 12, 4);
    layout->setSpacing(12);
    name_ = new QLabel(this);
    name_->setMinimumWidth(40);
    name_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    count_ = new QLabel(this);
    navigation_ = new PageNavigationView(this);
    navigation_->setMaximumWidth(250);
    navigation_->setContext(context);
    layout->addWidget(name_, 1);
    layout->addWidget(navigation_);
    layout->addWidget(count_);
    if (context_) {
        connect(context_, &DocumentContext::currentPageChanged, this, &ImageCollectionBar::refresh);
        if (ImageDocumentModel* model = context_->model())
            connect(model, &ImageDocumentModel::entriesChanged, this, &ImageCollectionBar::refresh);
    }
    refresh();
}

QString ImageCollectionBar::countText() const { return count_->text(); }

void ImageCollectionBar::refresh() {
    fileName_ = context_ ? context_->currentFileName() : QString();
    count_->setText(context_ ? context_->imageCountText() : QString());
    navigation_->setVisible(context_ && context_->totalPages() >= 2);
    QPalette palette = name_->palette();
    palette.setColor(QPalette::WindowText, Theme::textSecondary(Theme::isDarkPalette(this->palette())));
    name_->setPalette(palette);
    elideName();
}

void ImageCollectionBar::elideName() {
    name_->setText(name_->fontMetrics().elidedText(fileName_, Qt::ElideMiddle, name_->width()));
    name_->setToolTip(fileName_);
}

void ImageCollectionBar::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    elideName();
}

void ImageCollectionBar::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::FontChange) refresh();
}

}  // namespace scrivola
