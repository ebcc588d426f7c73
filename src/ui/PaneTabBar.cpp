#include "ui/PaneTabBar.h"

#include "ui/Symbols.h"
#include "ui/TabListPopover.h"
#include "app/core/Theme.h"
#include "image/ImageDocumentContext.h"
#include "workspace/AppViewModel.h"
#include "workspace/Pane.h"
#include "workspace/TabItem.h"
#include "workspace/WindowRegistry.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDrag>
#include <QHBoxLayout>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPainterPath>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolButton>
#include <QWheelEvent>

namespace scrivola {

namespace {
constexpr int kTabHeight = Theme::tabBarHeight - 6;
constexpr int kPadding = 8;
constexpr int kCloseSize = 18;

QPointer<TabItemView>& currentDragSource() {
    static QPointer<TabItemView> source;
    return source;
}
}  // namespace

QString tabKindSymbol(const TabItem* tab) {
    return tab && qobject_cast<ImageDocumentContext*>(tab->context()) ? QStringLiteral("photo") : QStringLiteral("doc.richtext");
}

// ---------------------------------------------------------------- tab

TabItemView::TabItemView(PaneTabBar* bar, TabItem* tab, QWidget* parent) : QWidget(parent), bar_(bar), tab_(tab) {
    setAttribute(Qt::WA_Hover);
    setAcceptDrops(true);
    setFixedHeight(kTabHeight);
    setToolTip(tab->content()->displayName());
    close_ = new QToolButton(this);
    close_->setIcon(symbolIcon(QStringLiteral("xmark")));
    close_->setIconSize(QSize(10, 10));
    close_->setAutoRaise(true);
    close_->setToolTip(QStringLiteral("Close Tab"));
    close_->setFixedSize(kCloseSize, kCloseSize);
    connect(close_, &QToolButton::clicked, this, [this] {
        if (tab_ && bar_->model()) bar_->model()->closeTab(*tab_);
    });
}

TabItemView* TabItemView::dragSource() { return currentDragSource(); }

QString TabItemView::shownName() const {
    return tab_ ? fontMetrics().elidedText(tab_->content()->displayName(), Qt::ElideRight, kMaxNameWidth) : QString();
}

QSize TabItemView::sizeHint() const {
    const int name = fontMetrics().horizontalAdvance(shownName());
    return {kPadding + Theme::iconSize + 6 + name + 6 + kCloseSize + kPadding / 2, kTabHeight};
}

void TabItemView::setActive(bool active) {
    if (active_ == active) return;
    active_ = active;
    update();
}

bool TabItemView::event(QEvent* event) {
    switch (event->type()) {
    case QEvent::HoverEnter:
    case QEvent::HoverLeave: update(); break;
    case QEvent::Resize: close_->move(width() - kCloseSize - kPadding / 2, (height() - kCloseSize) / 2); break;
    default: break;
    }
    return QWidget::event(event);
}

void TabItemView::paintEvent(QPaintEvent*) {
    if (!tab_) return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const bool dark = Theme::isDarkPalette(palette());
    const QColor accent = Theme::accent(palette());
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), Theme::smallCornerRadius, Theme::smallCornerRadius);
    if (active_) {
        QColor fill = accent;
        fill.setAlphaF(0.18);
        painter.fillPath(shape, fill);
        painter.fillRect(QRectF(kPadding, height() - 2, width() - 2 * kPadding, 2), accent);
    } else if (underMouse()) {
        painter.fillPath(shape, Theme::hover(dark));
    }
    const QColor ink = active_ ? accent : palette().color(QPalette::WindowText);
    const int side = Theme::iconSize;
    paintSymbol(painter, tabKindSymbol(tab_), QRectF(kPadding, (height() - side) / 2.0, side, side), ink);
    painter.setPen(active_ ? palette().color(QPalette::WindowText) : Theme::textSecondary(dark));
    const QRect text(kPadding + side + 6, 0, kMaxNameWidth, height());
    painter.drawText(text, Qt::AlignVCenter | Qt::AlignLeft, shownName());
}

void TabItemView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !tab_) return QWidget::mousePressEvent(event);
    pressed_ = true;
    pressPosition_ = event->position().toPoint();
    bar_->select(tab_);
}

// A middle click closes the tab, as in the tab bars of other desktop programs.
void TabItemView::mouseReleaseEvent(QMouseEvent* event) {
    pressed_ = false;
    if (event->button() == Qt::MiddleButton && rect().contains(event->position().toPoint()) && tab_ && bar_->model())
        bar_->model()->closeTab(*tab_);
    else
        QWidget::mouseReleaseEvent(event);
}

void TabItemView::mouseMoveEvent(QMouseEvent* event) {
    if (!pressed_ || !(event->buttons() & Qt::LeftButton) || !tab_) return;
    if ((event->position().toPoint() - pressPosition_).manhattanLength() < QApplication::startDragDistance()) return;
    pressed_ = false;
    auto* data = new QMimeData;
    data->setText(tab_->idText());
    // The drag belongs to the application: the tab view may leave its bar while it runs.
    auto* drag = new QDrag(qApp);
    drag->setMimeData(data);
    drag->setPixmap(grab());
    drag->setHotSpot(pressPosition_);
    currentDragSource() = this;
    QPointer<TabItemView> self(this);
    drag->exec(Qt::MoveAction);
    drag->deleteLater();
    if (!self) return;
    currentDragSource() = nullptr;
    if (orphaned_) deleteLater();
}

