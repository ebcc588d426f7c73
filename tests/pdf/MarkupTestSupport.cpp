#include "MarkupTestSupport.h"

#include "support/PdfFactory.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTransform>
#include <QtEndian>

namespace scrivola::markuptest {

namespace {

QByteArray num(double v) { return QByteArray::number(v, 'f', 3); }

QByteArray rectText(const QRectF& r) {
    return "[" + num(r.left()) + " " + num(r.top()) + " " + num(r.right()) + " " + num(r.bottom()) + "]";
}

QByteArray streamObject(const QByteArray& dictionary, const QByteArray& data) {
    return "<< " + dictionary + " /Length " + QByteArray::number(data.size()) + " >>\nstream\n" + data + "\nendstream";
}

// The page's shown frame: page space -> shown crop box (y up, origin at its bottom-left).
QTransform shownTransform(const PDFPage& page) {
    const QRectF crop = page.bounds(PDFBox::cropBox);
    QTransform t;
    t.rotate(-page.rotation());
    const QRectF turned = t.mapRect(crop);
    return t * QTransform::fromTranslate(-turned.left(), -turned.top());
}

}  // namespace

QByteArray buildPdf(const std::vector<Page>& pages, bool outlineToFirstPage) {
    // 1 catalog, 2 pages, 3 resources, 4 font, 5 picture, 6 outlines, 7 outline item, then pages.
    std::vector<QByteArray> bodies(7);
    QByteArray kids;
    const int first = 8;
    for (size_t i = 0; i < pages.size(); ++i) {
        const int pageNum = first + int(i) * 2;
        const Page& p = pages[i];
        kids += QByteArray::number(pageNum) + " 0 R ";
        QByteArray dict = "<< /Type /Page /Parent 2 0 R /MediaBox " + rectText(p.mediaBox);
        if (p.cropBox) dict += " /CropBox " + rectText(*p.cropBox);
        if (p.rotate) dict += " /Rotate " + QByteArray::number(p.rotate);
        if (!p.annots.isEmpty()) dict += " /Annots [" + p.annots + "]";
        dict += " /Resources 3 0 R /Contents " + QByteArray::number(pageNum + 1) + " 0 R >>";
        bodies.push_back(dict);
        bodies.push_back(streamObject({}, p.content));
    }
    bodies[0] = outlineToFirstPage ? "<< /Type /Catalog /Pages 2 0 R /Outlines 6 0 R >>" : "<< /Type /Catalog /Pages 2 0 R >>";
    bodies[1] = "<< /Type /Pages /Kids [" + kids + "] /Count " + QByteArray::number(qulonglong(pages.size())) + " >>";
    bodies[2] = "<< /Font << /F1 4 0 R >> /XObject << /Im1 5 0 R >> >>";
    bodies[3] = "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>";
    QByteArray pixels;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x) pixels += x < 8 ? QByteArray("\xff\x00\x00", 3) : QByteArray("\x00\x00\xff", 3);
    bodies[4] = streamObject("/Type /XObject /Subtype /Image /Width 16 /Height 8 /ColorSpace /DeviceRGB /BitsPerComponent 8", pixels);
    bodies[5] = "<< /Type /Outlines /First 7 0 R /Last 7 0 R /Count 1 >>";
    bodies[6] = "<< /Title (First) /Parent 6 0 R /Dest [" + QByteArray::number(first) + " 0 R /Fit] >>";
    return testing::assemblePdf(bodies);
}

QByteArray textLine(const QString& text, double x, double y) {
    return "BT /F1 12 Tf " + num(x) + " " + num(y) + " Td (" + text.toLatin1() + ") Tj ET\n";
}

QByteArray picture(double x, double y, double w, double h) {
    return "q " + num(w) + " 0 0 " + num(h) + " " + num(x) + " " + num(y) + " cm /Im1 Do Q\n";
}

QByteArray blackBar(double x, double y, double w, double h) {
    return "q 0 0 0 rg " + num(x) + " " + num(y) + " " + num(w) + " " + num(h) + " re f Q\n";
}

PDFDocumentPtr load(const QByteArray& bytes) { return PDFDocument::loadFromData(bytes); }

std::vector<RawStream> streams(const QByteArray& file) {
    std::vector<RawStream> result;
    static const QRegularExpression start(QStringLiteral("stream\\r?\\n"));
    qsizetype at = 0;
    while (true) {
        const qsizetype keyword = file.indexOf("stream", at);
        if (keyword < 0) break;
        // Skip "endstream".
        if (keyword >= 3 && file.mid(keyword - 3, 3) == "end") {
            at = keyword + 6;
            continue;
        }
        qsizetype dataStart = keyword + 6;
        if (file.mid(dataStart, 2) == "\r\n") dataStart += 2;
        else if (dataStart < file.size() && (file[dataStart] == '\n' || file[dataStart] == '\r')) dataStart += 1;
        else {
            at = keyword + 6;
            continue;
        }
        const qsizetype end = file.indexOf("endstream", dataStart);
        if (end < 0) break;
        const qsizetype dictStart = file.lastIndexOf("obj", keyword);
        RawStream s;
        s.dictionary = dictStart >= 0 ? file.mid(dictStart, keyword - dictStart) : QByteArray();
        const QByteArray raw = file.mid(dataStart, end - dataStart);
        s.data = raw;
        if (s.dictionary.contains("FlateDecode")) {
            QByteArray withSize(4, '\0');
            qToBigEndian<quint32>(quint32(std::max<qsizetype>(raw.size() * 8, 1024)), withSize.data());
            const QByteArray inflated = qUncompress(withSize + raw);
            if (!inflated.isEmpty()) s.data = inflated;
        }
        result.push_back(s);
        at = end + 9;
    }
    return result;
}

bool fileContains(const QByteArray& file, const QByteArray& word) {
    if (file.contains(word)) return true;
    for (const RawStream& s : streams(file))
        if (s.data.contains(word)) return true;
    return false;
}

QString pageText(const PDFPage& page) { return page.text().plainText(); }

std::optional<QString> popplerText(const QString& path) {
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    if (tool.isEmpty()) return std::nullopt;
    QProcess process;
    process.start(tool, {path, QStringLiteral("-")});
    if (!process.waitForFinished(60000) || process.exitCode() != 0) return QString();
    return QString::fromUtf8(process.readAllStandardOutput());
}

QImage render(const PDFPage& page) { return page.render(1.0).convertToFormat(QImage::Format_RGB32); }

double share(const QImage& image, const QRect& area, const QColor& colour, int tolerance) {
    const QRect r = area & image.rect();
    if (r.isEmpty()) return 0;
    int hits = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - colour.red()) <= tolerance && std::abs(c.green() - colour.green()) <= tolerance &&
                std::abs(c.blue() - colour.blue()) <= tolerance)
                ++hits;
        }
    return double(hits) / double(r.width() * r.height());
}

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
