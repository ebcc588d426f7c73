#include "support/PdfFactory.h"

#include <QFile>
#include <QTemporaryDir>

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
    content += page.extraContent;
    return content;
}

QByteArray stream(const QByteArray& data) {
    return "<< /Length " + QByteArray::number(data.size()) + " >>\nstream\n" + data + "\nendstream";
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

QByteArray buildPdf(const std::vector<PdfPageSpec>& pages) {
    // 1 catalog, 2 pages, 3 font, then (page, content) pairs.
    std::vector<QByteArray> bodies(3);
    QByteArray kids;
    for (size_t i = 0; i < pages.size(); ++i) {
        const int pageNum = int(4 + i * 2);
        kids += QByteArray::number(pageNum) + " 0 R ";
        const auto& p = pages[i];
        QByteArray dict = "<< /Type /Page /Parent 2 0 R /MediaBox " + rect(p.mediaBox);
        if (p.cropBox) dict += " /CropBox " + rect(*p.cropBox);
        if (p.rotate) dict += " /Rotate " + QByteArray::number(p.rotate);
        dict += " /Resources << /Font << /F1 3 0 R >> >> /Contents " + QByteArray::number(pageNum + 1) + " 0 R >>";
        bodies.push_back(dict);
        bodies.push_back(stream(contentFor(p)));
    }
    bodies[0] = "<< /Type /Catalog /Pages 2 0 R >>";
    bodies[1] = "<< /Type /Pages /Kids [" + kids + "] /Count " + QByteArray::number(qulonglong(pages.size())) + " >>";
    bodies[2] = "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>";
    return assemblePdf(bodies);
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

QByteArray incrementalUpdatePdf() {
    QByteArray base = textPdf(1, [](int) { return QStringList{QStringLiteral("Original")}; });
    const qsizetype sx = base.lastIndexOf("startxref");
    const QByteArray prev = base.mid(sx + 10).split('\n').value(0).trimmed();
    // Objects 1-5 exist (catalog, pages, font, page, content). Add 6 (page), 7 (content), new 2.
    QByteArray out = base;
    const QByteArray content = "BT /F1 12 Tf 72 720 Td (Updated page) Tj ET";
    const qsizetype o6 = out.size();
    out += "6 0 obj\n<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Resources << /Font << /F1 3 0 R >> >> "
           "/Contents 7 0 R >>\nendobj\n";
    const qsizetype o7 = out.size();
    out += "7 0 obj\n" + stream(content) + "\nendobj\n";
    const qsizetype o2 = out.size();
    out += "2 0 obj\n<< /Type /Pages /Kids [4 0 R 6 0 R] /Count 2 >>\nendobj\n";
    const qsizetype xref = out.size();
    auto entry = [](qsizetype off) { return QByteArray::number(off).rightJustified(10, '0') + " 00000 n \n"; };
    out += "xref\n0 1\n0000000000 65535 f \n2 1\n" + entry(o2) + "6 2\n" + entry(o6) + entry(o7);
    out += "trailer\n<< /Size 8 /Root 1 0 R /Prev " + prev + " >>\nstartxref\n" + QByteArray::number(xref) +
           "\n%%EOF\n";
    return out;
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

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
    const QString path = dir.filePath(name);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) file.write(bytes);
    return path;
}

}  // namespace scrivola::testing
