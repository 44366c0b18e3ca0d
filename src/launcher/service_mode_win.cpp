#include <windows.h>
#include <winsvc.h>

#include <atomic>
#include <mutex>
#include <vector>

#include "config/messages.h"
#include "jvm/vm_create.h"
#include "launcher/java_stop.h"
#include "launcher/launch_steps.h"
#include "launcher/service_mode.h"
#include "platform/error_report.h"
#include "platform/handles_win.h"
#include "platform/system_library_win.h"
#include "platform/trace.h"

namespace kestran::launcher {
namespace {

// The service functions of advapi32, loaded only when the launcher runs as a service.
struct ServiceFunctions {
    static constexpr const wchar_t* kLibrary = L"advapi32.dll";
    decltype(&::StartServiceCtrlDispatcherW) StartServiceCtrlDispatcherW;
    decltype(&::RegisterServiceCtrlHandlerW) RegisterServiceCtrlHandlerW;
    decltype(&::SetServiceStatus) SetServiceStatus;
    bool Bind(platform::SystemLibrary& library) {
        return library.Bind(StartServiceCtrlDispatcherW, "StartServiceCtrlDispatcherW") &&
               library.Bind(RegisterServiceCtrlHandlerW, "RegisterServiceCtrlHandlerW") &&
               library.Bind(SetServiceStatus, "SetServiceStatus");
    }
};

constexpr DWORD kStopWaitHintMs = 3000;
// How long the entry thread leaves a System.exit in progress to end the process with the
// program's own code before it goes on with its teardown.
constexpr DWORD kVmExitGraceMs = 30000;

// What the service main function and the control handler ask of the launch.
class ServiceRunner {
public:
    virtual uint32_t RunService(DWORD argc, LPWSTR* argv) = 0;
    virtual void RequestStop() = 0;

protected:
    ~ServiceRunner() = default;
};

class ServiceAdapter;

// What the control manager has been told, and the handle to tell it more.
struct ServiceHost {
    SERVICE_STATUS status{};
    SERVICE_STATUS_HANDLE statusHandle = nullptr;
    ServiceAdapter* adapter = nullptr;

    const ServiceFunctions* functions = nullptr;
    // The control handler, the service thread and the VM's exit hook all report. Each sets its
    // fields and reports under this lock, so that no report overtakes a later one (a "stop
    // pending" arriving after "stopped" would leave the control manager waiting).
    std::mutex reportLock;

    // Call with reportLock held.
    bool Report() { return statusHandle != nullptr && functions->SetServiceStatus(statusHandle, &status) != FALSE; }
};

class ServiceAdapter : public ServiceRunner, public jvm::VmExitListener {
public:
    uint32_t RunService(DWORD argc, LPWSTR* argv) override;
    void RequestStop() override;
    void OnVmExit(int code) override;
    void OnVmAbort() override {}

    // Before dispatching: the events that let a stop request wait for main.
    void PrepareStopRequests();
    // The stop thread's work: waits until main has started, then asks the program to stop.
    void DeliverStop();
    // After the run: wakes stop requests still waiting for main, refuses new ones and waits
    // for every stop thread, so that none outlives the service objects.
    void EndStopRequests();

