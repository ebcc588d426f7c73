#pragma once

// Private to the engine folder: the state behind the public engine types.
//
// Nothing here holds MuPDF page or annotation structures across calls: a page is its page
// dictionary, an annotation is its annotation dictionary. Operations that need the library's
// loaded page (rendering, text, appearance synthesis) load it for the duration of the call, so
// removing, reinserting and moving pages or annotations never leaves a stale library object.

#include "pdf/engine/EngineContext.h"

#include <QByteArray>

#include <atomic>
#include <functional>
#include <unordered_map>

namespace scrivola {

struct PDFDocumentImpl {
    engine::DocRef doc;
    // The bytes the document was opened from, when it was opened from memory.
    engine::BufferRef source;
    bool repaired = false;
    // The password the document was opened with (empty when it needed none): private copies
    // and files read back after a save are opened with it.
    QByteArray password;
    // Set when an annotation was removed, or the content or style of one on a page replaced:
    // an incremental save would keep the old content readable in the earlier revision.
    bool contentReplaced = false;
    // Page wrappers by page-object number: the same PDFPage for as long as the document lives,
    // whether or not the page is currently in the page tree.
    std::unordered_map<int, PDFPagePtr> pages;
    // Page order cache: the object number of each page, 0 until that page is looked up. Pages
    // are looked up one at a time, down the page tree, as they are asked for: opening a
    // document reads the page count, not every page object (in files with object streams,
    // reading every page object means parsing most of the file). Reset after page-tree changes.
    std::vector<int> order;
    std::unordered_map<int, int> indexOf;
    bool orderValid = false;     // `order` has one entry per page
    bool orderComplete = false;  // every entry has been looked up
    // Runs once for each page on its first use (see PDFDocument::setPagePreparer).
    std::function<void(PDFPage&)> preparer;
    // False when the page tree could not be walked to the end (a loop, a missing node):
    // inserting a page into such a tree may never finish.
    bool treeSound = true;

