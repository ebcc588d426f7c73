// MuPDF building blocks shared by the engine's own files.

#include "pdf/engine/EngineInternals.h"

#include <QFile>

namespace scrivola::engine {

fz_buffer* serialise(fz_context* ctx, pdf_document* doc, const pdf_write_options* options) {
    fz_buffer* buffer = fz_new_buffer(ctx, 64 * 1024);
    fz_output* out = nullptr;
    fz_var(out);
    fz_try(ctx) {
        out = fz_new_output_with_buffer(ctx, buffer);
        pdf_write_document(ctx, doc, out, options);
        fz_close_output(ctx, out);
    }
    fz_always(ctx) fz_drop_output(ctx, out);
    fz_catch(ctx) {
        fz_drop_buffer(ctx, buffer);
        fz_rethrow(ctx);
    }
    return buffer;
}

pdf_document* openBuffer(fz_context* ctx, fz_buffer* buffer) {
    fz_stream* stream = fz_open_buffer(ctx, buffer);
    pdf_document* doc = nullptr;
    fz_try(ctx) doc = pdf_open_document_with_stream(ctx, stream);
    fz_always(ctx) fz_drop_stream(ctx, stream);
    fz_catch(ctx) fz_rethrow(ctx);
    return doc;
}

fz_buffer* readWholeFile(fz_context* ctx, const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return nullptr;
    const qint64 size = file.size();
    if (size <= 0) return nullptr;
    fz_buffer* buffer = nullptr;
    if (!engineRun(ctx, [&] { buffer = fz_new_buffer(ctx, size_t(size)); }).ok || !buffer) return nullptr;
    // The file may shrink or grow meanwhile: what was there at the first read is the document.
    const qint64 read = file.read(reinterpret_cast<char*>(buffer->data), size);
    if (read <= 0) {
        fz_drop_buffer(ctx, buffer);
        return nullptr;
    }
    buffer->len = size_t(read);
    return buffer;
}

fz_buffer* rewriteThroughCopy(fz_context* ctx, pdf_document* live, const pdf_write_options* options,
                              CopyAdjuster adjust, void* data, const char* password) {
    pdf_write_options plain = pdf_default_write_options;
    plain.do_encrypt = PDF_ENCRYPT_KEEP;
    fz_buffer* first = nullptr;
    pdf_document* copy = nullptr;
    fz_buffer* result = nullptr;
    fz_var(first);
    fz_var(copy);
    fz_var(result);
    fz_try(ctx) {
        first = serialise(ctx, live, &plain);
        copy = openBuffer(ctx, first);
        if (pdf_needs_password(ctx, copy) && !pdf_authenticate_password(ctx, copy, password ? password : ""))
            fz_throw(ctx, FZ_ERROR_GENERIC, "the copy cannot be read");
        if (adjust) adjust(ctx, copy, data);
        result = serialise(ctx, copy, options);
    }
    fz_always(ctx) {
        pdf_drop_document(ctx, copy);
        fz_drop_buffer(ctx, first);
    }
    fz_catch(ctx) fz_rethrow(ctx);
    return result;
}

QByteArray takeBuffer(fz_context* ctx, fz_buffer* buffer) {
    if (!buffer) return {};
    unsigned char* data = nullptr;
    const size_t len = fz_buffer_storage(ctx, buffer, &data);
    QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(len));
    fz_drop_buffer(ctx, buffer);
    return bytes;
}

pdf_obj* addImageObject(fz_context* ctx, pdf_document* doc, const unsigned char* data, size_t size) {
    fz_buffer* bytes = nullptr;
    fz_image* image = nullptr;
    pdf_obj* imageRef = nullptr;
    fz_var(bytes);
    fz_var(image);
    fz_var(imageRef);
    fz_try(ctx) {
        bytes = fz_new_buffer_from_copied_data(ctx, data, size);
        image = fz_new_image_from_buffer(ctx, bytes);
        imageRef = pdf_add_image(ctx, doc, image);
    }
    fz_always(ctx) {
        fz_drop_image(ctx, image);
        fz_drop_buffer(ctx, bytes);
    }
    fz_catch(ctx) fz_rethrow(ctx);
    return imageRef;
}

pdf_obj* addImagePageObject(fz_context* ctx, pdf_document* doc, const unsigned char* data, size_t size,
                            float width, float height) {
    pdf_obj* imageRef = nullptr;
    pdf_obj* resources = nullptr;
    fz_buffer* contents = nullptr;
    pdf_obj* page = nullptr;
    fz_var(imageRef);
    fz_var(resources);
    fz_var(contents);
    fz_var(page);
    fz_try(ctx) {
        imageRef = addImageObject(ctx, doc, data, size);
        resources = pdf_new_dict(ctx, doc, 1);
        pdf_obj* xobjects = pdf_dict_put_dict(ctx, resources, PDF_NAME(XObject), 1);
        pdf_dict_puts(ctx, xobjects, "Im0", imageRef);
        contents = fz_new_buffer(ctx, 64);
        fz_append_printf(ctx, contents, "q %g 0 0 %g 0 0 cm /Im0 Do Q\n", width, height);
        page = pdf_add_page(ctx, doc, fz_make_rect(0, 0, width, height), 0, resources, contents);
    }
    fz_always(ctx) {
        fz_drop_buffer(ctx, contents);
        pdf_drop_obj(ctx, resources);
        pdf_drop_obj(ctx, imageRef);
    }
    fz_catch(ctx) fz_rethrow(ctx);
    return page;
}

