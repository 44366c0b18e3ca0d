#include "config/profile_index.h"

namespace kestran::config {
namespace {

bool IsBlank(wchar_t c) { return c <= L' '; }

wchar_t AsciiLower(wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

}  // namespace

bool ProfileNameMayMatch(const std::wstring& stored, const std::wstring& wanted) {
    size_t first = 0;
    size_t last = stored.size();
    while (first < last && IsBlank(stored[first])) ++first;
    while (last > first && IsBlank(stored[last - 1])) --last;
    for (size_t i = first; i < last; ++i) {
        if (stored[i] > 0x7F) return true;
    }
    if (last - first != wanted.size()) return false;
    for (size_t i = 0; i < wanted.size(); ++i) {
        if (AsciiLower(stored[first + i]) != AsciiLower(wanted[i])) return false;
    }
    return true;
}

size_t ProfileNameMatches(const std::wstring& names, const std::wstring& wanted) {
    size_t matches = 0;
    size_t start = 0;
    while (start < names.size()) {
        size_t end = names.find(L'\0', start);
        if (end == std::wstring::npos) end = names.size();
        if (end > start && ProfileNameMayMatch(names.substr(start, end - start), wanted)) ++matches;
        start = end + 1;
    }
    return matches;
}

}  // namespace kestran::config
