#pragma once

#include <QByteArray>

#include <cstddef>
#include <cstdint>

namespace scrivola::fuzz {

// A headless Qt application (fonts, image plugins), created once per process.
void ensureApplication();

inline QByteArray bytes(const uint8_t* data, size_t size) {
    return QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
}

}  // namespace scrivola::fuzz
