#include "ui/DocumentToolbar.h"

#include "app/core/Theme.h"
#include "image/ImageDocumentContext.h"
#include "pdf/HighlightColors.h"
#include "pdf/PDFDocumentContext.h"
#include "ui/IconButton.h"
#include "workspace/AppViewModel.h"
#include "workspace/TabItem.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QMenu>
#include <QPainter>
#include <QPixmap>

namespace scrivola {

namespace {

// A small filled circle in `color`, for colour menus.
QIcon colourDot(const QColor& color) {
    QPixmap pixmap(32, 32);
    pixmap.setDevicePixelRatio(2);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(0, 0, 0, 60), 0.8));
    painter.setBrush(color);
    painter.drawEllipse(QRectF(2, 2, 12, 12));
    return QIcon(pixmap);
}

}  // namespace

QString DocumentToolbar::exportTitle(int selectedCount, bool images) {
    if (selectedCount <= 0) return images ? QStringLiteral("Export Current Image") : QStringLiteral("Export Current Page");
    const QString noun = images ? QStringLiteral("Image") : QStringLiteral("Page");
    return QStringLiteral("Export %1 %2%3").arg(selectedCount).arg(noun, selectedCount == 1 ? QString() : QStringLiteral("s"));
}

DocumentToolbar::DocumentToolbar(AppViewModel* model, TabItem* tab, QWidget* parent)
    : QWidget(parent), model_(model), tab_(tab) {
    layout_ = new QHBoxLayout(this);
    layout_->setContentsMargins(8, 4, 8, 4);
    layout_->setSpacing(2);
    setFixedHeight(Theme::toolbarHeight);
    // A narrow pane clips the trailing controls rather than forcing the window wider.
    layout_->setSizeConstraint(QLayout::SetNoConstraint);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    build();
    // A tab gets its context right after it is made; the toolbar follows.
    if (tab) connect(tab, &TabItem::contextChanged, this, &DocumentToolbar::build);
}

IconButton* DocumentToolbar::control(const QString& name) const {
    return findChild<IconButton*>(name, Qt::FindDirectChildrenOnly);
}

void DocumentToolbar::build() {
    while (QLayoutItem* item = layout_->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    updaters_.clear();
    DocumentContext* context = tab_ ? tab_->context() : nullptr;
    if (!context) return;
    addCommonControls();
    if (auto* pdf = qobject_cast<PDFDocumentContext*>(context)) buildPdf(pdf);
    else if (auto* image = qobject_cast<ImageDocumentContext*>(context)) buildImage(image);
    connect(tab_->content(), &DocumentContent::modifiedChanged, this, &DocumentToolbar::refresh, Qt::UniqueConnection);
    connect(context, &DocumentContext::canUndoChanged, this, &DocumentToolbar::refresh, Qt::UniqueConnection);
    connect(context, &DocumentContext::canRedoChanged, this, &DocumentToolbar::refresh, Qt::UniqueConnection);
    connect(context, &DocumentContext::currentPageChanged, this, &DocumentToolbar::refresh, Qt::UniqueConnection);
    refresh();
}

void DocumentToolbar::refresh() {
    if (!tab_ || !tab_->context()) return;
    for (const auto& update : updaters_) update();
}

IconButton* DocumentToolbar::addButton(const QString& name, const QString& symbol, const QString& toolTip,
                                       const std::function<void()>& action) {
    return addIconButton(this, layout_, name, symbol, toolTip, action);
}

void DocumentToolbar::addDivider() {
    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::VLine);
    line->setFrameShadow(QFrame::Plain);
    line->setFixedHeight(18);
    line->setForegroundRole(QPalette::Mid);
    layout_->addSpacing(4);
    layout_->addWidget(line);
    layout_->addSpacing(4);
}

bool DocumentToolbar::activateTab() {
    if (!model_ || !tab_) return false;
    const int index = model_->paneIndexOf(tab_->id());
    if (index < 0) return false;
    model_->setFocusedPaneIndex(index);
    model_->pane(index)->setActiveTabID(tab_->id());
    return true;
}

