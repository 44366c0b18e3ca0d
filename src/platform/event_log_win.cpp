#include <windows.h>
#include <winsvc.h>

#include <vector>

#include "platform/decimal_text.h"
#include "platform/event_log_win.h"
#include "platform/growing_buffer.h"
#include "platform/handles_win.h"
#include "platform/registry_functions_win.h"
#include "platform/trace.h"

namespace kestran::platform {
namespace {

// The event log takes at most 31,839 characters per text.
constexpr size_t kLongestEventText = 31000;
constexpr DWORD kTypesSupported = EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE;

std::wstring registeredSource;

std::wstring ModulePath() {
    std::wstring path;
    ReadIntoGrowingBuffer(path, [](wchar_t* buffer, size_t size) {
        return static_cast<size_t>(GetModuleFileNameW(nullptr, buffer, static_cast<DWORD>(size)));
    });
    return path;
}

// Without a registered source Event Viewer shows each event as "the description cannot be
// found". A source that exists is left as it is: a vendor may have registered a message file
// of their own.
void RegisterSource(const RegistryFunctions& advapi, const std::wstring& source) {
    const std::wstring keyPath = L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\" + source;
    HKEY raw = nullptr;
    DWORD disposition = 0;
    LONG status = advapi.RegCreateKeyExW(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                         KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &raw, &disposition);
    if (status != ERROR_SUCCESS) {
        Trace(L"event source " + source + L" not registered (error " + platform::DecimalText(status) + L")");
        return;
    }
    UniqueKey key(raw);
    DWORD type = 0;
    if (advapi.RegQueryValueExW(raw, L"EventMessageFile", nullptr, &type, nullptr, nullptr) == ERROR_SUCCESS) {
        Trace(L"event source " + source + L" already registered");
        return;
    }
    const std::wstring file = ModulePath();
    const DWORD fileBytes = static_cast<DWORD>((file.size() + 1) * sizeof(wchar_t));
    status = advapi.RegSetValueExW(raw, L"EventMessageFile", 0, REG_EXPAND_SZ,
                                   reinterpret_cast<const BYTE*>(file.c_str()), fileBytes);
    if (status == ERROR_SUCCESS) {
        status = advapi.RegSetValueExW(raw, L"TypesSupported", 0, REG_DWORD,
                                       reinterpret_cast<const BYTE*>(&kTypesSupported), sizeof kTypesSupported);
    }
    Trace(L"event source " + source + (status == ERROR_SUCCESS ? L" registered" : L" not registered (error " +
                                                                                    platform::DecimalText(status) + L")"));
}

}  // namespace

bool ReportErrorEvent(const std::wstring& source, const std::wstring& text) {
    const RegistryFunctions* advapi = Registry();
    if (advapi == nullptr) return false;
    // Called under the error report's lock: the first event of each source registers it.
    if (registeredSource != source) {
        registeredSource = source;
        RegisterSource(*advapi, source);
    }
    HANDLE log = advapi->RegisterEventSourceW(nullptr, source.c_str());
    if (log == nullptr) {
        Trace(L"event log refused source " + source + L" (error " + platform::DecimalText(GetLastError()) + L")");
        return false;
    }
    const std::wstring shown = text.size() > kLongestEventText ? text.substr(0, kLongestEventText) : text;
    LPCWSTR strings[] = {shown.c_str()};
    const BOOL reported = advapi->ReportEventW(log, EVENTLOG_ERROR_TYPE, 0, kLauncherEventId, nullptr, 1, 0, strings, nullptr);
    const DWORD error = GetLastError();
    advapi->DeregisterEventSource(log);
    Trace(L"event " + source + (reported ? L" reported: " : L" not reported (error " + platform::DecimalText(error) + L"): ") +
          shown);
    return reported != FALSE;
}

std::wstring FindOwnServiceName() {
    const RegistryFunctions* advapi = Registry();
    if (advapi == nullptr) return {};
    SC_HANDLE manager = advapi->OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ENUMERATE_SERVICE);
    if (manager == nullptr) return {};
    const DWORD self = GetCurrentProcessId();
    std::wstring name;
    std::vector<BYTE> buffer(64 * 1024);
    DWORD resume = 0;
    for (int round = 0; round < 16; ++round) {
        DWORD needed = 0;
        DWORD count = 0;
        const BOOL done = advapi->EnumServicesStatusExW(manager, SC_ENUM_PROCESS_INFO, SERVICE_WIN32, SERVICE_ACTIVE,
                                                        buffer.data(), static_cast<DWORD>(buffer.size()), &needed,
                                                        &count, &resume, nullptr);
        const DWORD error = done ? ERROR_SUCCESS : GetLastError();
        if (!done && error != ERROR_MORE_DATA) break;
        const auto* entries = reinterpret_cast<const ENUM_SERVICE_STATUS_PROCESSW*>(buffer.data());
        for (DWORD i = 0; i < count && name.empty(); ++i) {
            if (entries[i].ServiceStatusProcess.dwProcessId == self && entries[i].lpServiceName) name = entries[i].lpServiceName;
        }
        if (done || !name.empty()) break;
        // More services than fit: the next call goes on from `resume`; grow when not even one fitted.
        if (count == 0) buffer.resize(needed > buffer.size() ? needed : buffer.size() * 2);
    }
    advapi->CloseServiceHandle(manager);
    return name;
}

}  // namespace kestran::platform
