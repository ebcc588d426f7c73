// The painted list of the annotations sidebar: section headers with chevrons and counts, and
// rows with text, font and date, laid out once per content change and painted only where seen.

#include "annotation/view/AnnotationListView.h"

#include "annotation/TextBoxFont.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>

#include <algorithm>
#include <cmath>

namespace scrivola {

namespace {

constexpr int kMaxTextCharacters = 40;
constexpr int kPadding = 10;

// The first `count` characters (code points; a surrogate pair is never split).
QString firstCharacters(const QString& text, int count) {
    qsizetype end = 0;
    for (int seen = 0; end < text.size() && seen < count; ++seen)
        end += (text[end].isHighSurrogate() && end + 1 < text.size() && text[end + 1].isLowSurrogate()) ? 2 : 1;
    return text.left(end);
}

QString fontDescriptionOf(const PDFAnnotation& annotation) {
    const QString name = annotation.fontName();
    if (name.isEmpty()) return QStringLiteral("Unknown");
    const StoredFontName parsed = parseStoredFontName(name);
    QString description = parsed.family.isEmpty() ? name : parsed.family;
    // A size of 0 in /DA means "fit the box": no number to show.
    if (const double size = annotation.fontSize(); size > 0)
        description += QLatin1Char(' ') + QString::number(std::lround(size));
    if (parsed.bold) description += QStringLiteral(" Bold");
    if (parsed.italic) description += QStringLiteral(" Italic");
    return description;
}

}  // namespace

const AnnotationRow& AnnotationRow::describe() {
    if (isDescribed || !annotation) return *this;
    isDescribed = true;
    const QString contents = annotation->contents();
    if (contents.isEmpty()) {
        text = QStringLiteral("(empty)");
    } else {
        // One line in the list: line breaks and tabs show as spaces.
        text = firstCharacters(contents, kMaxTextCharacters);
        for (QChar& c : text)
            if (c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QLatin1Char('\t') || c == QChar::LineSeparator ||
                c == QChar::ParagraphSeparator)
                c = QLatin1Char(' ');
    }
    fontDescription = fontDescriptionOf(*annotation);
    if (const std::optional<QDateTime> modified = annotation->modificationDate())
        date = modified->toLocalTime().toString(QStringLiteral("dd.MM.yy"));
    return *this;
}

AnnotationListView::AnnotationListView(PDFTextBoxTool* tool, QWidget* parent) : QAbstractScrollArea(parent), tool_(tool) {
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFocusPolicy(Qt::StrongFocus);
    verticalScrollBar()->setSingleStep(kRowHeight / 2);
}

void AnnotationListView::setSections(std::vector<AnnotationSection> sections) {
    sections_ = std::move(sections);
    layoutItems();
}

void AnnotationListView::setCollapsed(int pageIndex, bool collapsed) {
    if (collapsed) collapsedPages_.insert(pageIndex);
    else collapsedPages_.erase(pageIndex);
    layoutItems();
}

void AnnotationListView::layoutItems() {
    items_.clear();
    int top = 0;
    for (int s = 0; s < int(sections_.size()); ++s) {
        items_.push_back({s, -1, top});
        top += kHeaderHeight;
        if (isCollapsed(sections_[size_t(s)].pageIndex)) continue;
        for (int r = 0; r < int(sections_[size_t(s)].rows.size()); ++r) {
            items_.push_back({s, r, top});
            top += kRowHeight;
        }
    }
    contentHeight_ = top;
    QScrollBar* bar = verticalScrollBar();
    bar->setPageStep(viewport()->height());
    bar->setRange(0, std::max(0, contentHeight_ - viewport()->height()));  // keeps the value where it can
    viewport()->update();
}

void AnnotationListView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    layoutItems();
}

int AnnotationListView::itemIndexAt(int contentY) const {
    if (contentY < 0 || contentY >= contentHeight_) return -1;
    const auto it = std::upper_bound(items_.begin(), items_.end(), contentY,
                                     [](int y, const Item& item) { return y < item.top; });
    return int(it - items_.begin()) - 1;
}

QRect AnnotationListView::itemRect(const Item& item) const {
    return QRect(0, item.top - verticalScrollBar()->value(), viewport()->width(), item.height());
}

QRect AnnotationListView::rowRect(const PDFAnnotation* annotation) const {
    for (const Item& item : items_)
        if (item.row >= 0 && sections_[size_t(item.section)].rows[size_t(item.row)].annotation.get() == annotation)
            return itemRect(item);
    return {};
}

QRect AnnotationListView::headerRect(int pageIndex) const {
    for (const Item& item : items_)
        if (item.row < 0 && sections_[size_t(item.section)].pageIndex == pageIndex) return itemRect(item);
    return {};
}

const AnnotationRow* AnnotationListView::rowAt(const QPoint& point) const {
    const int index = itemIndexAt(point.y() + verticalScrollBar()->value());
    if (index < 0 || items_[size_t(index)].row < 0) return nullptr;
    const Item& item = items_[size_t(index)];
    return &sections_[size_t(item.section)].rows[size_t(item.row)];
}

void AnnotationListView::scrollToRow(const PDFAnnotation* annotation) {
    for (const AnnotationSection& section : sections_)
        for (const AnnotationRow& row : section.rows)
            if (row.annotation.get() == annotation && isCollapsed(section.pageIndex)) setCollapsed(section.pageIndex, false);
    const QRect rect = rowRect(annotation);
    if (rect.isEmpty()) return;
    QScrollBar* bar = verticalScrollBar();
    if (rect.top() < 0) bar->setValue(bar->value() + rect.top());
    else if (rect.bottom() >= viewport()->height()) bar->setValue(bar->value() + rect.bottom() + 1 - viewport()->height());
}

