#include "runtime/memory_options.h"

#include <limits>

#include "platform/decimal_text.h"

namespace kestran::runtime {

namespace {

constexpr uint64_t kMax = std::numeric_limits<uint64_t>::max();

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

// Saturating rather than wrapping: a wrapped size would hand the VM a small, plausible and
// wrong heap; a saturated one is refused by the VM with its own message.
uint64_t SaturatingMultiply(uint64_t a, uint64_t b) {
    if (a != 0 && b > kMax / a) return kMax;
    return a * b;
}

uint64_t SaturatingAppendDigit(uint64_t number, wchar_t digit) {
    uint64_t d = static_cast<uint64_t>(digit - L'0');
    if (number > (kMax - d) / 10) return kMax;
    return number * 10 + d;
}

bool StartsWith(const std::wstring& text, const wchar_t* prefix) { return text.rfind(prefix, 0) == 0; }

// More digits than this name no size anyone means; they would only saturate.
constexpr size_t kMaxDigits = 15;

bool AllDigits(const std::wstring& text, size_t from, size_t to) {
    for (size_t i = from; i < to; ++i) {
        if (!IsDigit(text[i])) return false;
    }
    return true;
}

}  // namespace

bool IsMemoryPercentOption(const std::wstring& token) {
    if (token.size() < 4) return false;
    if (!StartsWith(token, L"-Xms") && !StartsWith(token, L"-Xmx") && !StartsWith(token, L"-Xss")) return false;
    wchar_t last = token.back();
    return last == L'P' || last == L'p' || last == L'T' || last == L't';
}

NumberList ParseNumberList(const std::wstring& text) {
    NumberList result;
    size_t first = 0;
    while (first < text.size() && !IsDigit(text[first]) && text[first] != L':') ++first;
    result.prefixLength = first;
    if (first == text.size()) return result;

    result.numbers.push_back(0);
    // The last character is the unit (P, T, K...) and never part of a number.
    for (size_t i = first; i + 1 < text.size(); ++i) {
        wchar_t c = text[i];
        if (IsDigit(c)) {
            result.numbers.back() = SaturatingAppendDigit(result.numbers.back(), c);
        } else if (c == L':') {
            result.numbers.push_back(0);
        }
    }
    return result;
}

bool IsWellFormedMemoryPercent(const std::wstring& token) {
    if (!IsMemoryPercentOption(token)) return false;
    size_t end = token.size() - 1;
    if (end > 4 && token[end - 1] == L'%') --end;  // -Xmx50%P reads as -Xmx50P
    size_t fields = 0;
    bool anyDigit = false;
    std::vector<uint64_t> numbers;
    for (size_t from = 4; from <= end; ++fields) {
        size_t colon = token.find(L':', from);
        size_t to = colon == std::wstring::npos || colon > end ? end : colon;
        if (fields == 3 || to - from > kMaxDigits || !AllDigits(token, from, to)) return false;
        anyDigit = anyDigit || to > from;
        uint64_t number = 0;
        for (size_t i = from; i < to; ++i) number = number * 10 + static_cast<uint64_t>(token[i] - L'0');
        numbers.push_back(number);
        from = to + 1;
    }
    if (!anyDigit) return false;
    // A floor above the ceiling is a contradiction, not a size.
    return !(numbers.size() == 3 && numbers[2] != 0 && numbers[1] > numbers[2]);
}

uint64_t MemoryPercentKilobytes(const std::wstring& token, const MemoryStatus& memory) {
    NumberList list = ParseNumberList(token);
    uint64_t percentage = list.numbers.size() > 0 ? list.numbers[0] : 0;
    uint64_t minimum = list.numbers.size() > 1 ? list.numbers[1] : 0;
    uint64_t maximum = list.numbers.size() > 2 ? list.numbers[2] : 0;

    wchar_t unit = token.empty() ? L'P' : token.back();
    uint64_t base = (unit == L'T' || unit == L't') ? memory.availableVirtual : memory.totalPhysical;

    double product = static_cast<double>(base >> 10) * (static_cast<double>(percentage) / 100.0);
    // Converting a double at or above 2^64 to an integer is undefined; clamp first.
    uint64_t size = product >= 18446744073709551616.0 ? kMax : static_cast<uint64_t>(product);

    uint64_t ceiling = SaturatingMultiply(maximum, 1024);
    if (maximum != 0 && size > ceiling) size = ceiling;
    uint64_t floor = SaturatingMultiply(minimum, 1024);
    if (floor > size) size = floor;
    return size;
}

std::wstring ResolveMemoryPercent(const std::wstring& token, const MemoryStatus& memory) {
    // The VM explains a malformed size in its own words; an invented one it would accept.
    if (!IsWellFormedMemoryPercent(token)) return token;
    size_t prefixLength = ParseNumberList(token).prefixLength;
    return token.substr(0, prefixLength) + platform::DecimalText(MemoryPercentKilobytes(token, memory)) + L"K";
}

uint64_t ParseStackSize(const std::wstring& token) {
    // Digits and at most one unit letter; anything else (-Xss1x, -Xss1.5m) the VM judges,
    // and the Java thread gets the VM's default stack meanwhile.
    if (token.size() <= 4) return 0;
    size_t end = token.size();
    uint64_t multiplier = 1;
    switch (token.back()) {
        case L'K': case L'k': multiplier = 1024; --end; break;
        case L'M': case L'm': multiplier = 1048576; --end; break;
        case L'G': case L'g': multiplier = 1073741824; --end; break;
        default: break;
    }
    if (end == 4 || end - 4 > kMaxDigits || !AllDigits(token, 4, end)) return 0;
    uint64_t number = 0;
    for (size_t i = 4; i < end; ++i) number = SaturatingAppendDigit(number, token[i]);
    uint64_t bytes = SaturatingMultiply(number, multiplier);
    return bytes == kMax ? 0 : bytes;
}

}  // namespace kestran::runtime
