#include "ui/link_colour.h"

#include <climits>
#include <cwctype>

namespace kestran::ui {
namespace {

constexpr size_t kRegistryValueLimit = 24;

// The C runtime's _wtol on Windows: a 32-bit long, saturated on overflow.
long long ReadLong(const std::wstring& text) {
    size_t i = 0;
    while (i < text.size() && std::iswspace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) negative = text[i++] == L'-';
    long long value = 0;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
        value = value * 10 + (text[i] - L'0');
        if (value > static_cast<long long>(INT32_MAX) + 1) break;
    }
    if (negative) value = -value;
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return value;
}

uint32_t LowByte(long long value) { return static_cast<uint32_t>(value) & 0xFFu; }

}  // namespace

std::optional<uint32_t> ParseRgb(const std::wstring& text) {
    size_t firstComma = text.find(L',');
    if (firstComma == std::wstring::npos) return std::nullopt;
    size_t secondComma = text.find(L',', firstComma + 1);
    if (secondComma == std::wstring::npos || secondComma + 1 >= text.size()) return std::nullopt;
    long long red = ReadLong(text.substr(0, firstComma));
    long long green = ReadLong(text.substr(firstComma + 1, secondComma - firstComma - 1));
    long long blue = ReadLong(text.substr(secondComma + 1));
    return LowByte(red) | LowByte(green) << 8 | LowByte(blue) << 16;
}

std::optional<uint32_t> ColourFromRegistryValue(bool isString, const std::vector<uint8_t>& data) {
    if (!isString || data.size() > kRegistryValueLimit || data.size() < 2 || data.size() % 2 != 0) return std::nullopt;
    std::wstring text;
    for (size_t i = 0; i + 1 < data.size(); i += 2) text.push_back(static_cast<wchar_t>(data[i] | data[i + 1] << 8));
    if (text.back() != L'\0') return std::nullopt;
    text.pop_back();
    return ParseRgb(text.c_str());
}

}  // namespace kestran::ui
