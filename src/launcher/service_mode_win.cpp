#include <windows.h>
#include <winsvc.h>

#include <atomic>
#include <chrono>
#include <mutex>

#include "config/general_error.h"
#include "config/messages.h"
#include "jvm/vm_create.h"
#include "launcher/attached_call.h"
#include "launcher/failure_report.h"
#include "launcher/java_stop.h"
#include "launcher/launch_steps.h"
#include "launcher/service_mode.h"
#include "platform/decimal_text.h"
#include "platform/error_report.h"
#include "platform/handles_win.h"
#include "platform/registry_functions_win.h"
#include "platform/thread_language.h"
#include "platform/trace.h"

namespace kestran::launcher {
namespace {

// While start or stop is pending the checkpoint advances at least this often, well inside the
// wait hint, so that the control manager (and `net stop`) sees progress however long it takes.
constexpr DWORD kProgressIntervalMs = 500;
constexpr DWORD kPendingWaitHintMs = 2000;
// After the stop timeout's System.exit(0): how long the VM has to end the process before the
// launcher reports "stopped" and ends it itself.
constexpr ULONGLONG kExitGraceMs = 5000;
// How long the entry thread leaves a System.exit in progress to end the process with the
// program's own code before it goes on with its teardown.
constexpr DWORD kVmExitGraceMs = 30000;
// The stop thread is done once the run has ended, unless stop() is stuck in a VM that has
// ended; it is a daemon then, and the report does not wait for it long.
constexpr auto kStopThreadBound = std::chrono::seconds(2);
// How long the Java thread waits, before main, for the stop thread to attach.
constexpr DWORD kStopThreadAttachMs = 5000;
constexpr DWORD kRunningControls = SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN | SERVICE_ACCEPT_PRESHUTDOWN;
constexpr uint32_t kLaunchFailed = 0xFFFFFFFFu;

void Trace(const std::wstring& line) {
    if (platform::TraceEnabled()) platform::Trace(line);
}

// The result code of the exception being handled; call inside a catch block only.
uint32_t UnexpectedErrorCode() noexcept {
    try {
        throw;
    } catch (const GeneralError& error) {
        return static_cast<uint32_t>(error.resultCode());
    } catch (const std::bad_alloc&) {
        return static_cast<uint32_t>(kResultOutOfMemory);
    } catch (...) {
        return static_cast<uint32_t>(kResultFail);
    }
}

// What the service main function and the control handler ask of the launch.
class ServiceRunner {
public:
    virtual uint32_t RunService(DWORD argc, LPWSTR* argv) = 0;
    virtual void RequestStop() = 0;

protected:
    ~ServiceRunner() = default;
};

class ServiceAdapter;

// What the control manager has been told, and the handle to tell it more. The control handler,
// the service thread, the progress thread and the VM's exit hook all report; each sets its
// fields and reports under reportLock, so that no report overtakes a later one, and nothing is
// reported after "stopped".
struct ServiceHost {
    SERVICE_STATUS status{};
    SERVICE_STATUS_HANDLE statusHandle = nullptr;
    ServiceAdapter* adapter = nullptr;
    const platform::RegistryFunctions* functions = nullptr;

    std::mutex reportLock;
    bool stopped = false;        // "stopped" has been reported
    ULONGLONG stopRequestedAt = 0;  // GetTickCount64 of the first stop control, 0 before one

    // Call with reportLock held.
    bool Report() {
        if (stopped || statusHandle == nullptr) return false;
        return functions->SetServiceStatus(statusHandle, &status) != FALSE;
    }
    void SetPending(DWORD state) {
        status.dwCurrentState = state;
        status.dwControlsAccepted = 0;
        status.dwCheckPoint = 1;
        status.dwWaitHint = kPendingWaitHintMs;
    }

