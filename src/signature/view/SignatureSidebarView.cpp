// The signature sidebar: tabs, "+" and close, the stamping hint, the cards and their actions.

#include "signature/view/SignatureSidebarView.h"

#include "signature/SignatureImport.h"
#include "signature/view/SignatureCanvas.h"
#include "signature/view/SignatureCard.h"

#include <QButtonGroup>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QScrollArea>
#include <QStackedWidget>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace scrivola {

namespace {

QString defaultChooser(QWidget* parent, const QString& title) {
    return QFileDialog::getOpenFileName(parent, title, QString(),
                                        QStringLiteral("Images (*.png *.jpg *.jpeg *.tif *.tiff)"));
}

// A small raised hand: palm and four fingers, in the text colour.
QPixmap handIcon(const QColor& color, qreal ratio) {
    QPixmap pixmap(QSize(16, 16) * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    painter.drawRoundedRect(QRectF(3.5, 7, 9, 8), 2.5, 2.5);
    const double tops[] = {3, 1.5, 2, 3.5};
    for (int i = 0; i < 4; ++i) painter.drawRoundedRect(QRectF(3.5 + i * 2.3, tops[i], 2, 7), 1, 1);
    painter.drawRoundedRect(QRectF(0.8, 8, 2.6, 5), 1.2, 1.2);  // thumb
    return pixmap;
}

}  // namespace

SignatureSidebarView::SignatureSidebarView(PDFDocumentContext* context, SignatureStorageService* storage, QWidget* parent)
    : QWidget(parent), context_(context), storage_(storage), chooser_(defaultChooser) {
    if (context && storage && !context->signatureStorage()) context->setSignatureStorage(storage);
    setFocusPolicy(Qt::StrongFocus);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->setSpacing(8);

    // Header: the tab picker, "+" and close.
    auto* header = new QHBoxLayout;
    header->setSpacing(4);
    tabs_ = new QButtonGroup(this);
    tabs_->setExclusive(true);
    const auto addTab = [&](const QString& label, SidebarTab tab) {
        auto* button = new QToolButton(this);
        button->setText(label);
        button->setCheckable(true);
        button->setChecked(tab == activeTab_);
        button->setToolButtonStyle(Qt::ToolButtonTextOnly);
        tabs_->addButton(button, int(tab));
        header->addWidget(button);
    };
    addTab(QStringLiteral("Signatures"), SidebarTab::signatures);
    addTab(QStringLiteral("Stamps"), SidebarTab::stamps);
    connect(tabs_, &QButtonGroup::idClicked, this, [this](int id) { setActiveTab(SidebarTab(id)); });
    header->addStretch(1);

    newButton_ = new QToolButton(this);
    newButton_->setText(QStringLiteral("+"));
    newButton_->setAutoRaise(true);
    newMenu_ = new QMenu(this);
    newMenu_->addAction(QStringLiteral("Draw Signature"), this, [this] { openCreationSheet(); });
    newMenu_->addAction(QStringLiteral("Import Image"), this, [this] { importImage(); });
    connect(newButton_, &QToolButton::clicked, this, [this] {
        if (activeTab_ == SidebarTab::stamps) importImage();
        else newMenu_->popup(newButton_->mapToGlobal(QPoint(0, newButton_->height())));
    });
    header->addWidget(newButton_);

    auto* close = new QToolButton(this);
    close->setObjectName(QStringLiteral("closeButton"));
    close->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
    close->setToolTip(QStringLiteral("Close"));
    close->setAutoRaise(true);
    connect(close, &QToolButton::clicked, this, [this] {
        if (context_) context_->closeSignatureSidebar();
    });
    header->addWidget(close);
    layout->addLayout(header);

    // The stamping hint.
    hint_ = new QLabel(this);
    {
        auto* hintRow = new QHBoxLayout;
        auto* icon = new QLabel(this);
        icon->setPixmap(handIcon(palette().color(QPalette::WindowText), devicePixelRatioF()));
        hintRow->addWidget(icon);
        hintRow->addWidget(hint_, 1);
        hint_->setText(QStringLiteral("Click on PDF to place. ESC to cancel."));
        hint_->setTextFormat(Qt::PlainText);
        hint_->setWordWrap(true);
        auto* hintBox = new QWidget(this);
        hintBox->setObjectName(QStringLiteral("hint"));
        hintRow->setContentsMargins(0, 0, 0, 0);
        hintBox->setLayout(hintRow);
        layout->addWidget(hintBox);
    }

    // The cards, or the empty state.
    stack_ = new QStackedWidget(this);
    emptyState_ = new QWidget(stack_);
    auto* emptyLayout = new QVBoxLayout(emptyState_);
    emptyLayout->addStretch(1);
    emptyTitle_ = new QLabel(emptyState_);
    emptyDetail_ = new QLabel(emptyState_);
    emptyTitle_->setAlignment(Qt::AlignCenter);
    emptyDetail_->setAlignment(Qt::AlignCenter);
    emptyDetail_->setWordWrap(true);
    emptyDetail_->setForegroundRole(QPalette::PlaceholderText);
    emptyLayout->addWidget(emptyTitle_);
    emptyLayout->addWidget(emptyDetail_);
    emptyLayout->addStretch(1);
    scroll_ = new QScrollArea(stack_);
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setWidgetResizable(true);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* cardHost = new QWidget(scroll_);
    cardLayout_ = new QVBoxLayout(cardHost);
    cardLayout_->setContentsMargins(0, 0, 0, 0);
    cardLayout_->setSpacing(8);
    cardLayout_->addStretch(1);
    scroll_->setWidget(cardHost);
    stack_->addWidget(emptyState_);
    stack_->addWidget(scroll_);
    layout->addWidget(stack_, 1);

    if (storage) {
        connect(storage, &SignatureStorageService::signaturesChanged, this, [this] {
            if (activeTab_ == SidebarTab::signatures) rebuildCards();
        });
        connect(storage, &SignatureStorageService::stampsChanged, this, [this] {
            if (activeTab_ == SidebarTab::stamps) rebuildCards();
        });
    }
    if (context) connect(context->signaturePlacement(), &PDFSignaturePlacement::changed, this, &SignatureSidebarView::placementChanged);
    setActiveTab(activeTab_);
}

SignatureKind SignatureSidebarView::activeKind() const {
    return activeTab_ == SidebarTab::stamps ? SignatureKind::stamp : SignatureKind::signature;
}

void SignatureSidebarView::setActiveTab(SidebarTab tab) {
    const bool changed = tab != activeTab_;
    activeTab_ = tab;
    if (QAbstractButton* button = tabs_->button(int(tab))) button->setChecked(true);
    newButton_->setToolTip(tab == SidebarTab::stamps ? QStringLiteral("Import Stamp") : QStringLiteral("New Signature"));
    emptyTitle_->setText(tab == SidebarTab::stamps ? QStringLiteral("No stamps") : QStringLiteral("No signatures"));
    emptyDetail_->setText(tab == SidebarTab::stamps ? QStringLiteral("Click + to import a stamp image")
                                                    : QStringLiteral("Click + to create a signature"));
    if (changed) {
        renamingId_.reset();
        if (context_) context_->signaturePlacement()->cancelSignaturePlacement();
    }
    rebuildCards();
    placementChanged();
}

void SignatureSidebarView::rebuildCards() {
    const QList<StoredSignature> empty;
    const QList<StoredSignature>& items =
        !storage_ ? empty : (activeTab_ == SidebarTab::stamps ? storage_->stamps() : storage_->signatures());
    QHash<QUuid, SignatureCard*> previous;
    previous.swap(cards_);
    for (SignatureCard* card : std::as_const(previous)) cardLayout_->removeWidget(card);

    int position = 0;
    for (const StoredSignature& item : items) {
        SignatureCard* card = previous.take(item.id);
        if (card) {
            card->setItem(item);
        } else {
            card = new SignatureCard(item, scroll_->widget());
            const QUuid id = item.id;
            connect(card, &SignatureCard::clicked, this, [this, id] {
                if (context_) context_->signaturePlacement()->toggleSignatureSelection(id);
                setFocus(Qt::MouseFocusReason);  // Escape reaches the sidebar
            });
            connect(card, &SignatureCard::contextMenuRequested, this, [this, id](const QPoint& globalPos) {
                if (const std::unique_ptr<QMenu> menu = cardMenuFor(id)) menu->exec(globalPos);
            });
            connect(card, &SignatureCard::renameConfirmed, this, &SignatureSidebarView::confirmRename);
            connect(card, &SignatureCard::renameCancelled, this, &SignatureSidebarView::cancelRename);
        }
        cardLayout_->insertWidget(position++, card);
        cards_.insert(item.id, card);
        if (renamingId_ == item.id && !card->isRenaming()) card->beginRenaming();
        if (renamingId_ != item.id && card->isRenaming()) card->endRenaming();
    }
    qDeleteAll(previous);
    if (renamingId_ && !cards_.contains(*renamingId_)) renamingId_.reset();
    stack_->setCurrentWidget(items.isEmpty() ? emptyState_ : static_cast<QWidget*>(scroll_));
    placementChanged();
}

void SignatureSidebarView::placementChanged() {
    const PDFSignaturePlacement* placement = context_ ? context_->signaturePlacement() : nullptr;
    const std::optional<QUuid> selected = placement ? placement->selectedSignatureId() : std::nullopt;
    for (auto it = cards_.cbegin(); it != cards_.cend(); ++it) it.value()->setSelected(selected == it.key());
    hint_->parentWidget()->setVisible(selected.has_value() && !placement->isPlacingSignature());
}

std::unique_ptr<QMenu> SignatureSidebarView::cardMenuFor(const QUuid& id) {
    const SignatureCard* card = cards_.value(id);
    if (!card || card->item().isBuiltIn) return nullptr;
    auto menu = std::make_unique<QMenu>(this);
    menu->addAction(QStringLiteral("Rename"), this, [this, id] { beginRenaming(id); });
    menu->addAction(QStringLiteral("Delete"), this, [this, id] {
        if (renamingId_ == id) renamingId_.reset();
        if (context_) context_->signaturePlacement()->deleteSignature(id);
    });
    return menu;
}

void SignatureSidebarView::beginRenaming(const QUuid& id) {
    SignatureCard* card = cards_.value(id);
    if (!card || card->item().isBuiltIn) return;
    if (renamingId_ && *renamingId_ != id)
        if (SignatureCard* other = cards_.value(*renamingId_)) other->endRenaming();
    renamingId_ = id;
    card->beginRenaming();
}

void SignatureSidebarView::confirmRename(const QString& text) {
    if (!renamingId_) return;
    const QUuid id = *renamingId_;
    renamingId_.reset();
    if (SignatureCard* card = cards_.value(id)) card->endRenaming();
    if (context_) context_->signaturePlacement()->renameSignature(id, text);
}

void SignatureSidebarView::cancelRename() {
    if (!renamingId_) return;
    if (SignatureCard* card = cards_.value(*renamingId_)) card->endRenaming();
    renamingId_.reset();
}

void SignatureSidebarView::importImage() {
    if (!storage_ || !chooser_) return;
    const SignatureKind kind = activeKind();
    const QString path = chooser_(this, kind == SignatureKind::stamp ? QStringLiteral("Select a stamp image")
                                                                     : QStringLiteral("Select a signature image"));
    if (path.isEmpty() || !storage_) return;
    importSignatureImage(*storage_, path, kind);
}

SignatureCreationSheet* SignatureSidebarView::openCreationSheet() {
    auto* sheet = new SignatureCreationSheet(this);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    sheet->setWindowModality(Qt::WindowModal);
    QPointer<SignatureStorageService> storage = storage_;
    sheet->setSaveHandler([storage](const QImage& image, const QString& name) {
        return storage && storage->save(image, name, SignatureKind::signature, false).has_value();
    });
    sheet->open();
    return sheet;
}

void SignatureSidebarView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && context_) {
        PDFSignaturePlacement* placement = context_->signaturePlacement();
        if (placement->isPlacingSignature()) {
            placement->cancelSignaturePlacement();
            event->accept();
            return;
        }
        if (placement->selectedSignatureId()) {
            placement->clearSignatureSelection();
            event->accept();
            return;
        }
    }
    QWidget::keyPressEvent(event);
}

}  // namespace scrivola
