// Importing an image file into the signature store.

#include "signature/SignatureImport.h"

#include <QFileInfo>
#include <QImageReader>

#include <cmath>

namespace scrivola {

std::optional<StoredSignature> importSignatureImage(SignatureStorageService& storage, const QString& path, SignatureKind kind) {
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    const QByteArray format = reader.format();
    if (format != "png" && format != "jpeg" && format != "tiff") return std::nullopt;
    reader.setAutoTransform(true);
    const QSize size = reader.size();
    const double pixels = double(size.width()) * size.height();
    if (size.isValid() && pixels > double(SignatureStorageService::kMaxImagePixels)) {
        const double factor = std::sqrt(double(SignatureStorageService::kMaxImagePixels) / pixels);
        reader.setScaledSize(QSize(std::max(1, int(size.width() * factor)), std::max(1, int(size.height() * factor))));
    }
    const QImage image = reader.read();
    if (image.isNull()) return std::nullopt;
    return storage.save(image, QFileInfo(path).completeBaseName(), kind, false);
}

}  // namespace scrivola
