#pragma once

// Small generators for the model, context and printing tests: documents whose pages can be told
// apart by colour and size, and file helpers.

#include "pdf/engine/PDFEngine.h"

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QRect>
#include <QSizeF>
#include <QString>

#include <vector>

namespace scrivola::pdftest {

// A document of `pages` blank pages of `size` points.
PDFDocumentPtr blankDocument(int pages, const QSizeF& size = {200, 300});

// A document whose page i is filled entirely with colours[i]; page sizes from `sizes` when
// given (one per page), 300 x 400 points otherwise.
PDFDocumentPtr colourDocument(const std::vector<QColor>& colours, const std::vector<QSizeF>& sizes = {});

// Six clearly distinct colours.
std::vector<QColor> distinctColours();

QByteArray readBytes(const QString& path);
void writeBytes(const QString& path, const QByteArray& bytes);

// The colour at the centre of a page rendered at a small scale.
QColor centreColour(const PDFPage& page);
// The bounding box of the pixels that are not (nearly) white in `image`; empty when none.
QRect inkBounds(const QImage& image);
// True when two colours differ by at most `tolerance` in each channel.
bool sameColour(const QColor& a, const QColor& b, int tolerance = 12);

}  // namespace scrivola::pdftest
