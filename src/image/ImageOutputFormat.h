#pragma once

// The output encodings offered for exported and compressed images. Header-only, so that the
// compression service can use it without linking the image model.

#include "image/codec/ImageCodec.h"

#include <QString>

#include <array>
#include <optional>

namespace scrivola {

enum class ImageOutputFormat { jpeg, png, tiff, heic };

namespace ImageOutputFormats {

// Every case, in the order pickers show them: JPEG, PNG, TIFF, HEIC.
inline const std::array<ImageOutputFormat, 4>& allCases() {
    static constexpr std::array<ImageOutputFormat, 4> cases{ImageOutputFormat::jpeg, ImageOutputFormat::png,
                                                            ImageOutputFormat::tiff, ImageOutputFormat::heic};
    return cases;
}

// "JPEG", "PNG", "TIFF", "HEIC": the label and the stored identity.
inline QString rawValue(ImageOutputFormat format) {
    switch (format) {
    case ImageOutputFormat::jpeg: return QStringLiteral("JPEG");
    case ImageOutputFormat::png: return QStringLiteral("PNG");
    case ImageOutputFormat::tiff: return QStringLiteral("TIFF");
    case ImageOutputFormat::heic: return QStringLiteral("HEIC");
    }
    return {};
}

// None for any other string (the match is exact).
inline std::optional<ImageOutputFormat> fromRawValue(const QString& raw) {
    for (ImageOutputFormat format : allCases())
        if (rawValue(format) == raw) return format;
    return std::nullopt;
}

// "jpeg", "png", "tiff", "heic": the extension of files written in the format.
inline QString fileExtension(ImageOutputFormat format) {
    switch (format) {
    case ImageOutputFormat::jpeg: return QStringLiteral("jpeg");
    case ImageOutputFormat::png: return QStringLiteral("png");
    case ImageOutputFormat::tiff: return QStringLiteral("tiff");
    case ImageOutputFormat::heic: return QStringLiteral("heic");
    }
    return {};
}

inline ImageEncoding encoding(ImageOutputFormat format) {
    switch (format) {
    case ImageOutputFormat::jpeg: return ImageEncoding::jpeg;
    case ImageOutputFormat::png: return ImageEncoding::png;
    case ImageOutputFormat::tiff: return ImageEncoding::tiff;
    case ImageOutputFormat::heic: return ImageEncoding::heic;
    }
    return ImageEncoding::png;
}

}  // namespace ImageOutputFormats

}  // namespace scrivola
