// The annotations sidebar: header, count, the painted list of sections and rows, the delete bar.

#include "annotation/view/AnnotationsSidebarView.h"

#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QStackedWidget>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace scrivola {

namespace {

constexpr double kInactiveOpacity = 0.35;

}  // namespace

AnnotationsSidebarView::AnnotationsSidebarView(PDFDocumentContext* context, QWidget* parent)
    : QWidget(parent), context_(context) {
    setFocusPolicy(Qt::StrongFocus);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto* header = new QHBoxLayout;
    header->setContentsMargins(12, 8, 6, 8);
    auto* title = new QLabel(QStringLiteral("Text Annotations"), this);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    auto* close = new QToolButton(this);
    close->setObjectName(QStringLiteral("closeButton"));
    close->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
    close->setToolTip(QStringLiteral("Close"));
    close->setAutoRaise(true);
    connect(close, &QToolButton::clicked, this, [this] {
        if (context_) context_->setAnnotationsSidebarVisible(false);
    });
    header->addWidget(title, 1);
    header->addWidget(close);
    layout->addLayout(header);

    countLabel_ = new QLabel(this);
    countLabel_->setContentsMargins(12, 0, 12, 6);
    layout->addWidget(countLabel_);

    stack_ = new QStackedWidget(this);
    emptyLabel_ = new QLabel(QStringLiteral("No text annotations"), stack_);
    emptyLabel_->setAlignment(Qt::AlignCenter);
    emptyLabel_->setForegroundRole(QPalette::PlaceholderText);
    list_ = new AnnotationListView(context ? context->textTool() : nullptr, stack_);
    stack_->addWidget(emptyLabel_);
    stack_->addWidget(list_);
    layout->addWidget(stack_, 1);

    deleteButton_ = new QPushButton(style()->standardIcon(QStyle::SP_TrashIcon), QStringLiteral("Delete"), this);
    deleteButton_->setGraphicsEffect(new QGraphicsOpacityEffect(deleteButton_));
    connect(deleteButton_, &QPushButton::clicked, this, [this] {
        if (context_) context_->textTool()->deleteSelectedAnnotations();
    });
    auto* bar = new QHBoxLayout;
    bar->setContentsMargins(8, 6, 8, 8);
    bar->addWidget(deleteButton_, 1);
    layout->addLayout(bar);

    connect(list_, &AnnotationListView::rowClicked, this, &AnnotationsSidebarView::rowClicked);
    connect(list_, &AnnotationListView::stepRequested, this, &AnnotationsSidebarView::step);
    connect(list_, &AnnotationListView::rowContextMenuRequested, this,
            [this](const PDFAnnotationPtr& annotation, const QPoint& globalPos) {
                if (const std::unique_ptr<QMenu> menu = contextMenuFor(annotation)) menu->exec(globalPos);
            });
    if (context) {
        connect(context, &DocumentContext::documentRevisionChanged, this, &AnnotationsSidebarView::documentChanged);
        if (PDFDocumentModel* model = context->model())
            connect(model, &PDFDocumentModel::documentChanged, this, &AnnotationsSidebarView::documentChanged);
        connect(context->textTool(), &PDFTextBoxTool::changed, this, &AnnotationsSidebarView::selectionChanged);
    }
    refresh();
}

void AnnotationsSidebarView::documentChanged() {
    isStale_ = true;
    if (isVisible()) refresh();
}

void AnnotationsSidebarView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (isStale_) refresh();
}

void AnnotationsSidebarView::refresh() {
    isStale_ = false;
    std::vector<PageAnnotations> groups = context_ ? context_->textTool()->groupedTextAnnotations() : std::vector<PageAnnotations>{};
    flatList_ = PDFTextBoxTool::flatten(groups);
    flatPages_.clear();
    std::vector<AnnotationSection> sections;
    sections.reserve(groups.size());
    for (const PageAnnotations& group : groups) {
        AnnotationSection section{group.pageIndex, {}};
        section.rows.reserve(group.annotations.size());
        for (const PDFAnnotationPtr& annotation : group.annotations)
            section.rows.push_back(AnnotationRow{annotation, group.pageIndex});
        flatPages_.insert(flatPages_.end(), group.annotations.size(), group.pageIndex);
        sections.push_back(std::move(section));
    }
    list_->setSections(std::move(sections));
    countLabel_->setText(QStringLiteral("Found: ") + QString::number(flatList_.size()));
    countLabel_->setVisible(!flatList_.empty());
    stack_->setCurrentWidget(flatList_.empty() ? static_cast<QWidget*>(emptyLabel_) : list_);
    selectionChanged();
}

