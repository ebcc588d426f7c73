// Loading documents, page identity and page-tree edits.

#include "pdf/engine/EngineImpl.h"
#include "pdf/engine/EngineInternals.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <climits>

namespace scrivola {

using engine::baseContext;
using engine::addImagePageObject;
using engine::BufferRef;
using engine::DocRef;
using engine::engineCheck;
using engine::engineRun;
using engine::ObjRef;
using Kind = PDFEngineError::Kind;

namespace {

// Larger files are read from the disk as needed instead of held in memory.
constexpr qint64 kInMemoryLimit = qint64(128) << 20;

bool looksLikePdf(const QByteArray& head) { return head.left(1024).contains("%PDF"); }

// Checks a freshly opened document, unlocks it with `password` when it needs one, and wraps
// it. `doc` is adopted.
PDFDocumentPtr finishOpen(pdf_document* rawDoc, bool pdfHeader, const QByteArray& password) {
    fz_context* ctx = baseContext();
    DocRef doc = DocRef::adopt(rawDoc);
    const Kind damaged = pdfHeader ? Kind::corruptedFile : Kind::loadFailed;
    if (!pdfHeader) throw PDFEngineError(Kind::loadFailed, "Not a PDF file");

    int locked = 0;
    int needsPassword = 0;
    const char* given = password.constData();
    engineCheck(ctx, damaged, [&] {
        // A file encrypted with only an owner password needs none to open.
        needsPassword = pdf_needs_password(ctx, doc.get());
        if (needsPassword && !pdf_authenticate_password(ctx, doc.get(), given)) locked = 1;
    });
    if (locked) throw PDFEngineError(Kind::passwordProtected, "The document needs a password");

    int count = 0;
    int repaired = 0;
    engineCheck(ctx, damaged, [&] {
        count = pdf_count_pages(ctx, doc.get());
        repaired = pdf_was_repaired(ctx, doc.get());
    });
    if (count <= 0 && repaired) throw PDFEngineError(damaged, "No pages could be recovered");

    auto document = Access::newDocument();
    Access::impl(*document).doc = doc;
    Access::impl(*document).repaired = repaired != 0;
    if (needsPassword) Access::impl(*document).password = password;
    return document;
}

// Opens a document over `source` and keeps it as the bytes the document was opened from.
PDFDocumentPtr openHeld(BufferRef source, bool pdfHeader, const QByteArray& password = {}) {
    fz_context* ctx = baseContext();
    pdf_document* doc = nullptr;
    fz_buffer* buffer = source.get();
    const auto status = engineRun(ctx, [&] { doc = engine::openBuffer(ctx, buffer); });
    if (!status.ok || !doc) throw PDFEngineError(Kind::corruptedFile, status.message);
    PDFDocumentPtr document = finishOpen(doc, pdfHeader, password);
    Access::impl(*document).source = std::move(source);
    return document;
}

pdf_obj* addBlankPageObject(fz_context* ctx, pdf_document* doc, float width, float height) {
    pdf_obj* resources = nullptr;
    fz_buffer* contents = nullptr;
    pdf_obj* page = nullptr;
    fz_var(page);
    fz_var(resources);
    fz_var(contents);
    fz_try(ctx) {
        resources = pdf_new_dict(ctx, doc, 1);
        contents = fz_new_buffer(ctx, 1);
        page = pdf_add_page(ctx, doc, fz_make_rect(0, 0, width, height), 0, resources, contents);
    }
    fz_always(ctx) {
        fz_drop_buffer(ctx, contents);
        pdf_drop_obj(ctx, resources);
    }
    fz_catch(ctx) fz_rethrow(ctx);
    return page;
}

}  // namespace

// ---- PDFDocumentImpl ---------------------------------------------------------------------

namespace {

// The object number of a page-tree entry; 0 when it is no object of its own (a number, an array,
// a dictionary written inside another object). Runs inside fz_try.
int pageObjectNumber(fz_context* ctx, pdf_document* doc, pdf_obj* entry) {
    if (pdf_is_indirect(ctx, entry)) return pdf_to_num(ctx, entry);
    const int num = pdf_obj_parent_num(ctx, entry);
    if (num <= 0 || !pdf_is_dict(ctx, entry)) return 0;
    pdf_obj* own = pdf_load_object(ctx, doc, num);
    const bool same = own == entry;
    pdf_drop_obj(ctx, own);
    return same ? num : 0;
}

}  // namespace

void PDFDocumentImpl::ensureOrder() {
    if (orderValid) return;
    fz_context* ctx = baseContext();
    int count = 0;
    // A damaged /Count may claim any number: there are never more pages than objects.
    const bool counted =
        engineRun(ctx, [&] { count = std::min(pdf_count_pages(ctx, doc.get()), pdf_xref_len(ctx, doc.get())); }).ok;
    if (!counted) count = 0;
    treeSound = counted;
    order.assign(size_t(std::max(count, 0)), 0);
    indexOf.clear();
    orderValid = true;
    orderComplete = order.empty();
}

void PDFDocumentImpl::completeOrder() {
    ensureOrder();
    if (orderComplete) return;
    fz_context* ctx = baseContext();
    const int count = int(order.size());
    int* numbers = order.data();
    // Without pdf_load_page_tree(): in this library version every page looked up while the tree
    // is loaded keeps a reference that pdf_drop_page_tree() never gives back, so the page
    // dictionaries outlived the document. Each lookup walks the tree (by its /Count entries) on
    // its own, so that a damaged entry costs only its own place.
    bool walked = true;
    for (int i = 0; i < count; ++i)
        if (numbers[i] <= 0 &&
            !engineRun(ctx, [&] { numbers[i] = pageObjectNumber(ctx, doc.get(), pdf_lookup_page_obj(ctx, doc.get(), i)); }).ok)
            walked = false;
    treeSound = treeSound && walked && std::find(order.begin(), order.end(), 0) == order.end();
    for (int i = 0; i < count; ++i)
        if (numbers[i] <= 0) numbers[i] = standInFor();
    indexOf.clear();
    for (size_t i = 0; i < order.size(); ++i)
        if (order[i] > 0) indexOf.emplace(order[i], int(i));
    orderComplete = true;
}

int PDFDocumentImpl::objectAt(int index) {
    ensureOrder();
    if (index < 0 || index >= int(order.size())) return 0;
    int& num = order[size_t(index)];
    if (num == 0 && !orderComplete) {
        fz_context* ctx = baseContext();
        int found = 0;
        engineRun(ctx, [&] { found = pageObjectNumber(ctx, doc.get(), pdf_lookup_page_obj(ctx, doc.get(), index)); });
        if (found <= 0) found = standInFor();
        if (found > 0) {
            num = found;
            // A page object listed twice in the tree answers with its first place, as the full
            // walk does.
            auto [it, added] = indexOf.emplace(found, index);
            if (!added && index < it->second) it->second = index;
        }
    }
    return num;
}

int PDFDocumentImpl::standInFor() {
    // The entry is no page object (a number, an array, a page written in place): an empty page
    // of the document's size, outside the tree, stands in for it.
    fz_context* ctx = baseContext();
    const fz_rect box = engine::defaultMediaBox(ctx, doc.get());
    pdf_obj* dict = nullptr;
    pdf_obj* ref = nullptr;
    int num = 0;
    engineRun(ctx, [&] {
        dict = pdf_new_dict(ctx, doc.get(), 2);
        pdf_dict_put(ctx, dict, PDF_NAME(Type), PDF_NAME(Page));
        pdf_dict_put_rect(ctx, dict, PDF_NAME(MediaBox), box);
        ref = pdf_add_object(ctx, doc.get(), dict);
        num = pdf_to_num(ctx, ref);
    });
    pdf_drop_obj(ctx, ref);
    pdf_drop_obj(ctx, dict);
    return num;
}

int PDFDocumentImpl::indexOfObject(int objectNumber) {
    ensureOrder();
    if (objectNumber <= 0) return -1;
    if (auto it = indexOf.find(objectNumber); it != indexOf.end() || orderComplete)
        return it == indexOf.end() ? -1 : it->second;
    // Not looked up yet: climb from the page to the root, counting the pages before it, and
    // check the answer by the walk down that loading the page takes. A page outside the tree,
    // or a tree whose counts do not add up, is settled by the full walk.
    fz_context* ctx = baseContext();
    int index = -1;
    pdf_document* document = doc.get();
    engineRun(ctx, [&] {
        pdf_obj* ref = pdf_new_indirect(ctx, document, objectNumber, 0);
        fz_try(ctx) index = pdf_lookup_page_number(ctx, document, ref);
        fz_always(ctx) pdf_drop_obj(ctx, ref);
        fz_catch(ctx) fz_rethrow(ctx);
    });
    if (index >= 0 && index < int(order.size()) && objectAt(index) == objectNumber) {
        auto it = indexOf.find(objectNumber);
        return it == indexOf.end() ? index : it->second;
    }
    completeOrder();
    auto it = indexOf.find(objectNumber);
    return it == indexOf.end() ? -1 : it->second;
}

PDFPagePtr PDFDocumentImpl::knownPage(const std::shared_ptr<PDFDocument>& owner, int index, int objectNumber) {
    ensureOrder();
    if (index < 0 || index >= int(order.size()) || objectNumber <= 0) return nullptr;
    int& num = order[size_t(index)];
    if (num == 0 && !orderComplete) {
        num = objectNumber;
        auto [it, added] = indexOf.emplace(objectNumber, index);
        if (!added && index < it->second) it->second = index;
    }
    return num == objectNumber ? wrapPage(owner, num) : nullptr;
}

PDFPagePtr PDFDocumentImpl::wrapPage(const std::shared_ptr<PDFDocument>& owner, pdf_obj* pageObj) {
    return wrapPage(owner, engine::objectNumber(baseContext(), pageObj));
}

PDFPagePtr PDFDocumentImpl::wrapPage(const std::shared_ptr<PDFDocument>& owner, int num) {
    fz_context* ctx = baseContext();
    if (num <= 0) return nullptr;
    auto it = pages.find(num);
    if (it != pages.end()) return it->second;
    pdf_obj* ref = nullptr;
    if (!engineRun(ctx, [&] { ref = pdf_new_indirect(ctx, doc.get(), num, 0); }).ok) return nullptr;
    auto page = Access::newPage();
    PDFPageImpl& state = Access::impl(*page);
    state.doc = doc;
    state.obj = ObjRef::adopt(ref);
    state.owner = owner;
    pages.emplace(num, page);
    return page;
}

// ---- engine helpers ----------------------------------------------------------------------

namespace engine {

fz_rect mediaBoxOf(pdf_obj* pageObj) { return mediaBoxOf(baseContext(), pageObj); }

void noteContentReplaced(const PDFPageImpl& page) {
    if (auto owner = page.owner.lock()) Access::impl(*owner).contentReplaced = true;
}

fz_rect mediaBoxOf(fz_context* ctx, pdf_obj* pageObj) {
    fz_rect box = fz_empty_rect;
    engineRun(ctx, [&] {
        box = pdf_to_rect(ctx, pdf_dict_get_inheritable(ctx, pageObj, PDF_NAME(MediaBox)));
    });
    if (fz_is_empty_rect(box)) {
        pdf_document* doc = nullptr;
        engineRun(ctx, [&] { doc = pdf_get_bound_document(ctx, pageObj); });
        box = defaultMediaBox(ctx, doc);
    }
    return box;
}

fz_rect defaultMediaBox(fz_context* ctx, pdf_document* doc) {
    // The first of the leading pages that has a media box of its own; US Letter, the library's
    // default, when none has.
    int count = 0;
    if (doc) engineRun(ctx, [&] { count = pdf_count_pages(ctx, doc); });
    for (int i = 0; i < std::min(count, 16); ++i) {
        fz_rect box = fz_empty_rect;
        engineRun(ctx, [&] {
            box = pdf_to_rect(ctx, pdf_dict_get_inheritable(ctx, pdf_lookup_page_obj(ctx, doc, i), PDF_NAME(MediaBox)));
        });
        if (!fz_is_empty_rect(box)) return box;
    }
    return fz_make_rect(0, 0, 612, 792);
}

BufferRef unchangedSource(const PDFDocumentImpl& document) {
    fz_context* ctx = baseContext();
    pdf_document* doc = document.doc.get();
    if (!document.source || !doc) return {};
    int changed = 1;
    if (!engineRun(ctx, [&] { changed = pdf_has_unsaved_changes(ctx, doc); }).ok || changed) return {};
    return document.source;
}

fz_matrix unrotatedFrame(fz_context* ctx, pdf_page* page, fz_rect* media) {
    fz_rect bounds;
    fz_matrix pageCtm;
    pdf_page_transform(ctx, page, &bounds, &pageCtm);
    *media = mediaBoxOf(ctx, page->obj);
    const fz_matrix flip = fz_make_matrix(1, 0, 0, -1, -media->x0, media->y1);
    return fz_concat(fz_invert_matrix(pageCtm), flip);
}

int pageIndex(const PDFPageImpl& page) {
    fz_context* ctx = baseContext();
    const int num = objectNumber(ctx, page.obj.get());
    if (auto owner = page.owner.lock()) {
        PDFDocumentImpl& state = Access::impl(*owner);
        if (state.doc.get() == page.doc.get()) return state.indexOfObject(num);
    }
    // The document wrapper is gone: scan the tree directly.
    int found = -1;
    engineRun(ctx, [&] {
        int count = pdf_count_pages(ctx, page.doc.get());
        for (int i = 0; i < count && found < 0; ++i)
            if (objectNumber(ctx, pdf_lookup_page_obj(ctx, page.doc.get(), i)) == num) found = i;
    });
    return found;
}

void preparePage(const PDFPageImpl& page) {
    if (page.prepared) return;
    const_cast<PDFPageImpl&>(page).prepared = true;  // first, so that the preparer's own calls pass
    const PDFDocumentPtr owner = page.owner.lock();
    if (!owner) return;
    PDFDocumentImpl& state = Access::impl(*owner);
    if (!state.preparer || state.doc.get() != page.doc.get()) return;
    auto it = state.pages.find(objectNumber(baseContext(), page.obj.get()));
    if (it == state.pages.end()) return;
    const PDFPagePtr wrapper = it->second;
    try {
        state.preparer(*wrapper);
    } catch (...) {
        // What the preparer could not do leaves the page as the file has it.
    }
}

bool withLoadedPage(const PDFPageImpl& page, const std::function<void(fz_context*, pdf_page*)>& fn) {
    fz_context* ctx = baseContext();
    pdf_document* doc = page.doc.get();
    // The library would load a missing page object as an empty Letter page.
    if (!pdf_is_dict(ctx, page.obj.get())) return false;
    int index = pageIndex(page);
    bool temporary = false;
    if (index < 0) {
        // A page the tree of a damaged document does not lead to cannot be loaded: inserting it
        // would walk that tree, which may loop.
        const auto owner = page.owner.lock();
        if (owner && !Access::impl(*owner).treeSound) return false;
        // A removed page: put it at the end of the tree while the library loads it.
        int count = 0;
        if (!engineRun(ctx, [&] {
                 count = pdf_count_pages(ctx, doc);
                 pdf_insert_page(ctx, doc, count, page.obj.get());
             }).ok)
            return false;
        index = count;
        temporary = true;
    }
    pdf_page* loaded = nullptr;
    bool ok = engineRun(ctx, [&] { loaded = pdf_load_page(ctx, doc, index); }).ok && loaded;
    // A stand-in for a broken tree entry is not what the library finds at its index.
    if (ok && objectNumber(ctx, loaded->obj) != objectNumber(ctx, page.obj.get())) {
        fz_drop_page(ctx, &loaded->super);
        ok = false;
    }
    std::exception_ptr failure;
    if (ok) {
        try {
            fn(ctx, loaded);
        } catch (...) {
            failure = std::current_exception();
        }
        fz_drop_page(ctx, &loaded->super);
    }
    if (temporary) engineRun(ctx, [&] { pdf_delete_page(ctx, doc, index); });
    if (failure) std::rethrow_exception(failure);
    return ok;
}

QString fromUtf8(const char* s) { return s ? QString::fromUtf8(s) : QString(); }

}  // namespace engine

// ---- PDFDocument -------------------------------------------------------------------------

PDFDocument::PDFDocument() : impl_(std::make_unique<PDFDocumentImpl>()) {}

PDFDocument::~PDFDocument() {
    // Pages may outlive the wrapper; they keep the library document alive themselves.
    for (auto& [num, page] : impl_->pages) page->impl_->owner.reset();
}

PDFDocumentPtr PDFDocument::load(const QString& path, PDFReading reading) { return load(path, QString(), reading); }

PDFDocumentPtr PDFDocument::load(const QString& path, const QString& password, PDFReading reading) {
    const QByteArray secret = password.toUtf8();
    QFileInfo info(path);
    if (path.isEmpty() || !info.exists() || info.isDir())
        throw PDFEngineError(Kind::loadFailed, "No readable file");
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) throw PDFEngineError(Kind::loadFailed, "The file cannot be read");
    const QByteArray head = file.read(1024);
    file.close();
    if (head.isEmpty()) throw PDFEngineError(Kind::loadFailed, "The file is empty");