void TabItemView::orphan() {
    orphaned_ = true;
    hide();
    setParent(nullptr);
}

QMenu* TabItemView::makeContextMenu() {
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    AppViewModel* model = bar_->model();
    QAction* move = menu->addAction(QStringLiteral("Move to New Window"));
    int total = 0;
    if (model)
        for (Pane* pane : model->panes()) total += pane->count();
    WindowRegistry* registry = model ? model->environment().registry : nullptr;
    move->setEnabled(total >= 2 && registry && registry->canOpenWindowWithTab());
    const QPointer<TabItem> tab = tab_;
    const QPointer<AppViewModel> guarded = model;
    connect(move, &QAction::triggered, menu, [guarded, tab] {
        if (!guarded || !tab) return;
        if (WindowRegistry* r = guarded->environment().registry) r->moveTabToNewWindow(*guarded, tab->idText());
    });
    QAction* close = menu->addAction(QStringLiteral("Close Tab"));
    connect(close, &QAction::triggered, menu, [guarded, tab] {
        if (guarded && tab) guarded->closeTab(*tab);
    });
    return menu;
}

void TabItemView::contextMenuEvent(QContextMenuEvent* event) { makeContextMenu()->popup(event->globalPos()); }

int TabItemView::sourceIndex(const QString& text) const {
    Pane* pane = bar_->pane();
    if (!pane) return -1;
    const QString wanted = text.trimmed();
    for (int i = 0; i < pane->count(); ++i)
        if (pane->tabAt(i)->idText() == wanted) return i;
    return -1;
}

void TabItemView::dragEnterEvent(QDragEnterEvent* event) {
    // Only tabs of this pane; everything else is left to the pane.
    if (event->mimeData()->hasText() && !event->mimeData()->hasUrls() && sourceIndex(event->mimeData()->text()) >= 0)
        event->acceptProposedAction();
    else
        event->ignore();
}

void TabItemView::dropEvent(QDropEvent* event) {
    if (dropTabText(event->mimeData()->text()))
        event->acceptProposedAction();
    else
        event->ignore();
}

bool TabItemView::dropTabText(const QString& text) {
    Pane* pane = bar_->pane();
    const int from = sourceIndex(text);
    if (!pane || !tab_ || from < 0) return false;
    const int to = pane->indexOf(tab_->id());
    if (from != to) pane->moveTab(from, to);
    return true;
}

// ---------------------------------------------------------------- bar

PaneTabBar::PaneTabBar(AppViewModel* model, int paneIndex, QWidget* parent) : QWidget(parent), model_(model), paneIndex_(paneIndex) {
    setFixedHeight(Theme::tabBarHeight);
    setAutoFillBackground(true);
    layout_ = new QHBoxLayout(this);
    layout_->setContentsMargins(4, 0, 4, 0);
    layout_->setSpacing(2);
    QToolButton* list = addButton(QStringLiteral("chevron.down"), QStringLiteral("Show All Tabs"));
    connect(list, &QToolButton::clicked, this, [this] {
        if (tabList_) tabList_->close();
        else showTabList();
    });
    scroll_ = new QScrollArea(this);
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setWidgetResizable(true);
    scroll_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll_->setBackgroundRole(QPalette::Window);
    row_ = new QWidget(scroll_);
    rowLayout_ = new QHBoxLayout(row_);
    rowLayout_->setContentsMargins(0, 0, 0, 0);
    rowLayout_->setSpacing(2);
    rowLayout_->addStretch(1);
    scroll_->setWidget(row_);
    // The wheel scrolls the row sideways.
    scroll_->viewport()->installEventFilter(this);
    layout_->addWidget(scroll_, 1);
    connect(addButton(QStringLiteral("plus"), QStringLiteral("Open File")), &QToolButton::clicked, this, [this] {
        if (!model_) return;
        model_->setFocusedPaneIndex(paneIndex_);
        model_->openDocument();
    });
    connect(addButton(QStringLiteral("rectangle"), QStringLiteral("Single View")), &QToolButton::clicked, this, [this] {
        if (model_ && model_->isSplitView()) model_->closeSplitView();
        updateSplitButtons();
    });
    connect(addButton(QStringLiteral("rectangle.split.2x1"), QStringLiteral("Split Horizontal")), &QToolButton::clicked, this,
            [this] {
        if (model_) model_->toggleSplit(SplitDirection::horizontal);
        updateSplitButtons();
    });
    connect(addButton(QStringLiteral("rectangle.split.1x2"), QStringLiteral("Split Vertical")), &QToolButton::clicked, this,
            [this] {
        if (model_) model_->toggleSplit(SplitDirection::vertical);
        updateSplitButtons();
    });
    connect(model, &AppViewModel::panesChanged, this, &PaneTabBar::observe);
    connect(model, &AppViewModel::isSplitViewChanged, this, &PaneTabBar::updateSplitButtons);
    connect(model, &AppViewModel::splitDirectionChanged, this, &PaneTabBar::updateSplitButtons);
    observe();
    updateSplitButtons();
}

