// Decimal and hexadecimal text of integers for trace and error lines.
#pragma once

#include <string>
#include <type_traits>

namespace kestran::platform {

// Written by hand, not through std::to_wstring: that goes through mingw's wide printf, whose
// floating-point conversion would add 20 KB to the launcher for numbers that are integers.
template <typename Integer>
std::wstring DecimalText(Integer value) {
    static_assert(std::is_integral_v<Integer>, "integers only");
    using Unsigned = std::make_unsigned_t<Integer>;
    const bool negative = value < 0;
    // Negated in the unsigned type, so the most negative value is no overflow.
    Unsigned rest = negative ? static_cast<Unsigned>(Unsigned(0) - static_cast<Unsigned>(value)) : static_cast<Unsigned>(value);
    wchar_t digits[24];
    wchar_t* first = digits + sizeof(digits) / sizeof(digits[0]);
    do {
        *--first = static_cast<wchar_t>(L'0' + rest % 10);
        rest /= 10;
    } while (rest != 0);
    if (negative) *--first = L'-';
    return std::wstring(first, digits + sizeof(digits) / sizeof(digits[0]));
}

// Hexadecimal digits of value, at least minimumDigits of them, without a prefix.
inline std::wstring HexText(unsigned long long value, size_t minimumDigits = 1, bool upperCase = true) {
    const wchar_t* digits = upperCase ? L"0123456789ABCDEF" : L"0123456789abcdef";
    std::wstring text;
    do {
        text.insert(text.begin(), digits[value % 16]);
        value /= 16;
    } while (value != 0 || text.size() < minimumDigits);
    return text;
}

}  // namespace kestran::platform
