#include <windows.h>

#include "launcher/service_mode.h"
#include "platform/system_library_win.h"

namespace kestran::launcher {
namespace {

// The service functions of advapi32, loaded only when the launcher runs as a service.
struct ServiceFunctions {
    static constexpr const wchar_t* kLibrary = L"advapi32.dll";
    decltype(&::StartServiceCtrlDispatcherW) StartServiceCtrlDispatcherW;
    decltype(&::RegisterServiceCtrlHandlerExW) RegisterServiceCtrlHandlerExW;
    decltype(&::SetServiceStatus) SetServiceStatus;
    bool Bind(platform::SystemLibrary& library) {
        return library.Bind(StartServiceCtrlDispatcherW, "StartServiceCtrlDispatcherW") &&
               library.Bind(RegisterServiceCtrlHandlerExW, "RegisterServiceCtrlHandlerExW") &&
               library.Bind(SetServiceStatus, "SetServiceStatus");
    }
};

DWORD WINAPI ServiceControlHandler(DWORD, DWORD, LPVOID, LPVOID) { return NO_ERROR; }

// Placeholder until service mode lands: the service reports that it stopped, unable to run,
// so that the dispatcher returns and the service manager is not left waiting.
void WINAPI ServiceMainProc(DWORD, LPWSTR*) {
    const ServiceFunctions* service = platform::SystemFunctions<ServiceFunctions>();
    SERVICE_STATUS_HANDLE status = service->RegisterServiceCtrlHandlerExW(L"", ServiceControlHandler, nullptr);
    if (status == nullptr) return;
    SERVICE_STATUS stopped{};
    stopped.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    stopped.dwCurrentState = SERVICE_STOPPED;
    stopped.dwWin32ExitCode = ERROR_CALL_NOT_IMPLEMENTED;
    service->SetServiceStatus(status, &stopped);
}

}  // namespace

void CreateServiceObjects() {}
void DestroyServiceObjects() {}

uint32_t RunServiceDispatcher(Launcher&) {
    const ServiceFunctions* service = platform::SystemFunctions<ServiceFunctions>();
    if (service == nullptr) return ERROR_MOD_NOT_FOUND;
    wchar_t serviceName[] = L"";
    SERVICE_TABLE_ENTRYW table[] = {{serviceName, ServiceMainProc}, {nullptr, nullptr}};
    if (service->StartServiceCtrlDispatcherW(table)) return 0;
    return GetLastError();
}

}  // namespace kestran::launcher
