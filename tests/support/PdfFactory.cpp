#include "support/PdfFactory.h"

#include <QBuffer>
#include <QtEndian>

#include <cctype>

namespace scrivola::testing {
namespace {

QByteArray num(double v) { return QByteArray::number(v, 'f', 3); }

QByteArray rect(const QRectF& r) {
    return "[" + num(r.left()) + " " + num(r.top()) + " " + num(r.right()) + " " + num(r.bottom()) + "]";
}

QByteArray pdfString(const QString& text) {
    QByteArray out = "(";
    for (char c : text.toLatin1()) {
        if (c == '(' || c == ')' || c == '\\') out += '\\';
        out += c;
    }
    return out + ")";
}

QByteArray contentFor(const PdfPageSpec& page) {
    QByteArray content;
    for (const auto& line : page.lines) {
        content += "BT /F1 " + num(line.fontSize) + " Tf " + num(line.baseline.x()) + " " + num(line.baseline.y()) +
                   " Td " + pdfString(line.text) + " Tj ET\n";
    }
    content += page.content;
    return content;
}

QByteArray stream(const QByteArray& data, const QByteArray& dictionary = {}) {
    return "<< " + dictionary + " /Length " + QByteArray::number(data.size()) + " >>\nstream\n" + data + "\nendstream";
}

}  // namespace

QByteArray assemblePdf(const std::vector<QByteArray>& bodies) {
    QByteArray out = "%PDF-1.7\n%\xE2\xE3\xCF\xD3\n";
    std::vector<qsizetype> offsets;
    for (size_t i = 0; i < bodies.size(); ++i) {
        offsets.push_back(out.size());
        out += QByteArray::number(qulonglong(i + 1)) + " 0 obj\n" + bodies[i] + "\nendobj\n";
    }
    const qsizetype xref = out.size();
    out += "xref\n0 " + QByteArray::number(qulonglong(bodies.size() + 1)) + "\n0000000000 65535 f \n";
    for (qsizetype off : offsets) out += QByteArray::number(off).rightJustified(10, '0') + " 00000 n \n";
    out += "trailer\n<< /Size " + QByteArray::number(qulonglong(bodies.size() + 1)) + " /Root 1 0 R >>\nstartxref\n" +
           QByteArray::number(xref) + "\n%%EOF\n";
    return out;
}

QByteArray buildPdf(const std::vector<PdfPageSpec>& pages, bool outlineToFirstPage) {
    // 1 catalog, 2 pages, 3 font, then (page, content) pairs; then the picture when a page draws
    // it, and the outline when asked for.
    bool usesPicture = false;
    for (const auto& p : pages) usesPicture = usesPicture || p.content.contains("/Im1");
    const int pictureNum = int(4 + pages.size() * 2);
    const int outlineNum = pictureNum + (usesPicture ? 1 : 0);
    QByteArray resources = "<< /Font << /F1 3 0 R >>";
    if (usesPicture) resources += " /XObject << /Im1 " + QByteArray::number(pictureNum) + " 0 R >>";
    resources += " >>";
    std::vector<QByteArray> bodies(3);
    QByteArray kids;
    for (size_t i = 0; i < pages.size(); ++i) {
        const int pageNum = int(4 + i * 2);
        kids += QByteArray::number(pageNum) + " 0 R ";
        const auto& p = pages[i];
        QByteArray dict = "<< /Type /Page /Parent 2 0 R /MediaBox " + rect(p.mediaBox);
        if (p.cropBox) dict += " /CropBox " + rect(*p.cropBox);
        if (p.rotate) dict += " /Rotate " + QByteArray::number(p.rotate);
        if (!p.annots.isEmpty()) dict += " /Annots [" + p.annots + "]";
        dict += " /Resources " + resources + " /Contents " + QByteArray::number(pageNum + 1) + " 0 R >>";
        bodies.push_back(dict);
        bodies.push_back(stream(contentFor(p)));
    }
    if (usesPicture) {
        QByteArray pixels;
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 16; ++x) pixels += x < 8 ? QByteArray("\xff\x00\x00", 3) : QByteArray("\x00\x00\xff", 3);
        bodies.push_back(stream(pixels, "/Type /XObject /Subtype /Image /Width 16 /Height 8 /ColorSpace /DeviceRGB "
                                        "/BitsPerComponent 8"));
    }
    const QByteArray outline = QByteArray::number(outlineNum);
    if (outlineToFirstPage) {
        bodies.push_back("<< /Type /Outlines /First " + QByteArray::number(outlineNum + 1) + " 0 R /Last " +
                         QByteArray::number(outlineNum + 1) + " 0 R /Count 1 >>");
        bodies.push_back("<< /Title (First) /Parent " + outline + " 0 R /Dest [4 0 R /Fit] >>");
    }
    bodies[0] = "<< /Type /Catalog /Pages 2 0 R" + (outlineToFirstPage ? " /Outlines " + outline + " 0 R" : QByteArray()) + " >>";
    bodies[1] = "<< /Type /Pages /Kids [" + kids + "] /Count " + QByteArray::number(qulonglong(pages.size())) + " >>";
    bodies[2] = "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>";
    return assemblePdf(bodies);
}

