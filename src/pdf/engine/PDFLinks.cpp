// Links, outlines and form fields: reading them, and carrying them over when pages are copied
// into a new document, so that an export keeps what its pages show and where they lead.

#include "pdf/engine/EngineImpl.h"
#include "pdf/engine/EngineInternals.h"

#include <unordered_map>

namespace scrivola {

using engine::baseContext;
using engine::engineRun;

namespace engine {

namespace {

constexpr int kMaxDepth = 64;
constexpr int kMaxOutlineItems = 100000;

bool isSubtype(fz_context* ctx, pdf_obj* annot, pdf_obj* name) {
    return pdf_name_eq(ctx, pdf_dict_get(ctx, annot, PDF_NAME(Subtype)), name);
}

// The object number of the page an explicit destination points at, 0 when it names none.
int destinationPage(fz_context* ctx, pdf_obj* dest) {
    pdf_obj* page = pdf_array_get(ctx, dest, 0);
    return pdf_is_indirect(ctx, page) ? pdf_to_num(ctx, page) : 0;
}

// True when the link or outline item leads somewhere inside its document (a /Dest or a GoTo).
bool hasInternalTarget(fz_context* ctx, pdf_obj* holder) {
    if (pdf_dict_get(ctx, holder, PDF_NAME(Dest))) return true;
    pdf_obj* action = pdf_dict_get(ctx, holder, PDF_NAME(A));
    return pdf_name_eq(ctx, pdf_dict_get(ctx, action, PDF_NAME(S)), PDF_NAME(GoTo));
}

// State of one export: which source pages became which new pages, and the copies made so far
// (source object number -> new reference, owned here and dropped by the caller).
struct Carry {
    fz_context* ctx;
    pdf_document* dst;
    pdf_graft_map* map;
    std::unordered_map<int, pdf_obj*>* pages;   // borrowed references
    std::unordered_map<int, pdf_obj*>* copies;  // owned references
    pdf_obj* fields;                            // top-level form fields of the new document
};

pdf_obj* copyValue(Carry& c, pdf_obj* value, int depth);

// Copies the entries of `from` into the new dictionary `to`, except those in `skip`.
void copyEntries(Carry& c, pdf_obj* to, pdf_obj* from, pdf_obj* const* skip, int skipCount, int depth) {
    fz_context* ctx = c.ctx;
    const int n = pdf_dict_len(ctx, from);
    for (int i = 0; i < n; ++i) {
        pdf_obj* key = pdf_dict_get_key(ctx, from, i);
        bool skipped = false;
        for (int k = 0; k < skipCount && !skipped; ++k) skipped = pdf_name_eq(ctx, key, skip[k]);
        if (skipped) continue;
        pdf_obj* copy = copyValue(c, pdf_dict_get_val(ctx, from, i), depth + 1);
        if (copy) pdf_dict_put_drop(ctx, to, key, copy);
    }
}

void copyItems(Carry& c, pdf_obj* to, pdf_obj* from, int depth) {
    fz_context* ctx = c.ctx;
    const int n = pdf_array_len(ctx, from);
    for (int i = 0; i < n; ++i) {
        pdf_obj* copy = copyValue(c, pdf_array_get(ctx, from, i), depth + 1);
        if (copy) pdf_array_push_drop(ctx, to, copy);
        else pdf_array_push(ctx, to, PDF_NULL);
    }
}

// A copy of `value` in the new document, with references to exported pages turned into the new
// pages; null for references to pages left out (and for anything nested absurdly deep). Unlike
// a plain graft, it never follows a page reference into the source's page tree.
pdf_obj* copyValue(Carry& c, pdf_obj* value, int depth) {
    fz_context* ctx = c.ctx;
    if (!value || depth > kMaxDepth) return nullptr;
    if (pdf_is_indirect(ctx, value)) {
        const int num = pdf_to_num(ctx, value);
        if (auto page = c.pages->find(num); page != c.pages->end()) return pdf_keep_obj(ctx, page->second);
        if (auto copy = c.copies->find(num); copy != c.copies->end()) return pdf_keep_obj(ctx, copy->second);
        if (pdf_name_eq(ctx, pdf_dict_get(ctx, value, PDF_NAME(Type)), PDF_NAME(Page))) return nullptr;
        if (pdf_is_stream(ctx, value) || (!pdf_is_dict(ctx, value) && !pdf_is_array(ctx, value)))
            return pdf_graft_mapped_object(ctx, c.map, value);
        // Registered before its entries are copied, so that cycles end at the copy.
        const bool dict = pdf_is_dict(ctx, value);
        pdf_obj* ref = dict ? pdf_add_new_dict(ctx, c.dst, pdf_dict_len(ctx, value))
                            : pdf_add_new_array(ctx, c.dst, pdf_array_len(ctx, value));
        (*c.copies)[num] = pdf_keep_obj(ctx, ref);
        if (dict) copyEntries(c, ref, value, nullptr, 0, depth);
        else copyItems(c, ref, value, depth);
        return ref;
    }
    if (pdf_is_dict(ctx, value)) {
        pdf_obj* dict = pdf_new_dict(ctx, c.dst, pdf_dict_len(ctx, value));
        fz_try(ctx) copyEntries(c, dict, value, nullptr, 0, depth);
        fz_catch(ctx) {
            pdf_drop_obj(ctx, dict);
            fz_rethrow(ctx);
        }
        return dict;
    }
    if (pdf_is_array(ctx, value)) {
        pdf_obj* array = pdf_new_array(ctx, c.dst, pdf_array_len(ctx, value));
        fz_try(ctx) copyItems(c, array, value, depth);
        fz_catch(ctx) {
            pdf_drop_obj(ctx, array);
            fz_rethrow(ctx);
        }
        return array;
    }
    return pdf_keep_obj(ctx, value);  // names, numbers, strings belong to no document
}

// Copies a form field or widget with the fields above it (each once), linking it to its copied
// parent's /Kids or to the new form's top-level fields. Returns a borrowed reference.
pdf_obj* copyField(Carry& c, pdf_obj* field, int depth) {
    fz_context* ctx = c.ctx;
    const int num = pdf_to_num(ctx, field);
    if (auto copy = c.copies->find(num); copy != c.copies->end()) return copy->second;
    pdf_obj* ref = pdf_add_new_dict(ctx, c.dst, pdf_dict_len(ctx, field));
    (*c.copies)[num] = ref;
    pdf_obj* skip[] = {PDF_NAME(Parent), PDF_NAME(Kids), PDF_NAME(P), PDF_NAME(Popup), PDF_NAME(IRT), PDF_NAME(StructParent)};
    copyEntries(c, ref, field, skip, int(std::size(skip)), 0);
    pdf_obj* parent = pdf_dict_get(ctx, field, PDF_NAME(Parent));
    if (pdf_is_indirect(ctx, parent) && pdf_is_dict(ctx, parent) && depth < kMaxDepth) {
        pdf_obj* parentCopy = copyField(c, parent, depth + 1);
        pdf_dict_put(ctx, ref, PDF_NAME(Parent), parentCopy);
        pdf_obj* kids = pdf_dict_get(ctx, parentCopy, PDF_NAME(Kids));
        if (!pdf_is_array(ctx, kids)) kids = pdf_dict_put_array(ctx, parentCopy, PDF_NAME(Kids), 4);
        pdf_array_push(ctx, kids, ref);
    } else {
        pdf_array_push(ctx, c.fields, ref);
    }
    return ref;
}

// A copy of an internal link whose target page was exported, or null.
pdf_obj* copyLink(Carry& c, pdf_document* src, pdf_obj* link) {
    fz_context* ctx = c.ctx;
    pdf_obj* dest = explicitDestination(ctx, src, link);
    if (!dest || !c.pages->count(destinationPage(ctx, dest))) return nullptr;
    pdf_obj* skip[] = {PDF_NAME(P), PDF_NAME(Popup), PDF_NAME(IRT), PDF_NAME(Parent), PDF_NAME(StructParent),
                       PDF_NAME(Dest), PDF_NAME(A)};
    pdf_obj* copy = pdf_new_dict(ctx, c.dst, pdf_dict_len(ctx, link));
    pdf_obj* ref = nullptr;
    fz_var(ref);
    fz_try(ctx) {
        copyEntries(c, copy, link, skip, int(std::size(skip)), 0);
        pdf_dict_put_drop(ctx, copy, PDF_NAME(Dest), copyValue(c, dest, 0));
        ref = pdf_add_object(ctx, c.dst, copy);
    }
    fz_always(ctx) pdf_drop_obj(ctx, copy);
    fz_catch(ctx) fz_rethrow(ctx);
    return ref;
}

// Rebuilds the /Annots of an exported page in the source's order: the annotations the page copy
// already holds, form widgets (with their fields) and internal links to exported pages.
void carryAnnotations(Carry& c, pdf_document* src, pdf_obj* srcPage, pdf_obj* dstPage) {
    fz_context* ctx = c.ctx;
    pdf_obj* srcAnnots = pdf_dict_get(ctx, srcPage, PDF_NAME(Annots));
    pdf_obj* copied = pdf_keep_obj(ctx, pdf_dict_get(ctx, dstPage, PDF_NAME(Annots)));
    fz_try(ctx) {
        pdf_obj* annots = pdf_new_array(ctx, c.dst, pdf_array_len(ctx, srcAnnots));
        pdf_dict_put_drop(ctx, dstPage, PDF_NAME(Annots), annots);
        int next = 0;
        for (int i = 0, n = pdf_array_len(ctx, srcAnnots); i < n; ++i) {
            pdf_obj* annot = pdf_array_get(ctx, srcAnnots, i);
            if (!pdf_is_dict(ctx, annot)) continue;
            if (copyableAnnotation(ctx, annot)) {
                if (next < pdf_array_len(ctx, copied)) pdf_array_push(ctx, annots, pdf_array_get(ctx, copied, next++));
            } else if (isSubtype(ctx, annot, PDF_NAME(Widget)) && pdf_is_indirect(ctx, annot)) {
                pdf_obj* widget = copyField(c, annot, 0);
                pdf_dict_put(ctx, widget, PDF_NAME(P), dstPage);
                pdf_array_push(ctx, annots, widget);
            } else if (isSubtype(ctx, annot, PDF_NAME(Link))) {
                if (pdf_obj* link = copyLink(c, src, annot)) {
                    pdf_dict_put(ctx, link, PDF_NAME(P), dstPage);
                    pdf_array_push_drop(ctx, annots, link);
                }
            }
        }
        if (pdf_array_len(ctx, annots) == 0) pdf_dict_del(ctx, dstPage, PDF_NAME(Annots));
    }
    fz_always(ctx) pdf_drop_obj(ctx, copied);
    fz_catch(ctx) fz_rethrow(ctx);
}

int carryOutline(Carry& c, pdf_document* src, pdf_obj* item, pdf_obj* parent, int depth, int* budget,
                 pdf_obj** first, pdf_obj** last);

// Copies one outline item when it leads to an exported page or holds items that do, appending
// it after *last under `parent`; returns whether it was kept. *first and *last are references
// the caller owns.
bool carryOutlineItem(Carry& c, pdf_document* src, pdf_obj* item, pdf_obj* parent, int depth, int* budget,
                      pdf_obj** first, pdf_obj** last) {
    fz_context* ctx = c.ctx;
    pdf_obj* copy = pdf_add_new_dict(ctx, c.dst, 8);
    pdf_obj* childFirst = nullptr;
    pdf_obj* childLast = nullptr;
    int kept = 0;
    fz_var(kept);
    fz_var(childFirst);
    fz_var(childLast);
    fz_try(ctx) {
        pdf_obj* dest = explicitDestination(ctx, src, item);
        const bool leads = dest && c.pages->count(destinationPage(ctx, dest));
        const int children = carryOutline(c, src, pdf_dict_get(ctx, item, PDF_NAME(First)), copy, depth + 1, budget,
                                          &childFirst, &childLast);
        if (leads || children > 0) {
            pdf_obj* keys[] = {PDF_NAME(Title), PDF_NAME(C), PDF_NAME(F)};
            for (pdf_obj* key : keys)
                if (pdf_obj* value = copyValue(c, pdf_dict_get(ctx, item, key), 0)) pdf_dict_put_drop(ctx, copy, key, value);
            if (leads) pdf_dict_put_drop(ctx, copy, PDF_NAME(Dest), copyValue(c, dest, 0));
            pdf_dict_put(ctx, copy, PDF_NAME(Parent), parent);
            if (children > 0) {
                pdf_dict_put(ctx, copy, PDF_NAME(First), childFirst);
                pdf_dict_put(ctx, copy, PDF_NAME(Last), childLast);
                const bool open = pdf_dict_get_int(ctx, item, PDF_NAME(Count)) > 0;
                pdf_dict_put_int(ctx, copy, PDF_NAME(Count), open ? children : -children);
            }
            if (*last) {
                pdf_dict_put(ctx, *last, PDF_NAME(Next), copy);
                pdf_dict_put(ctx, copy, PDF_NAME(Prev), *last);
                pdf_drop_obj(ctx, *last);
            } else {
                *first = pdf_keep_obj(ctx, copy);
            }
            *last = pdf_keep_obj(ctx, copy);
            kept = 1;
        }
    }
    fz_always(ctx) {
        pdf_drop_obj(ctx, childLast);
        pdf_drop_obj(ctx, childFirst);
        pdf_drop_obj(ctx, copy);
    }
    fz_catch(ctx) fz_rethrow(ctx);
    return kept != 0;
}

// Copies the outline items from `item` on (with their children) that lead to exported pages,
// or hold such items, under `parent`; returns how many were kept and sets first/last
// (references the caller owns, null when none was kept).
int carryOutline(Carry& c, pdf_document* src, pdf_obj* item, pdf_obj* parent, int depth, int* budget,
                 pdf_obj** first, pdf_obj** last) {
    *first = *last = nullptr;
    int kept = 0;
    for (; pdf_is_dict(c.ctx, item) && depth < kMaxDepth && (*budget)-- > 0; item = pdf_dict_get(c.ctx, item, PDF_NAME(Next)))
        kept += carryOutlineItem(c, src, item, parent, depth, budget, first, last) ? 1 : 0;
    return kept;
}

// The source's form settings the copied fields need.
void carryForm(Carry& c, pdf_document* src) {
    fz_context* ctx = c.ctx;
    if (pdf_array_len(ctx, c.fields) == 0) return;
    pdf_obj* root = pdf_dict_get(ctx, pdf_trailer(ctx, c.dst), PDF_NAME(Root));
    pdf_obj* form = pdf_dict_put_dict(ctx, root, PDF_NAME(AcroForm), 4);
    pdf_dict_put(ctx, form, PDF_NAME(Fields), c.fields);
    pdf_obj* old = pdf_dict_get(ctx, pdf_dict_get(ctx, pdf_trailer(ctx, src), PDF_NAME(Root)), PDF_NAME(AcroForm));
    for (const char* key : {"DA", "DR", "Q", "NeedAppearances"})
        if (pdf_obj* value = copyValue(c, pdf_dict_gets(ctx, old, key), 0)) pdf_dict_puts_drop(ctx, form, key, value);
}

}  // namespace

pdf_obj* explicitDestination(fz_context* ctx, pdf_document* doc, pdf_obj* holder) {
    pdf_obj* dest = pdf_dict_get(ctx, holder, PDF_NAME(Dest));
    if (!dest) {
        pdf_obj* action = pdf_dict_get(ctx, holder, PDF_NAME(A));
        if (pdf_name_eq(ctx, pdf_dict_get(ctx, action, PDF_NAME(S)), PDF_NAME(GoTo))) dest = pdf_dict_get(ctx, action, PDF_NAME(D));
    }
    if (pdf_is_name(ctx, dest) || pdf_is_string(ctx, dest)) dest = pdf_lookup_dest(ctx, doc, dest);
    if (pdf_is_dict(ctx, dest)) dest = pdf_dict_get(ctx, dest, PDF_NAME(D));
    return pdf_is_array(ctx, dest) ? dest : nullptr;
}

bool copyableAnnotation(fz_context* ctx, pdf_obj* annot) {
    if (isSubtype(ctx, annot, PDF_NAME(Widget)) || isSubtype(ctx, annot, PDF_NAME(Popup))) return false;
    return !isSubtype(ctx, annot, PDF_NAME(Link)) || !hasInternalTarget(ctx, annot);
}

EngineStatus carryInteractiveParts(fz_context* ctx, pdf_document* dst, pdf_document* src, pdf_obj* const* srcPages,
                                   pdf_obj* const* dstPages, int count, pdf_graft_map* map) {
    std::unordered_map<int, pdf_obj*> pages;
    std::unordered_map<int, pdf_obj*> copies;
    for (int i = 0; i < count; ++i) pages.emplace(pdf_to_num(ctx, srcPages[i]), dstPages[i]);
    Carry carry{ctx, dst, map, &pages, &copies, nullptr};
    const EngineStatus status = engineRun(ctx, [&] {
        carry.fields = pdf_new_array(ctx, dst, 4);
        for (int i = 0; i < count; ++i) carryAnnotations(carry, src, srcPages[i], dstPages[i]);
        carryForm(carry, src);
        pdf_obj* outlines = pdf_dict_get(ctx, pdf_dict_get(ctx, pdf_trailer(ctx, src), PDF_NAME(Root)), PDF_NAME(Outlines));
        pdf_obj* root = pdf_dict_get(ctx, pdf_trailer(ctx, dst), PDF_NAME(Root));
        pdf_obj* top = pdf_add_new_dict(ctx, dst, 4);
        pdf_obj* first = nullptr;
        pdf_obj* last = nullptr;
        fz_var(first);
        fz_var(last);
        fz_try(ctx) {
            int budget = kMaxOutlineItems;
            const int kept = carryOutline(carry, src, pdf_dict_get(ctx, outlines, PDF_NAME(First)), top, 0, &budget, &first, &last);
            if (kept > 0) {
                pdf_dict_put(ctx, top, PDF_NAME(Type), PDF_NAME(Outlines));
                pdf_dict_put(ctx, top, PDF_NAME(First), first);
                pdf_dict_put(ctx, top, PDF_NAME(Last), last);
                pdf_dict_put_int(ctx, top, PDF_NAME(Count), kept);
                pdf_dict_put(ctx, root, PDF_NAME(Outlines), top);
            }
        }
        fz_always(ctx) {
            pdf_drop_obj(ctx, last);
            pdf_drop_obj(ctx, first);
            pdf_drop_obj(ctx, top);
        }
        fz_catch(ctx) fz_rethrow(ctx);
    });
    for (auto& entry : copies) pdf_drop_obj(ctx, entry.second);
    pdf_drop_obj(ctx, carry.fields);
    return status;
}

}  // namespace engine

// ---- reading -------------------------------------------------------------------------------

namespace {

struct RawLink {
    fz_rect rect;
    int targetPage;  // object number, 0 for none
    const char* uri;
};

}  // namespace

std::vector<PDFLink> PDFPage::links() const {
    auto owner = impl_->owner.lock();
    if (!owner) return {};
    fz_context* ctx = baseContext();
    pdf_document* doc = impl_->doc.get();
    pdf_obj* pageObj = impl_->obj.get();
    std::vector<RawLink> raw;
    engineRun(ctx, [&] {
        pdf_obj* annots = pdf_dict_get(ctx, pageObj, PDF_NAME(Annots));
        for (int i = 0, n = pdf_array_len(ctx, annots); i < n; ++i) {
            pdf_obj* annot = pdf_array_get(ctx, annots, i);
            if (!engine::isSubtype(ctx, annot, PDF_NAME(Link))) continue;
            pdf_obj* dest = engine::explicitDestination(ctx, doc, annot);
            pdf_obj* action = pdf_dict_get(ctx, annot, PDF_NAME(A));
            const char* uri = pdf_name_eq(ctx, pdf_dict_get(ctx, action, PDF_NAME(S)), PDF_NAME(URI))
                                  ? pdf_dict_get_text_string(ctx, action, PDF_NAME(URI))
                                  : nullptr;
            raw.push_back({pdf_dict_get_rect(ctx, annot, PDF_NAME(Rect)), dest ? engine::destinationPage(ctx, dest) : 0, uri});
        }
    });
    const fz_rect media = engine::mediaBoxOf(pageObj);
    PDFDocumentImpl& document = Access::impl(*owner);
    std::vector<PDFLink> links;
    for (const RawLink& link : raw) {
        const QRectF bounds = engine::toQRect(link.rect).translated(-media.x0, -media.y0);
        const int target = link.targetPage > 0 ? document.indexOfObject(link.targetPage) : -1;
        links.push_back({bounds, target, engine::fromUtf8(link.uri)});
    }
    return links;
}

std::vector<PDFOutlineItem> PDFDocument::outline() const {
    struct RawItem {
        int depth;
        const char* title;
        int targetPage;
    };
    std::vector<RawItem> raw;
    fz_context* ctx = baseContext();
    pdf_document* doc = impl_->doc.get();
    engineRun(ctx, [&] {
        pdf_obj* root = pdf_dict_get(ctx, pdf_trailer(ctx, doc), PDF_NAME(Root));
        pdf_obj* item = pdf_dict_get(ctx, pdf_dict_get(ctx, root, PDF_NAME(Outlines)), PDF_NAME(First));
        // Depth-first walk without recursion: the stack holds the items to come back to.
        pdf_obj* stack[engine::kMaxDepth];
        int depth = 0;
        int budget = engine::kMaxOutlineItems;
        while (budget-- > 0) {
            if (!pdf_is_dict(ctx, item)) {
                if (depth == 0) break;
                item = pdf_dict_get(ctx, stack[--depth], PDF_NAME(Next));
                continue;
            }
            pdf_obj* dest = engine::explicitDestination(ctx, doc, item);
            raw.push_back({depth, pdf_dict_get_text_string(ctx, item, PDF_NAME(Title)), dest ? engine::destinationPage(ctx, dest) : 0});
            pdf_obj* child = pdf_dict_get(ctx, item, PDF_NAME(First));
            if (pdf_is_dict(ctx, child) && depth < engine::kMaxDepth) {
                stack[depth++] = item;
                item = child;
            } else {
                item = pdf_dict_get(ctx, item, PDF_NAME(Next));
            }
        }
    });
    // Rebuild the tree from the depth-first list.
    std::vector<PDFOutlineItem> top;
    std::vector<std::vector<PDFOutlineItem>*> levels{&top};
    for (const RawItem& item : raw) {
        levels.resize(size_t(item.depth) + 1);
        const int target = item.targetPage > 0 ? impl_->indexOfObject(item.targetPage) : -1;
        levels.back()->push_back({engine::fromUtf8(item.title), target, {}});
        levels.push_back(&levels.back()->back().children);
    }
    return top;
}

}  // namespace scrivola
