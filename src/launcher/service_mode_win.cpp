#include <windows.h>

#include "launcher/service_mode.h"

namespace kestran::launcher {
namespace {

DWORD WINAPI ServiceControlHandler(DWORD, DWORD, LPVOID, LPVOID) { return NO_ERROR; }

// Placeholder until service mode lands: the service reports that it stopped, unable to run,
// so that the dispatcher returns and the service manager is not left waiting.
void WINAPI ServiceMainProc(DWORD, LPWSTR*) {
    SERVICE_STATUS_HANDLE status = RegisterServiceCtrlHandlerExW(L"", ServiceControlHandler, nullptr);
    if (status == nullptr) return;
    SERVICE_STATUS stopped{};
    stopped.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    stopped.dwCurrentState = SERVICE_STOPPED;
    stopped.dwWin32ExitCode = ERROR_CALL_NOT_IMPLEMENTED;
    SetServiceStatus(status, &stopped);
}

}  // namespace

void CreateServiceObjects() {}
void DestroyServiceObjects() {}

uint32_t RunServiceDispatcher(Launcher&) {
    wchar_t serviceName[] = L"";
    SERVICE_TABLE_ENTRYW table[] = {{serviceName, ServiceMainProc}, {nullptr, nullptr}};
    if (StartServiceCtrlDispatcherW(table)) return 0;
    return GetLastError();
}

}  // namespace kestran::launcher
