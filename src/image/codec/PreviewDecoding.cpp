// Reduced decodes of JPEG files for quick previews.

#include "image/codec/CodecInternal.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>

#include <algorithm>
#include <cmath>

namespace scrivola::ImageCodec {

QImage decodePreview(const QString& path, QSize maxSize) {
    if (maxSize.isEmpty()) return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QByteArray data = file.readAll();
    if (codec::sniff(data.left(64)) != codec::Format::jpeg || !codec::jpegIsComplete(data)) return {};
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "jpeg");
    reader.setAutoTransform(true);
    QSize stored = reader.size();
    if (stored.isEmpty() || codec::exceedsPixelBudget(stored)) return {};
    // The reader scales the stored pixels, before the orientation turns them.
    QSize shown = stored;
    if (reader.transformation() & QImageIOHandler::TransformationRotate90) shown.transpose();
    const double factor = std::min({1.0, double(maxSize.width()) / shown.width(), double(maxSize.height()) / shown.height()});
    if (factor < 1.0)
        reader.setScaledSize(QSize(std::max(1, int(std::lround(stored.width() * factor))),
                                   std::max(1, int(std::lround(stored.height() * factor)))));
    QImage image;
    if (!reader.read(&image)) return {};
    return image;
}

}  // namespace scrivola::ImageCodec
