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

// A context of its own for one thread's private work (a document copy opened, searched and
// dropped on that thread): its own store and allocator state and no locks, so such workers
// never wait on each other or on the base context. Nothing made in it may reach another
// context. Throws PDFEngineError when it cannot be created.
class IsolatedContext {
public:
    IsolatedContext();
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

// A counted reference to a pdf_document.
class DocRef {
public:
    DocRef() = default;
    // Adopts a reference the caller already holds.
    static DocRef adopt(pdf_document* doc) {
        DocRef ref;
        ref.doc_ = doc;
        return ref;
    }
    DocRef(const DocRef& other) : doc_(other.doc_) {
        if (doc_) fz_keep_document(baseContext(), &doc_->super);
    }
    DocRef& operator=(const DocRef& other) {
        if (this != &other) {
            if (other.doc_) fz_keep_document(baseContext(), &other.doc_->super);
            release();
            doc_ = other.doc_;
        }
        return *this;
    }
    ~DocRef() { release(); }
    pdf_document* get() const { return doc_; }
    explicit operator bool() const { return doc_ != nullptr; }

private:
    void release() {
        if (doc_) fz_drop_document(baseContext(), &doc_->super);
        doc_ = nullptr;
    }
    pdf_document* doc_ = nullptr;
};

// A counted reference to an fz_buffer on the base context.
class BufferRef {
public:
    BufferRef() = default;
    // Adopts a reference the caller already holds.
    static BufferRef adopt(fz_buffer* buffer) {
        BufferRef ref;
        ref.buffer_ = buffer;
        return ref;
    }
    BufferRef(const BufferRef& other) : buffer_(other.buffer_ ? fz_keep_buffer(baseContext(), other.buffer_) : nullptr) {}
    BufferRef(BufferRef&& other) noexcept : buffer_(std::exchange(other.buffer_, nullptr)) {}
    BufferRef& operator=(BufferRef other) noexcept {
        std::swap(buffer_, other.buffer_);
        return *this;
    }
    ~BufferRef() { fz_drop_buffer(baseContext(), buffer_); }
    fz_buffer* get() const { return buffer_; }
    explicit operator bool() const { return buffer_ != nullptr; }

private:
    fz_buffer* buffer_ = nullptr;
};

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
