// Conversions between wide text and UTF-8 / UTF-16, the same on every platform
// (wchar_t is UTF-16 on Windows and UTF-32 on Linux).
#pragma once

#include <cstddef>
#include <string>

namespace kestran::platform {

std::string WideToUtf8(const std::wstring& text);
std::wstring Utf8ToWide(const std::string& text);
std::u16string WideToUtf16(const std::wstring& text);
std::wstring Utf16ToWide(const std::u16string& text);

// How many wchar_t units the character at `at` takes: 2 for a surrogate pair (UTF-16 only), 1
// otherwise, 0 past the end.
size_t CharacterLengthAt(const std::wstring& text, size_t at);
// A surrogate unit on its own, which no encoding can carry.
bool IsLoneSurrogateAt(const std::wstring& text, size_t at);

}  // namespace kestran::platform