    // Reports "stopped" with the launch's result (a failed start also with 0), once per process;
    // false when it was reported already. The report is made from copies outside the lock: once
    // it is out, the dispatcher returns and the entry thread may free this object.
    bool ReportStopped(uint32_t result, bool failedStart = false) {
        SERVICE_STATUS final{};
        SERVICE_STATUS_HANDLE handle = nullptr;
        const platform::RegistryFunctions* table = nullptr;
        {
            std::lock_guard<std::mutex> guard(reportLock);
            if (stopped || statusHandle == nullptr) return false;
            stopped = true;
            status.dwCurrentState = SERVICE_STOPPED;
            status.dwControlsAccepted = 0;
            status.dwCheckPoint = 0;
            status.dwWaitHint = 0;
            // The launcher's own codes (-1, 1) are no Win32 errors: "Incorrect function" would lie.
            status.dwWin32ExitCode = result == 0 && !failedStart ? NO_ERROR : ERROR_SERVICE_SPECIFIC_ERROR;
            status.dwServiceSpecificExitCode = result;
            final = status;
            handle = statusHandle;
            table = functions;
        }
        Trace(L"service stopped (" + platform::DecimalText(result) + L")");
        table->SetServiceStatus(handle, &final);
        return true;
    }
};

class ServiceAdapter : public ServiceRunner, public jvm::VmExitListener {
public:
    uint32_t RunService(DWORD argc, LPWSTR* argv) override;
    void RequestStop() override;
    void OnVmExit(int code) override;
    void OnVmAbort() override;

    // Before dispatching: the events that let a stop request wait for main, and the stop thread
    // that attaches as soon as the VM exists.
    void PrepareStopRequests();
    // The progress thread: checkpoints while pending, "running" once main has started, and the
    // stop timeout.
    void StartProgress();
    void EndProgress();
    // After the run: wakes stop requests still waiting for main and waits for the stop threads
    // (with a bound), so that none outlives the service objects.
    void EndStopRequests();
    bool MainStarted() const;

    ServiceHost* host = nullptr;
    Launcher* launcher = nullptr;
    // The process is being ended (System.exit in the VM, or the stop timeout's last resort): the
    // entry thread must not tear the VM down under it.
    std::atomic<bool> processEnding{false};

private:
    static DWORD WINAPI ProgressThreadProc(LPVOID parameter);
    void Progress();
    // On the Java thread, once the VM is published: the stop thread, attached as a daemon
    // before main runs, so that a stop request needs no attach of its own.
    void StartStopThread();
    void StopThreadMain();

