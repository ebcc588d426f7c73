// Reads a signature record as the signature store does, and checks that a record that reads
// writes back to the same record.
#include "FuzzSupport.h"

#include "signature/StoredSignature.h"

#include <cmath>
#include <cstdlib>

using namespace scrivola;

namespace {

bool same(double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::ensureApplication();
    const auto record = StoredSignature::fromJsonBytes(fuzz::bytes(data, size));
    if (!record) return 0;
    (void)record->createdAtDateTime();
    const auto again = StoredSignature::fromJsonBytes(record->toJsonBytes());
    if (!again || again->id != record->id || again->name != record->name || again->kind != record->kind ||
        again->isBuiltIn != record->isBuiltIn || !same(again->createdAt, record->createdAt) ||
        !same(again->lastWidth, record->lastWidth) || !same(again->lastHeight, record->lastHeight))
        std::abort();  // a stored record that does not read back as itself
    return 0;
}
