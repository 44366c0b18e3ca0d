// The functions of advapi32 (registry and service control), loaded on first use.
#pragma once

#include <windows.h>

#include "platform/system_library_win.h"

namespace kestran::platform {

struct RegistryFunctions {
    static constexpr const wchar_t* kLibrary = L"advapi32.dll";
    decltype(&::RegOpenKeyExW) RegOpenKeyExW;
    decltype(&::RegEnumKeyExW) RegEnumKeyExW;
    decltype(&::RegQueryValueExW) RegQueryValueExW;
    decltype(&::RegCloseKey) RegCloseKey;
    // Service control, for service mode.
    decltype(&::StartServiceCtrlDispatcherW) StartServiceCtrlDispatcherW;
    decltype(&::RegisterServiceCtrlHandlerExW) RegisterServiceCtrlHandlerExW;
    decltype(&::SetServiceStatus) SetServiceStatus;
    bool Bind(SystemLibrary& library) {
        return library.Bind(RegOpenKeyExW, "RegOpenKeyExW") && library.Bind(RegEnumKeyExW, "RegEnumKeyExW") &&
               library.Bind(RegQueryValueExW, "RegQueryValueExW") && library.Bind(RegCloseKey, "RegCloseKey") &&
               library.Bind(StartServiceCtrlDispatcherW, "StartServiceCtrlDispatcherW") &&
               library.Bind(RegisterServiceCtrlHandlerExW, "RegisterServiceCtrlHandlerExW") &&
               library.Bind(SetServiceStatus, "SetServiceStatus");
    }
};

// The table, or null after printing the 202 line; the line is printed once per process, so a
// pass over many keys reports a missing library once.
const RegistryFunctions* Registry();

}  // namespace kestran::platform
