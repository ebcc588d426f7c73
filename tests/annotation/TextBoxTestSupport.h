#pragma once

// Helpers for the text-box tests: documents with blank pages, text boxes in the stored form,
// saving and reopening, pixel probes and the poppler tools.

#include "annotation/CoreTextFreeTextAnnotation.h"
#include "pdf/engine/PDFEngine.h"

#include <QImage>
#include <QRect>
#include <QString>
#include <QStringList>

#include <vector>

namespace scrivola::textboxtest {

// A document of `pages` blank pages of `size` points.
PDFDocumentPtr blankDocument(int pages = 1, const QSizeF& size = {300, 400});

CoreTextFreeTextAnnotation::Properties properties(const QString& text, double size = 14);

// Saves `document` to `path` and loads it again.
PDFDocumentPtr saveAndReopen(const PDFDocument& document, const QString& path);

// The bounding box of the pixels of `image` inside `area` whose colour differs from `background`
// by more than `tolerance` in any channel; empty when none.
QRect inkBounds(const QImage& image, const QRect& area, QColor background = Qt::white, int tolerance = 60);
// The number of such pixels.
int inkCount(const QImage& image, const QRect& area, QColor background = Qt::white, int tolerance = 60);

// A PDF of the given objects, numbered from 1 in order (object 1 must be the catalog), with a
// correct cross-reference table. Each entry is the object's body without "N 0 obj".
QByteArray rawPdf(const std::vector<QByteArray>& objects);

// The body of the object that contains `marker` in a saved file, with its number; empty when
// not found. Useful to check dictionary entries the engine API does not expose.
struct RawObject {
    int number = 0;
    QByteArray body;
};
RawObject findObject(const QByteArray& file, const QByteArray& marker);
RawObject objectByNumber(const QByteArray& file, int number);

// Runs a program; returns its standard output, or a null array when it could not run or failed.
QByteArray runTool(const QString& program, const QStringList& arguments);
bool hasTool(const QString& program);

}  // namespace scrivola::textboxtest
