#include <windows.h>

#include "platform/growing_buffer.h"
#include "platform/handles_win.h"
#include "platform/trace_file.h"

namespace kestran::platform {

std::wstring TraceFileFullPath(const std::wstring& name) {
    std::wstring full;
    const bool read = ReadIntoGrowingBuffer(full, [&name](wchar_t* buffer, size_t size) {
        const DWORD length = GetFullPathNameW(name.c_str(), static_cast<DWORD>(size), buffer, nullptr);
        // Too small: the length needed, with its terminator, which is never below the size.
        return static_cast<size_t>(length);
    });
    return read ? full : name;
}

bool AppendTraceText(const std::wstring& fullPath, const std::wstring& text) {
    // Opened for each line: the file stays whole if the process dies, and a paired or a
    // second launcher process can append to the same file in between.
    UniqueHandle file(CreateFileW(fullPath.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    std::wstring crlf;
    crlf.reserve(text.size() + 4);
    for (wchar_t c : text) {
        if (c == L'\n') crlf.push_back(L'\r');
        crlf.push_back(c);
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, crlf.data(), static_cast<int>(crlf.size()), nullptr, 0, nullptr, nullptr);
    if (size <= 0) return false;
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, crlf.data(), static_cast<int>(crlf.size()), bytes.data(), size, nullptr, nullptr);
    DWORD written = 0;
    return WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

}  // namespace kestran::platform
