#include <windows.h>

#include <atomic>
#include <mutex>

#include "platform/console.h"
#include "platform/decimal_text.h"
#include "platform/error_box_win.h"
#include "platform/error_report.h"
#include "platform/error_route.h"
#include "platform/event_log_win.h"
#include "platform/growing_buffer.h"
#include "platform/handles_win.h"
#include "platform/kept_text.h"
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
bool mainStarted = false;
bool outputLineOpen = false;   // the VM's text on standard output has no line end yet
KeptText kept;                 // for the box, or the event of a service that failed to start
UniqueHandle vmTextFile;       // "Error File" for the VM's text after main
bool vmTextFileSet = false;

std::atomic<ReportObserver> observer{nullptr};

void Observe(const std::wstring& what) {
    if (ReportObserver seen = observer.load()) seen(what);
}

// Asked once: the launcher never changes its standard handles, and the VM may print hundreds of
// thousands of lines, each of which would otherwise cost a call into the system.
bool StandardOutputUsable() {
    static const bool usable = [] {
        HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
        // A windowed program started from Explorer or a shortcut has no handle at all; one
        // started with handles it cannot use gets FILE_TYPE_UNKNOWN.
        return output != nullptr && output != INVALID_HANDLE_VALUE && GetFileType(output) != FILE_TYPE_UNKNOWN;
    }();
    return usable;
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
    // The VM's message ends where the launcher's line begins.
    if (route.standardOutput && outputLineOpen) WriteStandardOutput(L"\n");
    outputLineOpen = false;
    if (route.standardOutput) WriteStandardOutput(line);
    launchFailed = true;
    if (route.eventLog) ReportEvent(TrimmedLine(line));
    if (route.kept && !boxDone) {
        kept.EndLine();
        // A message of the table ends in CRLF before the line's own end: one line, not two.
        kept.Append(TrimmedLine(line) + L"\n");
    }
}

void ReportVmMessage(const std::wstring& text) {
    std::lock_guard<std::recursive_mutex> guard(reportLock);
    if (text.empty()) return;
    const ErrorRoute route = CurrentRoute();
    if (route.standardOutput) {
        WriteStandardOutput(text);
        outputLineOpen = text.back() != L'\n';
    }
    // Kept, within its bound, for the report (the box, or one event): never one event per line.
    if (!boxDone && (route.kept || route.eventLog)) kept.Append(text);
    Observe(L"vm " + text);
}

VmTextRoute CurrentVmTextRoute() {
    std::lock_guard<std::recursive_mutex> guard(reportLock);
    return RouteVmText(StandardOutputUsable(), WindowedExecutable(), RunsAsService(), mainStarted, vmTextFileSet);
}

void ReportMainStarted() {
    std::lock_guard<std::recursive_mutex> guard(reportLock);
    mainStarted = true;
    kept.Clear();
    launchFailed = false;
}

bool OpenVmTextFile(const std::wstring& path, bool truncate) {
    constexpr DWORD kShare = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    if (truncate) {
        UniqueHandle emptied(CreateFileW(path.c_str(), GENERIC_WRITE, kShare, nullptr, CREATE_ALWAYS,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
    }
    // Appending only, never at a position of its own: the Java side's stream appends too, so
    // neither writes over the other.
    UniqueHandle file(CreateFileW(path.c_str(), FILE_APPEND_DATA, kShare, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                  nullptr));
    if (!file) Trace(L"VM text file not opened: " + path + L" (error " + platform::DecimalText(GetLastError()) + L")");
    std::lock_guard<std::recursive_mutex> guard(reportLock);
    vmTextFileSet = true;
    vmTextFile = std::move(file);
    return static_cast<bool>(vmTextFile);
}

void AppendVmTextFile(const std::string& bytes) {
    std::lock_guard<std::recursive_mutex> guard(reportLock);
    if (!vmTextFile || bytes.empty()) return;
    // One write per piece: the handle appends, so pieces of other writers never split one.
    DWORD written = 0;
    WriteFile(vmTextFile.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

bool VmTextSharesErrorFile(bool serviceMode) {
    return serviceMode || (WindowedExecutable() && !StandardOutputUsable());
}

bool ExitBeforeMainNeedsLine() {
    std::lock_guard<std::recursive_mutex> guard(reportLock);
    return !mainStarted && CurrentRoute().kept;
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
    std::wstring all;
    {
        std::lock_guard<std::recursive_mutex> guard(reportLock);
        if (boxDone) return;
        boxDone = true;
        if (RunsAsService()) {
            // One event for a start that failed, none for the text of a successful one.
            if ((failed || vmAborted) && !kept.Empty()) {
                Trace(L"failure report in full: " + kept.All());
                ReportEvent(TrimmedLine(kept.Summary(kReportFirstLines, kReportLastLines, kReportLineWidth)));
            }
            kept.Clear();
            return;
        }
        if (!(failed && launchFailed) && !vmAborted) return;
        all = TrimmedLine(kept.All());
        text = TrimmedLine(kept.Summary(kReportFirstLines, kReportLastLines, kReportLineWidth));
        kept.Clear();
    }
    if (text.empty()) return;
    // Outside the lock: the box waits for the user, and loading user32 may report a line.
    const bool shown = ShowErrorBox(title, text);
    Trace(std::wstring(shown ? L"error box shown: " : L"error box not shown: ") + text);
    if (all != text) Trace(L"failure report in full: " + all);
    if (shown) Observe(L"box " + text);
}

void SetReportObserver(ReportObserver seen) { observer.store(seen); }

}  // namespace kestran::platform
