#include "config/path_hash.h"

#include <cstdint>

#include "platform/decimal_text.h"
#include "platform/text_encoding.h"

namespace kestran::config {

std::wstring PathHash(const std::wstring& text) {
    using Hash = unsigned __int128;
    const Hash prime = (static_cast<Hash>(1) << 88) + 0x13B;
    Hash hash = (static_cast<Hash>(0x6C62272E07BB0142ull) << 64) | 0x62B821756295C58Dull;
    for (char16_t unit : platform::WideToUtf16(text)) {
        for (uint8_t byte : {static_cast<uint8_t>(unit & 0xFF), static_cast<uint8_t>(unit >> 8)}) {
            hash ^= byte;
            hash *= prime;
        }
    }
    return platform::HexText(static_cast<uint64_t>(hash >> 64), 16, false) +
           platform::HexText(static_cast<uint64_t>(hash), 16, false);
}

}  // namespace kestran::config
