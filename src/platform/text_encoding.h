// Conversions between wide text and UTF-8 / UTF-16, the same on every platform
// (wchar_t is UTF-16 on Windows and UTF-32 on Linux).
#pragma once

#include <string>

namespace kestran::platform {

std::string WideToUtf8(const std::wstring& text);
std::wstring Utf8ToWide(const std::string& text);
std::u16string WideToUtf16(const std::wstring& text);
std::wstring Utf16ToWide(const std::u16string& text);

}  // namespace kestran::platform