QByteArray textLine(const QString& text, double x, double y) {
    return "BT /F1 12 Tf " + num(x) + " " + num(y) + " Td " + pdfString(text) + " Tj ET\n";
}

QByteArray picture(double x, double y, double w, double h) {
    return "q " + num(w) + " 0 0 " + num(h) + " " + num(x) + " " + num(y) + " cm /Im1 Do Q\n";
}

QByteArray blackBar(double x, double y, double w, double h) {
    return "q 0 0 0 rg " + num(x) + " " + num(y) + " " + num(w) + " " + num(h) + " re f Q\n";
}

QStringList defaultPageLines(int pageIndex) {
    return {QStringLiteral("Page %1").arg(pageIndex + 1), QStringLiteral("The quick brown fox jumps over the lazy dog."),
            QStringLiteral("Pack my box with five dozen liquor jugs."),
            QStringLiteral("Sphinx of black quartz, judge my vow.")};
}

QByteArray textPdf(int pages, const std::function<QStringList(int)>& pageText, const QSizeF& size) {
    std::vector<PdfPageSpec> specs;
    for (int i = 0; i < pages; ++i) {
        PdfPageSpec spec;
        spec.mediaBox = QRectF(QPointF(0, 0), size);
        const QStringList lines = pageText ? pageText(i) : defaultPageLines(i);
        for (int k = 0; k < lines.size(); ++k)
            spec.lines.push_back({lines[k], QPointF(72, size.height() - 72 - 16 * k)});
        specs.push_back(spec);
    }
    return buildPdf(specs);
}

QByteArray rotatedOffsetPage(const QStringList& lines) {
    PdfPageSpec spec;
    spec.mediaBox = QRectF(kOffsetX, kOffsetY, 612, 792);
    spec.rotate = 90;
    const QStringList text = lines.isEmpty() ? QStringList{QStringLiteral("Rotated offset page")} : lines;
    for (int k = 0; k < text.size(); ++k) spec.lines.push_back({text[k], QPointF(172, 920 - 16 * k)});
    return buildPdf({spec});
}

QByteArray croppedPage() {
    PdfPageSpec spec;
    spec.cropBox = QRectF(QPointF(50, 60), QPointF(550, 700));
    spec.lines.push_back({QStringLiteral("Cropped page"), QPointF(100, 600)});
    return buildPdf({spec});
}

QByteArray withUpdate(const QByteArray& base, const std::map<int, QByteArray>& objects) {
    const QByteArray prev = base.mid(base.lastIndexOf("startxref") + 10).split('\n').value(0).trimmed();
    QByteArray out = base, table = "xref\n0 1\n0000000000 65535 f \n";
    for (const auto& [number, body] : objects) {
        table += QByteArray::number(number) + " 1\n" + QByteArray::number(out.size()).rightJustified(10, '0') + " 00000 n \n";
        out += QByteArray::number(number) + " 0 obj\n" + body + "\nendobj\n";
    }
    return out + table + "trailer\n<< /Size " + QByteArray::number(objects.rbegin()->first + 1) + " /Root 1 0 R /Prev " + prev +
           " >>\nstartxref\n" + QByteArray::number(out.size()) + "\n%%EOF\n";
}

QByteArray incrementalUpdatePdf() {
    // Objects 1-5 exist (catalog, pages, font, page, content): a new page 6 with content 7 joins
    // the page tree 2.
    return withUpdate(textPdf(1, [](int) { return QStringList{QStringLiteral("Original")}; }),
                      {{2, "<< /Type /Pages /Kids [4 0 R 6 0 R] /Count 2 >>"},
                       {6, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Resources << /Font << /F1 3 0 R >> >> "
                           "/Contents 7 0 R >>"},
                       {7, stream("BT /F1 12 Tf 72 720 Td (Updated page) Tj ET")}});
}

QByteArray brokenXrefPdf(int pages) {
    QByteArray bytes = textPdf(pages);
    const qsizetype xref = bytes.lastIndexOf("xref\n0 ");
    qsizetype pos = bytes.indexOf(" 00000 n \n", xref);
    while (pos > 0) {
        // Shift every offset by 3 so no entry points at its object.
        const qsizetype start = pos - 10;
        const qlonglong off = bytes.mid(start, 10).toLongLong() + 3;
        bytes.replace(start, 10, QByteArray::number(off).rightJustified(10, '0'));
        pos = bytes.indexOf(" 00000 n \n", pos + 1);
    }
    return bytes;
}