    const bool header = looksLikePdf(head);
    if (!header) throw PDFEngineError(Kind::loadFailed, "Not a PDF file");
    fz_context* ctx = baseContext();
    if (reading == PDFReading::copyIntoMemory && info.size() <= kInMemoryLimit) {
        // Read once into memory: loading an object is then a copy rather than a seek and small
        // reads, and saves and copies of the document read the bytes it was opened from even if
        // the file changes on disk later.
        BufferRef buffer = BufferRef::adopt(engine::readWholeFile(ctx, path));
        if (!buffer) throw PDFEngineError(Kind::loadFailed, "The file cannot be read");
        return openHeld(std::move(buffer), header, secret);
    }
    const QByteArray native = QFile::encodeName(path);
    pdf_document* doc = nullptr;
    const auto status = engineRun(ctx, [&] { doc = pdf_open_document(ctx, native.constData()); });
    if (!status.ok || !doc) throw PDFEngineError(Kind::corruptedFile, status.message);
    return finishOpen(doc, header, secret);
}

PDFDocumentPtr PDFDocument::loadFromData(const QByteArray& data) {
    if (data.isEmpty()) throw PDFEngineError(Kind::loadFailed, "No data");
    const bool header = looksLikePdf(data);
    if (!header) throw PDFEngineError(Kind::loadFailed, "Not a PDF file");
    fz_context* ctx = baseContext();
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(data.constData());
    const size_t size = size_t(data.size());
    fz_buffer* buffer = nullptr;
    const auto status = engineRun(ctx, [&] { buffer = fz_new_buffer_from_copied_data(ctx, bytes, size); });
    if (!status.ok || !buffer) throw PDFEngineError(Kind::loadFailed, status.message);
    return openHeld(BufferRef::adopt(buffer), header);
}

