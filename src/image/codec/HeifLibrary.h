#pragma once

// libheif, loaded when a HEIC or AVIF image is first read or written. The library pulls in the
// HEVC and AV1 codecs; loading them at start-up cost every run of the application and of the
// command line a few milliseconds and their memory, though most never touch such an image.

#include <libheif/heif.h>

namespace scrivola::codec {

#define SCRIVOLA_HEIF_FUNCTIONS(X)                                                                          \
    X(heif_init)                                                                                          \
    X(heif_context_alloc) X(heif_context_free) X(heif_context_set_maximum_image_size_limit)               \
    X(heif_context_read_from_memory_without_copy) X(heif_context_read_from_file)                         \
    X(heif_context_get_primary_image_handle) X(heif_context_get_number_of_top_level_images)              \
    X(heif_context_get_encoder_for_format) X(heif_context_encode_image) X(heif_context_write)            \
    X(heif_image_handle_release) X(heif_image_handle_has_alpha_channel)                                  \
    X(heif_image_handle_is_premultiplied_alpha) X(heif_image_handle_get_width)                           \
    X(heif_image_handle_get_height) X(heif_image_handle_get_raw_color_profile_size)                      \
    X(heif_image_handle_get_raw_color_profile) X(heif_image_handle_get_nclx_color_profile)               \
    X(heif_nclx_color_profile_free) X(heif_decode_image) X(heif_decoding_options_alloc)                  \
    X(heif_decoding_options_free) X(heif_image_create) X(heif_image_release) X(heif_image_add_plane)     \
    X(heif_image_get_plane) X(heif_image_get_plane_readonly) X(heif_image_get_width)                     \
    X(heif_image_get_height) X(heif_image_set_raw_color_profile) X(heif_have_encoder_for_format)         \
    X(heif_encoder_release) X(heif_encoder_set_lossy_quality) X(heif_encoder_set_logging_level)          \
    X(heif_encoder_set_parameter_string) X(heif_encoder_set_parameter_integer)                           \
    X(heif_encoding_options_alloc) X(heif_encoding_options_free)                                         \
    X(heif_nclx_color_profile_alloc) X(heif_image_set_nclx_color_profile)                              \
    X(heif_image_handle_get_number_of_thumbnails) X(heif_image_handle_get_list_of_thumbnail_IDs)         \
    X(heif_image_handle_get_thumbnail)

// The functions this program uses, under their own names.
struct HeifLibrary {
#define SCRIVOLA_HEIF_POINTER(name) decltype(&::name) name = nullptr;
    SCRIVOLA_HEIF_FUNCTIONS(SCRIVOLA_HEIF_POINTER)
#undef SCRIVOLA_HEIF_POINTER
};

// The loaded and initialised library, or null when it or one of its functions is missing.
// Thread-safe; loaded once.
const HeifLibrary* heifLibrary();

}  // namespace scrivola::codec
