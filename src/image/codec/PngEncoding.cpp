// PNG through libpng directly for plain pictures (no colour profile, no text): Qt's writer lets
// libpng try every row filter on every row, which costs more than drawing a rendered page.
// One filter (Up, which suits rendered pages and photos alike) at zlib level 1 writes files
// close to the same size in a fraction of the time.

#include "image/codec/CodecInternal.h"

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
    png_set_IHDR(png, info, png_uint_32(image.width()), png_uint_32(image.height()), 8,
                 alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (image.dotsPerMeterX() > 0 && image.dotsPerMeterY() > 0)
        png_set_pHYs(png, info, png_uint_32(image.dotsPerMeterX()), png_uint_32(image.dotsPerMeterY()), PNG_RESOLUTION_METER);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_UP);
    png_set_compression_level(png, 1);
    png_write_info(png, info);
    // QImage's 32-bit pixels are 0xAARRGGBB words: BGRA bytes on little-endian machines.
    if (QSysInfo::ByteOrder == QSysInfo::LittleEndian) png_set_bgr(png);
    if (!alpha) png_set_filler(png, 0, QSysInfo::ByteOrder == QSysInfo::LittleEndian ? PNG_FILLER_AFTER : PNG_FILLER_BEFORE);
    else if (QSysInfo::ByteOrder != QSysInfo::LittleEndian) png_set_swap_alpha(png);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
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
