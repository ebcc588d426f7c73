# Third-party engines: MuPDF (static archives; its pkg-config file misses harfbuzz) and libheif.
find_package(PkgConfig REQUIRED)
pkg_check_modules(MUPDF REQUIRED mupdf)
pkg_check_modules(HARFBUZZ REQUIRED IMPORTED_TARGET harfbuzz)
pkg_check_modules(LIBHEIF REQUIRED IMPORTED_TARGET libheif)

file(STRINGS /usr/include/mupdf/fitz/version.h _fz_version REGEX "#define FZ_VERSION \"")
string(REGEX MATCH "[0-9]+\\.[0-9]+" _fz_mm "${_fz_version}")
if(_fz_mm VERSION_LESS 1.21)
  message(FATAL_ERROR "MuPDF 1.21 or newer is needed, found ${_fz_mm}")
endif()

add_library(scrivola_mupdf INTERFACE)
target_include_directories(scrivola_mupdf SYSTEM INTERFACE ${MUPDF_STATIC_INCLUDE_DIRS})
target_link_libraries(scrivola_mupdf INTERFACE ${MUPDF_STATIC_LIBRARIES} PkgConfig::HARFBUZZ)
