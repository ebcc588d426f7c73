#include "MarkupTestSupport.h"

#include "support/PdfFactory.h"

#include <QTransform>

namespace scrivola::markuptest {

namespace {

// The page's shown frame: page space -> shown crop box (y up, origin at its bottom-left).
QTransform shownTransform(const PDFPage& page) {
    const QRectF crop = page.bounds(PDFBox::cropBox);
    QTransform t;
    t.rotate(-page.rotation());
    const QRectF turned = t.mapRect(crop);
    return t * QTransform::fromTranslate(-turned.left(), -turned.top());
}

}  // namespace

PDFDocumentPtr load(const QByteArray& bytes) { return PDFDocument::loadFromData(bytes); }

QString pageText(const PDFPage& page) { return page.text().plainText(); }

std::optional<QString> popplerText(const QString& path) {
    if (!testing::hasTool(QStringLiteral("pdftotext"))) return std::nullopt;
    return QString::fromUtf8(testing::runTool(QStringLiteral("pdftotext"), {path, QStringLiteral("-")}));
}

QImage render(const PDFPage& page) { return page.render(1.0).convertToFormat(QImage::Format_RGB32); }

FakeView::FakeView(PDFDocumentPtr document, double scale, double gap)
    : document_(std::move(document)), scale_(scale), gap_(gap) {}

QRectF FakeView::pageRect(int pageIndex) const {
    double left = 0;
    for (int i = 0; i < document_->pageCount(); ++i) {
        const QSizeF size = document_->page(i)->rotatedSize(PDFBox::cropBox) * scale_;
        if (i == pageIndex) return QRectF(QPointF(left, 0), size);
        left += size.width() + gap_;
    }
    return {};
}

int FakeView::pageIndexAt(const QPointF& viewPoint, bool nearest) const {
    int best = -1;
    double bestDistance = 0;
    for (int i = 0; i < document_->pageCount(); ++i) {
        const QRectF r = pageRect(i);
        if (r.contains(viewPoint)) return i;
        const double dx = std::max({r.left() - viewPoint.x(), 0.0, viewPoint.x() - r.right()});
        const double dy = std::max({r.top() - viewPoint.y(), 0.0, viewPoint.y() - r.bottom()});
        const double d = dx * dx + dy * dy;
        if (best < 0 || d < bestDistance) {
            best = i;
            bestDistance = d;
        }
    }
    return nearest ? best : -1;
}

QPointF FakeView::convertToPage(const QPointF& viewPoint, int pageIndex) const {
    const PDFPagePtr page = document_->page(pageIndex);
    if (!page) return {};
    const QRectF r = pageRect(pageIndex);
    const QPointF shown((viewPoint.x() - r.left()) / scale_, (viewPoint.y() - r.top()) / scale_);
    return shownTransform(*page).inverted().map(shown);
}

QPointF FakeView::convertFromPage(const QPointF& pagePoint, int pageIndex) const {
    const PDFPagePtr page = document_->page(pageIndex);
    if (!page) return {};
    const QRectF r = pageRect(pageIndex);
    const QPointF shown = shownTransform(*page).map(pagePoint);
    return QPointF(r.left() + shown.x() * scale_, r.top() + shown.y() * scale_);
}

PDFSelection lineSelection(const PDFPagePtr& page, const QStringList& lines) {
    std::vector<PDFSelection::LineRange> ranges;
    const PDFPageText text = page->text();
    for (const QString& wanted : lines)
        for (const PDFTextBlock& block : text.blocks)
            for (const PDFTextLine& line : block.lines)
                if (line.text.contains(wanted)) ranges.push_back({page, line.bounds, line.text});
    return PDFSelection(ranges);
}

}  // namespace scrivola::markuptest
