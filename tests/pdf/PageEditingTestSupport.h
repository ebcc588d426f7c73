#pragma once

// Documents whose pages say who they are, and a fixture that opens one from a file with its
// context, for the page-editing, search and saving tests.

#include "pdf/PDFDocumentContext.h"
#include "pdf/PDFDocumentModel.h"
#include "support/PdfFactory.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

namespace scrivola::testing {

// Page i reads "Page i+1" on its first line, then a word found only on that page.
inline QStringList labelledPageLines(int pageIndex) {
    return {QStringLiteral("Page %1").arg(pageIndex + 1), QStringLiteral("uniqueword%1 here").arg(pageIndex + 1)};
}
inline QByteArray labelledPdf(int pages) { return textPdf(pages, labelledPageLines); }

inline QStringList pageLabels(const PDFDocument& document) {
    QStringList labels;
    for (int i = 0; i < document.pageCount(); ++i) labels << firstLine(*document.page(i));
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

class OpenedPdfTest : public ::testing::Test {
protected:
    // Writes `bytes` to doc.pdf and opens it; a document opened before is closed first.
    void open(const QByteArray& bytes) {
        context.reset();
        model.reset();
        path = writeFile(dir, QStringLiteral("doc.pdf"), bytes);
        original = bytes;
        model = std::make_unique<PDFDocumentModel>(path);
        context = std::make_unique<PDFDocumentContext>(model.get());
    }
    PDFDocument& document() { return *model->pdfDocument(); }

    QTemporaryDir dir;
    QString path;
    QByteArray original;
    std::unique_ptr<PDFDocumentModel> model;
    std::unique_ptr<PDFDocumentContext> context;
};

}  // namespace scrivola::testing
