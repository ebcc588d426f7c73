#include "ui/DocumentBottomBar.h"

#include "app/core/Theme.h"
#include "image/ImageDocumentContext.h"
#include "pdf/PDFDocumentContext.h"
#include "thumbnails/view/PageNavigationView.h"
#include "ui/IconButton.h"
#include "workspace/TabItem.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>

#include <algorithm>
#include <cmath>

namespace scrivola {

ViewMode viewModeAfter(DisplayModeButton button, ViewMode current) {
    const bool continuous = isContinuous(current);
    switch (button) {
    case DisplayModeButton::singlePage: return continuous ? ViewMode::continuous : ViewMode::singlePage;
    case DisplayModeButton::twoPages: return continuous ? ViewMode::twoPagesContinuous : ViewMode::twoPages;
    case DisplayModeButton::continuousScroll:
        if (isTwoUp(current)) return continuous ? ViewMode::twoPages : ViewMode::twoPagesContinuous;
        return continuous ? ViewMode::singlePage : ViewMode::continuous;
    }
    return current;
}

DocumentBottomBar::DocumentBottomBar(TabItem* tab, QWidget* parent) : QWidget(parent), tab_(tab) {
    layout_ = new QHBoxLayout(this);
    layout_->setContentsMargins(8, 2, 8, 2);
    layout_->setSpacing(2);
    setFixedHeight(Theme::toolbarHeight - 6);
    build();
    if (tab) connect(tab, &TabItem::contextChanged, this, &DocumentBottomBar::build);
}

IconButton* DocumentBottomBar::control(const QString& name) const {
    return findChild<IconButton*>(name, Qt::FindDirectChildrenOnly);
}

void DocumentBottomBar::build() {
    while (QLayoutItem* item = layout_->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    updaters_.clear();
    navigator_ = nullptr;
    zoomLabel_ = imageName_ = nullptr;
    DocumentContext* context = tab_ ? tab_->context() : nullptr;
    if (!context) return;
    if (auto* pdf = qobject_cast<PDFDocumentContext*>(context)) buildPdf(pdf);
    else if (auto* image = qobject_cast<ImageDocumentContext*>(context)) buildImage(image);
    connect(context, &DocumentContext::zoomLevelChanged, this, &DocumentBottomBar::refresh, Qt::UniqueConnection);
    connect(context, &DocumentContext::currentPageChanged, this, &DocumentBottomBar::refresh, Qt::UniqueConnection);
    refresh();
}

void DocumentBottomBar::refresh() {
    if (!tab_ || !tab_->context()) return;
    for (const auto& update : updaters_) update();
}

IconButton* DocumentBottomBar::addButton(const QString& name, const QString& symbol, const QString& toolTip,
                                         const std::function<void()>& action) {
    return addIconButton(this, layout_, name, symbol, toolTip, action);
}

// The navigator, the fit picker (made by `fitPicker`), a divider and the zoom control.
void DocumentBottomBar::addNavigatorAndZoom(const std::function<void(IconButton*, IconButton*)>& fitPicker) {
    DocumentContext* context = tab_->context();
    const QPointer<DocumentContext> c(context);
    layout_->addStretch(1);
    navigator_ = new PageNavigationView(this);
    navigator_->setContext(context);
    layout_->addWidget(navigator_);
    layout_->addSpacing(8);
    IconButton* fitPage = addButton(QStringLiteral("fitPage"), QStringLiteral("arrow.down.right.and.arrow.up.left"), QString(), {});
    IconButton* fitWidth = addButton(QStringLiteral("fitWidth"), QStringLiteral("arrow.left.and.line.vertical.and.arrow.right"),
                                     QStringLiteral("Fit Width"), {});
    fitPicker(fitPage, fitWidth);
    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::VLine);
    line->setFixedHeight(16);
    line->setForegroundRole(QPalette::Mid);
    layout_->addSpacing(4);
    layout_->addWidget(line);
    layout_->addSpacing(4);
    addButton(QStringLiteral("zoomOut"), QStringLiteral("minus.magnifyingglass"), QStringLiteral("Zoom Out"),
              [c] { if (c) c->zoomOut(); });
    zoomLabel_ = new QLabel(this);
    zoomLabel_->setObjectName(QStringLiteral("zoomLabel"));
    zoomLabel_->setAlignment(Qt::AlignCenter);
    zoomLabel_->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("1000%")) + 6);
    layout_->addWidget(zoomLabel_);
    addButton(QStringLiteral("zoomIn"), QStringLiteral("plus.magnifyingglass"), QStringLiteral("Zoom In"),
              [c] { if (c) c->zoomIn(); });
    QLabel* zoom = zoomLabel_;
    updaters_.push_back([zoom, context] { zoom->setText(QString::number(std::lround(context->zoomLevel() * 100)) + QStringLiteral("%")); });
}

