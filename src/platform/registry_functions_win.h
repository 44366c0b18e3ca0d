// The registry functions of advapi32, loaded when the first key is opened.
#pragma once

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include "platform/system_library_win.h"

namespace kestran::platform {

struct RegistryFunctions {
    static constexpr const wchar_t* kLibrary = L"advapi32.dll";
    decltype(&::RegOpenKeyExW) RegOpenKeyExW;
    decltype(&::RegEnumKeyExW) RegEnumKeyExW;
    decltype(&::RegQueryValueExW) RegQueryValueExW;
    decltype(&::RegCloseKey) RegCloseKey;
    // The user's identity and the security of the single-instance objects.
    decltype(&::OpenProcessToken) OpenProcessToken;
    decltype(&::GetTokenInformation) GetTokenInformation;
    decltype(&::ConvertSidToStringSidW) ConvertSidToStringSidW;
    decltype(&::ConvertStringSecurityDescriptorToSecurityDescriptorW) ConvertStringSecurityDescriptorToSecurityDescriptorW;
    decltype(&::GetSecurityInfo) GetSecurityInfo;
    decltype(&::EqualSid) EqualSid;
    bool Bind(SystemLibrary& library) {
        return library.Bind(RegOpenKeyExW, "RegOpenKeyExW") && library.Bind(RegEnumKeyExW, "RegEnumKeyExW") &&
               library.Bind(RegQueryValueExW, "RegQueryValueExW") && library.Bind(RegCloseKey, "RegCloseKey") &&
               library.Bind(OpenProcessToken, "OpenProcessToken") &&
               library.Bind(GetTokenInformation, "GetTokenInformation") &&
               library.Bind(ConvertSidToStringSidW, "ConvertSidToStringSidW") &&
               library.Bind(ConvertStringSecurityDescriptorToSecurityDescriptorW,
                            "ConvertStringSecurityDescriptorToSecurityDescriptorW") &&
               library.Bind(GetSecurityInfo, "GetSecurityInfo") && library.Bind(EqualSid, "EqualSid");
    }
};

// The table, or null after printing the 202 line; the line is printed once per process, so a
// pass over many keys reports a missing library once.
const RegistryFunctions* Registry();

}  // namespace kestran::platform
