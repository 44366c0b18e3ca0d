#include <windows.h>

#include <exception>
#include <memory>
#include <vector>

#include "config/messages.h"
#include "jvm/vm_host.h"
#include "launcher/launch_steps.h"
#include "launcher/single_instance.h"
#include "platform/handles_win.h"
#include "platform/system_library_win.h"
#include "platform/trace.h"

namespace kestran::launcher {
namespace {

// Thread messages live in user32, which a plain launch never maps.
struct ThreadMessageFunctions {
    static constexpr const wchar_t* kLibrary = L"user32.dll";
    decltype(&::RegisterWindowMessageW) RegisterWindowMessageW;
    decltype(&::PostThreadMessageW) PostThreadMessageW;
    decltype(&::PeekMessageW) PeekMessageW;
    decltype(&::GetMessageW) GetMessageW;
    decltype(&::MsgWaitForMultipleObjects) MsgWaitForMultipleObjects;
    bool Bind(platform::SystemLibrary& library) {
        return library.Bind(RegisterWindowMessageW, "RegisterWindowMessageW") &&
               library.Bind(PostThreadMessageW, "PostThreadMessageW") && library.Bind(PeekMessageW, "PeekMessageW") &&
               library.Bind(GetMessageW, "GetMessageW") &&
               library.Bind(MsgWaitForMultipleObjects, "MsgWaitForMultipleObjects");
    }
};

const ThreadMessageFunctions* Functions() { return platform::SystemFunctions<ThreadMessageFunctions>(); }

// Beside the fixed objects: later instances of this version take turns through the lock, and
// the first instance says through the event when it has copied the arguments, so the next one
// may write. A launcher of another version ignores both and merely keeps the old race.
constexpr wchar_t kReadySuffix[] = L"_upr_evt";
constexpr wchar_t kForwardLockSuffix[] = L"_fwd_lock";
constexpr wchar_t kArgumentsTakenSuffix[] = L"_fwd_ack";

// How long a later instance keeps trying to reach a first instance that is alive but not yet
// listening, and how long it waits for its turn or for its arguments to be taken.
constexpr ULONGLONG kListenerWaitMs = 10000;
constexpr DWORD kTurnWaitMs = 30000;
constexpr DWORD kTakenWaitMs = 10000;

uint8_t* Block(const Launcher& launcher) { return static_cast<uint8_t*>(launcher.instanceBlock); }

// The block is shared with another process: whole, ordered 32-bit accesses (x64 is
// little-endian, as the layout wants).
DWORD LoadField(const Launcher& launcher, size_t offset) {
    return static_cast<DWORD>(InterlockedCompareExchange(reinterpret_cast<volatile LONG*>(Block(launcher) + offset), 0, 0));
}
void StoreField(const Launcher& launcher, size_t offset, DWORD value) {
    InterlockedExchange(reinterpret_cast<volatile LONG*>(Block(launcher) + offset), static_cast<LONG>(value));
}

// A message queue exists only once a thread has asked for a message; until then posts to the
// thread fail (error 1444) and are lost.
void CreateMessageQueue(const ThreadMessageFunctions& functions) {
    MSG message;
    functions.PeekMessageW(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
}

struct ForwardedRequest {
    Launcher* launcher;
    DWORD senderThreadId;
    UINT messageId;
    WideList arguments;
};

DWORD WINAPI RequestThreadProc(LPVOID parameter) {
    std::unique_ptr<ForwardedRequest> request(static_cast<ForwardedRequest*>(parameter));
    SetThreadLocale(GetSystemDefaultLCID());
    try {
        Launcher& launcher = *request->launcher;
        // Orders the request after the start of main, and so after the VM handle is published.
        WaitForSingleObject(launcher.Vm().readyEvent, INFINITE);
        const ThreadMessageFunctions* functions = Functions();
        HandleForwardedRequest(launcher, request->arguments, [&](uint32_t value) {
            functions->PostThreadMessageW(request->senderThreadId, request->messageId, value, 0);
        });
    } catch (const std::exception&) {
        platform::Trace(L"forwarded start failed unexpectedly");
    }
    return 0;
}

// Copies the arguments out of the block at once, so that the next later instance may write
// while this request still waits for main to start.
void StartRequest(Launcher& launcher, DWORD senderThreadId, UINT messageId) {
    auto request = std::make_unique<ForwardedRequest>(ForwardedRequest{&launcher, senderThreadId, messageId, {}});
    std::vector<uint8_t> area(Block(launcher) + kArgumentAreaOffset, Block(launcher) + kInstanceBlockSize);
    ReadForwardedArguments(area.data(), area.size(), request->arguments);
    if (launcher.argumentsTakenEvent != nullptr) SetEvent(launcher.argumentsTakenEvent);
    HANDLE thread = CreateThread(nullptr, 0, RequestThreadProc, request.get(), 0, nullptr);
    if (thread == nullptr) return;  // no reply: the later instance waits for this process to end
    (void)request.release();
    CloseHandle(thread);
}

DWORD WINAPI ListenerThreadProc(LPVOID parameter) {
    Launcher& launcher = *static_cast<Launcher*>(parameter);
    const ThreadMessageFunctions* functions = Functions();
    CreateMessageQueue(*functions);
    // Published only now that posts to this thread can arrive.
    StoreField(launcher, kListenerThreadIdOffset, GetCurrentThreadId());
    const UINT messageId = LoadField(launcher, kMessageIdOffset);
    MSG message;
    // 0 is the quit message from the teardown; -1 (an error) ends the loop too, never spins.
    while (functions->GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (message.message != messageId) continue;
        try {
            StartRequest(launcher, static_cast<DWORD>(message.wParam), messageId);
        } catch (const std::exception&) {
            platform::Trace(L"forwarded start dropped: out of memory");
        }
    }
    return 0;
}

void DropSingleInstance(Launcher& launcher, const wchar_t* why) {
    platform::Trace(std::wstring(L"single instance mode off: ") + why);
    launcher.singleInstance = false;
    launcher.isPrimaryInstance = false;
}

// The first instance: the ready event, the registered message and the listener thread. Any of
// them missing makes this an ordinary launcher, and the block is given up so that later starts
// run as ordinary launchers too rather than wait for a listener that never comes.
void BecomeFirstInstance(Launcher& launcher, const ThreadMessageFunctions& functions, const std::wstring& name) {
    platform::UniqueHandle readyEvent(CreateEventW(nullptr, TRUE, FALSE, (name + kReadySuffix).c_str()));
    const UINT messageId = functions.RegisterWindowMessageW(name.c_str());
    if (!readyEvent || messageId == 0) return DropSingleInstance(launcher, L"no ready event or message id");
    launcher.argumentsTakenEvent = CreateEventW(nullptr, FALSE, FALSE, (name + kArgumentsTakenSuffix).c_str());
    StoreField(launcher, kMessageIdOffset, messageId);
    StoreField(launcher, kPrimaryProcessIdOffset, GetCurrentProcessId());
    launcher.Vm().readyEvent = readyEvent.release();
    launcher.listenerThread = CreateThread(nullptr, 0, ListenerThreadProc, &launcher, 0, nullptr);
    if (launcher.listenerThread == nullptr) {
        DropSingleInstance(launcher, L"no listener thread");
        return;
    }
    platform::Trace(L"single instance: first instance of " + name);
}

// Holds the forwarding lock for one later instance; going on without it only brings back
// the race that launchers without the lock have anyway.
class ForwardTurn {
public:
    explicit ForwardTurn(const std::wstring& name) : lock_(CreateMutexW(nullptr, FALSE, name.c_str())) {
        if (!lock_) return;
        DWORD wait = WaitForSingleObject(lock_.get(), kTurnWaitMs);
        owned_ = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;  // abandoned: its holder died
    }
    ~ForwardTurn() {
        if (owned_) ReleaseMutex(lock_.get());
    }
    ForwardTurn(const ForwardTurn&) = delete;
    ForwardTurn& operator=(const ForwardTurn&) = delete;

private:
    platform::UniqueHandle lock_;
    bool owned_ = false;
};

// A later instance: writes the arguments into the block and posts the request. True once
// posted, or when the first instance has ended meanwhile (WaitForPrimary then reports it).
bool ForwardArguments(Launcher& launcher, const ThreadMessageFunctions& functions, const std::wstring& name) {
    const size_t size = ForwardedArgumentsSize(launcher.arguments);
    if (size > kArgumentWriteLimit) {
        config::PrintErrorLine(config::FormatMessageId(config::kMsgForwardTooLong,
                                                       {static_cast<long long>(size), static_cast<long long>(kArgumentWriteLimit)}));
        return false;
    }
    // The reply may come before WaitForPrimary runs: the queue must be there to keep it.
    CreateMessageQueue(functions);
    ForwardTurn turn(name + kForwardLockSuffix);

    platform::UniqueHandle primary;
    DWORD error = ERROR_INVALID_THREAD_ID;
    const ULONGLONG deadline = GetTickCount64() + kListenerWaitMs;
    for (;;) {
        const DWORD listenerThreadId = LoadField(launcher, kListenerThreadIdOffset);
        const DWORD processId = LoadField(launcher, kPrimaryProcessIdOffset);
        const UINT messageId = LoadField(launcher, kMessageIdOffset);
        if (!primary && processId != 0) {
            primary.reset(OpenProcess(SYNCHRONIZE, FALSE, processId));
            if (!primary && GetLastError() == ERROR_INVALID_PARAMETER) return true;  // no such process
        }
        if (listenerThreadId != 0 && messageId != 0) {
            platform::UniqueHandle taken(OpenEventW(EVENT_MODIFY_STATE | SYNCHRONIZE, FALSE, (name + kArgumentsTakenSuffix).c_str()));
            if (taken) ResetEvent(taken.get());
            WriteForwardedArguments(Block(launcher) + kArgumentAreaOffset, launcher.arguments);
            if (functions.PostThreadMessageW(listenerThreadId, messageId, GetCurrentThreadId(), 0)) {
                platform::Trace(L"single instance: arguments forwarded to process " + std::to_wstring(processId));
                if (taken) {
                    HANDLE waits[] = {taken.get(), primary.get()};
                    WaitForMultipleObjects(primary ? 2 : 1, waits, FALSE, kTakenWaitMs);
                }
                return true;
            }
            error = GetLastError();
            // 1444: the listener has no queue yet, or has just ended with its process.
            if (error != ERROR_INVALID_THREAD_ID) break;
        }
        if (primary && WaitForSingleObject(primary.get(), 0) == WAIT_OBJECT_0) return true;
        if (GetTickCount64() >= deadline) break;
        Sleep(10);
    }
    config::PrintPlatformErrorText(L"PostThreadMessageW", error);
    return false;
}

// The reply, when it has arrived; other messages are dropped.
bool TakeReply(const ThreadMessageFunctions& functions, UINT messageId, uint32_t& reply) {
    MSG message;
    while (functions.PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == messageId) {
            reply = static_cast<uint32_t>(message.wParam);
            return true;
        }
    }
    return false;
}

}  // namespace

bool AcquireSingleInstance(Launcher& launcher) {
    if (!launcher.singleInstance) return true;  // not asked for, or a service
    std::wstring modulePath;
    if (!GetModulePath(modulePath)) return false;
    const ThreadMessageFunctions* functions = Functions();
    if (functions == nullptr) {
        DropSingleInstance(launcher, L"user32.dll unavailable");
        return true;
    }
    const std::wstring name = InstanceObjectName(modulePath);
    platform::UniqueHandle mapping(
        CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kInstanceBlockSize, name.c_str()));
    const bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
    if (!mapping) {
        DropSingleInstance(launcher, L"no shared block");
        return true;
    }
    void* view = MapViewOfFile(mapping.get(), FILE_MAP_WRITE, 0, 0, 0);
    if (view == nullptr) {
        DropSingleInstance(launcher, L"shared block not mapped");
        return true;
    }
    launcher.instanceMapping = mapping.release();
    launcher.instanceBlock = view;
    launcher.isPrimaryInstance = !existed;
    if (!existed) {
        BecomeFirstInstance(launcher, *functions, name);
        if (!launcher.singleInstance) ReleaseSingleInstance(launcher);
        return true;
    }
    return ForwardArguments(launcher, *functions, name);
}

