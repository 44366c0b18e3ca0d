// Reading platform text whose length is not known in advance, for calls that cut the result
// short when the buffer is too small and then report the whole buffer as used (as
// GetModuleFileNameW does, leaving the text unterminated).
#pragma once

#include <cstddef>
#include <string>

namespace kestran::platform {

// `query(buffer, size)` fills the buffer and gives the characters written, 0 on failure.
// Grows the buffer until the result fits, up to `limit` characters. False on failure or
// when the result would exceed the limit; `out` is then untouched.
template <typename Query>
bool ReadIntoGrowingBuffer(std::wstring& out, Query query, size_t initial = 260, size_t limit = 32768) {
    std::wstring buffer(initial, L'\0');
    for (;;) {
        size_t length = query(buffer.data(), buffer.size());
        if (length == 0) return false;
        if (length < buffer.size()) {
            buffer.resize(length);
            out = std::move(buffer);
            return true;
        }
        if (buffer.size() >= limit) return false;
        buffer.assign(buffer.size() * 2 > limit ? limit : buffer.size() * 2, L'\0');
    }
}

}  // namespace kestran::platform
