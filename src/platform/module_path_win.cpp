#include <windows.h>

#include "config/messages.h"
#include "platform/growing_buffer.h"
#include "platform/module_path.h"

namespace kestran::platform {

bool GetModulePath(std::wstring& out) {
    // A launcher in a deep folder has a path beyond 260 characters: grow until it fits
    // (a full buffer means the path was cut and left unterminated).
    DWORD error = ERROR_SUCCESS;
    bool read = ReadIntoGrowingBuffer(out, [&error](wchar_t* buffer, size_t size) {
        DWORD length = GetModuleFileNameW(nullptr, buffer, static_cast<DWORD>(size));
        error = length == 0 ? GetLastError() : ERROR_INSUFFICIENT_BUFFER;
        return static_cast<size_t>(length);
    });
    if (!read) config::PrintPlatformError(config::kMsgModulePathFailed, error);
    return read;
}

}  // namespace kestran::platform
