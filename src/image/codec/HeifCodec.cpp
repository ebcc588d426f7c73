// HEIC and AVIF through libheif: decoding the primary image, and encoding HEIC (x265) or AVIF (AV1).

#include "image/codec/CodecInternal.h"

#include "image/codec/HeifLibrary.h"

#include <QFile>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace scrivola::codec {

namespace {

// The library; a missing one makes HEIC and AVIF unsupported.
const HeifLibrary& lib() {
    const HeifLibrary* library = heifLibrary();
    if (!library) fail(ImageCodecError::Kind::unsupported, QStringLiteral("HEIC and AVIF need libheif, which is missing"));
    return *library;
}

struct ContextDeleter { void operator()(heif_context* p) const { lib().heif_context_free(p); } };
struct HandleDeleter { void operator()(heif_image_handle* p) const { lib().heif_image_handle_release(p); } };
struct ImageDeleter { void operator()(heif_image* p) const { lib().heif_image_release(p); } };
struct EncoderDeleter { void operator()(heif_encoder* p) const { lib().heif_encoder_release(p); } };
struct DecodingOptionsDeleter { void operator()(heif_decoding_options* p) const { lib().heif_decoding_options_free(p); } };
struct EncodingOptionsDeleter { void operator()(heif_encoding_options* p) const { lib().heif_encoding_options_free(p); } };
struct NclxDeleter { void operator()(heif_color_profile_nclx* p) const { lib().heif_nclx_color_profile_free(p); } };

using Context = std::unique_ptr<heif_context, ContextDeleter>;
using Handle = std::unique_ptr<heif_image_handle, HandleDeleter>;
using Image = std::unique_ptr<heif_image, ImageDeleter>;
using Encoder = std::unique_ptr<heif_encoder, EncoderDeleter>;

// Any side above this is refused by libheif while it parses the file (its own security limit).
constexpr int kMaxSide = 1 << 16;

Context newContext() {
    Context context(lib().heif_context_alloc());
    if (!context) fail(ImageCodecError::Kind::corrupted, QStringLiteral("Out of memory"));
    lib().heif_context_set_maximum_image_size_limit(context.get(), kMaxSide);
    return context;
}

ImageCodecError::Kind kindOf(const heif_error& error) {
    if (error.subcode == heif_suberror_Security_limit_exceeded) return ImageCodecError::Kind::tooLarge;
    switch (error.code) {
    case heif_error_Unsupported_filetype:
    case heif_error_Unsupported_feature:
    case heif_error_Decoder_plugin_error:
        // A file that parses but whose codec is missing is unsupported; one whose codec fails is corrupted.
        return error.subcode == heif_suberror_Unsupported_codec ? ImageCodecError::Kind::unsupported
                                                                 : ImageCodecError::Kind::corrupted;
    case heif_error_Memory_allocation_error: return ImageCodecError::Kind::tooLarge;
    default: return ImageCodecError::Kind::corrupted;
    }
}

void check(const heif_error& error, const char* step) {
    if (error.code == heif_error_Ok) return;
    fail(kindOf(error), QStringLiteral("%1: %2").arg(QLatin1String(step), QString::fromUtf8(error.message)));
}

Handle primaryHandle(heif_context* context) {
    heif_image_handle* raw = nullptr;
    check(lib().heif_context_get_primary_image_handle(context, &raw), "No primary image");
    return Handle(raw);
}

QSize handleSize(const heif_image_handle* handle) {
    return {lib().heif_image_handle_get_width(handle), lib().heif_image_handle_get_height(handle)};
}

QColorSpace colorSpaceOf(const heif_image_handle* handle) {
    if (const size_t size = lib().heif_image_handle_get_raw_color_profile_size(handle); size > 0) {
        QByteArray icc(qsizetype(size), Qt::Uninitialized);
        if (lib().heif_image_handle_get_raw_color_profile(handle, icc.data()).code == heif_error_Ok) {
            const QColorSpace space = QColorSpace::fromIccProfile(icc);
            if (space.isValid()) return space;
        }
    }
    // Without any colour description a HEIF picture is sRGB, as every viewer shows it.
    heif_color_profile_nclx* raw = nullptr;
    if (lib().heif_image_handle_get_nclx_color_profile(handle, &raw).code != heif_error_Ok || !raw)
        return QColorSpace(QColorSpace::SRgb);
    const std::unique_ptr<heif_color_profile_nclx, NclxDeleter> nclx(raw);
    return colorSpaceFromNclx(nclx->color_primaries, nclx->transfer_characteristics, nclx->color_primary_red_x,
                              nclx->color_primary_red_y, nclx->color_primary_green_x, nclx->color_primary_green_y,
                              nclx->color_primary_blue_x, nclx->color_primary_blue_y, nclx->color_primary_white_x,
                              nclx->color_primary_white_y);
}

heif_error appendTo(heif_context*, const void* data, size_t size, void* userdata) {
    static_cast<QByteArray*>(userdata)->append(static_cast<const char*>(data), qsizetype(size));
    return heif_error{heif_error_Ok, heif_suberror_Unspecified, "Success"};
}

// Rows converted at a time while the image is copied into libheif's plane.
constexpr int kStripRows = 128;

// The image as interleaved 8-bit RGB or RGBA (straight alpha) in a heif_image.
// The pixels are converted a strip at a time straight into the plane: a whole converted copy of
// a large photo would cost as much memory again as the plane itself.
Image heifImageFrom(const QImage& source) {
    const bool alpha = source.hasAlphaChannel();
    const QImage::Format target = alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888;
    const int width = source.width();
    const int height = source.height();
    heif_image* raw = nullptr;
    check(lib().heif_image_create(width, height, heif_colorspace_RGB,
                            alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, &raw),
          "Could not create the HEIF image");
    Image image(raw);
    check(lib().heif_image_add_plane(image.get(), heif_channel_interleaved, width, height, 8),
          "Could not create the HEIF image plane");
    int stride = 0;
    uint8_t* plane = lib().heif_image_get_plane(image.get(), heif_channel_interleaved, &stride);
    const size_t rowBytes = size_t(width) * (alpha ? 4 : 3);
    for (int top = 0; top < height; top += kStripRows) {
        const int rows = std::min(kStripRows, height - top);
        const QImage strip = source.copy(0, top, width, rows).convertToFormat(target);
        if (strip.isNull()) fail(ImageCodecError::Kind::encodeFailed, QStringLiteral("Out of memory"));
        for (int y = 0; y < rows; ++y)
            std::memcpy(plane + qsizetype(top + y) * stride, strip.constScanLine(y), rowBytes);
    }

    return image;
}

// Untagged and sRGB pictures go without a profile: libheif then writes its sRGB defaults.
void attachIccProfile(heif_image* image, const QImage& source) {
    const QColorSpace space = source.colorSpace();
    if (!space.isValid() || space == QColorSpace(QColorSpace::SRgb)) return;
    const QByteArray icc = space.iccProfile();
    if (!icc.isEmpty())
        check(lib().heif_image_set_raw_color_profile(image, "prof", icc.constData(), size_t(icc.size())),
              "Could not attach the colour profile");
}

uint8_t* addPlane(heif_image* image, heif_channel channel, int width, int height, int* stride) {
    check(lib().heif_image_add_plane(image, channel, width, height, 8), "Could not create the HEIF image plane");
    return lib().heif_image_get_plane(image, channel, stride);
}

uint8_t clampByte(int v) { return uint8_t(std::clamp(v, 0, 255)); }

// An opaque picture as full-range BT.601 YCbCr 4:2:0, the form the HEVC encoder takes: made here
// a strip at a time, the encoder gets it without libheif first holding an RGB copy of the whole
// picture and then converting it.
Image heifYCbCrFrom(const QImage& source) {
    const int width = source.width();
    const int height = source.height();
    heif_image* raw = nullptr;
    check(lib().heif_image_create(width, height, heif_colorspace_YCbCr, heif_chroma_420, &raw),
          "Could not create the HEIF image");
    Image image(raw);
    int yStride = 0;
    int cbStride = 0;
    int crStride = 0;
    uint8_t* yPlane = addPlane(image.get(), heif_channel_Y, width, height, &yStride);
    uint8_t* cbPlane = addPlane(image.get(), heif_channel_Cb, (width + 1) / 2, (height + 1) / 2, &cbStride);
    uint8_t* crPlane = addPlane(image.get(), heif_channel_Cr, (width + 1) / 2, (height + 1) / 2, &crStride);
    static_assert(kStripRows % 2 == 0, "a strip holds whole pairs of rows");
    for (int top = 0; top < height; top += kStripRows) {
        const int rows = std::min(kStripRows, height - top);
        const QImage strip = source.copy(0, top, width, rows).convertToFormat(QImage::Format_RGB32);
        if (strip.isNull()) fail(ImageCodecError::Kind::encodeFailed, QStringLiteral("Out of memory"));
        for (int y = 0; y < rows; ++y) {
            const auto* line = reinterpret_cast<const QRgb*>(strip.constScanLine(y));
            uint8_t* out = yPlane + qsizetype(top + y) * yStride;
            for (int x = 0; x < width; ++x)
                out[x] = uint8_t((19595 * qRed(line[x]) + 38470 * qGreen(line[x]) + 7471 * qBlue(line[x]) + 32768) >> 16);
        }
        // Chroma from the mean of each 2 × 2 block (a lone last row or column counts alone).
        for (int y = 0; y < rows; y += 2) {
            const auto* upper = reinterpret_cast<const QRgb*>(strip.constScanLine(y));
            const auto* lower = reinterpret_cast<const QRgb*>(strip.constScanLine(std::min(y + 1, rows - 1)));
            uint8_t* cb = cbPlane + qsizetype((top + y) / 2) * cbStride;
            uint8_t* cr = crPlane + qsizetype((top + y) / 2) * crStride;
            for (int x = 0; x < width; x += 2) {
                const int next = std::min(x + 1, width - 1);
                const int r = (qRed(upper[x]) + qRed(upper[next]) + qRed(lower[x]) + qRed(lower[next]) + 2) / 4;
                const int g = (qGreen(upper[x]) + qGreen(upper[next]) + qGreen(lower[x]) + qGreen(lower[next]) + 2) / 4;
                const int b = (qBlue(upper[x]) + qBlue(upper[next]) + qBlue(lower[x]) + qBlue(lower[next]) + 2) / 4;
                cb[x / 2] = clampByte((-11059 * r - 21709 * g + 32768 * b + (128 << 16) + 32768) >> 16);
                cr[x / 2] = clampByte((32768 * r - 27439 * g - 5329 * b + (128 << 16) + 32768) >> 16);
            }
        }
    }
    // The matrix and range used above, with sRGB primaries and transfer.
    const std::unique_ptr<heif_color_profile_nclx, NclxDeleter> nclx(lib().heif_nclx_color_profile_alloc());
    if (!nclx) fail(ImageCodecError::Kind::encodeFailed, QStringLiteral("Out of memory"));
    nclx->color_primaries = heif_color_primaries_ITU_R_BT_709_5;
    nclx->transfer_characteristics = heif_transfer_characteristic_IEC_61966_2_1;
    nclx->matrix_coefficients = heif_matrix_coefficients_ITU_R_BT_601_6;
    nclx->full_range_flag = 1;
    check(lib().heif_image_set_nclx_color_profile(image.get(), nclx.get()), "Could not describe the colours");
    return image;
}

QByteArray encodeWith(const QImage& source, heif_compression_format format, int quality, const char* preset,
                      heif_orientation orientation = heif_orientation_normal) {
    if (source.isNull()) fail(ImageCodecError::Kind::encodeFailed, QStringLiteral("No image to encode"));
    Context context = newContext();
    heif_encoder* rawEncoder = nullptr;
    heif_error error = lib().heif_context_get_encoder_for_format(context.get(), format, &rawEncoder);
    if (error.code != heif_error_Ok)
        fail(ImageCodecError::Kind::encodeFailed, QStringLiteral("No encoder: %1").arg(QString::fromUtf8(error.message)));
    Encoder encoder(rawEncoder);
    auto encodeCheck = [](const heif_error& e, const char* step) {
        if (e.code != heif_error_Ok)
            fail(ImageCodecError::Kind::encodeFailed, QStringLiteral("%1: %2").arg(QLatin1String(step), QString::fromUtf8(e.message)));
    };
    encodeCheck(lib().heif_encoder_set_lossy_quality(encoder.get(), qBound(0, quality, 100)), "Quality");
    lib().heif_encoder_set_logging_level(encoder.get(), 0);
    if (format == heif_compression_HEVC) {
        // 4:2:0 keeps files small and readable everywhere; the preset trades a little size for speed.
        lib().heif_encoder_set_parameter_string(encoder.get(), "chroma", "420");
        if (preset) encodeCheck(lib().heif_encoder_set_parameter_string(encoder.get(), "preset", preset), "Preset");
    } else if (preset) {
        lib().heif_encoder_set_parameter_integer(encoder.get(), "speed", 8);
    }

    // HEVC takes opaque pictures as YCbCr planes; others go as RGB for libheif to convert.
    Image image = format == heif_compression_HEVC && !source.hasAlphaChannel() ? heifYCbCrFrom(source) : heifImageFrom(source);
    attachIccProfile(image.get(), source);
    const std::unique_ptr<heif_encoding_options, EncodingOptionsDeleter> options(lib().heif_encoding_options_alloc());
    options->image_orientation = orientation;
    encodeCheck(lib().heif_context_encode_image(context.get(), image.get(), encoder.get(), options.get(), nullptr), "Encoding");

    QByteArray bytes;
    heif_writer writer{1, &appendTo};
    encodeCheck(lib().heif_context_write(context.get(), &writer, &bytes), "Writing");
    if (bytes.isEmpty()) fail(ImageCodecError::Kind::encodeFailed, QStringLiteral("The encoder wrote nothing"));
    return bytes;
}

}  // namespace

