#pragma once

#include "signature/SignatureStorageService.h"

#include <optional>

namespace scrivola {

// Adds the picture of an image file (PNG, JPEG or TIFF, recognised by its content) to the store
// under the file's name without its extension. A picture over the store's pixel limit is read
// scaled down to fit it. Nothing for an unreadable file, another format or a failed write.
std::optional<StoredSignature> importSignatureImage(SignatureStorageService& storage, const QString& path, SignatureKind kind);

}  // namespace scrivola
