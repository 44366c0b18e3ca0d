#include <windows.h>

#include <atomic>
#include <mutex>

#include "platform/console.h"
#include "platform/error_box_win.h"
#include "platform/error_report.h"
#include "platform/error_route.h"
#include "platform/event_log_win.h"
#include "platform/growing_buffer.h"
#include "platform/trace.h"

namespace kestran::platform {
namespace {

// Recursive: reporting an event can fail in a way that reports a line (advapi32 missing).
std::recursive_mutex reportLock;
// Everything below is guarded by reportLock.
enum class ServiceState { kNo, kConfigured, kYes };
ServiceState serviceState = ServiceState::kNo;
std::wstring sourceName;
bool reportingEvent = false;   // an event is on its way: lines it causes go nowhere else
bool launchFailed = false;
bool boxDone = false;
std::wstring kept;             // for the box
std::wstring vmLine;           // the VM's text since its last line end, for the event log

std::atomic<ReportObserver> observer{nullptr};

void Observe(const std::wstring& what) {
    if (ReportObserver seen = observer.load()) seen(what);
}

bool StandardOutputUsable() {
    HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    // A windowed program started from Explorer or a shortcut has no handle at all; one
    // started with handles it cannot use gets FILE_TYPE_UNKNOWN.
    return output != nullptr && output != INVALID_HANDLE_VALUE && GetFileType(output) != FILE_TYPE_UNKNOWN;
}

bool WindowedExecutable() {
    const auto* image = reinterpret_cast<const BYTE*>(GetModuleHandleW(nullptr));
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(image + dos->e_lfanew);
    return nt->OptionalHeader.Subsystem == IMAGE_SUBSYSTEM_WINDOWS_GUI;
}

std::wstring TrimmedLine(const std::wstring& text) {
    const size_t end = text.find_last_not_of(L" \t\r\n");
    return end == std::wstring::npos ? std::wstring() : text.substr(0, end + 1);
}

std::wstring ExecutableBaseName() {
    std::wstring path;
    ReadIntoGrowingBuffer(path, [](wchar_t* buffer, size_t size) {
        return static_cast<size_t>(GetModuleFileNameW(nullptr, buffer, static_cast<DWORD>(size)));
    });
    std::wstring name = path.substr(path.find_last_of(L"\\/") + 1);
    const size_t dot = name.rfind(L'.');
    return dot == std::wstring::npos || dot == 0 ? name : name.substr(0, dot);
}

// Call with reportLock held. A configured service is one only when the control manager says so:
// asked once, when the first line or box needs to know.
bool RunsAsService() {
    if (serviceState == ServiceState::kConfigured) {
        // Settled before asking: asking may itself report a line (advapi32 missing).
        serviceState = ServiceState::kNo;
        const std::wstring name = FindOwnServiceName();
        if (!name.empty()) {
            serviceState = ServiceState::kYes;
            if (sourceName.empty()) sourceName = name;
        }
        Trace(name.empty() ? std::wstring(L"configured as a service, but no service runs in this process")
                           : L"running as service " + name);
    }
    return serviceState == ServiceState::kYes;
}

// Call with reportLock held.
void ReportEvent(const std::wstring& text) {
    if (reportingEvent || text.empty()) return;
    reportingEvent = true;
    if (sourceName.empty()) sourceName = FindOwnServiceName();
    if (sourceName.empty()) sourceName = ExecutableBaseName();
    if (ReportErrorEvent(sourceName, text)) Observe(L"event " + sourceName + L": " + text);
    reportingEvent = false;
}

ErrorRoute CurrentRoute() { return RouteErrorLine(StandardOutputUsable(), WindowedExecutable(), RunsAsService()); }

}  // namespace

void ReportErrorLine(const std::wstring& line) {
    std::lock_guard<std::recursive_mutex> guard(reportLock);
    const ErrorRoute route = CurrentRoute();
    if (route.standardOutput) WriteStandardOutput(line);
    launchFailed = true;
    if (route.eventLog) ReportEvent(TrimmedLine(line));
    if (route.kept && !boxDone) kept += line;
}

void ReportVmMessage(const std::wstring& text) {
    std::lock_guard<std::recursive_mutex> guard(reportLock);
    const ErrorRoute route = CurrentRoute();
    if (route.standardOutput) WriteStandardOutput(text);
    if (route.eventLog) {
        // The VM prints a line in pieces; each whole line is one event.
        vmLine += text;
        for (size_t end = vmLine.find(L'\n'); end != std::wstring::npos; end = vmLine.find(L'\n')) {
            ReportEvent(TrimmedLine(vmLine.substr(0, end)));
            vmLine.erase(0, end + 1);
        }
    }
    if (route.kept && !boxDone) kept += text;
    Observe(L"vm " + text);
}

void ReportUnseenText(const std::wstring& text) {
    std::lock_guard<std::recursive_mutex> guard(reportLock);
    if (RunsAsService()) ReportEvent(TrimmedLine(text));
}

bool VmMessagesNeedHook(bool serviceMode) { return serviceMode || WindowedExecutable(); }

void ReportAsConfiguredService() {
    std::lock_guard<std::recursive_mutex> guard(reportLock);
    if (serviceState == ServiceState::kNo) serviceState = ServiceState::kConfigured;
}

void ReportAsService(const std::wstring& name) {
    std::lock_guard<std::recursive_mutex> guard(reportLock);
    serviceState = ServiceState::kYes;
    if (!name.empty()) sourceName = name;
}

void ReportAsInteractive() {
    std::lock_guard<std::recursive_mutex> guard(reportLock);
    serviceState = ServiceState::kNo;
}

void ShowKeptErrors(const std::wstring& title, bool failed, bool vmAborted) {
    std::wstring text;
    {
        std::lock_guard<std::recursive_mutex> guard(reportLock);
        if (boxDone) return;
        boxDone = true;
        if (RunsAsService()) {
            if (!vmLine.empty()) ReportEvent(TrimmedLine(vmLine));
            vmLine.clear();
            return;
        }
        if (!(failed && launchFailed) && !vmAborted) return;
        text = TrimmedLine(kept);
        kept.clear();
    }
    if (text.empty()) return;
    // Outside the lock: the box waits for the user, and loading user32 may report a line.
    const bool shown = ShowErrorBox(title, text);
    Trace(std::wstring(shown ? L"error box shown: " : L"error box not shown: ") + text);
    if (shown) Observe(L"box " + text);
}

void SetReportObserver(ReportObserver seen) { observer.store(seen); }

}  // namespace kestran::platform
