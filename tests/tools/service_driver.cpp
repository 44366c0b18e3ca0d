// Drives the service control manager for the service tests, one step per argument:
//   service_driver.exe NAME create=COMMAND start=A|B begin=A|B stop interrogate query wait=STATE
//                      exit report delete
// "start" waits until the service is no longer start pending ("begin" does not); "wait" until it
// reports STATE; "exit" until its process has ended; "delete" ends what is left first (20 s at
// most each). Prints "STEP state=N exit=N specific=N hint=N" (Win32 and service-specific exit
// codes, wait hint), "exit code=N" for the process, or "STEP error=N"; exits with 1 when a step
// failed. From the start on, a recorder polls the status every millisecond or so and keeps each
// status that differs from the one before; "report" prints them, one
// "seen state=N accepts=N exit=N specific=N checkpoint=N hint=N" line each.
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

SC_HANDLE service = nullptr;
HANDLE process = nullptr;

bool Query(SERVICE_STATUS_PROCESS& status) {
    DWORD needed = 0;
    return QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status), sizeof status, &needed);
}

bool WaitFor(DWORD state, bool leave) {
    SERVICE_STATUS_PROCESS status{};
    for (int i = 0; i < 1000 && Query(status); ++i, Sleep(20)) {
        if ((status.dwCurrentState == state) != leave) return true;
    }
    return false;
}

// Every status the service showed, in order, without repeats.
struct Recorder {
    std::mutex lock;
    std::vector<SERVICE_STATUS_PROCESS> seen;
    std::atomic<bool> running{false};
    std::thread thread;

    void Start() {
        if (running.exchange(true)) return;
        thread = std::thread([this] {
            SERVICE_STATUS_PROCESS status{};
            while (running && Query(status)) {
                std::lock_guard<std::mutex> guard(lock);
                const bool same = !seen.empty() && seen.back().dwCurrentState == status.dwCurrentState &&
                                  seen.back().dwControlsAccepted == status.dwControlsAccepted &&
                                  seen.back().dwWin32ExitCode == status.dwWin32ExitCode &&
                                  seen.back().dwServiceSpecificExitCode == status.dwServiceSpecificExitCode &&
                                  seen.back().dwCheckPoint == status.dwCheckPoint && seen.back().dwWaitHint == status.dwWaitHint;
                if (!same) seen.push_back(status);
                Sleep(1);
            }
        });
    }
    void Stop() {
        running = false;
        if (thread.joinable()) thread.join();
    }
    void Print() {
        std::lock_guard<std::mutex> guard(lock);
        for (const SERVICE_STATUS_PROCESS& s : seen) {
            std::wprintf(L"seen state=%lu accepts=%lu exit=%lu specific=%lu checkpoint=%lu hint=%lu\n", s.dwCurrentState,
                         s.dwControlsAccepted, s.dwWin32ExitCode, s.dwServiceSpecificExitCode, s.dwCheckPoint, s.dwWaitHint);
        }
    }
} recorder;

DWORD Checked(bool ok) { return ok ? 0 : GetLastError(); }
DWORD Timed(bool ok) { return ok ? 0 : WAIT_TIMEOUT; }

// Runs one step; 0 or its error code.
DWORD Run(SC_HANDLE manager, const wchar_t* name, const std::wstring& verb, const std::wstring& value) {
    SERVICE_STATUS ignored{};
    if (verb == L"create") {
        service = CreateServiceW(manager, name, name, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START,
                                 SERVICE_ERROR_NORMAL, value.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr);
        return Checked(service != nullptr);
    }
    if (service == nullptr && (service = OpenServiceW(manager, name, SERVICE_ALL_ACCESS)) == nullptr) return GetLastError();
    if (verb == L"start" || verb == L"begin") {
        std::vector<std::wstring> parameters;
        for (size_t start = 0, bar = 0; !value.empty() && bar != std::wstring::npos; start = bar + 1) {
            bar = value.find(L'|', start);
            parameters.push_back(value.substr(start, bar - start));
        }
        std::vector<LPCWSTR> pointers;
        for (const std::wstring& parameter : parameters) pointers.push_back(parameter.c_str());
        if (!StartServiceW(service, static_cast<DWORD>(pointers.size()), pointers.data())) return GetLastError();
        SERVICE_STATUS_PROCESS status{};
        if (Query(status)) process = OpenProcess(SYNCHRONIZE | PROCESS_ALL_ACCESS, FALSE, status.dwProcessId);
        recorder.Start();
        return verb == L"begin" ? 0 : Timed(WaitFor(SERVICE_START_PENDING, true));
    }
    if (verb == L"stop" || verb == L"interrogate") {
        const DWORD control = verb == L"stop" ? SERVICE_CONTROL_STOP : SERVICE_CONTROL_INTERROGATE;
        return Checked(ControlService(service, control, &ignored));
    }
    if (verb == L"wait") return Timed(WaitFor(std::stoul(value), false));
    if (verb == L"exit") {
        if (process == nullptr || WaitForSingleObject(process, 20000) != WAIT_OBJECT_0) return WAIT_TIMEOUT;
        DWORD code = 0;
        GetExitCodeProcess(process, &code);
        std::wprintf(L"exit code=%lu\n", code);
        return 0;
    }
    if (verb == L"report") {
        Sleep(50);  // the last status, once more
        recorder.Stop();
        recorder.Print();
        return 0;
    }
    if (verb == L"delete") {
        recorder.Stop();
        if (process != nullptr && WaitForSingleObject(process, 0) == WAIT_TIMEOUT) {
            ControlService(service, SERVICE_CONTROL_STOP, &ignored);
            if (WaitForSingleObject(process, 5000) == WAIT_TIMEOUT) TerminateProcess(process, 1);
        }
        return Checked(DeleteService(service));
    }
    return verb == L"query" ? 0 : ERROR_INVALID_PARAMETER;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    int failures = 0;
    for (int i = 2; i < argc && manager != nullptr; ++i) {
        const std::wstring step = argv[i];
        const size_t equals = step.find(L'=');
        const std::wstring verb = step.substr(0, equals);
        SERVICE_STATUS_PROCESS status{};
        if (DWORD error = Run(manager, argv[1], verb, equals == std::wstring::npos ? L"" : step.substr(equals + 1))) {
            std::wprintf(L"%ls error=%lu\n", verb.c_str(), error);
            ++failures;
        } else if (verb != L"exit" && verb != L"create" && verb != L"delete" && verb != L"report" && Query(status)) {
            std::wprintf(L"%ls state=%lu exit=%lu specific=%lu hint=%lu\n", verb.c_str(), status.dwCurrentState,
                         status.dwWin32ExitCode, status.dwServiceSpecificExitCode, status.dwWaitHint);
        }
        std::fflush(stdout);
    }
    recorder.Stop();
    return manager == nullptr || failures > 0 ? 1 : 0;
}
