// Incremental updates, compacting rewrites and page copies.

#include "pdf/engine/PDFSaving.h"

#include "pdf/engine/EngineImpl.h"
#include "pdf/engine/EngineInternals.h"
#include "workspace/AtomicFile.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <set>

namespace scrivola::PDFSaving {

using engine::baseContext;
using engine::engineRun;
using engine::objectNumber;
using engine::takeBuffer;
using Kind = PDFEngineError::Kind;

namespace {

// ---- incremental update --------------------------------------------------------------------

// The output of an incremental write: a buffer that, unlike the library's buffer output, can
// be read back while it is written, as an incremental write first compares what the output
// already holds with the original bytes.
struct UpdateOutput {
    fz_buffer* buffer;
    size_t position;
};

void updateWrite(fz_context* ctx, void* state, const void* data, size_t n) {
    auto* o = static_cast<UpdateOutput*>(state);
    if (o->position == o->buffer->len) {
        fz_append_data(ctx, o->buffer, data, n);
    } else {
        if (o->position + n > o->buffer->len) fz_resize_buffer(ctx, o->buffer, o->position + n);
        std::memcpy(o->buffer->data + o->position, data, n);
        o->buffer->len = std::max(o->buffer->len, o->position + n);
    }
    o->position += n;
}

void updateSeek(fz_context* ctx, void* state, int64_t offset, int whence) {
    auto* o = static_cast<UpdateOutput*>(state);
    const int64_t base = whence == SEEK_CUR ? int64_t(o->position) : whence == SEEK_END ? int64_t(o->buffer->len) : 0;
    if (base + offset < 0 || size_t(base + offset) > o->buffer->len) fz_throw(ctx, FZ_ERROR_GENERIC, "seek outside the output");
    o->position = size_t(base + offset);
}

int64_t updateTell(fz_context*, void* state) { return int64_t(static_cast<UpdateOutput*>(state)->position); }

void updateTruncate(fz_context*, void* state) {
    auto* o = static_cast<UpdateOutput*>(state);
    o->buffer->len = o->position;
}

// A stream over a copy of what was written so far, so that later writes cannot move the bytes
// from under it.
fz_stream* updateAsStream(fz_context* ctx, void* state) {
    auto* o = static_cast<UpdateOutput*>(state);
    fz_buffer* copy = fz_new_buffer_from_copied_data(ctx, o->buffer->data, o->buffer->len);
    fz_stream* stream = nullptr;
    fz_try(ctx) stream = fz_open_buffer(ctx, copy);
    fz_always(ctx) fz_drop_buffer(ctx, copy);
    fz_catch(ctx) fz_rethrow(ctx);
    return stream;
}

void updateDrop(fz_context* ctx, void* state) {
    auto* o = static_cast<UpdateOutput*>(state);
    fz_drop_buffer(ctx, o->buffer);
    fz_free(ctx, o);
}

// The bytes the document was opened from followed by an update holding every change since;
// a new buffer owned by the caller. Runs inside fz_try.
fz_buffer* originalAndUpdate(fz_context* ctx, pdf_document* doc) {
    fz_buffer* result = fz_new_buffer(ctx, size_t(doc->file_size) + (64 << 10));
    fz_output* out = nullptr;
    fz_var(out);
    fz_try(ctx) {
        auto* state = fz_malloc_struct(ctx, UpdateOutput);
        state->buffer = fz_keep_buffer(ctx, result);
        state->position = 0;
        out = fz_new_output(ctx, 0, state, updateWrite, nullptr, updateDrop);
        out->seek = updateSeek;
        out->tell = updateTell;
        out->truncate = updateTruncate;
        out->as_stream = updateAsStream;
        // An incremental write into an empty output first copies the original bytes into it. A
        // snapshot appends every change since loading and leaves the document as it is, so
        // later updates again start from the original bytes.
        pdf_write_snapshot(ctx, doc, out);
        fz_close_output(ctx, out);
    }
    fz_always(ctx) fz_drop_output(ctx, out);
    fz_catch(ctx) {
        fz_drop_buffer(ctx, result);
        fz_rethrow(ctx);
    }
    return result;
}

// Whether two objects hold the same data. Numbers compare by value (a writer may print a real
// 612.0 as the integer 612), dictionaries by key whatever the order, references by number.
int sameValue(fz_context* ctx, pdf_obj* a, pdf_obj* b, int depth) {
    if (a == b) return 1;
    if (depth > 64) return 0;
    if (pdf_is_indirect(ctx, a) || pdf_is_indirect(ctx, b))
        return pdf_is_indirect(ctx, a) && pdf_is_indirect(ctx, b) && pdf_to_num(ctx, a) == pdf_to_num(ctx, b);
    if (pdf_is_number(ctx, a) || pdf_is_number(ctx, b)) {
        if (!pdf_is_number(ctx, a) || !pdf_is_number(ctx, b)) return 0;
        const double x = pdf_to_real(ctx, a), y = pdf_to_real(ctx, b);
        return std::fabs(x - y) <= 1e-4 * std::max(1.0, std::fabs(x));
    }
    if (pdf_is_array(ctx, a)) {
        const int n = pdf_array_len(ctx, a);
        if (!pdf_is_array(ctx, b) || pdf_array_len(ctx, b) != n) return 0;
        for (int i = 0; i < n; ++i)
            if (!sameValue(ctx, pdf_array_get(ctx, a, i), pdf_array_get(ctx, b, i), depth + 1)) return 0;
        return 1;
    }
    if (pdf_is_dict(ctx, a)) {
        const int n = pdf_dict_len(ctx, a);
        if (!pdf_is_dict(ctx, b) || pdf_dict_len(ctx, b) != n) return 0;
        for (int i = 0; i < n; ++i)
            if (!sameValue(ctx, pdf_dict_get_val(ctx, a, i), pdf_dict_get(ctx, b, pdf_dict_get_key(ctx, a, i)), depth + 1))
                return 0;
        return 1;
    }
    return pdf_objcmp(ctx, a, b) == 0;  // names, strings, booleans, null
}

// Whether object `num` reads the same in both documents; a read failure counts as different.
int sameObject(fz_context* ctx, pdf_document* live, pdf_document* saved, int num) {
    pdf_obj* a = nullptr;
    pdf_obj* b = nullptr;
    int same = 0;
    fz_var(a);
    fz_var(b);
    fz_var(same);
    fz_try(ctx) {
        a = pdf_load_object(ctx, live, num);
        b = pdf_load_object(ctx, saved, num);
        same = sameValue(ctx, a, b, 0);
    }
    fz_always(ctx) {
        pdf_drop_obj(ctx, b);
        pdf_drop_obj(ctx, a);
    }
    fz_catch(ctx) same = 0;
    return same;
}

// Whether the objects changed since loading read the same in the saved file. Everything else
// comes from the original bytes, copied as they were, so this covers the whole document (page
// order included: it lives in the changed page-tree nodes). Large updates are checked on an
// evenly spread sample, which still catches a misplaced section or a broken cross-reference.
int sameChanges(fz_context* ctx, pdf_document* live, pdf_document* saved) {
    constexpr int kMaxCompared = 256;
    const int length = pdf_xref_len(ctx, live);
    int changed = 0;
    for (int num = 1; num < length; ++num)
        if (pdf_xref_is_incremental(ctx, live, num)) ++changed;
    const int step = changed > kMaxCompared ? (changed + kMaxCompared - 1) / kMaxCompared : 1;
    int seen = 0;
    for (int num = 1; num < length; ++num) {
        if (!pdf_xref_is_incremental(ctx, live, num)) continue;
        const bool last = ++seen == changed;
        if (((seen - 1) % step == 0 || last) && !sameObject(ctx, live, saved, num)) return 0;
    }
    return 1;
}

// Compares the reopened file with the live document. Runs inside fz_try.
int sameAsLive(fz_context* ctx, pdf_document* live, pdf_document* saved) {
    if (pdf_was_repaired(ctx, saved)) return 0;
    if (pdf_count_pages(ctx, saved) != pdf_count_pages(ctx, live)) return 0;
    return sameChanges(ctx, live, saved);
}

// Whether `written` reads back as the live document. Never throws.
bool verifyUpdate(fz_context* ctx, pdf_document* live, fz_buffer* written, const char* password) {
    int same = 0;
    const auto status = engineRun(ctx, [&] {
        pdf_document* saved = nullptr;
        fz_var(saved);
        fz_try(ctx) {
            saved = engine::openBuffer(ctx, written);
            if (pdf_needs_password(ctx, saved) && !pdf_authenticate_password(ctx, saved, password))
                fz_throw(ctx, FZ_ERROR_GENERIC, "the update cannot be read back");
            same = sameAsLive(ctx, live, saved);
        }
        fz_always(ctx) pdf_drop_document(ctx, saved);
        fz_catch(ctx) fz_rethrow(ctx);
    });
    return status.ok && same;
}

// ---- compacting rewrite --------------------------------------------------------------------

bool isDetached(const std::vector<int>& detached, int num) {
    return std::binary_search(detached.begin(), detached.end(), num);
}

// Removes from a direct object every reference to a detached page (array entries become null,
// dictionary entries go). Runs inside fz_try.
void unlinkReferences(fz_context* ctx, pdf_obj* obj, const std::vector<int>& detached, int depth) {
    if (depth > 64) return;
    if (pdf_is_array(ctx, obj)) {
        const int n = pdf_array_len(ctx, obj);
        for (int i = 0; i < n; ++i) {
            pdf_obj* item = pdf_array_get(ctx, obj, i);
            if (pdf_is_indirect(ctx, item)) {
                if (isDetached(detached, pdf_to_num(ctx, item))) pdf_array_put(ctx, obj, i, PDF_NULL);
            } else {
                unlinkReferences(ctx, item, detached, depth + 1);
            }
        }
    } else if (pdf_is_dict(ctx, obj)) {
        for (int i = pdf_dict_len(ctx, obj) - 1; i >= 0; --i) {
            pdf_obj* value = pdf_dict_get_val(ctx, obj, i);
            if (pdf_is_indirect(ctx, value)) {
                if (isDetached(detached, pdf_to_num(ctx, value))) pdf_dict_del(ctx, obj, pdf_dict_get_key(ctx, obj, i));
            } else {
                unlinkReferences(ctx, value, detached, depth + 1);
            }
        }
    }
}

// Cuts every link to the detached pages so that garbage collection drops them and all that
// only they use; an unreadable object is left as it is. Runs inside fz_try.
void unlinkDetachedPages(fz_context* ctx, pdf_document* doc, const std::vector<int>& detached) {
    const auto unlink = [](fz_context* c, pdf_obj* obj, void* data) {
        unlinkReferences(c, obj, *static_cast<const std::vector<int>*>(data), 0);
        return 0;
    };
    void* data = const_cast<std::vector<int>*>(&detached);
    const int length = pdf_xref_len(ctx, doc);
    for (int num = 1; num < length; ++num)
        if (!isDetached(detached, num)) engine::visitObject(ctx, doc, num, unlink, data);
}

// Object numbers of pages this document wrapped that are no longer in its page tree: the
// pages removed while it was open.
std::vector<int> detachedPages(const PDFDocument& document) {
    PDFDocumentImpl& state = Access::impl(document);
    std::vector<int> result;
    for (const auto& entry : state.pages)
        if (state.indexOfObject(entry.first) < 0) result.push_back(entry.first);
    std::sort(result.begin(), result.end());
    return result;
}


}  // namespace

bool canWriteIncrementally(const PDFDocument& document) {
    fz_context* ctx = baseContext();
    pdf_document* doc = Access::impl(document).doc.get();
    if (!doc || !doc->file || doc->file_size <= 0 || document.wasRepaired()) return false;
    int possible = 0;
    if (!engineRun(ctx, [&] { possible = pdf_can_be_saved_incrementally(ctx, doc); }).ok) return false;
    return possible != 0;
}

bool writeIncremental(const PDFDocument& document, const QString& path) {
    if (path.isEmpty() || !canWriteIncrementally(document)) return false;
    fz_context* ctx = baseContext();
    pdf_document* doc = Access::impl(document).doc.get();
    fz_buffer* written = nullptr;
    if (!engineRun(ctx, [&] { written = originalAndUpdate(ctx, doc); }).ok || !written) return false;
    const engine::BufferRef owned = engine::BufferRef::adopt(written);
    // Checked in memory before anything touches the disk.
    if (!verifyUpdate(ctx, doc, written, Access::impl(document).password.constData())) return false;
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(written->data), qsizetype(written->len));
    return writeFileAtomically(path, bytes);
}

