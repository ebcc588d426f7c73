#pragma once

// Documents whose pages say who they are, for the page-editing, search and saving tests.

#include "support/PdfFactory.h"

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

}  // namespace scrivola::testing