PDFDocumentPtr PDFDocument::createEmpty() {
    fz_context* ctx = baseContext();
    pdf_document* doc = nullptr;
    engineCheck(ctx, Kind::operationFailed, [&] { doc = pdf_create_document(ctx); });
    auto document = Access::newDocument();
    Access::impl(*document).doc = DocRef::adopt(doc);
    return document;
}

bool PDFDocument::wasRepaired() const { return impl_->repaired; }

bool PDFDocument::needsPassword() const { return !impl_->password.isEmpty(); }

void PDFDocument::setPagePreparer(std::function<void(PDFPage&)> preparer) { impl_->preparer = std::move(preparer); }

std::optional<QByteArray> PDFDocument::originalBytes() const {
    const BufferRef source = engine::unchangedSource(*impl_);
    if (!source) return std::nullopt;
    return QByteArray(reinterpret_cast<const char*>(source.get()->data), qsizetype(source.get()->len));
}

int PDFDocument::pageCount() const {
    impl_->ensureOrder();
    return int(impl_->order.size());
}

PDFPagePtr PDFDocument::page(int index) const {
    const int num = impl_->objectAt(index);
    if (num <= 0) return nullptr;
    auto it = impl_->pages.find(num);
    if (it != impl_->pages.end()) return it->second;
    return impl_->wrapPage(std::const_pointer_cast<PDFDocument>(shared_from_this()), num);
}