    ServiceHost* host = nullptr;
    Launcher* launcher = nullptr;
    std::atomic<bool> vmExiting{false};

private:
    std::mutex stopLock;
    bool acceptingStops = true;
    std::vector<platform::UniqueHandle> stopThreads;
    platform::UniqueHandle runEnded;  // manual reset
};

std::atomic<ServiceHost*> serviceHost{nullptr};
std::atomic<ServiceAdapter*> serviceAdapter{nullptr};

void Trace(const std::wstring& line) {
    if (platform::TraceEnabled()) platform::Trace(line);
}

DWORD WINAPI StopThreadProc(LPVOID) {
    if (ServiceAdapter* adapter = serviceAdapter.load()) adapter->DeliverStop();
    return 0;
}

uint32_t ServiceAdapter::RunService(DWORD argc, LPWSTR* argv) {
    if (argc > 0) {
        if (!launcher->omitServiceName) launcher->arguments.emplace_back(argv[0] ? argv[0] : L"");
        for (DWORD i = 1; i < argc; ++i) launcher->arguments.emplace_back(argv[i] ? argv[i] : L"");
    }
    return RunLaunch(*launcher);
}

void ServiceAdapter::RequestStop() {
    std::lock_guard<std::mutex> guard(stopLock);
    if (!acceptingStops) return;  // the run is over: there is nothing left to stop
    HANDLE thread = CreateThread(nullptr, 0, StopThreadProc, nullptr, 0, nullptr);
    if (thread != nullptr) stopThreads.emplace_back(thread);
}

void ServiceAdapter::PrepareStopRequests() {
    // Service mode never uses the single-instance objects, so the ready event is ours to make.
    if (launcher->readyEvent == nullptr) launcher->readyEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    runEnded.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
}

void ServiceAdapter::DeliverStop() {
    // A stop that comes while the VM is being created, or before main runs, is kept until main
    // has started: dropped, it would leave the service in "stop pending" until the program
    // happened to end by itself. If the launch fails first, there is nothing to stop.
    HANDLE mainStarted = static_cast<HANDLE>(launcher->readyEvent);
    if (runEnded && mainStarted != nullptr) {
        if (WaitForSingleObject(mainStarted, 0) != WAIT_OBJECT_0) Trace(L"stop request waits for main to start");
        HANDLE events[] = {runEnded.get(), mainStarted};
        if (WaitForMultipleObjects(2, events, FALSE, INFINITE) != WAIT_OBJECT_0 + 1) return;
    }
    RequestJavaStop(*launcher);
}

void ServiceAdapter::EndStopRequests() {
    std::vector<platform::UniqueHandle> threads;
    {
        std::lock_guard<std::mutex> guard(stopLock);
        acceptingStops = false;
        threads.swap(stopThreads);
    }
    if (runEnded) SetEvent(runEnded.get());
    // None of them blocks now: a thread attached to the VM would have kept it from ending.
    for (const platform::UniqueHandle& thread : threads) WaitForSingleObject(thread.get(), INFINITE);
}

void ServiceAdapter::OnVmExit(int code) {
    vmExiting = true;
    // Only a clean exit is a stop; any other code lets the control manager see the process end
    // without one, as a failure.
    if (code != 0 || host == nullptr) return;
    std::lock_guard<std::mutex> guard(host->reportLock);
    host->status.dwCurrentState = SERVICE_STOPPED;
    host->Report();
}

void WINAPI ServiceControlHandler(DWORD control) {
    ServiceHost* host = serviceHost.load();
    if (host == nullptr) return;
    bool stopping = false;
    {
        std::lock_guard<std::mutex> guard(host->reportLock);
        const bool stopControl = control == SERVICE_CONTROL_STOP || control == SERVICE_CONTROL_SHUTDOWN;
        if (stopControl && host->status.dwCurrentState != SERVICE_STOPPED) {
            host->status.dwCurrentState = SERVICE_STOP_PENDING;
            host->status.dwWin32ExitCode = NO_ERROR;
            host->status.dwCheckPoint = 0;
            host->status.dwWaitHint = kStopWaitHintMs;
            stopping = host->Report();
        } else {
            host->Report();  // an interrogation is answered with the current state
        }
    }
    if (stopping) host->adapter->RequestStop();
}

void WINAPI ServiceMainProc(DWORD argc, LPWSTR* argv) {
    ServiceHost* host = serviceHost.load();
    if (host == nullptr || host->adapter == nullptr || host->adapter->launcher == nullptr) return;
    // A thread of the dispatcher starts in the user's locale; messages belong in the system's.
    SetThreadLocale(GetSystemDefaultLCID());
    // The control manager names the service: its events go under that source.
    platform::ReportAsService(argc > 0 && argv[0] != nullptr ? argv[0] : L"");
    host->statusHandle = host->functions->RegisterServiceCtrlHandlerW(L"", ServiceControlHandler);
    if (host->statusHandle == nullptr) return;
    {
        std::lock_guard<std::mutex> guard(host->reportLock);
        // Running before the VM exists: there is no start-pending phase.
        host->status = SERVICE_STATUS{SERVICE_WIN32_OWN_PROCESS, SERVICE_RUNNING,
                                      SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN, NO_ERROR, 0, 0, 0};
        if (!host->Report()) return;
    }
    const uint32_t result = host->adapter->RunService(argc, argv);
    host->adapter->EndStopRequests();
    std::lock_guard<std::mutex> guard(host->reportLock);
    host->status.dwWin32ExitCode = result;
    host->status.dwCurrentState = SERVICE_STOPPED;
    host->Report();
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
    if (adapter != nullptr && adapter->launcher != nullptr && adapter->launcher->vmExitListener == adapter) {
        adapter->launcher->vmExitListener = nullptr;
    }
    delete adapter;
    delete host;
}

uint32_t RunServiceDispatcher(Launcher& launcher) {
    ServiceHost* host = serviceHost.load();
    ServiceAdapter* adapter = serviceAdapter.load();
    if (host == nullptr || adapter == nullptr) return 0xFFFFFFFFu;
    const ServiceFunctions* functions = platform::SystemFunctions<ServiceFunctions>();
    if (functions == nullptr) return 0xFFFFFFFFu;  // the 202 line named the library
    host->functions = functions;
    adapter->host = host;
    adapter->launcher = &launcher;
    launcher.vmExitListener = adapter;
    adapter->PrepareStopRequests();

    wchar_t serviceName[] = L"";
    SERVICE_TABLE_ENTRYW table[] = {{serviceName, ServiceMainProc}, {nullptr, nullptr}};
    if (functions->StartServiceCtrlDispatcherW(table)) {
        // "Stopped" came from the exit hook of System.exit(0): the VM is ending the process
        // itself, and tearing it down under it could crash that exit or change its code.
        if (adapter->vmExiting) Sleep(kVmExitGraceMs);
        return 0;
    }
    const DWORD error = GetLastError();
    if (error == ERROR_FAILED_SERVICE_CONTROLLER_CONNECT) {
        config::PrintErrorLine(config::FormatMessageId(config::kMsgServiceManagerOnly));
    } else {
        config::PrintPlatformErrorText(L"StartServiceCtrlDispatcherW", error);
    }
    return error;
}

}  // namespace kestran::launcher
