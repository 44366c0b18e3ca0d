#include "platform/environment.h"

#include <windows.h>

namespace kestran::platform {

bool GetEnvironmentText(const std::wstring& name, std::wstring& out) {
    std::wstring buffer(256, L'\0');
    for (;;) {
        SetLastError(ERROR_SUCCESS);
        DWORD length = GetEnvironmentVariableW(name.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return false;
            out.clear();  // set, but empty
            return true;
        }
        // On a short buffer the result is the size needed, terminator included.
        if (length < buffer.size()) {
            buffer.resize(length);
            out = std::move(buffer);
            return true;
        }
        buffer.assign(length, L'\0');
    }
}

bool SetEnvironmentText(const std::wstring& name, const std::wstring& value) {
    return SetEnvironmentVariableW(name.c_str(), value.c_str()) != 0;
}

bool UnsetEnvironmentText(const std::wstring& name) {
    return SetEnvironmentVariableW(name.c_str(), nullptr) != 0;
}

}  // namespace kestran::platform