ImageInfo probeHeif(const QString& path, Format format) {
    Context context = newContext();
    check(lib().heif_context_read_from_file(context.get(), QFile::encodeName(path).constData(), nullptr), "Not a HEIF file");
    Handle handle = primaryHandle(context.get());
    ImageInfo info;
    info.format = formatName(format);
    info.pixelSize = handleSize(handle.get());
    checkPixelBudget(info.pixelSize);
    info.hasAlpha = lib().heif_image_handle_has_alpha_channel(handle.get()) != 0;
    info.frameCount = qMax(1, lib().heif_context_get_number_of_top_level_images(context.get()));
    return info;
}

namespace {

// The pixels of one image item (primary image or thumbnail), its transformations applied.
QImage decodeHandle(heif_image_handle* handle) {
    const QSize size = handleSize(handle);
    checkPixelBudget(size);

    const bool alpha = lib().heif_image_handle_has_alpha_channel(handle) != 0;
    const bool premultiplied = alpha && lib().heif_image_handle_is_premultiplied_alpha(handle) != 0;
    const std::unique_ptr<heif_decoding_options, DecodingOptionsDeleter> options(lib().heif_decoding_options_alloc());
    options->ignore_transformations = 0;  // apply clean aperture, rotation (irot) and mirroring (imir)
    options->convert_hdr_to_8bit = 1;
    heif_image* raw = nullptr;
    check(lib().heif_decode_image(handle, &raw, heif_colorspace_RGB,
                            alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, options.get()),
          "Could not decode the image");
    const Image decoded(raw);

    const int width = lib().heif_image_get_width(decoded.get(), heif_channel_interleaved);
    const int height = lib().heif_image_get_height(decoded.get(), heif_channel_interleaved);
    int stride = 0;
    const uint8_t* plane = lib().heif_image_get_plane_readonly(decoded.get(), heif_channel_interleaved, &stride);
    if (!plane || width <= 0 || height <= 0)
        fail(ImageCodecError::Kind::corrupted, QStringLiteral("The decoder returned no pixels"));
    const QImage::Format format =
        alpha ? (premultiplied ? QImage::Format_RGBA8888_Premultiplied : QImage::Format_RGBA8888) : QImage::Format_RGB888;
    QImage image(width, height, format);
    if (image.isNull()) fail(ImageCodecError::Kind::tooLarge, QStringLiteral("Not enough memory for the image"));
    const size_t rowBytes = size_t(width) * (alpha ? 4 : 3);
    for (int y = 0; y < height; ++y) std::memcpy(image.scanLine(y), plane + qsizetype(y) * stride, rowBytes);
    image = image.convertToFormat(alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    image.setColorSpace(colorSpaceOf(handle));
    return image;
}

}  // namespace

QImage decodeHeif(const QByteArray& data) {
    Context context = newContext();
    // `data` outlives the context, so libheif may read it in place.
    check(lib().heif_context_read_from_memory_without_copy(context.get(), data.constData(), size_t(data.size()), nullptr),
          "Not a HEIF file");
    Handle handle = primaryHandle(context.get());
    return decodeHandle(handle.get());
}

QImage decodeHeifThumbnail(const QString& path, QSize bound) {
    Context context = newContext();
    check(lib().heif_context_read_from_file(context.get(), QFile::encodeName(path).constData(), nullptr), "Not a HEIF file");
    Handle primary = primaryHandle(context.get());
    const QSize target = handleSize(primary.get()).scaled(bound, Qt::KeepAspectRatio);
    const int count = lib().heif_image_handle_get_number_of_thumbnails(primary.get());
    std::vector<heif_item_id> ids(size_t(std::max(count, 0)));
    if (count > 0) lib().heif_image_handle_get_list_of_thumbnail_IDs(primary.get(), ids.data(), count);
    Handle best;
    for (const heif_item_id id : ids) {
        heif_image_handle* raw = nullptr;
        if (lib().heif_image_handle_get_thumbnail(primary.get(), id, &raw).code != heif_error_Ok || !raw) continue;
        Handle candidate(raw);
        const QSize size = handleSize(candidate.get());
        // Thumbnail items are stored unturned like the primary image: compare either way round.
        const bool covers = (size.width() >= target.width() && size.height() >= target.height()) ||
                            (size.width() >= target.height() && size.height() >= target.width());
        if (covers && (!best || size.width() * qint64(size.height()) <
                                    handleSize(best.get()).width() * qint64(handleSize(best.get()).height())))
            best = std::move(candidate);
    }
    return decodeHandle(best ? best.get() : primary.get());
}

QByteArray encodeHeif(const QImage& image, const EncodeOptions& options) {
    const double quality = !(options.quality >= 0) ? 0.8 : qMin(options.quality, 1.0);  // negative or NaN: default
    return encodeWith(image, heif_compression_HEVC, qRound(quality * 100), options.fastHeic ? "ultrafast" : nullptr);
}

QByteArray encodeHeifWithOrientation(const QImage& stored, int exifOrientation) {
    return encodeWith(stored, heif_compression_HEVC, 90, "ultrafast", heif_orientation(qBound(1, exifOrientation, 8)));
}

QByteArray encodeAvif(const QImage& image, int quality) {
    if (!heifLibrary() || !lib().heif_have_encoder_for_format(heif_compression_AV1)) return {};
    return encodeWith(image, heif_compression_AV1, quality, "fast");
}

}  // namespace scrivola::codec
