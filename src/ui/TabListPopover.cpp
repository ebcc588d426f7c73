#include "ui/TabListPopover.h"

#include "ui/PaneTabBar.h"
#include "ui/Symbols.h"
#include "workspace/AppViewModel.h"
#include "workspace/Pane.h"
#include "workspace/TabItem.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

namespace scrivola {

namespace {
constexpr int kMinWidth = 220;
constexpr int kMaxWidth = 320;
constexpr int kMaxListHeight = 300;
constexpr int kIdRole = Qt::UserRole;
constexpr int kActiveRole = Qt::UserRole + 1;

// Rows as the style draws them, with a checkmark at the right end of the active tab's row.
class RowDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QStyleOptionViewItem shortened = option;
        if (index.data(kActiveRole).toBool()) shortened.rect.setRight(option.rect.right() - 24);
        QStyledItemDelegate::paint(painter, shortened, index);
        if (!index.data(kActiveRole).toBool()) return;
        const int side = 14;
        const QRectF mark(option.rect.right() - side - 6, option.rect.center().y() - side / 2.0, side, side);
        paintSymbol(*painter, QStringLiteral("checkmark"), mark, option.palette.color(QPalette::Text));
    }
};
}  // namespace

TabListPopover::TabListPopover(AppViewModel* model, int paneIndex, QWidget* parent)
    : QFrame(parent, Qt::Popup), model_(model), paneIndex_(paneIndex) {
    setAttribute(Qt::WA_DeleteOnClose);
    setFrameShape(QFrame::StyledPanel);
    setMinimumWidth(kMinWidth);
    setMaximumWidth(kMaxWidth);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    search_ = new QLineEdit(this);
    search_->setPlaceholderText(QStringLiteral("Search Tabs..."));
    search_->addAction(symbolIcon(QStringLiteral("magnifyingglass")), QLineEdit::LeadingPosition);
    clear_ = search_->addAction(symbolIcon(QStringLiteral("xmark.circle.fill")), QLineEdit::TrailingPosition);
    clear_->setToolTip(QStringLiteral("Clear"));
    clear_->setVisible(false);
    connect(clear_, &QAction::triggered, search_, &QLineEdit::clear);
    list_ = new QListWidget(this);
    list_->setItemDelegate(new RowDelegate(list_));
    list_->setFrameShape(QFrame::NoFrame);
    list_->setMaximumHeight(kMaxListHeight);
    list_->setIconSize(QSize(16, 16));
    empty_ = new QLabel(QStringLiteral("No matching tabs"), this);
    empty_->setAlignment(Qt::AlignCenter);
    empty_->setForegroundRole(QPalette::PlaceholderText);
    layout->addWidget(search_);
    layout->addWidget(list_);
    layout->addWidget(empty_);
    connect(search_, &QLineEdit::textChanged, this, &TabListPopover::refill);
    connect(list_, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) { choose(list_->row(item)); });
    connect(list_, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) { choose(list_->row(item)); });
    // Return in the field chooses the first match.
    connect(search_, &QLineEdit::returnPressed, this, [this] {
        if (list_->count() > 0) choose(0);
    });
    refill();
    search_->setFocus();
}

void TabListPopover::setSearchText(const QString& text) { search_->setText(text); }

void TabListPopover::refill() {
    list_->clear();
    const QString needle = search_->text();
    clear_->setVisible(!needle.isEmpty());
    Pane* pane = model_ ? model_->pane(paneIndex_) : nullptr;
    const QList<TabItem*> tabs = pane ? pane->tabs() : QList<TabItem*>();
    for (TabItem* tab : tabs) {
        const QString name = tab->content()->displayName();
        if (!needle.isEmpty() && !name.contains(needle, Qt::CaseInsensitive)) continue;
        auto* item = new QListWidgetItem(symbolIcon(tabKindSymbol(tab)), name, list_);
        item->setToolTip(name);
        item->setData(kIdRole, tab->id());
        item->setData(kActiveRole, tab->id() == pane->activeTabID());
    }
    const bool none = list_->count() == 0;
    empty_->setVisible(none);
    list_->setVisible(!none);
    // As high as the rows need, up to the limit.
    const int rowHeight = list_->count() > 0 ? list_->sizeHintForRow(0) : 0;
    list_->setFixedHeight(std::min(kMaxListHeight, rowHeight * list_->count() + 4));
    adjustSize();
}

QStringList TabListPopover::shownNames() const {
    QStringList names;
    for (int i = 0; i < list_->count(); ++i) names << list_->item(i)->text();
    return names;
}

bool TabListPopover::showsNoMatches() const { return !empty_->isHidden(); }

bool TabListPopover::offersClear() const { return clear_->isVisible(); }

void TabListPopover::choose(int row) {
    QListWidgetItem* item = list_->item(row);
    Pane* pane = model_ ? model_->pane(paneIndex_) : nullptr;
    if (item && pane) {
        model_->setFocusedPaneIndex(paneIndex_);
        pane->setActiveTabID(item->data(kIdRole).toUuid());
    }
    close();
}

}  // namespace scrivola
