// Fuzz input as the launcher's text: the bytes read as UTF-8 (invalid sequences replaced).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/text_encoding.h"

inline std::wstring FuzzText(const uint8_t* data, size_t size) {
    return kestran::platform::Utf8ToWide(std::string(reinterpret_cast<const char*>(data), size));
}

// A property that must hold: abort, so that libFuzzer keeps the input.
#define FUZZ_CHECK(condition) \
    do {                      \
        if (!(condition)) std::abort(); \
    } while (0)