uint32_t WaitForPrimary(Launcher& launcher) {
    const ThreadMessageFunctions* functions = Functions();
    if (functions == nullptr) return 0xFFFFFFFFu;
    const UINT messageId = LoadField(launcher, kMessageIdOffset);
    platform::UniqueHandle process(
        OpenProcess(PROCESS_QUERY_INFORMATION | SYNCHRONIZE, FALSE, LoadField(launcher, kPrimaryProcessIdOffset)));
    if (!process) return 0;  // already gone
    uint32_t reply = 0;
    for (;;) {
        if (TakeReply(*functions, messageId, reply)) return reply;
        HANDLE handle = process.get();
        // Wakes for a posted message or the end of the first instance; the time limit is a
        // safety net, not a poll.
        DWORD wait = functions->MsgWaitForMultipleObjects(1, &handle, FALSE, 1000, QS_ALLPOSTMESSAGE);
        if (wait == WAIT_FAILED) Sleep(100);
        DWORD exitCode = 0;
        if (!GetExitCodeProcess(handle, &exitCode)) return 0xFFFFFFFFu;
        // A process that ended with 259 (STILL_ACTIVE) is still known to have ended by its handle.
        if (exitCode != STILL_ACTIVE || wait == WAIT_OBJECT_0) {
            // A reply posted just before the end still counts.
            return TakeReply(*functions, messageId, reply) ? reply : exitCode;
        }
    }
}

void ReleaseSingleInstance(Launcher& launcher) {
    if (launcher.listenerThread != nullptr) {
        const ThreadMessageFunctions* functions = Functions();
        const DWORD listenerThreadId = GetThreadId(launcher.listenerThread);
        // A post fails until the listener has its queue, or while the queue is full: try again,
        // waiting on the thread in between instead of spinning.
        do {
            functions->PostThreadMessageW(listenerThreadId, WM_QUIT, 0, 0);
        } while (WaitForSingleObject(launcher.listenerThread, 50) == WAIT_TIMEOUT);
        CloseHandle(launcher.listenerThread);
        launcher.listenerThread = nullptr;
    }
    if (launcher.argumentsTakenEvent != nullptr) CloseHandle(launcher.argumentsTakenEvent);
    if (launcher.instanceBlock != nullptr) UnmapViewOfFile(launcher.instanceBlock);
    if (launcher.instanceMapping != nullptr) CloseHandle(launcher.instanceMapping);
    launcher.argumentsTakenEvent = launcher.instanceBlock = launcher.instanceMapping = nullptr;
}

}  // namespace kestran::launcher
