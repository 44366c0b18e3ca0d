#include "config/path_hash.h"

#include <cstdint>

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
    static const wchar_t kDigits[] = L"0123456789abcdef";
    std::wstring digits(32, L'0');
    for (int i = 31; i >= 0; --i, hash >>= 4) digits[i] = kDigits[static_cast<unsigned>(hash & 0xF)];
    return digits;
}

}  // namespace kestran::config
