#include "runtime/registry_reader.h"

#include "platform/text_encoding.h"

namespace kestran::runtime {

RegistryTextStatus DecodeRegistryText(const std::vector<uint8_t>& data, std::wstring& out) {
    if (data.empty()) return RegistryTextStatus::Empty;
    if (data.size() % 2 != 0) return RegistryTextStatus::OddLength;
    std::u16string units;
    units.reserve(data.size() / 2);
    for (size_t i = 0; i + 1 < data.size(); i += 2) {
        char16_t unit = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
        if (unit == 0) {
            if (units.empty()) return RegistryTextStatus::Empty;
            out = platform::Utf16ToWide(units);
            return RegistryTextStatus::Ok;
        }
        units.push_back(unit);
    }
    return RegistryTextStatus::Unterminated;
}

const wchar_t* DescribeRegistryTextStatus(RegistryTextStatus status) {
    switch (status) {
        case RegistryTextStatus::Ok: return L"text";
        case RegistryTextStatus::Empty: return L"empty";
        case RegistryTextStatus::OddLength: return L"odd byte length";
        case RegistryTextStatus::Unterminated: return L"no terminating NUL";
    }
    return L"unknown";
}

}  // namespace kestran::runtime