    platform::UniqueHandle runEnded;       // manual reset
    platform::UniqueHandle stopRequested;  // manual reset
    platform::UniqueHandle stopThreadReady;
    platform::UniqueHandle progressEnd;    // manual reset
    platform::UniqueHandle progressThread;
    bool exitRequested = false;            // progress thread only
};

std::atomic<ServiceHost*> serviceHost{nullptr};
std::atomic<ServiceAdapter*> serviceAdapter{nullptr};

uint32_t ServiceAdapter::RunService(DWORD argc, LPWSTR* argv) {
    // The search runs here, under "start pending": a "JRE Path" on a slow share must not use up
    // the time the control manager gives the process to connect.
    if (!LocateRuntime(*launcher)) return kLaunchFailed;
    if (argc > 0) {
        if (!launcher->omitServiceName) launcher->arguments.emplace_back(argv[0] ? argv[0] : L"");
        for (DWORD i = 1; i < argc; ++i) launcher->arguments.emplace_back(argv[i] ? argv[i] : L"");
    }
    return RunLaunch(*launcher);
}

void ServiceAdapter::RequestStop() {
    if (stopRequested) SetEvent(stopRequested.get());
}

void ServiceAdapter::PrepareStopRequests() {
    // Service mode never uses the single-instance objects, so the ready event is ours to make.
    if (launcher->Vm().readyEvent == nullptr) launcher->Vm().readyEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    runEnded.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    progressEnd.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    stopRequested.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    stopThreadReady.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    launcher->Vm().vmSession.SetPublishedHook([this] { StartStopThread(); });
}

void ServiceAdapter::StartStopThread() {
    if (!launcher->Vm().vmSession.StartHelper([this] { StopThreadMain(); })) {
        Trace(L"stop thread not started");
        return;
    }
    WaitForSingleObject(stopThreadReady.get(), kStopThreadAttachMs);
}

void ServiceAdapter::StopThreadMain() {
    bool attached = false;
    bool requested = false;
    const bool delivered = CallOnAttachedThread(
        *launcher,
        [this, &attached, &requested](JNIEnv* env) {
            attached = true;
            SetEvent(stopThreadReady.get());
            HANDLE stopOrEnd[] = {runEnded.get(), stopRequested.get()};
            if (WaitForMultipleObjects(2, stopOrEnd, FALSE, INFINITE) != WAIT_OBJECT_0 + 1) return false;
            // A stop that comes while the VM is being created, or before main runs, is kept until
            // main has started. If the launch fails first, there is nothing to stop.
            if (!MainStarted()) Trace(L"stop request waits for main to start");
            HANDLE started[] = {runEnded.get(), static_cast<HANDLE>(launcher->Vm().readyEvent)};
            if (WaitForMultipleObjects(2, started, FALSE, INFINITE) != WAIT_OBJECT_0 + 1) return false;
            requested = true;
            return CallStopOrExit(*launcher, env);
        },
        CallingThread::Daemon);
    if (!attached) {
        SetEvent(stopThreadReady.get());
        Trace(L"stop thread: not attached");
    } else if (requested && !delivered) {
        Trace(L"stop request: not delivered");
    }
}

void ServiceAdapter::StartProgress() {
    progressThread.reset(CreateThread(nullptr, 0, ProgressThreadProc, this, 0, nullptr));
}

void ServiceAdapter::EndProgress() {
    if (progressEnd) SetEvent(progressEnd.get());
    if (progressThread) WaitForSingleObject(progressThread.get(), INFINITE);
    progressThread.reset();
}

DWORD WINAPI ServiceAdapter::ProgressThreadProc(LPVOID parameter) {
    try {
        static_cast<ServiceAdapter*>(parameter)->Progress();
    } catch (...) {
        Trace(L"service progress thread failed unexpectedly");
    }
    return 0;
}

void ServiceAdapter::Progress() {
    HANDLE mainStarted = static_cast<HANDLE>(launcher->Vm().readyEvent);
    const ULONGLONG stopTimeoutMs = static_cast<ULONGLONG>(launcher->stopTimeout) * 1000;
    for (;;) {
        bool starting = false;
        {
            std::lock_guard<std::mutex> guard(host->reportLock);
            starting = host->status.dwCurrentState == SERVICE_START_PENDING;
        }
        // While starting, wake at once when main starts; otherwise only the interval counts (the
        // event stays set).
        HANDLE events[] = {progressEnd.get(), mainStarted};
        const DWORD count = starting && mainStarted != nullptr ? 2 : 1;
        const DWORD woken = WaitForMultipleObjects(count, events, FALSE, kProgressIntervalMs);
        if (woken == WAIT_OBJECT_0 || woken == WAIT_FAILED) return;

        ULONGLONG stoppingFor = 0;
        bool stopping = false;
        {
            std::lock_guard<std::mutex> guard(host->reportLock);
            SERVICE_STATUS& status = host->status;
            if (status.dwCurrentState == SERVICE_START_PENDING) {
                if (mainStarted != nullptr && WaitForSingleObject(mainStarted, 0) == WAIT_OBJECT_0) {
                    status.dwCurrentState = SERVICE_RUNNING;
                    status.dwControlsAccepted = kRunningControls;
                    status.dwCheckPoint = 0;
                    status.dwWaitHint = 0;
                    Trace(L"service running");
                } else {
                    ++status.dwCheckPoint;
                }
                host->Report();
            } else if (status.dwCurrentState == SERVICE_STOP_PENDING) {
                ++status.dwCheckPoint;
                host->Report();
                stopping = true;
                stoppingFor = GetTickCount64() - host->stopRequestedAt;
            }
        }
        if (!stopping) continue;
        if (!exitRequested && stoppingFor >= stopTimeoutMs) {
            // stop() has not ended the program in time: end it the way the program itself would.
            exitRequested = true;
            Trace(L"stop timeout of " + platform::DecimalText(launcher->stopTimeout) + L" s reached");
            Launcher* target = launcher;
            if (!target->Vm().vmSession.StartHelper([target] { RequestSystemExit(*target); })) {
                Trace(L"stop timeout: System.exit not started");
            }
        }
        if (exitRequested && stoppingFor >= stopTimeoutMs + kExitGraceMs) {
            // Nothing ended the program: never leave the service stopping for good.
            processEnding = true;
            host->ReportStopped(kLaunchFailed);
            TerminateProcess(GetCurrentProcess(), kLaunchFailed);
            return;
        }
    }
}

void ServiceAdapter::EndStopRequests() {
    if (runEnded) SetEvent(runEnded.get());
    if (!launcher->Vm().vmSession.JoinHelpers(kStopThreadBound)) Trace(L"a stop thread is still running");
}

bool ServiceAdapter::MainStarted() const {
    HANDLE mainStarted = static_cast<HANDLE>(launcher->Vm().readyEvent);
    return mainStarted != nullptr && WaitForSingleObject(mainStarted, 0) == WAIT_OBJECT_0;
}

void ServiceAdapter::OnVmExit(int code) {
    processEnding = true;
    if (host == nullptr) return;
    // Before main (the launcher helper's System.exit(1) for a missing class, an exit in the main
    // class's initialiser) the start failed, whatever the code: the control manager must hear it
    // before the process ends, or its recovery restarts a service that cannot start.
    if (!MainStarted()) {
        ShowLaunchFailure(launcher, true);
        host->ReportStopped(static_cast<uint32_t>(code), true);
        return;
    }
    // Only a clean exit is a stop; any other code lets the control manager see the process end
    // without one, as a failure.
    if (code == 0) host->ReportStopped(0);
}

void ServiceAdapter::OnVmAbort() {
    processEnding = true;
    if (host != nullptr && !MainStarted()) host->ReportStopped(kLaunchFailed, true);
}

DWORD WINAPI ServiceControlHandler(DWORD control, DWORD, LPVOID, LPVOID) {
    try {
        ServiceHost* host = serviceHost.load();
        if (host == nullptr) return ERROR_CALL_NOT_IMPLEMENTED;
        const bool stopControl =
            control == SERVICE_CONTROL_STOP || control == SERVICE_CONTROL_SHUTDOWN || control == SERVICE_CONTROL_PRESHUTDOWN;
        if (!stopControl && control != SERVICE_CONTROL_INTERROGATE) return ERROR_CALL_NOT_IMPLEMENTED;
        bool stopping = false;
        {
            std::lock_guard<std::mutex> guard(host->reportLock);
            const DWORD state = host->status.dwCurrentState;
            if (stopControl && (state == SERVICE_RUNNING || state == SERVICE_START_PENDING)) {
                // One stop only: from here on no control is accepted.
                host->SetPending(SERVICE_STOP_PENDING);
                host->stopRequestedAt = GetTickCount64();
                stopping = host->Report();
            } else {
                host->Report();  // an interrogation is answered with the current state
            }
        }
        if (stopping) host->adapter->RequestStop();
        return NO_ERROR;
    } catch (...) {
        Trace(L"service control handler failed unexpectedly");
        return NO_ERROR;
    }
}

void RunServiceMain(ServiceHost& host, DWORD argc, LPWSTR* argv) {
    ServiceAdapter& adapter = *host.adapter;
    uint32_t result = kLaunchFailed;
    try {
        {
            std::lock_guard<std::mutex> guard(host.reportLock);
            host.status = SERVICE_STATUS{SERVICE_WIN32_OWN_PROCESS, SERVICE_START_PENDING, 0, NO_ERROR, 0, 1,
                                         kPendingWaitHintMs};
            if (!host.Report()) return;
        }
        adapter.StartProgress();
        result = adapter.RunService(argc, argv);
    } catch (...) {
        result = UnexpectedErrorCode();
        Trace(L"service thread failed unexpectedly");
    }
    adapter.EndStopRequests();
    adapter.EndProgress();
    // The VM's text of a failed start, as one event, before the control manager hears of it.
    if (result != 0) ShowLaunchFailure(adapter.launcher, true);
    host.ReportStopped(result);
    // Nothing after this: the entry thread may now free the service objects.
}

void WINAPI ServiceMainProc(DWORD argc, LPWSTR* argv) {
    ServiceHost* host = serviceHost.load();
    if (host == nullptr || host->adapter == nullptr || host->adapter->launcher == nullptr) return;
    // A thread of the dispatcher starts in the user's locale; messages belong in the system's.
    platform::UseSystemLanguage();
    // The control manager names the service: its events go under that source.
    platform::ReportAsService(argc > 0 && argv[0] != nullptr ? argv[0] : L"");
    host->statusHandle = host->functions->RegisterServiceCtrlHandlerExW(L"", ServiceControlHandler, nullptr);
    if (host->statusHandle == nullptr) return;
    RunServiceMain(*host, argc, argv);
}

}  // namespace

void CreateServiceObjects() {
    auto* host = new ServiceHost();
    auto* adapter = new ServiceAdapter();
    host->adapter = adapter;
    serviceHost = host;
    serviceAdapter = adapter;
}

void DestroyServiceObjects() {
    ServiceAdapter* adapter = serviceAdapter.exchange(nullptr);
    ServiceHost* host = serviceHost.exchange(nullptr);
    // The launcher outlives these objects; its VM must not call back into them.
    if (adapter != nullptr && adapter->launcher != nullptr && adapter->launcher->Vm().vmExitListener == adapter) {
        adapter->launcher->Vm().vmExitListener = nullptr;
    }
    if (adapter != nullptr && adapter->launcher != nullptr) adapter->launcher->Vm().vmSession.SetPublishedHook(nullptr);
    delete adapter;
    delete host;
}

uint32_t RunServiceDispatcher(Launcher& launcher) {
    ServiceHost* host = serviceHost.load();
    ServiceAdapter* adapter = serviceAdapter.load();
    if (host == nullptr || adapter == nullptr) return kLaunchFailed;
    const platform::RegistryFunctions* functions = platform::Registry();
    if (functions == nullptr) return kLaunchFailed;  // the 202 line named the library
    host->functions = functions;
    adapter->host = host;
    adapter->launcher = &launcher;
    launcher.Vm().vmExitListener = adapter;
    adapter->PrepareStopRequests();

    wchar_t serviceName[] = L"";
    SERVICE_TABLE_ENTRYW table[] = {{serviceName, ServiceMainProc}, {nullptr, nullptr}};
    if (functions->StartServiceCtrlDispatcherW(table)) {
        // "Stopped" came from the exit hook of System.exit(0), or the process is being ended:
        // tearing the VM down under that could crash the exit or change its code.
        if (adapter->processEnding) Sleep(kVmExitGraceMs);
        return 0;
    }
    const DWORD error = GetLastError();
    if (error == ERROR_FAILED_SERVICE_CONTROLLER_CONNECT) {
        // Started from a prompt or from Explorer: an interactive failure, seen on the output
        // or in the box.
        platform::ReportAsInteractive();
        config::PrintErrorLine(config::FormatMessageId(config::kMsgServiceManagerOnly));
    } else {
        config::PrintPlatformErrorText(L"StartServiceCtrlDispatcherW", error);
    }
    return error;
}

}  // namespace kestran::launcher
