#pragma once

#include "annotation/view/AnnotationListView.h"
#include "pdf/PDFDocumentContext.h"

#include <QPointer>
#include <QWidget>

#include <memory>

class QLabel;
class QMenu;
class QPushButton;
class QStackedWidget;
class QToolButton;

namespace scrivola {

// The annotations sidebar of a PDF tab: every free-text annotation of the document grouped by
// page, sharing the annotation selection with the page view. A click selects a box and shows its
// page, Ctrl-click toggles it, Shift-click adds the range from the last sidebar click; the
// Delete key, the delete bar and a row's context menu delete. The close button sets the
// context's isAnnotationsSidebarVisible to false; the window shows or hides the sidebar by it.
//
// The rows are read from the document once per change (documentRevisionChanged, another
// document in the model), and only while the sidebar is shown; a hidden sidebar catches up when
// it is shown again. Selection changes only repaint.
class AnnotationsSidebarView : public QWidget {
    Q_OBJECT
public:
    explicit AnnotationsSidebarView(PDFDocumentContext* context, QWidget* parent = nullptr);

    AnnotationListView* list() const { return list_; }
    QPushButton* deleteButton() const { return deleteButton_; }
    QLabel* countLabel() const { return countLabel_; }
    QLabel* emptyLabel() const { return emptyLabel_; }
    // The row context menu of `annotation`, as shown on a right click.
    std::unique_ptr<QMenu> contextMenuFor(const PDFAnnotationPtr& annotation);
    // Reads the list from the document now.
    void refresh();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void documentChanged();
    void selectionChanged();
    void rowClicked(const PDFAnnotationPtr& annotation, int pageIndex, Qt::KeyboardModifiers modifiers);
    // Up / Down: the row before or after the last one clicked becomes the selection (with Shift,
    // the range grows to it), as a click on it would.
    void step(int step, Qt::KeyboardModifiers modifiers);

    QPointer<PDFDocumentContext> context_;
    QLabel* countLabel_;
    QLabel* emptyLabel_;
    QStackedWidget* stack_;
    AnnotationListView* list_;
    QPushButton* deleteButton_;
    std::vector<PDFAnnotationPtr> flatList_;
    std::vector<int> flatPages_;  // the page of each entry of flatList_
    bool isStale_ = true;
    bool isClicking_ = false;  // a selection change comes from a row click, not from the view
};

}  // namespace scrivola
