#pragma once

// Writing a document back to disk without growing it needlessly, and copying pages into a new
// document.
//
// Two ways to save:
// - An incremental update: the bytes the document was opened from, unchanged, followed by the
//   objects that changed since then. Rotating one page of a large file appends a few hundred
//   bytes instead of rewriting (and, in this engine version, inflating) the whole file.
// - A compacting rewrite: the whole file written anew, with the pages removed from the
//   document unlinked from everything that still pointed at them (outlines, structure tree)
//   and every object nothing uses dropped. Required after edits that remove content, since
//   an update appended to the original bytes would keep the removed content in the file.
//
// Main thread only, like the documents themselves.

#include "pdf/engine/PDFEngine.h"

#include <QByteArray>
#include <QString>

#include <vector>

namespace scrivola::PDFSaving {

// True when the document still reads the bytes it was loaded from (a file or data), was not
// repaired on loading and has nothing that rules out an update (applied redactions).
bool canWriteIncrementally(const PDFDocument& document);

// Writes the document's original bytes followed by an incremental update holding every change
// since it was loaded, into a temporary file beside `path`; reopens that file to check that it
// holds the document as it is now, then renames it over `path`. Returns false on any failure,
// leaving `path` untouched. Saving over the file the document was opened from is safe: the
// original bytes come from the engine's open file, not from the path.
bool writeIncremental(const PDFDocument& document, const QString& path);

// The whole document rewritten, without the pages that were removed from it and without
// objects nothing uses. Throws PDFEngineError.
QByteArray compactedBytes(const PDFDocument& document);

// Writes compactedBytes() to `path` through a temporary file renamed over it; false on any
// failure (the target stays untouched).
bool writeCompacted(const PDFDocument& document, const QString& path);

// Saves the document to `path`: incrementally when possible, unless `contentRemoved` is set or
// pages were taken out of the document; otherwise (or when the incremental write fails) as a
// compacting rewrite.
bool writeDocument(const PDFDocument& document, const QString& path, bool contentRemoved);

// A new document holding copies of the pages at `indices` (in that order; indices without a
// page are skipped) with their boxes, rotation and annotations: form fields with their values
// and the form settings they need, links among the copied pages (links to pages left out are
// dropped) and the outline entries that lead to copied pages. Resources the pages share are
// copied once. The source document is not changed. Throws PDFEngineError.
PDFDocumentPtr copyPages(const PDFDocument& source, const std::vector<int>& indices);

}  // namespace scrivola::PDFSaving
