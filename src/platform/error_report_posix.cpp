#include <atomic>
#include <mutex>

#include "platform/console.h"
#include "platform/error_report.h"
#include "platform/kept_text.h"

// The native counterpart for the JNI test host: a console process, so lines go to the standard
// streams as always; the VM's messages are seen through the hook (with the observer), kept
// until main as on Windows, and a failed launch shows its "box" to the observer only.
namespace kestran::platform {
namespace {
std::atomic<ReportObserver> observer{nullptr};
std::mutex keptLock;
KeptText kept;
bool mainStarted = false;

void Observe(const std::wstring& what) {
    if (ReportObserver seen = observer.load()) seen(what);
}
}  // namespace

void ReportErrorLine(const std::wstring& line) { WriteStandardOutput(line); }

void ReportVmMessage(const std::wstring& text) {
    WriteStandardError(text);
    {
        std::lock_guard<std::mutex> guard(keptLock);
        kept.Append(text);
    }
    Observe(L"vm " + text);
}

void AppendVmTextFile(const std::string&) {}

VmTextRoute CurrentVmTextRoute() {
    std::lock_guard<std::mutex> guard(keptLock);
    return RouteVmText(true, false, false, mainStarted, false);
}

void ReportMainStarted() {
    std::lock_guard<std::mutex> guard(keptLock);
    mainStarted = true;
    kept.Clear();
}

bool OpenVmTextFile(const std::wstring&, bool) { return false; }
bool VmTextSharesErrorFile(bool) { return false; }
bool ExitBeforeMainNeedsLine() { return false; }
void ReportUnseenText(const std::wstring&) {}
bool VmMessagesNeedHook(bool serviceMode) { return serviceMode; }
void ReportAsConfiguredService() {}
void ReportAsService(const std::wstring&) {}
void ReportAsInteractive() {}

void ShowKeptErrors(const std::wstring&, bool failed, bool vmAborted) {
    std::wstring text;
    {
        std::lock_guard<std::mutex> guard(keptLock);
        if (failed || vmAborted) text = kept.Summary(kReportFirstLines, kReportLastLines, kReportLineWidth);
        kept.Clear();
    }
    if (!text.empty()) Observe(L"box " + text);
}

void SetReportObserver(ReportObserver seen) { observer.store(seen); }

}  // namespace kestran::platform