void DocumentToolbar::addCommonControls() {
    DocumentContext* context = tab_->context();
    DocumentContent* content = tab_->content();
    const QPointer<DocumentContext> guard(context);

    IconButton* save = addButton(QStringLiteral("save"), QStringLiteral("square.and.arrow.down"), QString(), [this] {
        if (activateTab()) model_->saveActiveDocument();
    });
    updaters_.push_back([save, content] {
        const bool modified = content->isModified();
        save->setToolTip(modified ? QStringLiteral("Save") : QStringLiteral("Saved"));
        save->setDimmed(!modified);
    });
    addButton(QStringLiteral("saveAs"), QStringLiteral("square.and.arrow.down.on.square"), QStringLiteral("Save As..."), [this] {
        if (activateTab()) model_->saveActiveDocumentAs();
    });
    addDivider();
    IconButton* undo = addButton(QStringLiteral("undo"), QStringLiteral("arrow.uturn.backward"), QStringLiteral("Undo"),
                                 [guard] { if (guard) guard->undo(); });
    IconButton* redo = addButton(QStringLiteral("redo"), QStringLiteral("arrow.uturn.forward"), QStringLiteral("Redo"),
                                 [guard] { if (guard) guard->redo(); });
    updaters_.push_back([undo, redo, context] {
        undo->setEnabled(context->canUndo());
        redo->setEnabled(context->canRedo());
        const QString undoName = context->undoActionName(), redoName = context->redoActionName();
        undo->setToolTip(undoName.isEmpty() ? QStringLiteral("Undo") : QStringLiteral("Undo ") + undoName);
        redo->setToolTip(redoName.isEmpty() ? QStringLiteral("Redo") : QStringLiteral("Redo ") + redoName);
    });
    addDivider();
    IconButton* exporter = addButton(QStringLiteral("export"), QString(), QString(),
                                     [guard] { if (guard) guard->exportItems(guard->exportTargets()); });
    const bool images = context->documentType() == DocumentType::image;
    updaters_.push_back([exporter, context, images] {
        int selected = 0;
        if (auto* pdf = qobject_cast<PDFDocumentContext*>(context)) selected = int(pdf->selectedPages().size());
        else if (auto* image = qobject_cast<ImageDocumentContext*>(context)) selected = int(image->selectedImages().size());
        const QString title = exportTitle(selected, images);
        exporter->setText(title);
        exporter->setToolTip(title);
        exporter->updateGeometry();
    });
}

void DocumentToolbar::addRotateMenu(const std::function<void(int)>& rotate) {
    IconButton* button = addButton(QStringLiteral("rotate"), QStringLiteral("rotate.right"), QStringLiteral("Rotate"), {});
    auto* menu = new QMenu(button);
    menu->addAction(QStringLiteral("Rotate Left (90°)"), this, [rotate] { rotate(-90); });
    menu->addAction(QStringLiteral("Rotate Right (90°)"), this, [rotate] { rotate(90); });
    menu->addAction(QStringLiteral("Rotate 180°"), this, [rotate] { rotate(180); });
    button->setMenu(menu);
}