QByteArray annotatedPage() {
    return assemblePdf({
        "<< /Type /Catalog /Pages 2 0 R /AcroForm << /Fields [7 0 R] >> >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 300] /Contents 4 0 R /Annots [5 0 R 6 0 R 7 0 R 8 0 R]"
        " /Resources << /Font << /F1 << /Type /Font /Subtype /Type1 /BaseFont /Helvetica >> >> >> >>",
        stream("BT /F1 12 Tf 20 250 Td (Annotated page) Tj ET"),
        "<< /Type /Annot /Subtype /FreeText /Rect [20 150 200 190] /Contents (Box text) /DA (/Helv 12 Tf 0 g) >>",
        "<< /Type /Annot /Subtype /Highlight /Rect [20 245 120 265] /QuadPoints [20 265 120 265 20 245 120 245]"
        " /C [1 1 0] >>",
        "<< /Type /Annot /Subtype /Widget /FT /Tx /T (name) /V (value) /Rect [20 80 200 100] /P 3 0 R >>",
        "<< /Type /Annot /Subtype /Link /Rect [20 20 100 40] /A << /S /URI /URI (https://example.org) >> >>",
    });
}

QByteArray truncated(const QByteArray& bytes, qsizetype n) { return bytes.left(n); }

PDFDocumentPtr blankDocument(int pages, const QSizeF& size) {
    PDFDocumentPtr document = PDFDocument::createEmpty();
    for (int i = 0; i < pages; ++i) document->insertBlankPage(size, i);
    return document;
}

QByteArray pdfWithImage(const QImage& image, QSizeF pageSize, int pages) {
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    auto document = PDFDocument::createEmpty();
    for (int i = 0; i < pages; ++i) document->appendImagePage(png, pageSize);
    return document->writeToBuffer();
}

PDFDocumentPtr colourDocument(const std::vector<QColor>& colours, const std::vector<QSizeF>& sizes) {
    PDFDocumentPtr document = PDFDocument::createEmpty();
    for (std::size_t i = 0; i < colours.size(); ++i) {
        QImage image(8, 8, QImage::Format_RGB32);
        image.fill(colours[i]);
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        document->appendImagePage(png, i < sizes.size() ? sizes[i] : QSizeF(300, 400));
    }
    return document;
}

std::vector<QColor> distinctColours() {
    return {QColor(220, 30, 30), QColor(30, 160, 30), QColor(30, 30, 220),
            QColor(230, 200, 20), QColor(160, 30, 160), QColor(20, 170, 170)};
}

PDFDocumentPtr saveAndReopen(const PDFDocument& document, const QString& path) {
    if (!document.write(path)) return nullptr;
    return PDFDocument::load(path);
}

QString firstLine(const PDFPage& page) {
    const PDFPageText text = page.text();
    if (text.blocks.empty() || text.blocks.front().lines.empty()) return {};
    return text.blocks.front().lines.front().text.trimmed();
}

QByteArray plainBytes(const PDFDocument& document) {
    PDFWriteOptions options;
    options.compressStreams = false;
    return document.writeToBuffer(options);
}

std::vector<RawStream> streams(const QByteArray& file) {
    std::vector<RawStream> result;
    qsizetype at = 0;
    while (true) {
        const qsizetype keyword = file.indexOf("stream", at);
        if (keyword < 0) break;
        at = keyword + 6;
        if (keyword >= 3 && file.mid(keyword - 3, 3) == "end") continue;
        qsizetype dataStart = keyword + 6;
        if (file.mid(dataStart, 2) == "\r\n") dataStart += 2;
        else if (dataStart < file.size() && (file[dataStart] == '\n' || file[dataStart] == '\r')) dataStart += 1;
        else continue;
        const qsizetype end = file.indexOf("endstream", dataStart);
        if (end < 0) break;
        const qsizetype dictStart = file.lastIndexOf("obj", keyword);
        RawStream s{dictStart >= 0 ? file.mid(dictStart, keyword - dictStart) : QByteArray(),
                    file.mid(dataStart, end - dataStart)};
        if (s.dictionary.contains("FlateDecode")) {
            // qUncompress wants the expected size in front; it grows its buffer when that is short.
            QByteArray withSize(4, '\0');
            qToBigEndian<quint32>(quint32(std::max<qsizetype>(s.data.size() * 8, 1024)), withSize.data());
            const QByteArray inflated = qUncompress(withSize + s.data);
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

namespace {
std::vector<RawObject> objectsOf(const QByteArray& file) {
    std::vector<RawObject> result;
    qsizetype at = 0;
    for (;;) {
        const qsizetype head = file.indexOf(" 0 obj", at);
        if (head < 0) break;
        qsizetype start = head;
        while (start > 0 && isdigit(uchar(file[start - 1]))) --start;
        const qsizetype end = file.indexOf("endobj", head);
        if (end < 0) break;
        result.push_back(RawObject{file.mid(start, head - start).toInt(), file.mid(head + 6, end - head - 6)});
        at = end + 6;
    }
    return result;
}
}  // namespace

RawObject findObject(const QByteArray& file, const QByteArray& marker) {
    for (const RawObject& object : objectsOf(file))
        if (object.body.contains(marker)) return object;
    return {};
}

RawObject objectByNumber(const QByteArray& file, int number) {
    RawObject found;
    for (const RawObject& object : objectsOf(file))
        if (object.number == number) found = object;  // the last definition wins
    return found;
}

}  // namespace scrivola::testing