QByteArray compactedBytes(const PDFDocument& document) {
    fz_context* ctx = baseContext();
    pdf_document* live = Access::impl(document).doc.get();
    const std::vector<int> detached = detachedPages(document);

    // The unlinking and the garbage collection happen on a private copy, never on the open document.
    pdf_write_options final = pdf_default_write_options;
    final.do_garbage = 1;
    final.do_compress = 1;
    final.do_compress_fonts = 1;
    final.do_encrypt = PDF_ENCRYPT_KEEP;

    fz_buffer* result = nullptr;
    const auto adjust = [](fz_context* c, pdf_document* copy, void* data) {
        const auto* pages = static_cast<const std::vector<int>*>(data);
        if (!pages->empty()) unlinkDetachedPages(c, copy, *pages);
    };
    void* data = const_cast<std::vector<int>*>(&detached);
    const char* password = Access::impl(document).password.constData();
    const auto status = engineRun(ctx, [&] { result = engine::rewriteThroughCopy(ctx, live, &final, adjust, data, password); });
    if (!status.ok || !result) throw PDFEngineError(Kind::writeFailed, status.message);
    return takeBuffer(ctx, result);
}

bool writeCompacted(const PDFDocument& document, const QString& path) {
    if (path.isEmpty()) return false;
    QByteArray bytes;
    try {
        bytes = compactedBytes(document);
    } catch (const PDFEngineError&) {
        return false;
    }
    if (bytes.isEmpty()) return false;
    return writeFileAtomically(path, bytes);
}

