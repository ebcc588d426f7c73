#include "PdfModelTestFiles.h"

#include <QBuffer>
#include <QFile>

#include <cstdlib>
#include <stdexcept>

namespace scrivola::pdftest {

PDFDocumentPtr blankDocument(int pages, const QSizeF& size) {
    PDFDocumentPtr document = PDFDocument::createEmpty();
    for (int i = 0; i < pages; ++i) document->insertBlankPage(size, i);
    return document;
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

QByteArray readBytes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll();
}

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write test file");
}

QColor centreColour(const PDFPage& page) {
    const QImage image = page.render(0.25);
    if (image.isNull()) return {};
    return image.pixelColor(image.width() / 2, image.height() / 2);
}

QRect inkBounds(const QImage& image) {
    int left = image.width(), top = image.height(), right = -1, bottom = -1;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.red() > 235 && c.green() > 235 && c.blue() > 235) continue;
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    }
    return right < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

bool sameColour(const QColor& a, const QColor& b, int tolerance) {
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance
           && std::abs(a.blue() - b.blue()) <= tolerance;
}

}  // namespace scrivola::pdftest
