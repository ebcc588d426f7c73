#pragma once

// Private to the engine folder: MuPDF building blocks shared by the engine's own files
// (serialising, reopening, image objects, document info). Unless noted, each function runs
// inside fz_try and throws through fz_rethrow on failure.

#include "pdf/engine/EngineContext.h"

#include <QByteArray>

#include <cstddef>

namespace scrivola::engine {

// Serialises `doc` with `options` into a new buffer (owned by the caller).
fz_buffer* serialise(fz_context* ctx, pdf_document* doc, const pdf_write_options* options);

// Opens a PDF held in `buffer` (the buffer is kept by the document as long as it needs it).
pdf_document* openBuffer(fz_context* ctx, fz_buffer* buffer);

// Called on the private copy inside rewriteThroughCopy(); runs inside fz_try.
using CopyAdjuster = void (*)(fz_context* ctx, pdf_document* copy, void* data);

// Writes `live` through a private copy: serialises it as it is (object numbers kept, so open
// pages and annotations stay valid), reopens those bytes, lets `adjust` (may be null) change the
// copy, and returns the copy serialised with `options` (a new buffer owned by the caller). An
// encrypted document's copy is opened with `password`, the one `live` was opened with.
fz_buffer* rewriteThroughCopy(fz_context* ctx, pdf_document* live, const pdf_write_options* options,
                              CopyAdjuster adjust, void* data, const char* password = "");

// Reads the whole file at `path` into a new buffer (owned by the caller); null when it cannot be
// read. Never throws.
fz_buffer* readWholeFile(fz_context* ctx, const QString& path);

// Copies the bytes of `buffer` and drops it. Never throws an engine error; `buffer` may be null.
QByteArray takeBuffer(fz_context* ctx, fz_buffer* buffer);

// Adds the encoded image `data` (PNG, JPEG...) to `doc` as an image XObject; returns a new
// indirect reference (owned by the caller).
pdf_obj* addImageObject(fz_context* ctx, pdf_document* doc, const unsigned char* data, size_t size);

// Builds a page object of `width` × `height` points filled by the encoded image `data`; the
// page is not in the tree yet. Returns a new reference (owned by the caller).
pdf_obj* addImagePageObject(fz_context* ctx, pdf_document* doc, const unsigned char* data, size_t size,
                            float width, float height);

// The document information dictionary, created when the trailer has none.
pdf_obj* infoDictionary(fz_context* ctx, pdf_document* doc);

// Copies an annotation dictionary into `dst` without the entries that tie it to its page and
// its relatives (/P, /Popup, /IRT, /Parent; also /StructParent when `dropStructParent`), grafting
// what it refers to through `map` (a private map when null). Returns a new indirect reference.
pdf_obj* graftAnnotationCopy(fz_context* ctx, pdf_document* dst, pdf_obj* annot, pdf_graft_map* map,
                             bool dropStructParent);

// The explicit destination (an array starting with the target page) of a link, outline item or
// GoTo action `holder`, named destinations looked up; null when there is none.
pdf_obj* explicitDestination(fz_context* ctx, pdf_document* doc, pdf_obj* holder);

// Whether an annotation can be grafted on its own into another document: form widgets need
// their form, popups come back with their parent, and links into the source would drag its
// page tree along.
bool copyableAnnotation(fz_context* ctx, pdf_obj* annot);

// After pages were grafted through `map` (srcPages[i] became dstPages[i]): gives the copies
// their form widgets with the fields above them and the form's settings, their links to other
// copied pages (links to pages left out are dropped), and an outline of the items that lead to
// copied pages. Must not be called inside fz_try.
EngineStatus carryInteractiveParts(fz_context* ctx, pdf_document* dst, pdf_document* src, pdf_obj* const* srcPages,
                                   pdf_obj* const* dstPages, int count, pdf_graft_map* map);

// Loads object `num` of `doc` when it is in use and returns visit(ctx, object, data), 0 when the
// object is free or cannot be read. Runs inside fz_try.
using ObjectVisitor = int (*)(fz_context* ctx, pdf_obj* obj, void* data);
int visitObject(fz_context* ctx, pdf_document* doc, int num, ObjectVisitor visit, void* data);

// ---- private document copies (any thread) -------------------------------------------------
// These throw PDFEngineError instead of running inside fz_try.

// The calling thread's context (see threadContext()).
fz_context* contextOrThrow();

// A library object owned by one call, on the calling thread's context.
template <typename T, void (*Drop)(fz_context*, T*)>
class Owned {
public:
    Owned(fz_context* ctx, T* object) : ctx_(ctx), object_(object) {}
    ~Owned() {
        if (object_) Drop(ctx_, object_);
    }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    T* get() const { return object_; }

private:
    fz_context* ctx_;
    T* object_;
};

inline void dropPage(fz_context* ctx, pdf_page* page) { fz_drop_page(ctx, &page->super); }
inline void dropPageTree(fz_context* ctx, pdf_document* doc) { pdf_drop_page_tree(ctx, doc); }
using OwnedDocument = Owned<pdf_document, dropDocument>;
using OwnedPage = Owned<pdf_page, dropPage>;
// A page map loaded with pdf_load_page_tree().
using OwnedPageTree = Owned<pdf_document, dropPageTree>;

// Opens `pdf` on `ctx` without copying it; the bytes must outlive the document. A document
// that needs a password is refused.
pdf_document* openDocument(fz_context* ctx, const QByteArray& pdf);
// Opens the file at `path` on `ctx`, read from disk as needed. A document that needs a password
// is refused.
pdf_document* openDocumentFile(fz_context* ctx, const QString& path);

pdf_page* loadPage(fz_context* ctx, pdf_document* doc, int index);

}  // namespace scrivola::engine