int PDFDocument::index(const PDFPage& page) const {
    if (page.impl_->doc.get() != impl_->doc.get()) return -1;
    return impl_->indexOfObject(engine::objectNumber(baseContext(), page.impl_->obj.get()));
}

PDFPagePtr PDFDocument::insertPage(const PDFPagePtr& page, int index) {
    if (!page) return nullptr;
    fz_context* ctx = baseContext();
    pdf_document* doc = impl_->doc.get();
    const int count = pageCount();
    index = std::clamp(index, 0, count);
    auto self = shared_from_this();

    if (page->impl_->doc.get() == doc) {
        if (this->index(*page) >= 0) return page;  // already in the document
        engineCheck(ctx, Kind::operationFailed, [&] { pdf_insert_page(ctx, doc, index, page->impl_->obj.get()); });
        impl_->invalidateOrder();
        page->impl_->owner = self;
        impl_->pages.emplace(engine::objectNumber(ctx, page->impl_->obj.get()), page);
        return page;
    }

    engine::preparePage(*page->impl_);
    pdf_obj* copy = nullptr;
    pdf_document* src = page->impl_->doc.get();
    pdf_obj* srcObj = page->impl_->obj.get();
    engineCheck(ctx, Kind::operationFailed, [&] { copy = engine::graftPageObject(ctx, doc, src, srcObj); });
    ObjRef copyRef = ObjRef::adopt(copy);
    engineCheck(ctx, Kind::operationFailed, [&] { pdf_insert_page(ctx, doc, index, copy); });
    impl_->invalidateOrder();
    return impl_->wrapPage(self, copy);
}

