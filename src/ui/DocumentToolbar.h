#pragma once

#include "workspace/AppViewModel.h"
#include "workspace/TabItem.h"

#include <QPointer>
#include <QWidget>

#include <functional>
#include <vector>

class QHBoxLayout;

namespace scrivola {

class AppViewModel;
class IconButton;
class ImageDocumentContext;
class PDFDocumentContext;
class TabItem;

// The toolbar above a document: Save, Save As, Undo, Redo, Export, Rotate, then for a PDF the
// text mode, sidebar, Compress, Print, Search, Signatures & Stamps, the annotation tools
// (whiteout, highlight and its colour) and the interaction picker (Hand Tool, Text Selection);
// for an image the sidebar, Compress and Print. Every control reads the tab's context and calls
// it; the toolbar keeps no state of its own and follows the context's signals. Controls have
// object names ("save", "undo", "export", "highlightColor", "handTool", ...).
class DocumentToolbar : public QWidget {
    Q_OBJECT
public:
    DocumentToolbar(AppViewModel* model, TabItem* tab, QWidget* parent = nullptr);

    TabItem* tab() const { return tab_; }
    // The control with that object name, or null.
    IconButton* control(const QString& name) const;

    // "Export 3 Pages" / "Export Current Page", "Export 2 Images" / "Export Current Image".
    static QString exportTitle(int selectedCount, bool images);

private:
    void build();
    void buildPdf(PDFDocumentContext* context);
    void buildImage(ImageDocumentContext* context);
    // Save, Save As, Undo, Redo and Export, shared by both kinds.
    void addCommonControls();
    void addRotateMenu(const std::function<void(int)>& rotate);
    IconButton* addButton(const QString& name, const QString& symbol, const QString& toolTip,
                          const std::function<void()>& action);
    void addDivider();
    // Makes the tab the active tab of the focused pane, so that the window model's commands
    // act on it; false when no pane holds it.
    bool activateTab();
    void refresh();

    QPointer<AppViewModel> model_;
    QPointer<TabItem> tab_;
    QHBoxLayout* layout_ = nullptr;
    // Brings each control up to the context; run on every change the toolbar follows.
    std::vector<std::function<void()>> updaters_;
};

}  // namespace scrivola
