// PNG through libpng directly for plain pictures (no colour profile, no text): Qt's writer lets
// libpng try every row filter on every row, which costs more than drawing a rendered page.
// One filter at zlib level 1 writes files close to the same size in a fraction of the time.

#include "image/codec/CodecInternal.h"

#include <QSaveFile>

#include <png.h>

#include <csetjmp>
#include <vector>

namespace scrivola::codec {

namespace {

void appendBytes(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<QByteArray*>(png_get_io_ptr(png));
    out->append(reinterpret_cast<const char*>(data), qsizetype(length));
}

void noFlush(png_structp) {}

// Header and pixel transforms for 32-bit QImage rows, with one row filter for every row.
// libpng calls only.
void configure(png_structp png, png_infop info, QSize size, bool alpha, int dotsPerMeterX, int dotsPerMeterY,
               int filter) {
    png_set_IHDR(png, info, png_uint_32(size.width()), png_uint_32(size.height()), 8,
                 alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (dotsPerMeterX > 0 && dotsPerMeterY > 0)
        png_set_pHYs(png, info, png_uint_32(dotsPerMeterX), png_uint_32(dotsPerMeterY), PNG_RESOLUTION_METER);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, filter);
    png_set_compression_level(png, 1);
    png_write_info(png, info);
    // QImage's 32-bit pixels are 0xAARRGGBB words: BGRA bytes on little-endian machines.
    if (QSysInfo::ByteOrder == QSysInfo::LittleEndian) png_set_bgr(png);
    if (!alpha) png_set_filler(png, 0, QSysInfo::ByteOrder == QSysInfo::LittleEndian ? PNG_FILLER_AFTER : PNG_FILLER_BEFORE);
    else if (QSysInfo::ByteOrder != QSysInfo::LittleEndian) png_set_swap_alpha(png);
}

// Writes `image` (RGB32 or ARGB32) into `out`; false on any libpng failure. Plain C inside the
// setjmp scope: nothing with a destructor is created there.
bool writeRows(const QImage& image, bool alpha, QByteArray* out, png_bytep* rows) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, out, appendBytes, noFlush);
    configure(png, info, image.size(), alpha, image.dotsPerMeterX(), image.dotsPerMeterY(), PNG_FILTER_UP);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

void writeToDevice(png_structp png, png_bytep data, png_size_t length) {
    auto* device = static_cast<QIODevice*>(png_get_io_ptr(png));
    if (device->write(reinterpret_cast<const char*>(data), qint64(length)) != qint64(length)) png_error(png, "write failed");
}

}  // namespace

std::optional<QByteArray> encodePlainPng(const QImage& source) {
    if (source.isNull() || source.colorSpace().isValid() || !source.textKeys().isEmpty()) return std::nullopt;
    const bool alpha = source.hasAlphaChannel();
    const QImage image = source.convertToFormat(alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (image.isNull()) return std::nullopt;
    std::vector<png_bytep> rows(size_t(image.height()));
    for (int y = 0; y < image.height(); ++y) rows[size_t(y)] = const_cast<png_bytep>(image.constScanLine(y));
    QByteArray bytes;
    bytes.reserve(qsizetype(image.sizeInBytes() / 4));
    if (!writeRows(image, alpha, &bytes, rows.data())) return std::nullopt;
    return bytes;
}

}  // namespace scrivola::codec

namespace scrivola {

struct PngBandWriter::State {
    QSaveFile file;
    png_structp png = nullptr;
    png_infop info = nullptr;
    QSize size;
    int rowsWritten = 0;
    bool failed = false;
};

namespace {

// Runs one libpng step under its own setjmp; false when libpng failed. Plain C calls only.
template <typename Step>
bool pngStep(png_structp png, Step step) {
    if (setjmp(png_jmpbuf(png))) return false;
    step();
    return true;
}

}  // namespace

PngBandWriter::PngBandWriter(const QString& path, QSize size, int dotsPerMeter) : state_(std::make_unique<State>()) {
    State& s = *state_;
    s.size = size;
    s.file.setFileName(path);
    if (size.isEmpty()) throw ImageCodecError(ImageCodecError::Kind::encodeFailed, "Empty picture");
    if (!s.file.open(QIODevice::WriteOnly))
        throw ImageCodecError(ImageCodecError::Kind::writeFailed, ("Could not write " + path + ": " + s.file.errorString()).toStdString());
    s.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (s.png) s.info = png_create_info_struct(s.png);
    if (!s.info || !pngStep(s.png, [&] {
            png_set_write_fn(s.png, &s.file, codec::writeToDevice, codec::noFlush);
            // Drawn pages are mostly flat areas, which deflate takes best unfiltered: smaller
            // files in less time than with the Up filter photos want.
            codec::configure(s.png, s.info, size, false, dotsPerMeter, dotsPerMeter, PNG_FILTER_NONE);
        })) {
        png_destroy_write_struct(&s.png, &s.info);
        throw ImageCodecError(ImageCodecError::Kind::encodeFailed, "Could not start the PNG file");
    }
}

PngBandWriter::~PngBandWriter() {
    if (state_->png) png_destroy_write_struct(&state_->png, &state_->info);
    // An unfinished file is abandoned: QSaveFile removes its temporary file and the target stays.
}

void PngBandWriter::writeRows(const QImage& rows) {
    State& s = *state_;
    if (s.failed || !s.png || rows.width() != s.size.width() || s.rowsWritten + rows.height() > s.size.height() ||
        (rows.format() != QImage::Format_RGB32 && rows.format() != QImage::Format_ARGB32))
        throw ImageCodecError(ImageCodecError::Kind::encodeFailed, "Rows do not fit the PNG picture");
    const bool ok = pngStep(s.png, [&] {
        for (int y = 0; y < rows.height(); ++y) png_write_row(s.png, const_cast<png_bytep>(rows.constScanLine(y)));
    });
    if (!ok) {
        s.failed = true;
        throw ImageCodecError(ImageCodecError::Kind::writeFailed, ("Could not write " + s.file.fileName()).toStdString());
    }
    s.rowsWritten += rows.height();
}

void PngBandWriter::finish() {
    State& s = *state_;
    if (s.failed || !s.png || s.rowsWritten != s.size.height())
        throw ImageCodecError(ImageCodecError::Kind::encodeFailed, "The PNG picture is incomplete");
    if (!pngStep(s.png, [&] { png_write_end(s.png, nullptr); }) || !s.file.commit()) {
        s.failed = true;
        throw ImageCodecError(ImageCodecError::Kind::writeFailed, ("Could not write " + s.file.fileName()).toStdString());
    }
    png_destroy_write_struct(&s.png, &s.info);
}

}  // namespace scrivola
