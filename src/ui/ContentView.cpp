#include "ui/ContentView.h"

#include "ui/PaneView.h"
#include "app/core/Theme.h"
#include "workspace/AppViewModel.h"
#include "workspace/Pane.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace scrivola {

SplitResizeHandle::SplitResizeHandle(AppViewModel* model, QWidget* content, QWidget* parent)
    : QWidget(parent), model_(model), content_(content) {
    updateDirection();
}

bool SplitResizeHandle::isVertical() const { return model_ && model_->splitDirection() == SplitDirection::vertical; }

void SplitResizeHandle::updateDirection() {
    setCursor(isVertical() ? Qt::SplitVCursor : Qt::SplitHCursor);
    update();
}

void SplitResizeHandle::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window));
    const QColor line = Theme::border(Theme::isDarkPalette(palette()));
    if (isVertical())
        painter.fillRect(QRect(0, height() / 2, width(), 1), line);
    else
        painter.fillRect(QRect(width() / 2, 0, 1, height()), line);
}

void SplitResizeHandle::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !model_) return QWidget::mousePressEvent(event);
    dragging_ = true;
    dragStartRatio_ = model_->splitRatio();
    dragStart_ = event->globalPosition();
}

void SplitResizeHandle::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging_ || !model_) return;
    const bool vertical = isVertical();
    const int extent = vertical ? content_->height() : content_->width();
    if (extent <= 0) return;
    const QPointF moved = event->globalPosition() - dragStart_;
    const double delta = (vertical ? moved.y() : moved.x()) / extent;
    model_->setSplitRatio(std::clamp(dragStartRatio_ + delta, kMinRatio, kMaxRatio));
}

void SplitResizeHandle::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) dragging_ = false;
}

// ---------------------------------------------------------------- content

ContentView::ContentView(AppViewModel* model, DocumentAreaCache* areas, DialogPrompter* prompter, QWidget* parent)
    : QWidget(parent), model_(model), areas_(areas), prompter_(prompter) {
    handle_ = new SplitResizeHandle(model, this, this);
    connect(model, &AppViewModel::panesChanged, this, &ContentView::syncPanes);
    connect(model, &AppViewModel::isSplitViewChanged, this, &ContentView::layoutPanes);
    connect(model, &AppViewModel::splitRatioChanged, this, &ContentView::layoutPanes);
    connect(model, &AppViewModel::splitDirectionChanged, this, [this] {
        handle_->updateDirection();
        layoutPanes();
    });
    syncPanes();
}

QList<PaneView*> ContentView::paneViews() const {
    QList<PaneView*> views;
    for (const auto& [pane, view] : views_) views << view;
    return views;
}

PaneView* ContentView::paneView(int index) const { return index >= 0 && index < views_.size() ? views_[index].second : nullptr; }

// One view per pane of the model, in its order; views of panes gone are dropped (later: a
// button of theirs may have closed the split).
void ContentView::syncPanes() {
    if (!model_) return;
    const QList<Pane*> panes = model_->panes();
    QList<QPair<QPointer<Pane>, PaneView*>> next;
    for (int i = 0; i < panes.size(); ++i) {
        PaneView* view = nullptr;
        for (int j = 0; j < views_.size(); ++j)
            if (views_[j].first == panes[i]) view = views_.takeAt(j).second;
        if (!view) {
            view = new PaneView(model_, i, areas_, prompter_, this);
            connect(view, &PaneView::documentPainted, this, &ContentView::documentPainted);
        }
        view->setPaneIndex(i);
        next.append({panes[i], view});
    }
    for (const auto& [pane, view] : views_) {
        view->setPaneIndex(-1);
        view->hide();
        view->deleteLater();
    }
    views_ = next;
    layoutPanes();
}

void ContentView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layoutPanes();
}

void ContentView::layoutPanes() {
    if (!model_ || views_.isEmpty()) return;
    const bool split = model_->isSplitView() && views_.size() >= 2;
    if (!split) {
        handle_->hide();
        views_[0].second->setGeometry(rect());
        views_[0].second->show();
        for (int i = 1; i < views_.size(); ++i) views_[i].second->hide();
        return;
    }
    const bool vertical = model_->splitDirection() == SplitDirection::vertical;
    const int extent = vertical ? height() : width();
    const int half = SplitResizeHandle::kThickness / 2;
    const int first = std::clamp(int(std::lround(model_->splitRatio() * extent)) - half, 0, std::max(0, extent - 2 * half));
    const int second = first + SplitResizeHandle::kThickness;
    if (vertical) {
        views_[0].second->setGeometry(0, 0, width(), first);
        handle_->setGeometry(0, first, width(), SplitResizeHandle::kThickness);
        views_[1].second->setGeometry(0, second, width(), std::max(0, height() - second));
    } else {
        views_[0].second->setGeometry(0, 0, first, height());
        handle_->setGeometry(first, 0, SplitResizeHandle::kThickness, height());
        views_[1].second->setGeometry(second, 0, std::max(0, width() - second), height());
    }
    views_[0].second->show();
    views_[1].second->show();
    handle_->show();
    handle_->raise();
}

}  // namespace scrivola