bool writeDocument(const PDFDocument& document, const QString& path, bool contentRemoved) {
    // Pages taken out of the document (deleted or replaced) would stay in the original bytes.
    const bool pagesRemoved = !detachedPages(document).empty();
    contentRemoved = contentRemoved || Access::impl(document).contentReplaced;
    if (!contentRemoved && !pagesRemoved && writeIncremental(document, path)) return true;
    return writeCompacted(document, path);
}

PDFDocumentPtr copyPages(const PDFDocument& source, const std::vector<int>& indices) {
    PDFDocumentPtr result = PDFDocument::createEmpty();
    fz_context* ctx = baseContext();
    pdf_document* dst = Access::impl(*result).doc.get();
    pdf_document* src = Access::impl(source).doc.get();
    std::vector<pdf_obj*> pages;
    for (int index : indices)
        if (const PDFPagePtr page = source.page(index)) {
            engine::preparePage(Access::impl(*page));
            pages.push_back(Access::impl(*page).obj.get());
        }
    std::vector<pdf_obj*> copies(pages.size(), nullptr);
    pdf_obj** list = pages.data();
    pdf_obj** out = copies.data();
    const int count = int(pages.size());
    // One map for all pages: fonts and images the pages share are copied once.
    pdf_graft_map* map = nullptr;
    engine::EngineStatus status = engineRun(ctx, [&] {
        map = pdf_new_graft_map(ctx, dst);
        for (int i = 0; i < count; ++i) {
            out[i] = engine::graftPageObject(ctx, dst, src, list[i], map);
            pdf_insert_page(ctx, dst, i, out[i]);
        }
    });
    if (status.ok) status = engine::carryInteractiveParts(ctx, dst, src, list, out, count, map);
    for (pdf_obj* copy : copies) pdf_drop_obj(ctx, copy);
    pdf_drop_graft_map(ctx, map);
    if (!status.ok) throw PDFEngineError(Kind::operationFailed, status.message);
    Access::impl(*result).invalidateOrder();
    return result;
}

}  // namespace scrivola::PDFSaving