    void invalidateOrder() { orderValid = false; }
    void ensureOrder();
    void completeOrder();
    int objectAt(int index);  // 0 when the page cannot be found
    int standInFor();  // the object number of a new empty page outside the tree
    int indexOfObject(int objectNumber);
    // The page at `index`, already known to be object `objectNumber` (from a copy of the same
    // unchanged bytes): no walk down the page tree. Null when the order says otherwise.
    PDFPagePtr knownPage(const std::shared_ptr<PDFDocument>& owner, int index, int objectNumber);
    PDFPagePtr wrapPage(const std::shared_ptr<PDFDocument>& owner, pdf_obj* pageObj);
    PDFPagePtr wrapPage(const std::shared_ptr<PDFDocument>& owner, int objectNumber);
};

struct PDFPageImpl {
    engine::DocRef doc;
    engine::ObjRef obj;  // indirect reference to the page dictionary
    std::weak_ptr<PDFDocument> owner;
    // Annotation wrappers of this page by object number (same objects on every call).
    std::unordered_map<int, PDFAnnotationPtr> annotations;
    // The order of every /Annots entry the page has had since one was first removed (object
    // numbers), so that an annotation put back takes its old place among the others.
    std::vector<int> annotationOrder;
    bool prepared = false;  // the document's page preparer has run for this page
};

struct PDFAnnotationImpl {
    engine::DocRef doc;    // the document holding the dictionary (a private one while new)
    engine::ObjRef obj;    // indirect reference to the annotation dictionary
    std::weak_ptr<PDFPage> page;
    // Page-space origin (media box bottom-left, user space) of the frame /Rect is written in.
    double originX = 0;
    double originY = 0;
    bool appearanceDirty = true;
    PDFAnnotation* self = nullptr;  // the public object, for custom appearance writers
};

struct PDFDisplayListImpl {
    fz_display_list* list = nullptr;
    fz_rect bounds{};  // rotated crop box, points, origin 0
    ~PDFDisplayListImpl();
};

struct PDFCancelTokenImpl {
    fz_cookie cookie{};  // the engine reads cookie.abort while it draws
    std::atomic<bool> cancelled{false};
};

struct PDFEngineAccess {
    static PDFDocumentImpl& impl(const PDFDocument& d) { return *d.impl_; }
    static PDFPageImpl& impl(const PDFPage& p) { return *p.impl_; }
    static PDFAnnotationImpl& impl(const PDFAnnotation& a) { return *a.impl_; }
    static PDFCancelTokenImpl& impl(const PDFCancelToken& t) { return *t.impl_; }
    static PDFDocumentPtr newDocument() { return PDFDocumentPtr(new PDFDocument()); }
    static PDFPagePtr newPage() { return PDFPagePtr(new PDFPage()); }
    static PDFAnnotationPtr newAnnotation() { return PDFAnnotationPtr(new PDFAnnotation()); }
    static std::unique_ptr<PDFDisplayList> newDisplayList(std::unique_ptr<PDFDisplayListImpl> impl) {
        return std::unique_ptr<PDFDisplayList>(new PDFDisplayList(std::move(impl)));
    }
};
using Access = PDFEngineAccess;

namespace engine {

// Media box of a page in user space (inherited, normalised, never empty when the page has one).
fz_rect mediaBoxOf(pdf_obj* pageObj);
// The bytes `document` was opened from while it holds them and has no unsaved changes; null
// otherwise.
BufferRef unchangedSource(const PDFDocumentImpl& document);

// The same on the caller's context (any thread, for a document of that context). A page
// without a media box (or a missing page object) gets the document's default.
fz_rect mediaBoxOf(fz_context* ctx, pdf_obj* pageObj);
// The media box of the document's first pages that has one, else US Letter.
fz_rect defaultMediaBox(fz_context* ctx, pdf_document* doc);

// The matrix that runs a loaded page's contents in its unrotated frame, y-down from the media
// box's top-left corner (page text is read in this frame); `media` receives the media box in
// user space. Runs inside fz_try, on the caller's context.
fz_matrix unrotatedFrame(fz_context* ctx, pdf_page* page, fz_rect* media);

// Records that content on `page` was removed or replaced (see PDFDocumentImpl::contentReplaced).
void noteContentReplaced(const PDFPageImpl& page);

// Index of a page in its document's tree, -1 when it is not in the tree.
int pageIndex(const PDFPageImpl& page);

// Runs the owning document's page preparer for `page` unless it has run already. Called before
// a page's annotations are listed or the page is drawn, changed or copied. Never throws.
void preparePage(const PDFPageImpl& page);

// Loads the library page for `page` and runs `fn` with it (the page is dropped afterwards).
// A page that is not in the tree (removed) is placed at the end of the tree for the duration of
// the call. `fn` runs outside fz_try and may throw; returns false if the page cannot be loaded.
bool withLoadedPage(const PDFPageImpl& page, const std::function<void(fz_context*, pdf_page*)>& fn);

// Copies a page dictionary (contents, resources, boxes, rotation and annotations) from `src`
// into `dst`; returns a new indirect page object (not yet in the tree). Runs inside fz_try.
// Pass one graft `map` for several pages of the same source so that shared resources (fonts,
// images) are copied once; without one a private map is used.
pdf_obj* graftPageObject(fz_context* ctx, pdf_document* dst, pdf_document* src, pdf_obj* srcPage,
                         pdf_graft_map* map = nullptr);

// Copies an annotation dictionary into `dst` without its page links (/P, /Popup, /IRT,
// /Parent); returns a new indirect reference. Runs inside fz_try.
pdf_obj* graftAnnotationObject(fz_context* ctx, pdf_document* dst, pdf_obj* annot);

// Moves an annotation's geometry (/Rect, /QuadPoints) by (dx, dy) user-space points.
void translateAnnotation(PDFAnnotationImpl& annot, double dx, double dy);

bool hasAppearance(const PDFAnnotationImpl& annot);

// Regenerates the appearance stream of an annotation that is on `page`. Highlights get their
// own appearance (a multiply-blended fill of each quad, so the /Rect stays what was set);
// other types are synthesised by the library. Never throws.
void refreshAppearance(PDFAnnotationImpl& annot, const PDFPageImpl& page);

// QString <-> PDF text helpers.
QString fromUtf8(const char* s);

}  // namespace engine
}  // namespace scrivola
