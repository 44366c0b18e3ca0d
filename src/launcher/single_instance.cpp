#include "launcher/single_instance.h"

#include <algorithm>
#include <cstring>

#include "platform/text_encoding.h"

namespace kestran::launcher {

std::wstring InstanceObjectName(const std::wstring& modulePath) {
    std::wstring name = modulePath;
    std::replace(name.begin(), name.end(), L'\\', L'_');
    return name;
}

namespace {

// FNV-1a over 128 bits, on the path's UTF-16LE bytes. Launchers that share this naming must
// agree on every bit of it: this is a format, not a detail.
std::wstring PathHash(const std::wstring& path) {
    using Hash = unsigned __int128;
    const Hash prime = (static_cast<Hash>(1) << 88) + 0x13B;
    Hash hash = (static_cast<Hash>(0x6C62272E07BB0142ull) << 64) | 0x62B821756295C58Dull;
    for (char16_t unit : platform::WideToUtf16(path)) {
        for (uint8_t byte : {static_cast<uint8_t>(unit & 0xFF), static_cast<uint8_t>(unit >> 8)}) {
            hash ^= byte;
            hash *= prime;
        }
    }
    static const wchar_t kDigits[] = L"0123456789abcdef";
    std::wstring text(32, L'0');
    for (int i = 31; i >= 0; --i, hash >>= 4) text[i] = kDigits[static_cast<unsigned>(hash & 0xF)];
    return text;
}

}  // namespace

std::wstring CanonicalInstanceName(const std::wstring& foldedFinalPath, const std::wstring& userSid) {
    return L"Local\\Kestran." + userSid + L"." + PathHash(foldedFinalPath);
}

size_t ForwardedArgumentsSize(const WideList& arguments) {
    size_t total = 2;
    for (const std::wstring& argument : arguments) total += 2 * platform::WideToUtf16(argument).size() + 2;
    return total;
}

bool WriteForwardedArguments(uint8_t* area, const WideList& arguments) {
    if (ForwardedArgumentsSize(arguments) > kArgumentWriteLimit) return false;
    std::memset(area, 0, kArgumentWriteLimit);
    size_t offset = 0;
    for (const std::wstring& argument : arguments) {
        for (char16_t unit : platform::WideToUtf16(argument)) {
            area[offset] = static_cast<uint8_t>(unit & 0xFF);
            area[offset + 1] = static_cast<uint8_t>(unit >> 8);
            offset += 2;
        }
        offset += 2;  // the zero unit that ends the string, already cleared
    }
    return true;
}

void ReadForwardedArguments(const uint8_t* area, size_t size, WideList& out) {
    auto unitAt = [area](size_t offset) { return static_cast<char16_t>(area[offset] | (area[offset + 1] << 8)); };
    std::u16string current;
    for (size_t offset = 0; offset + 1 < size; offset += 2) {
        const char16_t unit = unitAt(offset);
        if (unit != 0) {
            current.push_back(unit);
            continue;
        }
        out.push_back(platform::Utf16ToWide(current));
        current.clear();
        // A second zero unit ends the list.
        if (offset + 3 < size && unitAt(offset + 2) == 0) return;
    }
}

}  // namespace kestran::launcher
