#include "annotation/FontSubset.h"

#include <hb-subset.h>
#include <hb.h>

#include <list>
#include <memory>

namespace scrivola {

namespace {

// Tables worth carrying over into an embedded font; layout and hinting tables are not needed
// to draw positioned glyphs.
constexpr const char* kTables[] = {"head", "hhea", "maxp", "OS/2", "hmtx", "cmap", "post", "name",
                                   "loca", "glyf", "CFF ", "vhea", "vmtx", "VORG"};

struct BlobDeleter {
    void operator()(hb_blob_t* b) const { hb_blob_destroy(b); }
};
struct FaceDeleter {
    void operator()(hb_face_t* f) const { hb_face_destroy(f); }
};
struct InputDeleter {
    void operator()(hb_subset_input_t* i) const { hb_subset_input_destroy(i); }
};
struct PlanDeleter {
    void operator()(hb_subset_plan_t* p) const { hb_subset_plan_destroy(p); }
};
using Blob = std::unique_ptr<hb_blob_t, BlobDeleter>;
using Face = std::unique_ptr<hb_face_t, FaceDeleter>;

hb_tag_t tagOf(const char* name) { return hb_tag_from_string(name, 4); }

}  // namespace

namespace {

FontSubset makeSubset(const QRawFont& font, const std::set<quint32>& glyphs);

// Recently made subsets: a box that is moved or restyled keeps its glyphs, and cutting a large
// face (a CJK font is over 15 MB) costs far more than the lookup.
struct SubsetCache {
    struct Entry {
        QByteArray key;
        FontSubset subset;
    };
    std::list<Entry> entries;
    static constexpr size_t capacity = 24;
};

QByteArray cacheKey(const QRawFont& font, const std::set<quint32>& glyphs) {
    QByteArray key = (font.familyName() + QLatin1Char('|') + font.styleName()).toUtf8();
    key += '|' + QByteArray::number(font.weight()) + '|' + QByteArray::number(int(font.style())) + '|';
    key += QByteArray::number(font.fontTable("head").mid(8, 4).toHex().toULongLong(nullptr, 16)) + '|';
    for (quint32 g : glyphs) key += QByteArray::number(g) + ',';
    return key;
}

}  // namespace

FontSubset subsetFont(const QRawFont& font, const std::set<quint32>& glyphs) {
    static SubsetCache cache;
    const QByteArray key = cacheKey(font, glyphs);
    for (auto it = cache.entries.begin(); it != cache.entries.end(); ++it) {
        if (it->key != key) continue;
        cache.entries.splice(cache.entries.begin(), cache.entries, it);
        return it->subset;
    }
    FontSubset subset = makeSubset(font, glyphs);
    cache.entries.push_front({key, subset});
    if (cache.entries.size() > SubsetCache::capacity) cache.entries.pop_back();
    return subset;
}

namespace {

FontSubset makeSubset(const QRawFont& font, const std::set<quint32>& glyphs) {
    FontSubset result;
    if (!font.isValid()) return result;
    const bool hasGlyf = !font.fontTable("glyf").isEmpty() && !font.fontTable("loca").isEmpty();
    const bool hasCFF = !font.fontTable("CFF ").isEmpty();
    if (!hasGlyf && !hasCFF) return result;

    // Reassemble the font file from its tables (Qt does not reveal where the file is, and a
    // face of a collection must become a font of its own anyway).
    Face builder(hb_face_builder_create());
    for (const char* name : kTables) {
        if (!hasGlyf && (QByteArray(name) == "glyf" || QByteArray(name) == "loca")) continue;
        const QByteArray table = font.fontTable(name);
        if (table.isEmpty()) continue;
        Blob blob(hb_blob_create(table.constData(), unsigned(table.size()), HB_MEMORY_MODE_DUPLICATE, nullptr, nullptr));
        hb_face_builder_add_table(builder.get(), tagOf(name), blob.get());
    }
    Blob whole(hb_face_reference_blob(builder.get()));
    Face source(hb_face_create(whole.get(), 0));
    if (!source || hb_face_get_glyph_count(source.get()) == 0) return result;

    std::unique_ptr<hb_subset_input_t, InputDeleter> input(hb_subset_input_create_or_fail());
    if (!input) return result;
    hb_set_t* glyphSet = hb_subset_input_glyph_set(input.get());
    hb_set_add(glyphSet, 0);
    for (quint32 g : glyphs) hb_set_add(glyphSet, g);
    unsigned flags = HB_SUBSET_FLAGS_NO_HINTING;
    if (!hasGlyf) flags |= HB_SUBSET_FLAGS_RETAIN_GIDS;
    hb_subset_input_set_flags(input.get(), flags);
    hb_set_t* drop = hb_subset_input_set(input.get(), HB_SUBSET_SETS_DROP_TABLE_TAG);
    for (const char* name : {"GSUB", "GPOS", "GDEF", "BASE", "JSTF", "MATH", "kern", "morx", "DSIG"})
        hb_set_add(drop, tagOf(name));

    std::unique_ptr<hb_subset_plan_t, PlanDeleter> plan(hb_subset_plan_create_or_fail(source.get(), input.get()));
    if (!plan) return result;
    const hb_map_t* mapping = hb_subset_plan_old_to_new_glyph_mapping(plan.get());
    Face subset(hb_subset_plan_execute_or_fail(plan.get()));
    if (!subset) return result;
    Blob data(hb_face_reference_blob(subset.get()));
    unsigned length = 0;
    const char* bytes = hb_blob_get_data(data.get(), &length);
    if (!bytes || length == 0) return result;

    for (quint32 g : glyphs) {
        const hb_codepoint_t mapped = hb_map_get(mapping, g);
        if (mapped != HB_MAP_VALUE_INVALID) result.glyphMap[g] = int(mapped);
    }
    result.program = QByteArray(bytes, int(length));
    result.isCFF = !hasGlyf;
    return result;
}

}  // namespace

}  // namespace scrivola
