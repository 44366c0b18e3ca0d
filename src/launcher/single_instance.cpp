#include "launcher/single_instance.h"

#include <algorithm>
#include <cstring>

#include "config/path_hash.h"
#include "platform/text_encoding.h"

namespace kestran::launcher {

std::wstring InstanceObjectName(const std::wstring& modulePath) {
    std::wstring name = modulePath;
    std::replace(name.begin(), name.end(), L'\\', L'_');
    return name;
}

std::wstring CanonicalInstanceName(const std::wstring& foldedFinalPath, const std::wstring& userSid) {
    return L"Local\\Kestran." + userSid + L"." + config::PathHash(foldedFinalPath);
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
