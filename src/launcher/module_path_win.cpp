#include <windows.h>

#include "config/messages.h"
#include "launcher/launch_steps.h"

namespace kestran::launcher {

bool GetModulePath(std::wstring& out) {
    // A launcher in a deep folder has a path beyond 260 characters: grow until it fits
    // (a full buffer means the path was cut and left unterminated).
    std::wstring buffer(260, L'\0');
    for (;;) {
        SetLastError(ERROR_SUCCESS);
        DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        DWORD error = GetLastError();
        if (length == 0) {
            config::PrintPlatformError(config::kMsgModulePathFailed, error);
            return false;
        }
        if (length < buffer.size() && error != ERROR_INSUFFICIENT_BUFFER) {
            buffer.resize(length);
            out = std::move(buffer);
            return true;
        }
        if (buffer.size() >= 32768) {
            config::PrintPlatformError(config::kMsgModulePathFailed, ERROR_INSUFFICIENT_BUFFER);
            return false;
        }
        buffer.assign(buffer.size() * 2, L'\0');
    }
}

void ParseCommandLine(Launcher&, WideList& out) {
    const wchar_t* commandLine = GetCommandLineW();
    SplitCommandLine(commandLine ? commandLine : L"", out);
}

}  // namespace kestran::launcher