PaneTabBar::~PaneTabBar() {
    // A tab whose drag is running outlives the bar until the drag ends.
    for (TabItemView* view : views_)
        if (view == TabItemView::dragSource()) view->orphan();
}

QToolButton* PaneTabBar::addButton(const QString& symbol, const QString& toolTip) {
    auto* button = new QToolButton(this);
    button->setIcon(symbolIcon(symbol));
    button->setIconSize(QSize(Theme::iconSize, Theme::iconSize));
    button->setToolTip(toolTip);
    button->setAccessibleName(toolTip);
    button->setAutoRaise(true);
    layout_->addWidget(button);
    buttons_ << button;
    return button;
}


QToolButton* PaneTabBar::button(const QString& toolTip) const {
    for (QToolButton* b : buttons_)
        if (b->toolTip() == toolTip) return b;
    return nullptr;
}

bool PaneTabBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched == scroll_->viewport() && event->type() == QEvent::Wheel) {
        const auto* wheel = static_cast<QWheelEvent*>(event);
        const QPoint pixels = wheel->pixelDelta();
        const QPoint angle = wheel->angleDelta();
        const int step = !pixels.isNull() ? (pixels.x() != 0 ? pixels.x() : pixels.y())
                                    : (angle.x() != 0 ? angle.x() : angle.y()) * 40 / 120;
        QScrollBar* bar = scroll_->horizontalScrollBar();
        bar->setValue(bar->value() - step);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void PaneTabBar::setPaneIndex(int index) {
    if (index == paneIndex_) return;
    paneIndex_ = index;
    observe();
}

void PaneTabBar::observe() {
    Pane* pane = model_ ? model_->pane(paneIndex_) : nullptr;
    if (pane == pane_ && !paneConnections_.isEmpty()) return;
    for (const auto& c : paneConnections_) disconnect(c);
    paneConnections_.clear();
    pane_ = pane;
    if (pane) {
        paneConnections_ << connect(pane, &Pane::tabsChanged, this, &PaneTabBar::rebuild);
        paneConnections_ << connect(pane, &Pane::tabUrlChanged, this, &PaneTabBar::rebuild);
        paneConnections_ << connect(pane, &Pane::activeTabIDChanged, this, &PaneTabBar::updateActive);
    }
    rebuild();
}

void PaneTabBar::discard(TabItemView* view) {
    if (view == TabItemView::dragSource()) {
        view->orphan();
        return;
    }
    // Later: the view's own button or menu may have caused this.
    view->hide();
    view->deleteLater();
}

void PaneTabBar::rebuild() {
    for (TabItemView* view : views_) {
        rowLayout_->removeWidget(view);
        discard(view);
    }
    views_.clear();
    const QList<TabItem*> tabs = pane_ ? pane_->tabs() : QList<TabItem*>();
    for (TabItem* tab : tabs) {
        auto* view = new TabItemView(this, tab, row_);
        rowLayout_->insertWidget(int(views_.size()), view);
        views_ << view;
    }
    updateActive();
}

void PaneTabBar::updateActive() {
    TabItemView* active = nullptr;
    for (TabItemView* view : views_) {
        const bool is = pane_ && view->tab() && view->tab()->id() == pane_->activeTabID();
        view->setActive(is);
        if (is) active = view;
    }
    if (active) {
        // After the row is laid out, so that the tab has its place.
        QPointer<TabItemView> guard(active);
        QMetaObject::invokeMethod(this, [this, guard] {
            if (guard) scroll_->ensureWidgetVisible(guard, 0, 0);
        }, Qt::QueuedConnection);
    }
}

void PaneTabBar::updateSplitButtons() {
    if (!model_) return;
    const bool split = model_->isSplitView();
    // A click toggles a check by itself; the model's state is what counts.
    const auto mark = [](QToolButton* b, bool on) {
        b->setCheckable(true);
        b->setChecked(on);
    };
    mark(button(QStringLiteral("Single View")), !split);
    mark(button(QStringLiteral("Split Horizontal")), split && model_->splitDirection() == SplitDirection::horizontal);
    mark(button(QStringLiteral("Split Vertical")), split && model_->splitDirection() == SplitDirection::vertical);
}

void PaneTabBar::select(TabItem* tab) {
    if (!model_ || !pane_ || !tab) return;
    model_->setFocusedPaneIndex(paneIndex_);
    pane_->setActiveTabID(tab->id());
}

void PaneTabBar::showTabList() {
    if (!model_) return;
    auto* popover = new TabListPopover(model_, paneIndex_, this);
    tabList_ = popover;
    QToolButton* anchor = button(QStringLiteral("Show All Tabs"));
    popover->move(anchor->mapToGlobal(QPoint(0, anchor->height())));
    popover->show();
}

}  // namespace scrivola
