#pragma once

#include "pdf/PDFTextBoxTool.h"

#include <QAbstractScrollArea>
#include <QPointer>
#include <QString>

#include <set>
#include <vector>

namespace scrivola {

// What a row of the annotations sidebar shows. The texts are read from the annotation when the
// row is first painted or asked for (describe()), so a document change costs one pass over the
// pages' annotation lists, however many rows there are.
struct AnnotationRow {
    AnnotationRow() = default;
    AnnotationRow(PDFAnnotationPtr a, int page) : annotation(std::move(a)), pageIndex(page) {}

    PDFAnnotationPtr annotation;
    int pageIndex = 0;
    bool isDescribed = false;
    QString text;             // the first 40 characters of the contents, or "(empty)"
    QString fontDescription;  // "Helvetica 14 Bold", or "Unknown"
    QString date;             // the modification date as "dd.MM.yy", empty without one

    // Fills the texts from the annotation, once.
    const AnnotationRow& describe();
};

struct AnnotationSection {
    int pageIndex = 0;
    std::vector<AnnotationRow> rows;
};

// The sections and rows of the annotations sidebar, drawn by the list itself: only the rows in
// view are painted, so a document with thousands of text boxes scrolls as lightly as one with
// three. A section header's click folds or unfolds its rows; row clicks and context-menu requests
// are reported. The selected look follows the text-box tool's selection at paint time.
class AnnotationListView : public QAbstractScrollArea {
    Q_OBJECT
public:
    static constexpr int kHeaderHeight = 28;
    static constexpr int kRowHeight = 46;

    explicit AnnotationListView(PDFTextBoxTool* tool, QWidget* parent = nullptr);

    // Replaces the content; folded sections stay folded (by page) and the scroll position stays.
    void setSections(std::vector<AnnotationSection> sections);
    const std::vector<AnnotationSection>& sections() const { return sections_; }
    // A row with its texts read (see AnnotationRow).
    const AnnotationRow& describedRow(int section, int row) const { return sections_[size_t(section)].rows[size_t(row)].describe(); }
    bool isCollapsed(int pageIndex) const { return collapsedPages_.count(pageIndex) > 0; }
    void setCollapsed(int pageIndex, bool collapsed);

    // Where a row or a section header lies in the viewport (empty when folded away or unknown).
    QRect rowRect(const PDFAnnotation* annotation) const;
    QRect headerRect(int pageIndex) const;
    // The row at a viewport point, or null (headers and empty space).
    const AnnotationRow* rowAt(const QPoint& point) const;
    // Scrolls so that the annotation's row is in view, unfolding its section.
    void scrollToRow(const PDFAnnotation* annotation);

signals:
    void rowClicked(const PDFAnnotationPtr& annotation, int pageIndex, Qt::KeyboardModifiers modifiers);
    void rowContextMenuRequested(const PDFAnnotationPtr& annotation, const QPoint& globalPos);
    // Up (-1) or Down (+1) pressed in the list.
    void stepRequested(int step, Qt::KeyboardModifiers modifiers);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // One line of the list: a section header (row < 0) or a row, at `top` in content coordinates.
    struct Item {
        int section = 0;
        int row = -1;
        int top = 0;
        int height() const { return row < 0 ? kHeaderHeight : kRowHeight; }
    };
    void layoutItems();
    int itemIndexAt(int contentY) const;
    QRect itemRect(const Item& item) const;
    void paintHeader(QPainter& painter, const QRect& rect, const AnnotationSection& section) const;
    void paintRow(QPainter& painter, const QRect& rect, AnnotationRow& row) const;

    QPointer<PDFTextBoxTool> tool_;
    mutable std::vector<AnnotationSection> sections_;  // rows describe themselves when first drawn
    std::set<int> collapsedPages_;
    std::vector<Item> items_;
    int contentHeight_ = 0;
};

}  // namespace scrivola
