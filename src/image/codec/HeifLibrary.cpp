// Loading libheif on first use.

#include "image/codec/HeifLibrary.h"

#include <dlfcn.h>

#include <initializer_list>

namespace scrivola::codec {

namespace {

const HeifLibrary* load() {
    void* handle = nullptr;
    for (const char* name : {"libheif.so.1", "libheif.so"})
        if ((handle = ::dlopen(name, RTLD_NOW | RTLD_LOCAL))) break;
    if (!handle) return nullptr;
    // Never unloaded: decoded images and encoder state may be in use until the process ends.
    static HeifLibrary library;
    bool complete = true;
#define SCRIVOLA_HEIF_RESOLVE(name)                                                     \
    library.name = reinterpret_cast<decltype(library.name)>(::dlsym(handle, #name));   \
    complete = complete && library.name != nullptr;
    SCRIVOLA_HEIF_FUNCTIONS(SCRIVOLA_HEIF_RESOLVE)
#undef SCRIVOLA_HEIF_RESOLVE
    if (!complete) return nullptr;
    library.heif_init(nullptr);
    return &library;
}

}  // namespace

const HeifLibrary* heifLibrary() {
    static const HeifLibrary* library = load();
    return library;
}

}  // namespace scrivola::codec
