#include <atomic>

#include "platform/console.h"
#include "platform/error_report.h"

// The native counterpart for the JNI test host: a console process, so lines go to the standard
// streams as always; only the VM's messages are seen through the hook (with the observer).
namespace kestran::platform {
namespace {
std::atomic<ReportObserver> observer{nullptr};
}

void ReportErrorLine(const std::wstring& line) { WriteStandardOutput(line); }

void ReportVmMessage(const std::wstring& text) {
    WriteStandardError(text);
    if (ReportObserver seen = observer.load()) seen(L"vm " + text);
}

void ReportUnseenText(const std::wstring&) {}
bool VmMessagesNeedHook(bool serviceMode) { return serviceMode; }
void ReportAsConfiguredService() {}
void ReportAsService(const std::wstring&) {}
void ReportAsInteractive() {}
void ShowKeptErrors(const std::wstring&, bool, bool) {}
void SetReportObserver(ReportObserver seen) { observer.store(seen); }

}  // namespace kestran::platform
