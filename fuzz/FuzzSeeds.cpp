// Writes the seed corpora of the fuzz targets from the test fixtures:
// scrivola_fuzz_seeds OUTPUT_DIR makes OUTPUT_DIR/{pdf,image,signature}/.
#include "support/ImageFactory.h"
#include "support/PdfFactory.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QUuid>

#include <cstdio>

using namespace scrivola::testing;

namespace {

bool write(const QString& dir, const QString& name, const QByteArray& bytes) {
    if (bytes.isEmpty()) return true;  // a fixture this system cannot make (AVIF without an encoder)
    QFile file(dir + QLatin1Char('/') + name);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray record(const QString& kind, double width) {
    return QStringLiteral(R"({"id":"%1","name":"Seed","createdAt":786000000.25,"lastWidth":%2,"lastHeight":80,)"
                          R"("kind":"%3","isBuiltIn":false})")
        .arg(QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper())
        .arg(width)
        .arg(kind)
        .toUtf8();
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: scrivola_fuzz_seeds OUTPUT_DIR\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    const QString pdf = out + QStringLiteral("/pdf"), image = out + QStringLiteral("/image"),
                  signature = out + QStringLiteral("/signature");
    for (const QString& dir : {pdf, image, signature}) QDir().mkpath(dir);

    PdfPageSpec rotated;
    rotated.rotate = 90;
    rotated.lines = {{QStringLiteral("Turned"), QPointF(72, 700)}};
    bool ok = write(pdf, "text.pdf", textPdf(2)) && write(pdf, "rotated-offset.pdf", rotatedOffsetPage()) &&
              write(pdf, "cropped.pdf", croppedPage()) && write(pdf, "incremental.pdf", incrementalUpdatePdf()) &&
              write(pdf, "broken-xref.pdf", brokenXrefPdf(2)) && write(pdf, "annotated.pdf", annotatedPage()) &&
              write(pdf, "rotated.pdf", buildPdf({rotated}));

    const QSize size(12, 8);
    for (const char* format : {"png", "jpeg", "tiff", "bmp", "webp"})
        ok = ok && write(image, QString::fromLatin1(format), imageBytes(size, format, true));
    ok = ok && write(image, "gif", gifBytes(size, true)) && write(image, "svg", svgBytes(size)) &&
         write(image, "heic", heicBytes(size, true)) && write(image, "avif", avifBytes(size)) &&
         write(image, "jpeg-exif6", jpegWithExifOrientation6(size)) &&
         write(image, "gif-frames", multiFrameGif(size, {Qt::red, Qt::blue})) &&
         write(image, "tiff-pages", multiPageTiff(size, {Qt::red, Qt::blue}));

    ok = ok && write(signature, "signature.json", record(QStringLiteral("signature"), 200)) &&
         write(signature, "stamp.json", record(QStringLiteral("stamp"), 150.5));
    return ok ? 0 : 1;
}
