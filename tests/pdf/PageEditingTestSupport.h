#pragma once

// Helpers for the page-editing, search and saving tests: documents whose pages say who they
// are, and readers of the resulting documents and files.

#include "pdf/engine/PDFEngine.h"
#include "support/PdfFactory.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QtEndian>

#include <vector>

namespace scrivola::pagetest {

// Page i reads "Page i+1" on its first line, then a word found only on that page.
inline QStringList labelledPageLines(int pageIndex) {
    return {QStringLiteral("Page %1").arg(pageIndex + 1), QStringLiteral("uniqueword%1 here").arg(pageIndex + 1)};
}

inline QByteArray labelledPdf(int pages) { return testing::textPdf(pages, labelledPageLines); }

// The first text line of a page ("Page 3"), empty when it has none.
inline QString pageLabel(const PDFPage& page) {
    const PDFPageText text = page.text();
    if (text.blocks.empty() || text.blocks.front().lines.empty()) return {};
    return text.blocks.front().lines.front().text.trimmed();
}

inline QStringList pageLabels(const PDFDocument& document) {
    QStringList labels;
    for (int i = 0; i < document.pageCount(); ++i) labels << pageLabel(*document.page(i));
    return labels;
}

inline std::vector<int> rotations(const PDFDocument& document) {
    std::vector<int> result;
    for (int i = 0; i < document.pageCount(); ++i) result.push_back(document.page(i)->rotation());
    return result;
}

// "Page 1", "Page 2", ... for the given one-based numbers.
inline QStringList labels(std::initializer_list<int> numbers) {
    QStringList result;
    for (int n : numbers) result << QStringLiteral("Page %1").arg(n);
    return result;
}

inline QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Every stream of a PDF file, deflated ones inflated, concatenated: what a reader of the
// file's bytes could recover.
inline QByteArray streamContents(const QByteArray& pdf) {
    QByteArray all;
    qsizetype pos = 0;
    while ((pos = pdf.indexOf("stream", pos)) >= 0) {
        if (pos >= 3 && pdf.mid(pos - 3, 3) == "end") {
            pos += 6;
            continue;
        }
        qsizetype start = pos + 6;
        if (pdf.mid(start, 2) == "\r\n") start += 2;
        else if (start < pdf.size() && (pdf[start] == '\n' || pdf[start] == '\r')) start += 1;
        const qsizetype end = pdf.indexOf("endstream", start);
        if (end < 0) break;
        const QByteArray data = pdf.mid(start, end - start);
        all += data;
        if (data.isEmpty() || uchar(data[0]) != 0x78) {  // not a zlib stream
            pos = end + 9;
            continue;
        }
        // qUncompress wants the expected size in front; it grows its buffer when that is short.
        QByteArray framed(4, '\0');
        qToBigEndian<quint32>(quint32(data.size() * 8 + 1024), framed.data());
        all += qUncompress(framed + data);
        pos = end + 9;
    }
    return all;
}

}  // namespace scrivola::pagetest