pdf_obj* infoDictionary(fz_context* ctx, pdf_document* doc) {
    pdf_obj* info = pdf_dict_get(ctx, pdf_trailer(ctx, doc), PDF_NAME(Info));
    if (!pdf_is_dict(ctx, info)) {
        // Adding an object may start a new xref section with its own trailer: fetch it after.
        info = pdf_add_new_dict(ctx, doc, 4);
        pdf_dict_put_drop(ctx, pdf_trailer(ctx, doc), PDF_NAME(Info), info);
    }
    return info;
}

pdf_obj* graftAnnotationCopy(fz_context* ctx, pdf_document* dst, pdf_obj* annot, pdf_graft_map* map,
                             bool dropStructParent) {
    pdf_obj* copy = nullptr;
    pdf_obj* grafted = nullptr;
    pdf_obj* ref = nullptr;
    fz_var(copy);
    fz_var(grafted);
    fz_var(ref);
    fz_try(ctx) {
        copy = pdf_copy_dict(ctx, annot);
        pdf_dict_del(ctx, copy, PDF_NAME(P));
        pdf_dict_del(ctx, copy, PDF_NAME(Popup));
        pdf_dict_del(ctx, copy, PDF_NAME(IRT));
        pdf_dict_del(ctx, copy, PDF_NAME(Parent));
        if (dropStructParent) pdf_dict_del(ctx, copy, PDF_NAME(StructParent));
        grafted = map ? pdf_graft_mapped_object(ctx, map, copy) : pdf_graft_object(ctx, dst, copy);
        ref = pdf_add_object(ctx, dst, grafted);
    }
    fz_always(ctx) {
        pdf_drop_obj(ctx, grafted);
        pdf_drop_obj(ctx, copy);
    }
    fz_catch(ctx) fz_rethrow(ctx);
    return ref;
}

int visitObject(fz_context* ctx, pdf_document* doc, int num, ObjectVisitor visit, void* data) {
    const pdf_xref_entry* entry = pdf_get_xref_entry_no_null(ctx, doc, num);
    if (!entry || (entry->type != 'n' && entry->type != 'o')) return 0;
    pdf_obj* obj = nullptr;
    int result = 0;
    fz_var(obj);
    fz_var(result);
    fz_try(ctx) {
        obj = pdf_load_object(ctx, doc, num);
        result = visit(ctx, obj, data);
    }
    fz_always(ctx) pdf_drop_obj(ctx, obj);
    fz_catch(ctx) result = 0;
    return result;
}

// ---- private document copies ----------------------------------------------------------------

namespace {

using Kind = PDFEngineError::Kind;

}  // namespace

fz_context* contextOrThrow() {
    fz_context* ctx = threadContext();
    if (!ctx) throw PDFEngineError(Kind::operationFailed, "No PDF engine context for this thread");
    return ctx;
}

namespace {

// `doc` when it opens without a password; otherwise dropped, and the reason thrown.
pdf_document* refuseLocked(fz_context* ctx, pdf_document* doc) {
    if (!doc) throw PDFEngineError(Kind::corruptedFile, "Could not open the document");
    int locked = 0;
    auto status = engineRun(ctx, [&] {
        if (pdf_needs_password(ctx, doc) && !pdf_authenticate_password(ctx, doc, "")) locked = 1;
    });
    if (!status.ok || locked) {
        fz_drop_document(ctx, &doc->super);
        if (locked) throw PDFEngineError(Kind::passwordProtected, "Password required");
        throw PDFEngineError(Kind::corruptedFile, status.message);
    }
    return doc;
}

}  // namespace

pdf_document* openDocument(fz_context* ctx, const QByteArray& pdf) {
    if (pdf.isEmpty()) throw PDFEngineError(Kind::loadFailed, "No data");
    const auto* data = reinterpret_cast<const unsigned char*>(pdf.constData());
    const size_t size = size_t(pdf.size());
    pdf_document* doc = nullptr;
    engineCheck(ctx, Kind::corruptedFile, [&] {
        fz_buffer* buffer = fz_new_buffer_from_shared_data(ctx, data, size);
        fz_try(ctx) doc = openBuffer(ctx, buffer);
        fz_always(ctx) fz_drop_buffer(ctx, buffer);
        fz_catch(ctx) fz_rethrow(ctx);
    });
    return refuseLocked(ctx, doc);
}

pdf_document* openDocumentFile(fz_context* ctx, const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    pdf_document* doc = nullptr;
    engineCheck(ctx, Kind::corruptedFile, [&] { doc = pdf_open_document(ctx, native.constData()); });
    return refuseLocked(ctx, doc);
}

pdf_page* loadPage(fz_context* ctx, pdf_document* doc, int index) {
    pdf_page* page = nullptr;
    engineCheck(ctx, Kind::operationFailed, [&] { page = pdf_load_page(ctx, doc, index); });
    if (!page) throw PDFEngineError(Kind::operationFailed, "Could not load the page");
    return page;
}

}  // namespace scrivola::engine
