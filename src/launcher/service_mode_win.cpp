#include <windows.h>

#include "launcher/service_mode.h"

namespace kestran::launcher {
namespace {

// Placeholder until service mode lands: the service stops at once.
void WINAPI ServiceMainProc(DWORD, LPWSTR*) {}

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
