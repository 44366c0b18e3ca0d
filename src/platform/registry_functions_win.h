// The functions of advapi32 (registry and service control), loaded on first use.
#pragma once

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>
#include <winsvc.h>

#include "platform/system_library_win.h"

namespace kestran::platform {

struct RegistryFunctions {
    static constexpr const wchar_t* kLibrary = L"advapi32.dll";
    decltype(&::RegOpenKeyExW) RegOpenKeyExW;
    decltype(&::RegEnumKeyExW) RegEnumKeyExW;
    decltype(&::RegQueryValueExW) RegQueryValueExW;
    decltype(&::RegCloseKey) RegCloseKey;
    // The event log of a service launch (platform/event_log_win.cpp): registering the source,
    // finding the service's name, reporting.
    decltype(&::RegCreateKeyExW) RegCreateKeyExW;
    decltype(&::RegSetValueExW) RegSetValueExW;
    decltype(&::RegisterEventSourceW) RegisterEventSourceW;
    decltype(&::ReportEventW) ReportEventW;
    decltype(&::DeregisterEventSource) DeregisterEventSource;
    decltype(&::OpenSCManagerW) OpenSCManagerW;
    decltype(&::EnumServicesStatusExW) EnumServicesStatusExW;
    decltype(&::CloseServiceHandle) CloseServiceHandle;
    // Service control, for service mode.
    decltype(&::StartServiceCtrlDispatcherW) StartServiceCtrlDispatcherW;
    decltype(&::RegisterServiceCtrlHandlerExW) RegisterServiceCtrlHandlerExW;
    decltype(&::SetServiceStatus) SetServiceStatus;
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
               library.Bind(RegCreateKeyExW, "RegCreateKeyExW") && library.Bind(RegSetValueExW, "RegSetValueExW") &&
               library.Bind(RegisterEventSourceW, "RegisterEventSourceW") &&
               library.Bind(ReportEventW, "ReportEventW") &&
               library.Bind(DeregisterEventSource, "DeregisterEventSource") &&
               library.Bind(OpenSCManagerW, "OpenSCManagerW") &&
               library.Bind(EnumServicesStatusExW, "EnumServicesStatusExW") &&
               library.Bind(CloseServiceHandle, "CloseServiceHandle") &&
               library.Bind(StartServiceCtrlDispatcherW, "StartServiceCtrlDispatcherW") &&
               library.Bind(RegisterServiceCtrlHandlerExW, "RegisterServiceCtrlHandlerExW") &&
               library.Bind(SetServiceStatus, "SetServiceStatus") &&
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