void DocumentToolbar::buildPdf(PDFDocumentContext* context) {
    const QPointer<PDFDocumentContext> c(context);
    PDFTextBoxTool* tool = context->textTool();
    addRotateMenu([c](int degrees) { if (c) c->rotatePages(degrees); });

    IconButton* textMode = addButton(QStringLiteral("textMode"), QStringLiteral("character.textbox"), QString(),
                                     [c] { if (c) c->textTool()->toggleTextAnnotationMode(); });
    updaters_.push_back([textMode, tool] {
        const bool on = tool->isTextAnnotationMode();
        textMode->setActive(on);
        textMode->setToolTip(on ? QStringLiteral("Disable Text Mode") : QStringLiteral("Enable Text Mode"));
    });
    IconButton* sidebar = addButton(QStringLiteral("sidebar"), QStringLiteral("sidebar.left"), QStringLiteral("Toggle Sidebar"),
                                    [c] { if (c) c->setSidebarVisible(!c->isSidebarVisible()); });
    addButton(QStringLiteral("compress"), QStringLiteral("rectangle.compress.vertical"), QStringLiteral("Compress"),
              [c] { if (c) c->setCompressSheetVisible(true); });
    addButton(QStringLiteral("print"), QStringLiteral("printer"), QStringLiteral("Print"), [c] { if (c) c->printDocument(); });
    IconButton* search = addButton(QStringLiteral("search"), QStringLiteral("magnifyingglass"), QStringLiteral("Search"), [c] {
        if (!c) return;
        if (c->search()->isSidebarVisible()) c->search()->closeSearch();
        else c->search()->openSearch();
    });
    IconButton* signatures = addButton(QStringLiteral("signatures"), QStringLiteral("signature"), QStringLiteral("Signatures & Stamps"),
                                       [c] { if (c) c->toggleSignatureSidebar(); });
    updaters_.push_back([sidebar, search, signatures, context] {
        sidebar->setActive(context->isSidebarVisible());
        search->setActive(context->search()->isSidebarVisible());
        signatures->setActive(context->isSignatureSidebarVisible());
    });

    // The annotation tools: whiteout, a divider, highlight and its colour.
    addDivider();
    IconButton* whiteout = addButton(QStringLiteral("whiteout"), QStringLiteral("eraser"), QString(),
                                     [c] { if (c) c->toggleWhiteoutMode(); });
    addDivider();
    IconButton* highlight = addButton(QStringLiteral("highlight"), QStringLiteral("highlighter"), QString(),
                                      [c] { if (c) c->toggleHighlightMode(); });
    IconButton* colour = addButton(QStringLiteral("highlightColor"), QString(), QStringLiteral("Highlight Color"), {});
    auto* colours = new QMenu(colour);
    colours->setTitle(QStringLiteral("Highlight Color"));
    std::vector<QAction*> colourActions;
    for (HighlightColor value : kAllHighlightColors) {
        QAction* action = colours->addAction(colourDot(highlightAnnotationColor(value)), highlightColorDisplayName(value),
                                             this, [c, value] { if (c) c->setHighlightColor(value); });
        action->setCheckable(true);
        colourActions.push_back(action);
    }
    colour->setMenu(colours);
    updaters_.push_back([whiteout, highlight, colour, colourActions, context] {
        whiteout->setActive(context->isWhiteoutMode());
        whiteout->setToolTip(context->isWhiteoutMode() ? QStringLiteral("Disable Whiteout Mode") : QStringLiteral("Enable Whiteout Mode"));
        highlight->setActive(context->isHighlightMode());
        highlight->setToolTip(context->isHighlightMode() ? QStringLiteral("Disable Highlight Mode") : QStringLiteral("Enable Highlight Mode"));
        colour->setSwatch(highlightAnnotationColor(context->highlightColor()));
        for (size_t i = 0; i < colourActions.size(); ++i) colourActions[i]->setChecked(kAllHighlightColors[i] == context->highlightColor());
    });

    // The interaction picker, at the trailing side.
    layout_->addStretch(1);
    IconButton* hand = addButton(QStringLiteral("handTool"), QStringLiteral("hand.raised"), QStringLiteral("Hand Tool"),
                                 [c] { if (c) c->setTextSelectionMode(false); });
    IconButton* select = addButton(QStringLiteral("textSelection"), QStringLiteral("character.cursor.ibeam"), QStringLiteral("Text Selection"),
                                   [c] { if (c) c->setTextSelectionMode(true); });
    updaters_.push_back([hand, select, context] {
        hand->setActive(!context->isTextSelectionMode());
        select->setActive(context->isTextSelectionMode());
    });

    connect(context, &PDFDocumentContext::selectedPagesChanged, this, &DocumentToolbar::refresh);
    connect(context, &PDFDocumentContext::panelsChanged, this, &DocumentToolbar::refresh);
    connect(context, &PDFDocumentContext::toolModesChanged, this, &DocumentToolbar::refresh);
    connect(context, &PDFDocumentContext::viewChanged, this, &DocumentToolbar::refresh);
    connect(tool, &PDFTextBoxTool::changed, this, &DocumentToolbar::refresh);
    connect(context->search(), &PDFSearchSession::changed, this, &DocumentToolbar::refresh);
}

void DocumentToolbar::buildImage(ImageDocumentContext* context) {
    const QPointer<ImageDocumentContext> c(context);
    addRotateMenu([c](int degrees) { if (c) c->rotateImageAt(c->currentPage(), degrees); });
    IconButton* sidebar = addButton(QStringLiteral("sidebar"), QStringLiteral("sidebar.left"), QStringLiteral("Toggle Sidebar"),
                                    [c] { if (c) c->setSidebarVisible(!c->isSidebarVisible()); });
    addButton(QStringLiteral("compress"), QStringLiteral("rectangle.compress.vertical"), QStringLiteral("Compress"),
              [c] { if (c) c->setCompressSheetVisible(true); });
    addButton(QStringLiteral("print"), QStringLiteral("printer"), QStringLiteral("Print"), [c] { if (c) c->printImage(); });
    updaters_.push_back([sidebar, context] { sidebar->setActive(context->isSidebarVisible()); });
    layout_->addStretch(1);
    connect(context, &ImageDocumentContext::selectedImagesChanged, this, &DocumentToolbar::refresh);
    connect(context, &ImageDocumentContext::sidebarVisibleChanged, this, &DocumentToolbar::refresh);
}

}  // namespace scrivola
