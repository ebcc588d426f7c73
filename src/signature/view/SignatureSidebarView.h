#pragma once

#include "pdf/PDFDocumentContext.h"
#include "signature/SignatureStorageService.h"

#include <QHash>
#include <QPointer>
#include <QUuid>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class QButtonGroup;
class QLabel;
class QMenu;
class QScrollArea;
class QStackedWidget;
class QToolButton;
class QVBoxLayout;

namespace scrivola {

class SignatureCard;
class SignatureCreationSheet;

// The tabs of the signature sidebar, in this order.
enum class SidebarTab { signatures, stamps };

// The signature sidebar of a PDF tab: the store's signatures or stamps as cards. A click on a
// card selects it for stamping (the page view's next click starts a placement) or deselects it;
// "+" draws or imports a signature, or imports a stamp; non-built-in cards can be renamed and
// deleted from their context menu. Escape ends a placement, else the selection. The close button
// hides the sidebar through the context (isSignatureSidebarVisible), clearing the selection.
// If the context has no store yet, it is given `storage`.
class SignatureSidebarView : public QWidget {
    Q_OBJECT
public:
    // Asks for an image file to import, with the dialog title given; empty when cancelled.
    using ImageChooser = std::function<QString(QWidget* parent, const QString& title)>;

    SignatureSidebarView(PDFDocumentContext* context, SignatureStorageService* storage, QWidget* parent = nullptr);

    SidebarTab activeTab() const { return activeTab_; }
    void setActiveTab(SidebarTab tab);
    // Replaces the file dialog (PNG, JPEG or TIFF) that imports ask with.
    void setImageChooser(ImageChooser chooser) { chooser_ = std::move(chooser); }

    // "+": on Signatures the menu of "Draw Signature" and "Import Image", on Stamps an import.
    QToolButton* newButton() const { return newButton_; }
    QMenu* newMenu() const { return newMenu_; }
    QLabel* hintLabel() const { return hint_; }
    QWidget* emptyState() const { return emptyState_; }
    // The card of an item of the active tab, or null.
    SignatureCard* card(const QUuid& id) const { return cards_.value(id); }
    // The card's context menu ("Rename", "Delete"); null for built-in items.
    std::unique_ptr<QMenu> cardMenuFor(const QUuid& id);
    // Imports an image file into the active tab's list through the chooser.
    void importImage();
    // Opens the drawing sheet (window-modal); saving stores the drawing as a signature.
    SignatureCreationSheet* openCreationSheet();
    void beginRenaming(const QUuid& id);
    void confirmRename(const QString& text);
    void cancelRename();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    SignatureKind activeKind() const;
    // Puts the active tab's items in the list, reusing the cards that still show an item.
    void rebuildCards();
    void placementChanged();

    QPointer<PDFDocumentContext> context_;
    QPointer<SignatureStorageService> storage_;
    SidebarTab activeTab_ = SidebarTab::signatures;
    ImageChooser chooser_;
    std::optional<QUuid> renamingId_;

    QButtonGroup* tabs_;
    QToolButton* newButton_;
    QMenu* newMenu_;
    QLabel* hint_;
    QStackedWidget* stack_;
    QWidget* emptyState_;
    QLabel* emptyTitle_;
    QLabel* emptyDetail_;
    QScrollArea* scroll_;
    QVBoxLayout* cardLayout_;
    QHash<QUuid, SignatureCard*> cards_;
};

}  // namespace scrivola
