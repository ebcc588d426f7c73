// Writing whole documents and single pages, and copying pages between documents.

#include "pdf/engine/EngineImpl.h"
#include "pdf/engine/EngineInternals.h"

#include "workspace/AtomicFile.h"

#include <cstring>

namespace scrivola {

using engine::baseContext;
using engine::engineCheck;
using engine::engineRun;
using Kind = PDFEngineError::Kind;

namespace engine {

pdf_obj* graftPageObject(fz_context* ctx, pdf_document* dst, pdf_document* src, pdf_obj* srcPage,
                         pdf_graft_map* sharedMap) {
    (void)src;
    pdf_graft_map* map = nullptr;
    pdf_obj* dict = nullptr;
    pdf_obj* pageRef = nullptr;
    int* srcNums = nullptr;
    pdf_obj** dstRefs = nullptr;
    int copied = 0;
    fz_var(map);
    fz_var(dict);
    fz_var(pageRef);
    fz_var(srcNums);
    fz_var(dstRefs);
    fz_var(copied);
    fz_try(ctx) {
        map = sharedMap ? pdf_keep_graft_map(ctx, sharedMap) : pdf_new_graft_map(ctx, dst);
        dict = pdf_new_dict(ctx, dst, 12);
        pdf_dict_put(ctx, dict, PDF_NAME(Type), PDF_NAME(Page));
        pdf_obj* inherited[] = {PDF_NAME(Resources), PDF_NAME(MediaBox), PDF_NAME(CropBox), PDF_NAME(Rotate)};
        for (pdf_obj* key : inherited) {
            pdf_obj* value = pdf_dict_get_inheritable(ctx, srcPage, key);
            if (value) pdf_dict_put_drop(ctx, dict, key, pdf_graft_mapped_object(ctx, map, value));
        }
        pdf_obj* own[] = {PDF_NAME(Contents), PDF_NAME(BleedBox), PDF_NAME(TrimBox), PDF_NAME(ArtBox),
                          PDF_NAME(UserUnit), PDF_NAME(Group)};
        for (pdf_obj* key : own) {
            pdf_obj* value = pdf_dict_get(ctx, srcPage, key);
            if (value) pdf_dict_put_drop(ctx, dict, key, pdf_graft_mapped_object(ctx, map, value));
        }
        pageRef = pdf_add_object(ctx, dst, dict);

        pdf_obj* annots = pdf_dict_get(ctx, srcPage, PDF_NAME(Annots));
        const int n = pdf_array_len(ctx, annots);
        if (n > 0) {
            srcNums = (int*)fz_calloc(ctx, size_t(n), sizeof(int));
            dstRefs = (pdf_obj**)fz_calloc(ctx, size_t(n), sizeof(pdf_obj*));
            pdf_obj* newAnnots = pdf_dict_put_array(ctx, pageRef, PDF_NAME(Annots), n);
            for (int i = 0; i < n; ++i) {
                pdf_obj* annot = pdf_array_get(ctx, annots, i);
                if (!pdf_is_dict(ctx, annot) || !copyableAnnotation(ctx, annot)) continue;
                dstRefs[copied] = graftAnnotationCopy(ctx, dst, annot, map, true);
                srcNums[copied] = objectNumber(ctx, annot);
                ++copied;
                pdf_dict_put(ctx, dstRefs[copied - 1], PDF_NAME(P), pageRef);
                pdf_array_push(ctx, newAnnots, dstRefs[copied - 1]);
            }
            // Replies keep pointing at the copies of the annotations they answer.
            for (int i = 0; i < copied; ++i) {
                pdf_obj* original = nullptr;
                for (int k = 0; k < n && !original; ++k) {
                    pdf_obj* a = pdf_array_get(ctx, annots, k);
                    if (objectNumber(ctx, a) == srcNums[i]) original = a;
                }
                int target = objectNumber(ctx, pdf_dict_get(ctx, original, PDF_NAME(IRT)));
                for (int k = 0; target && k < copied; ++k)
                    if (srcNums[k] == target) pdf_dict_put(ctx, dstRefs[i], PDF_NAME(IRT), dstRefs[k]);
            }
        }
    }
    fz_always(ctx) {
        for (int i = 0; i < copied; ++i) pdf_drop_obj(ctx, dstRefs[i]);
        fz_free(ctx, dstRefs);
        fz_free(ctx, srcNums);
        pdf_drop_obj(ctx, dict);
        pdf_drop_graft_map(ctx, map);
    }
    fz_catch(ctx) {
        pdf_drop_obj(ctx, pageRef);
        fz_rethrow(ctx);
    }
    return pageRef;
}

}  // namespace engine

namespace {

void setCreator(fz_context* ctx, pdf_document* doc, const char* creator) {
    pdf_dict_put_text_string(ctx, engine::infoDictionary(ctx, doc), PDF_NAME(Creator), creator);
}

}  // namespace

QByteArray PDFDocument::writeToBuffer(const PDFWriteOptions& options) const {
    fz_context* ctx = baseContext();
    pdf_document* live = impl_->doc.get();
    const QByteArray creator = options.creator.toUtf8();
    const QByteArray user = options.userPassword.toUtf8();
    const QByteArray owner = options.ownerPassword.toUtf8();
    const bool encrypt = !user.isEmpty() || !owner.isEmpty();

    // The requested clean-up, compression and encryption apply to a private copy: garbage
    // collection on the live document would renumber objects under its open pages.
    pdf_write_options final = pdf_default_write_options;
    final.do_garbage = std::clamp(options.garbage, 1, 4);
    final.do_compress = options.compressStreams ? 1 : 0;
    final.do_compress_images = options.compressImages ? 1 : 0;
    final.do_compress_fonts = options.compressStreams ? 1 : 0;
    final.do_clean = options.clean ? 1 : 0;
    final.do_encrypt = encrypt ? PDF_ENCRYPT_AES_256 : PDF_ENCRYPT_KEEP;
    final.permissions = -1;
    std::snprintf(final.opwd_utf8, sizeof final.opwd_utf8, "%s", owner.constData());
    std::snprintf(final.upwd_utf8, sizeof final.upwd_utf8, "%s", user.constData());

    fz_buffer* result = nullptr;
    const auto adjust = [](fz_context* c, pdf_document* copy, void* data) {
        const auto* name = static_cast<const QByteArray*>(data);
        if (!name->isEmpty()) setCreator(c, copy, name->constData());
    };
    void* data = const_cast<QByteArray*>(&creator);
    const char* password = impl_->password.constData();
    auto status = engineRun(ctx, [&] { result = engine::rewriteThroughCopy(ctx, live, &final, adjust, data, password); });
    if (!status.ok || !result) throw PDFEngineError(Kind::writeFailed, status.message);
    return engine::takeBuffer(ctx, result);
}

bool PDFDocument::write(const QString& path, const PDFWriteOptions& options) const {
    if (path.isEmpty()) return false;
    QByteArray bytes;
    try {
        bytes = writeToBuffer(options);
    } catch (const PDFEngineError&) {
        return false;
    }
    return writeFileAtomically(path, bytes);
}

QByteArray PDFPage::dataRepresentation() const {
    fz_context* ctx = baseContext();
    engine::preparePage(*impl_);
    pdf_document* src = impl_->doc.get();
    pdf_obj* page = impl_->obj.get();
    pdf_write_options options = pdf_default_write_options;
    options.do_garbage = 1;
    options.do_compress = 1;
    fz_buffer* result = nullptr;
    auto status = engineRun(ctx, [&] {
        pdf_document* doc = nullptr;
        pdf_obj* copy = nullptr;
        fz_var(doc);
        fz_var(copy);
        fz_try(ctx) {
            doc = pdf_create_document(ctx);
            copy = engine::graftPageObject(ctx, doc, src, page);
            pdf_insert_page(ctx, doc, 0, copy);
            result = engine::serialise(ctx, doc, &options);
        }
        fz_always(ctx) {
            pdf_drop_obj(ctx, copy);
            fz_drop_document(ctx, &doc->super);
        }
        fz_catch(ctx) fz_rethrow(ctx);
    });
    if (!status.ok || !result) return {};
    return engine::takeBuffer(ctx, result);
}

}  // namespace scrivola
