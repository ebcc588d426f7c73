// JPEG to JPEG at another quality, row band by row band: the decoded picture is never held
// whole, so a 50-megapixel photo is re-encoded in a few megabytes and without the page faults
// of a full-size bitmap.

#include "image/codec/CodecInternal.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

extern "C" {
#include <jpeglib.h>
#include <jerror.h>
}

namespace scrivola::codec {

namespace {

constexpr int kBandRows = 16;

// libjpeg reports failures through a long jump back into transcode(); warnings are noted.
struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
    bool truncated;
};

[[noreturn]] void onError(j_common_ptr info) {
    std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
}

void onMessage(j_common_ptr info, int level) {
    // Data that ends early is padded by libjpeg and reported as a warning only.
    if (level < 0 && info->err->msg_code == JWRN_JPEG_EOF) reinterpret_cast<ErrorManager*>(info->err)->truncated = true;
}

// The encoded output, in a block of our own that grows as needed.
struct Destination {
    jpeg_destination_mgr base;
    unsigned char* data;
    size_t capacity;
    size_t size;
};

void startOutput(j_compress_ptr info) {
    auto* d = reinterpret_cast<Destination*>(info->dest);
    d->base.next_output_byte = d->data;
    d->base.free_in_buffer = d->capacity;
}

boolean growOutput(j_compress_ptr info) {
    auto* d = reinterpret_cast<Destination*>(info->dest);
    auto* grown = static_cast<unsigned char*>(std::realloc(d->data, d->capacity * 2));
    if (!grown) (*info->err->error_exit)(reinterpret_cast<j_common_ptr>(info));
    d->data = grown;
    d->base.next_output_byte = grown + d->capacity;
    d->base.free_in_buffer = d->capacity;
    d->capacity *= 2;
    return TRUE;
}

void endOutput(j_compress_ptr info) {
    auto* d = reinterpret_cast<Destination*>(info->dest);
    d->size = d->capacity - d->base.free_in_buffer;
}

enum class Outcome { done, notTaken, corrupted, tooLarge };

// The transcoding itself, in plain C terms: nothing with a destructor lives across the long
// jump. `output` holds an allocated block (the caller frees it) with the encoded bytes on success.
Outcome transcode(const unsigned char* data, unsigned long size, int quality, Destination* output) {
    jpeg_decompress_struct in;
    jpeg_compress_struct out;
    ErrorManager errors;
    std::memset(&in, 0, sizeof in);
    std::memset(&out, 0, sizeof out);
    in.err = out.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = onError;
    errors.base.emit_message = onMessage;
    errors.truncated = false;
    if (setjmp(errors.jump)) {
        jpeg_destroy_compress(&out);
        jpeg_destroy_decompress(&in);
        return Outcome::corrupted;
    }
    jpeg_create_decompress(&in);
    jpeg_create_compress(&out);
    jpeg_mem_src(&in, data, size);
    jpeg_save_markers(&in, JPEG_APP0 + 1, 0xFFFF);  // Exif (with the orientation) and XMP
    jpeg_save_markers(&in, JPEG_APP0 + 2, 0xFFFF);  // ICC colour profile
    jpeg_read_header(&in, TRUE);
    Outcome refused = Outcome::done;
    if (in.jpeg_color_space != JCS_GRAYSCALE && in.jpeg_color_space != JCS_YCbCr && in.jpeg_color_space != JCS_RGB)
        refused = Outcome::notTaken;  // CMYK and YCCK go the general way
    else if (qint64(in.image_width) * in.image_height * 4 > kMaxImageBytes)
        refused = Outcome::tooLarge;
    if (refused != Outcome::done) {
        jpeg_destroy_compress(&out);
        jpeg_destroy_decompress(&in);
        return refused;
    }
    jpeg_start_decompress(&in);
    const JDIMENSION rowBytes = in.output_width * JDIMENSION(in.output_components);
    JSAMPARRAY band = (*in.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&in), JPOOL_IMAGE, rowBytes, kBandRows);

    out.dest = &output->base;
    output->base.init_destination = startOutput;
    output->base.empty_output_buffer = growOutput;
    output->base.term_destination = endOutput;
    out.image_width = in.output_width;
    out.image_height = in.output_height;
    out.input_components = in.output_components;
    out.in_color_space = in.out_color_space;
    jpeg_set_defaults(&out);
    jpeg_set_quality(&out, quality, TRUE);
    out.optimize_coding = TRUE;  // as the general encoder does
    out.density_unit = in.density_unit;
    out.X_density = in.X_density;
    out.Y_density = in.Y_density;
    jpeg_start_compress(&out, TRUE);
    for (jpeg_saved_marker_ptr marker = in.marker_list; marker; marker = marker->next)
        jpeg_write_marker(&out, marker->marker, marker->data, marker->data_length);
    while (in.output_scanline < in.output_height) {
        const JDIMENSION rows = jpeg_read_scanlines(&in, band, kBandRows);
        if (rows == 0) break;
        jpeg_write_scanlines(&out, band, rows);
    }
    const bool complete = in.output_scanline == in.output_height && !errors.truncated;
    if (complete) {
        jpeg_finish_compress(&out);
        jpeg_finish_decompress(&in);
    }
    jpeg_destroy_compress(&out);
    jpeg_destroy_decompress(&in);
    return complete ? Outcome::done : Outcome::corrupted;
}

}  // namespace
}  // namespace scrivola::codec

namespace scrivola {

using codec::fail;

std::optional<QByteArray> ImageCodec::transcodeJpeg(const QByteArray& jpeg, double quality) {
    using namespace codec;
    if (jpeg.size() < 4 || static_cast<unsigned char>(jpeg[0]) != 0xFF || static_cast<unsigned char>(jpeg[1]) != 0xD8)
        return std::nullopt;
    const int level = qBound(1, qRound((!(quality >= 0) ? 0.9 : qMin(quality, 1.0)) * 100), 100);
    Destination output{};
    output.capacity = size_t(qMax<qsizetype>(jpeg.size() / 2, 64 * 1024));
    output.data = static_cast<unsigned char*>(std::malloc(output.capacity));
    if (!output.data) fail(ImageCodecError::Kind::tooLarge, QStringLiteral("Out of memory"));
    const Outcome outcome = transcode(reinterpret_cast<const unsigned char*>(jpeg.constData()),
                                      static_cast<unsigned long>(jpeg.size()), level, &output);
    QByteArray result;
    if (outcome == Outcome::done) result = QByteArray(reinterpret_cast<const char*>(output.data), qsizetype(output.size));
    std::free(output.data);
    switch (outcome) {
    case Outcome::done: return result;
    case Outcome::notTaken: return std::nullopt;
    case Outcome::tooLarge: fail(ImageCodecError::Kind::tooLarge, QStringLiteral("The image is too large"));
    case Outcome::corrupted: break;
    }
    fail(ImageCodecError::Kind::corrupted, QStringLiteral("The JPEG data is damaged"));
}

}  // namespace scrivola
