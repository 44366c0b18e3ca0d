#include <windows.h>

#include "platform/console.h"

namespace kestran::platform {
namespace {

void WriteLines(DWORD which, const std::wstring& text) {
    HANDLE stream = GetStdHandle(which);
    if (stream == nullptr || stream == INVALID_HANDLE_VALUE || text.empty()) return;

    DWORD mode = 0;
    if (GetConsoleMode(stream, &mode)) {
        // A real console takes UTF-16 directly: nothing depends on a code page.
        DWORD written = 0;
        WriteConsoleW(stream, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        return;
    }

    // Redirected: write what the C runtime's text mode would, "\n" as "\r\n", in the
    // console's output code page, or the ANSI code page when there is no console.
    std::wstring crlf;
    crlf.reserve(text.size() + 8);
    for (wchar_t c : text) {
        if (c == L'\n') crlf.push_back(L'\r');
        crlf.push_back(c);
    }
    UINT codePage = GetConsoleWindow() != nullptr ? GetConsoleOutputCP() : 0;
    if (codePage == 0) codePage = GetACP();
    int size = WideCharToMultiByte(codePage, 0, crlf.data(), static_cast<int>(crlf.size()), nullptr, 0, nullptr, nullptr);
    if (size <= 0) return;
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(codePage, 0, crlf.data(), static_cast<int>(crlf.size()), bytes.data(), size, nullptr, nullptr);
    DWORD written = 0;
    WriteFile(stream, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

}  // namespace

void WriteStandardOutput(const std::wstring& text) { WriteLines(STD_OUTPUT_HANDLE, text); }
void WriteStandardError(const std::wstring& text) { WriteLines(STD_ERROR_HANDLE, text); }

}  // namespace kestran::platform
