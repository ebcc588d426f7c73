#include "TextBoxTestSupport.h"

#include "annotation/TextBoxFont.h"
#include "support/PdfFactory.h"

#include <QProcess>
#include <QStandardPaths>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>

namespace scrivola::textboxtest {

PDFDocumentPtr blankDocument(int pages, const QSizeF& size) {
    PDFDocumentPtr document = PDFDocument::createEmpty();
    for (int i = 0; i < pages; ++i) document->insertBlankPage(size, i);
    return document;
}

CoreTextFreeTextAnnotation::Properties properties(const QString& text, double size) {
    CoreTextFreeTextAnnotation::Properties p;
    p.contents = text;
    p.font = textBoxFont(QStringLiteral("DejaVu Sans"), size, false, false);
    p.fontColor = Qt::black;
    return p;
}

PDFDocumentPtr saveAndReopen(const PDFDocument& document, const QString& path) {
    if (!document.write(path)) return nullptr;
    return PDFDocument::load(path);
}

namespace {
bool differs(QRgb pixel, const QColor& background, int tolerance) {
    return std::abs(qRed(pixel) - background.red()) > tolerance || std::abs(qGreen(pixel) - background.green()) > tolerance ||
           std::abs(qBlue(pixel) - background.blue()) > tolerance;
}
}  // namespace

QRect inkBounds(const QImage& image, const QRect& area, QColor background, int tolerance) {
    const QImage img = image.convertToFormat(QImage::Format_ARGB32);
    const QRect r = area.intersected(img.rect());
    int x0 = INT_MAX, y0 = INT_MAX, x1 = -1, y1 = -1;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (differs(img.pixel(x, y), background, tolerance)) {
                x0 = std::min(x0, x);
                y0 = std::min(y0, y);
                x1 = std::max(x1, x);
                y1 = std::max(y1, y);
            }
    if (x1 < 0) return {};
    return QRect(QPoint(x0, y0), QPoint(x1, y1));
}

int inkCount(const QImage& image, const QRect& area, QColor background, int tolerance) {
    const QImage img = image.convertToFormat(QImage::Format_ARGB32);
    const QRect r = area.intersected(img.rect());
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (differs(img.pixel(x, y), background, tolerance)) ++n;
    return n;
}

QByteArray rawPdf(const std::vector<QByteArray>& objects) { return testing::assemblePdf(objects); }

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

QByteArray runTool(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return QByteArray();
    QByteArray out = process.readAllStandardOutput();
    if (out.isNull()) out = QByteArray("");
    return out;
}

bool hasTool(const QString& program) { return !QStandardPaths::findExecutable(program).isEmpty(); }

}  // namespace scrivola::textboxtest
