#pragma once

// Private to the engine folder: the MuPDF contexts, the fz_try bridge and small RAII handles.

#include "pdf/engine/PDFEngine.h"

extern "C" {
#include <mupdf/fitz.h>
#include <mupdf/pdf.h>
}
#ifdef nelem
#undef nelem
#endif

#include <cstdio>
#include <utility>

namespace scrivola::engine {

// The process-wide base context (documents live on it). Created on first use.
fz_context* baseContext();
// The calling thread's context: the base context on the thread that created it, otherwise a
// clone owned by the thread (dropped when the thread ends).
fz_context* threadContext();

// Workers of batch jobs (search, rasterising) use few decoded objects twice: fonts, mostly. A
// small store keeps those and lets the pictures of pages already done go.
constexpr size_t kIsolatedStoreLimit = size_t(24) << 20;

// A context of its own for one thread's private work (a document copy opened, searched and
// dropped on that thread): its own store and allocator state and no locks, so such workers
// never wait on each other or on the base context. Nothing made in it may reach another
// context. Throws PDFEngineError when it cannot be created.
class IsolatedContext {
public:
    // `storeLimit`: bytes of decoded objects (fonts, pictures) the context keeps for reuse.
    explicit IsolatedContext(size_t storeLimit = kIsolatedStoreLimit);
    ~IsolatedContext();
    IsolatedContext(const IsolatedContext&) = delete;
    IsolatedContext& operator=(const IsolatedContext&) = delete;
    fz_context* get() const { return ctx_; }

private:
    fz_context* ctx_ = nullptr;
};

struct EngineStatus {
    bool ok = true;
    char message[256] = {};
};

// Runs `body` inside fz_try. The body must be plain C: no objects with destructors, no return,
// no C++ exceptions. The error, if any, comes back as a status.
template <typename Body>
[[gnu::noinline]] EngineStatus engineRun(fz_context* ctx, Body&& body) {
    EngineStatus status;
    fz_try(ctx) { body(); }
    fz_catch(ctx) {
        status.ok = false;
        std::snprintf(status.message, sizeof status.message, "%s", fz_caught_message(ctx));
    }
    return status;
}

// As engineRun, and throws PDFEngineError(kind) on failure.
template <typename Body>
void engineCheck(fz_context* ctx, PDFEngineError::Kind kind, Body&& body) {
    EngineStatus status = engineRun(ctx, std::forward<Body>(body));
    if (!status.ok) throw PDFEngineError(kind, status.message);
}

// A counted reference to a pdf_obj (keep on construction, drop on destruction).
class ObjRef {
public:
    ObjRef() = default;
    explicit ObjRef(pdf_obj* obj) : obj_(obj ? pdf_keep_obj(baseContext(), obj) : nullptr) {}
    // Takes over a reference the caller already holds.
    static ObjRef adopt(pdf_obj* obj) {
        ObjRef ref;
        ref.obj_ = obj;
        return ref;
    }
    ObjRef(const ObjRef& other) : ObjRef(other.obj_) {}
    ObjRef& operator=(const ObjRef& other) {
        if (this != &other) reset(other.obj_);
        return *this;
    }
    ~ObjRef() { pdf_drop_obj(baseContext(), obj_); }
    void reset(pdf_obj* obj = nullptr) {
        pdf_obj* old = obj_;
        obj_ = obj ? pdf_keep_obj(baseContext(), obj) : nullptr;
        pdf_drop_obj(baseContext(), old);
    }
    pdf_obj* get() const { return obj_; }
    explicit operator bool() const { return obj_ != nullptr; }

private:
    pdf_obj* obj_ = nullptr;
};

// A counted reference to a library object on the base context; `Keep` and `Drop` change its
// count.
template <typename T, void (*Keep)(fz_context*, T*), void (*Drop)(fz_context*, T*)>
class CountedRef {
public:
    CountedRef() = default;
    // Adopts a reference the caller already holds.
    static CountedRef adopt(T* object) {
        CountedRef ref;
        ref.object_ = object;
        return ref;
    }
    CountedRef(const CountedRef& other) : object_(other.object_) {
        if (object_) Keep(baseContext(), object_);
    }
    CountedRef(CountedRef&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    CountedRef& operator=(CountedRef other) noexcept {
        std::swap(object_, other.object_);
        return *this;
    }
    ~CountedRef() {
        if (object_) Drop(baseContext(), object_);
    }
    T* get() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }

private:
    T* object_ = nullptr;
};

inline void keepDocument(fz_context* ctx, pdf_document* doc) { fz_keep_document(ctx, &doc->super); }
inline void dropDocument(fz_context* ctx, pdf_document* doc) { fz_drop_document(ctx, &doc->super); }
inline void keepBuffer(fz_context* ctx, fz_buffer* buffer) { fz_keep_buffer(ctx, buffer); }
inline void dropBuffer(fz_context* ctx, fz_buffer* buffer) { fz_drop_buffer(ctx, buffer); }

using DocRef = CountedRef<pdf_document, keepDocument, dropDocument>;
using BufferRef = CountedRef<fz_buffer, keepBuffer, dropBuffer>;

// Qt <-> engine geometry.
// The object number of an indirect reference or of a resolved top-level object; 0 if direct.
inline int objectNumber(fz_context* ctx, pdf_obj* obj) {
    int num = pdf_to_num(ctx, obj);
    return num ? num : pdf_obj_parent_num(ctx, obj);
}

inline void arrayPutReal(fz_context* ctx, pdf_obj* array, int index, double value) {
    pdf_array_put_drop(ctx, array, index, pdf_new_real(ctx, float(value)));
}

inline QRectF toQRect(fz_rect r) { return QRectF(r.x0, r.y0, r.x1 - r.x0, r.y1 - r.y0); }
inline fz_rect toFzRect(const QRectF& r) {
    return fz_make_rect(float(r.left()), float(r.top()), float(r.right()), float(r.bottom()));
}

}  // namespace scrivola::engine
