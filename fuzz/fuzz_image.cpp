// Decodes bytes through the image codec (the bytes choose the format), reads the header the way
// opening a file does, and streams JPEG data through the band-wise re-encoder.
#include "FuzzSupport.h"

#include "image/codec/ImageCodec.h"

#include <QTemporaryDir>

using namespace scrivola;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::ensureApplication();
    const QByteArray bytes = fuzz::bytes(data, size);
    try {
        const QImage image = ImageCodec::decode(bytes);
        if (!image.isNull()) (void)ImageCodec::toDisplayColorSpace(image.scaled(8, 8));
    } catch (const ImageCodecError&) {
    }

    // probe() reads from a file; one temporary folder serves the whole run.
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("input"));
    try {
        ImageCodec::writeFileAtomically(path, bytes);
        (void)ImageCodec::probe(path);
    } catch (const ImageCodecError&) {
    }

    if (bytes.startsWith("\xFF\xD8")) {
        try {
            (void)ImageCodec::transcodeJpeg(bytes, 0.5);
        } catch (const ImageCodecError&) {
        }
    }
    return 0;
}
