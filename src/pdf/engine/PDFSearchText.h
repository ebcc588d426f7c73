#pragma once

// Private to the engine folder: page text search on a loaded page, shared by the document's own
// search and the threaded search over private copies (any thread, the caller's context).

#include "pdf/engine/EngineContext.h"

#include <QRectF>
#include <QString>

#include <vector>

namespace scrivola::engine {

// One part of a hit: the matched characters of one line, their box in page space and text.
struct TextHitPart {
    QRectF bounds;
    QString text;
};
using TextHit = std::vector<TextHitPart>;

// The query folded for matching: simple case folding, runs of white space as one space.
std::vector<char32_t> foldQuery(const QString& query);

// Every match of a folded `query` in the content text of `page` (annotations excluded), in
// reading order. A page whose text cannot be extracted has none. Never throws.
std::vector<TextHit> findInLoadedPage(fz_context* ctx, pdf_page* page, const std::vector<char32_t>& query);

}  // namespace scrivola::engine
