#pragma once

#include "pdf/engine/PDFEngine.h"

#include <QString>
#include <QUuid>

namespace scrivola {

// One hit of a text search. `id` is a fresh identity per result; lists key their rows on it.
struct SearchResult {
    QUuid id;
    int pageIndex = 0;      // the first page the hit lies on
    QString text;           // the matched text, or the query when the engine gives none
    PDFSelection selection; // used to highlight and scroll to the hit
};

}  // namespace scrivola
