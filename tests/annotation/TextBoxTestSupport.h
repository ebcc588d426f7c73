#pragma once

// Helpers for the text-box tests: the shared factories, and text boxes in the stored form.

#include "annotation/CoreTextFreeTextAnnotation.h"
#include "annotation/TextBoxFont.h"
#include "support/PdfFactory.h"

namespace scrivola::textboxtest {

using testing::findObject;
using testing::hasTool;
using testing::inkBounds;
using testing::inkCount;
using testing::share;
using testing::objectByNumber;
using testing::RawObject;
using testing::runTool;
using testing::saveAndReopen;

// A document of `pages` blank pages of `size` points.
inline PDFDocumentPtr blankDocument(int pages = 1, const QSizeF& size = {300, 400}) {
    return testing::blankDocument(pages, size);
}

inline QByteArray rawPdf(const std::vector<QByteArray>& objects) { return testing::assemblePdf(objects); }

// Black DejaVu Sans text of `size` points.
inline CoreTextFreeTextAnnotation::Properties properties(const QString& text, double size = 14) {
    CoreTextFreeTextAnnotation::Properties p;
    p.contents = text;
    p.font = textBoxFont(QStringLiteral("DejaVu Sans"), size, false, false);
    p.fontColor = Qt::black;
    return p;
}

}  // namespace scrivola::textboxtest