void AnnotationListView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QAbstractScrollArea::mousePressEvent(event);
    const int index = itemIndexAt(event->position().toPoint().y() + verticalScrollBar()->value());
    if (index < 0) return;
    const Item& item = items_[size_t(index)];
    const AnnotationSection& section = sections_[size_t(item.section)];
    if (item.row < 0) {
        setCollapsed(section.pageIndex, !isCollapsed(section.pageIndex));
        return;
    }
    const AnnotationRow& row = section.rows[size_t(item.row)];
    emit rowClicked(row.annotation, row.pageIndex, event->modifiers());
}

void AnnotationListView::contextMenuEvent(QContextMenuEvent* event) {
    if (const AnnotationRow* row = rowAt(event->pos())) emit rowContextMenuRequested(row->annotation, event->globalPos());
}

void AnnotationListView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Up || event->key() == Qt::Key_Down) {
        emit stepRequested(event->key() == Qt::Key_Up ? -1 : 1, event->modifiers());
        event->accept();
        return;
    }
    QAbstractScrollArea::keyPressEvent(event);
}

void AnnotationListView::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    painter.setRenderHint(QPainter::Antialiasing);
    const int scroll = verticalScrollBar()->value();
    const int first = std::max(0, itemIndexAt(event->rect().top() + scroll));
    for (size_t i = size_t(first); i < items_.size(); ++i) {
        const Item& item = items_[i];
        if (item.top - scroll > event->rect().bottom()) break;
        const QRect rect = itemRect(item);
        const AnnotationSection& section = sections_[size_t(item.section)];
        if (item.row < 0) paintHeader(painter, rect, section);
        else paintRow(painter, rect, sections_[size_t(item.section)].rows[size_t(item.row)]);
    }
}

void AnnotationListView::paintHeader(QPainter& painter, const QRect& rect, const AnnotationSection& section) const {
    const QPalette& pal = palette();
    painter.fillRect(rect, pal.color(QPalette::AlternateBase));

    // Chevron: pointing right when folded, down when open.
    const QPointF c(rect.left() + kPadding + 4, rect.center().y() + 0.5);
    QPainterPath chevron;
    if (isCollapsed(section.pageIndex)) {
        chevron.moveTo(c + QPointF(-2, -4));
        chevron.lineTo(c + QPointF(2, 0));
        chevron.lineTo(c + QPointF(-2, 4));
    } else {
        chevron.moveTo(c + QPointF(-4, -2));
        chevron.lineTo(c + QPointF(0, 2));
        chevron.lineTo(c + QPointF(4, -2));
    }
    painter.setPen(QPen(pal.color(QPalette::PlaceholderText), 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(chevron);

    QFont bold = font();
    bold.setBold(true);
    painter.setFont(bold);
    painter.setPen(pal.color(QPalette::WindowText));
    const QRect textRect = rect.adjusted(kPadding + 14, 0, -kPadding, 0);
    painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Page ") + QString::number(section.pageIndex + 1));

    // The count in a small rounded badge at the right.
    painter.setFont(font());
    const QString count = QString::number(section.rows.size());
    const int width = painter.fontMetrics().horizontalAdvance(count) + 12;
    const QRect badge(textRect.right() - width, rect.center().y() - 9, width, 18);
    painter.setPen(Qt::NoPen);
    painter.setBrush(pal.color(QPalette::Mid));
    painter.drawRoundedRect(badge, 9, 9);
    painter.setPen(pal.color(QPalette::BrightText));
    painter.drawText(badge, Qt::AlignCenter, count);
}

void AnnotationListView::paintRow(QPainter& painter, const QRect& rect, AnnotationRow& row) const {
    row.describe();
    const QPalette& pal = palette();
    const bool selected = tool_ && tool_->selectedAnnotations().count(row.annotation.get()) > 0;
    if (selected) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(pal.color(QPalette::Highlight));
        painter.drawRoundedRect(QRectF(rect).adjusted(4, 2, -4, -2), 6, 6);
    }
    const QColor primary = pal.color(selected ? QPalette::HighlightedText : QPalette::Text);
    QColor secondary = primary;
    secondary.setAlphaF(0.65);

    const QRect inner = rect.adjusted(kPadding + 8, 5, -kPadding, -5);
    const int half = inner.height() / 2;
    QRect top(inner.left(), inner.top(), inner.width(), half);
    QRect bottom(inner.left(), inner.top() + half, inner.width(), inner.height() - half);

    painter.setFont(font());
    painter.setPen(primary);
    painter.drawText(top, Qt::AlignLeft | Qt::AlignVCenter, painter.fontMetrics().elidedText(row.text, Qt::ElideRight, top.width()));

    QFont small = font();
    small.setPointSizeF(std::max(6.0, small.pointSizeF() * 0.85));
    painter.setFont(small);
    painter.setPen(secondary);
    int fontWidth = bottom.width();
    if (!row.date.isEmpty()) {
        painter.drawText(bottom, Qt::AlignRight | Qt::AlignVCenter, row.date);
        fontWidth -= painter.fontMetrics().horizontalAdvance(row.date) + 8;
    }
    painter.drawText(QRect(bottom.left(), bottom.top(), std::max(0, fontWidth), bottom.height()), Qt::AlignLeft | Qt::AlignVCenter,
                     painter.fontMetrics().elidedText(row.fontDescription, Qt::ElideRight, std::max(0, fontWidth)));
}

}  // namespace scrivola