void DocumentBottomBar::buildPdf(PDFDocumentContext* context) {
    const QPointer<PDFDocumentContext> c(context);
    const auto pick = [c](DisplayModeButton button) {
        return [c, button] { if (c) c->setViewMode(viewModeAfter(button, c->viewMode())); };
    };
    IconButton* single = addButton(QStringLiteral("singlePage"), QStringLiteral("rectangle.portrait"), QStringLiteral("Single Page"),
                                   pick(DisplayModeButton::singlePage));
    IconButton* two = addButton(QStringLiteral("twoPages"), QStringLiteral("book"), QStringLiteral("Two Pages"),
                                pick(DisplayModeButton::twoPages));
    IconButton* continuous = addButton(QStringLiteral("continuousScroll"), QStringLiteral("arrow.up.and.down"),
                                       QStringLiteral("Continuous Scroll"), pick(DisplayModeButton::continuousScroll));
    updaters_.push_back([single, two, continuous, context] {
        single->setActive(!isTwoUp(context->viewMode()));
        two->setActive(isTwoUp(context->viewMode()));
        continuous->setActive(isContinuous(context->viewMode()));
    });
    addNavigatorAndZoom([this, c, context](IconButton* fitPage, IconButton* fitWidth) {
        fitPage->setToolTip(QStringLiteral("Fit Page"));
        connect(fitPage, &QToolButton::clicked, this, [c] { if (c) c->chooseAutoFitMode(AutoFitMode::fitPage); });
        connect(fitWidth, &QToolButton::clicked, this, [c] { if (c) c->chooseAutoFitMode(AutoFitMode::fitWidth); });
        updaters_.push_back([fitPage, fitWidth, context] {
            fitPage->setActive(context->autoFitMode() == AutoFitMode::fitPage);
            fitWidth->setActive(context->autoFitMode() == AutoFitMode::fitWidth);
        });
    });
    PageNavigationView* navigator = navigator_;
    updaters_.push_back([navigator, context] { navigator->setTwoUp(isTwoUp(context->viewMode())); });
    connect(context, &PDFDocumentContext::viewChanged, this, &DocumentBottomBar::refresh);
    connect(context, &PDFDocumentContext::autoFitModeChanged, this, &DocumentBottomBar::refresh);
}

void DocumentBottomBar::buildImage(ImageDocumentContext* context) {
    const QPointer<ImageDocumentContext> c(context);
    imageName_ = new QLabel(this);
    imageName_->setObjectName(QStringLiteral("imageName"));
    imageName_->setMaximumWidth(kNameWidth);
    layout_->addWidget(imageName_);
    QLabel* label = imageName_;
    updaters_.push_back([label, context] {
        // The name is elided so that the image count of a collection always shows.
        const QString name = context->currentFileName();
        const bool collection = context->totalPages() > 1;
        const QString count = collection ? QStringLiteral("  ") + context->imageCountText() : QString();
        const QFontMetrics metrics = label->fontMetrics();
        const int room = kNameWidth - metrics.horizontalAdvance(count);
        label->setText(metrics.elidedText(name, Qt::ElideMiddle, std::max(room, 0)) + count);
        label->setToolTip(collection ? name + QStringLiteral(" (") + context->imageCountText() + QStringLiteral(")") : name);
    });
    addNavigatorAndZoom([this, c, context](IconButton* fitImage, IconButton* fitWidth) {
        fitImage->setToolTip(QStringLiteral("Fit Image"));
        connect(fitImage, &QToolButton::clicked, this, [c] { if (c) c->applyFitMode(ImageFitMode::fitPage); });
        connect(fitWidth, &QToolButton::clicked, this, [c] { if (c) c->applyFitMode(ImageFitMode::fitWidth); });
        updaters_.push_back([fitImage, fitWidth, context] {
            fitImage->setActive(context->imageFitMode() == ImageFitMode::fitPage);
            fitWidth->setActive(context->imageFitMode() == ImageFitMode::fitWidth);
        });
    });
    connect(context, &ImageDocumentContext::imageFitModeChanged, this, &DocumentBottomBar::refresh);
    if (ImageDocumentModel* model = context->model()) {
        connect(model, &ImageDocumentModel::entriesChanged, this, &DocumentBottomBar::refresh);
        connect(model, &DocumentContent::urlChanged, this, &DocumentBottomBar::refresh);
    }
}

}  // namespace scrivola
