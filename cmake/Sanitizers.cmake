# SCRIVOLA_SANITIZE: AddressSanitizer and UndefinedBehaviorSanitizer on every target, undefined
# behaviour fatal so that a test cannot pass over it.
# SCRIVOLA_FUZZ: the same sanitizers plus libFuzzer coverage on every target, and the fuzz targets
# under fuzz/ (clang only).
option(SCRIVOLA_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(SCRIVOLA_FUZZ "Build the libFuzzer targets (clang, implies the sanitizers)" OFF)

if(SCRIVOLA_SANITIZE OR SCRIVOLA_FUZZ)
  set(_scrivola_sanitizers -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_compile_options(${_scrivola_sanitizers})
  add_link_options(-fsanitize=address,undefined)
endif()

if(SCRIVOLA_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "SCRIVOLA_FUZZ needs clang (configure with CC=clang-14 CXX=clang++-14)")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