void AnnotationsSidebarView::selectionChanged() {
    const size_t count = context_ ? context_->textTool()->selectedAnnotations().size() : 0;
    deleteButton_->setText(count > 0 ? QString::number(count) : QStringLiteral("Delete"));
    deleteButton_->setEnabled(count > 0);
    static_cast<QGraphicsOpacityEffect*>(deleteButton_->graphicsEffect())->setOpacity(count > 0 ? 1.0 : kInactiveOpacity);
    list_->viewport()->update();
    // A box selected in the page view is brought into sight in the list.
    if (count > 0 && !isClicking_ && isVisible())
        list_->scrollToRow(context_->textTool()->selectedAnnotationObjects().back().get());
}

void AnnotationsSidebarView::rowClicked(const PDFAnnotationPtr& annotation, int pageIndex, Qt::KeyboardModifiers modifiers) {
    if (!context_) return;
    PDFTextBoxTool* tool = context_->textTool();
    const QScopedValueRollback<bool> clicking(isClicking_, true);
    if (modifiers & Qt::ControlModifier) {
        tool->toggleAnnotationSidebarSelection(annotation);
    } else if (modifiers & Qt::ShiftModifier) {
        tool->extendAnnotationSidebarSelection(annotation, flatList_);
    } else {
        context_->goToPage(pageIndex);
        tool->selectAnnotationFromSidebar(annotation);
    }
}

void AnnotationsSidebarView::step(int step, Qt::KeyboardModifiers modifiers) {
    if (!context_ || flatList_.empty()) return;
    const PDFTextBoxTool* tool = context_->textTool();
    const PDFAnnotation* from = tool->lastSelectedAnnotation() ? tool->lastSelectedAnnotation().get()
                                : !tool->selectedAnnotationObjects().empty() ? tool->selectedAnnotationObjects().back().get()
                                                                             : nullptr;
    const auto it = std::find_if(flatList_.begin(), flatList_.end(), [from](const PDFAnnotationPtr& a) { return a.get() == from; });
    int target = step > 0 ? 0 : int(flatList_.size()) - 1;  // nothing to start from: the first or last row
    if (it != flatList_.end()) target = std::clamp(int(it - flatList_.begin()) + step, 0, int(flatList_.size()) - 1);
    const PDFAnnotationPtr annotation = flatList_[size_t(target)];
    rowClicked(annotation, flatPages_[size_t(target)], modifiers & Qt::ShiftModifier);
    list_->scrollToRow(annotation.get());
}

std::unique_ptr<QMenu> AnnotationsSidebarView::contextMenuFor(const PDFAnnotationPtr& annotation) {
    if (!context_ || !annotation) return nullptr;
    auto menu = std::make_unique<QMenu>(this);
    PDFTextBoxTool* tool = context_->textTool();
    const size_t count = tool->selectedAnnotations().size();
    QPointer<PDFDocumentContext> context = context_;
    if (count > 0 && tool->selectedAnnotations().count(annotation.get())) {
        const QString label = QStringLiteral("Delete ") + QString::number(count) +
                              (count == 1 ? QStringLiteral(" Annotation") : QStringLiteral(" Annotations"));
        menu->addAction(label, this, [context] {
            if (context) context->textTool()->deleteSelectedAnnotations();
        });
    } else {
        menu->addAction(QStringLiteral("Delete"), this, [context, annotation] {
            if (context) context->textTool()->removeTextAnnotation(annotation, annotation->page());
        });
    }
    return menu;
}

void AnnotationsSidebarView::keyPressEvent(QKeyEvent* event) {
    const bool isDelete = event->key() == Qt::Key_Delete || event->key() == Qt::Key_Backspace;
    if (isDelete && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier && context_ && !context_->textTool()->selectedAnnotations().empty()) {
        context_->textTool()->deleteSelectedAnnotations();
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

}  // namespace scrivola