void PDFDocument::removePage(int index) {
    if (index < 0 || index >= pageCount()) return;
    fz_context* ctx = baseContext();
    page(index);  // make sure the page keeps its wrapper (and so its identity) once removed
    engineCheck(ctx, Kind::operationFailed, [&] { pdf_delete_page(ctx, impl_->doc.get(), index); });
    impl_->invalidateOrder();
}

PDFPagePtr PDFDocument::insertBlankPage(const QSizeF& size, int index) {
    if (!(size.width() > 0) || !(size.height() > 0))
        throw PDFEngineError(Kind::operationFailed, "A page needs a positive size");
    fz_context* ctx = baseContext();
    pdf_document* doc = impl_->doc.get();
    index = std::clamp(index, 0, pageCount());
    pdf_obj* obj = nullptr;
    const float w = float(size.width());
    const float h = float(size.height());
    engineCheck(ctx, Kind::operationFailed, [&] { obj = addBlankPageObject(ctx, doc, w, h); });
    ObjRef ref = ObjRef::adopt(obj);
    engineCheck(ctx, Kind::operationFailed, [&] { pdf_insert_page(ctx, doc, index, obj); });
    impl_->invalidateOrder();
    return impl_->wrapPage(shared_from_this(), obj);
}

PDFPagePtr PDFDocument::appendImagePage(const QByteArray& encodedImage, const QSizeF& pageSize) {
    if (encodedImage.isEmpty()) throw PDFEngineError(Kind::operationFailed, "No image data");
    if (!(pageSize.width() > 0) || !(pageSize.height() > 0))
        throw PDFEngineError(Kind::operationFailed, "A page needs a positive size");
    fz_context* ctx = baseContext();
    pdf_document* doc = impl_->doc.get();
    const auto* data = reinterpret_cast<const unsigned char*>(encodedImage.constData());
    const size_t size = size_t(encodedImage.size());
    const float w = float(pageSize.width());
    const float h = float(pageSize.height());
    const int at = pageCount();
    pdf_obj* obj = nullptr;
    engineCheck(ctx, Kind::operationFailed, [&] { obj = addImagePageObject(ctx, doc, data, size, w, h); });
    ObjRef ref = ObjRef::adopt(obj);
    engineCheck(ctx, Kind::operationFailed, [&] { pdf_insert_page(ctx, doc, at, obj); });
    impl_->invalidateOrder();
    return impl_->wrapPage(shared_from_this(), obj);
}

}  // namespace scrivola
