#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <vector>

#include "config/messages.h"
#include "jvm/vm_host.h"
#include "launcher/launch_steps.h"
#include "launcher/single_instance.h"
#include "launcher/single_instance_win.h"
#include "platform/decimal_text.h"
#include "platform/handles_win.h"
#include "platform/system_library_win.h"
#include "platform/thread_language.h"
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
constexpr wchar_t kForwardLockSuffix[] = L"_fwd_lock";
constexpr wchar_t kArgumentsTakenSuffix[] = L"_fwd_ack";

// How long a later instance keeps trying to reach a first instance that is alive but not yet
// listening, and how long it waits for its turn or for its arguments to be taken.
constexpr ULONGLONG kListenerWaitMs = 10000;
constexpr DWORD kTurnWaitMs = 30000;
constexpr DWORD kTakenWaitMs = 10000;
// How often a later start tries to become the first instance when the one it found ends
// without replying, and how long the teardown waits for the request threads.
constexpr int kRoleAttempts = 5;
constexpr DWORD kRetryPauseMs = 50;
constexpr auto kRequestJoinTime = std::chrono::seconds(5);

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

}  // namespace

// What the request threads share with the teardown. They own it together with the Launcher, so
// a thread that outlives the teardown's wait still finds its events; the Launcher itself a
// thread uses only between Enter and Leave, which the teardown waits for.
struct ForwardedRequests {
    platform::UniqueHandle ready;  // a duplicate of the Launcher's ready event
    platform::UniqueHandle stop;   // manual reset: the teardown has begun
    std::mutex lock;
    std::condition_variable changed;
    int running = 0;
    bool closing = false;

    bool Enter() {
        std::lock_guard<std::mutex> guard(lock);
        return !closing;
    }
    void Ended() {
        std::lock_guard<std::mutex> guard(lock);
        --running;
        changed.notify_all();
    }
};

namespace {

struct ForwardedRequest {
    Launcher* launcher;
    std::shared_ptr<ForwardedRequests> shared;
    DWORD senderThreadId;
    UINT messageId;
    WideList arguments;
};

DWORD WINAPI RequestThreadProc(LPVOID parameter) {
    std::unique_ptr<ForwardedRequest> request(static_cast<ForwardedRequest*>(parameter));
    std::shared_ptr<ForwardedRequests> shared = request->shared;
    platform::UseSystemLanguage();
    try {
        // Orders the request after the start of main, and so after the VM handle is published;
        // the teardown's stop ends the wait of a main that never started.
        HANDLE waits[] = {shared->ready.get(), shared->stop.get()};
        if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) == WAIT_OBJECT_0 && shared->Enter()) {
            const ThreadMessageFunctions* functions = Functions();
            const DWORD sender = request->senderThreadId;
            const UINT messageId = request->messageId;
            HandleForwardedRequest(*request->launcher, request->arguments,
                                   [&](uint32_t value) { functions->PostThreadMessageW(sender, messageId, value, 0); });
        }
    } catch (const std::exception&) {
        platform::Trace(L"forwarded start failed unexpectedly");
    }
    request.reset();
    shared->Ended();
    return 0;
}

// Copies the arguments out of the block at once, so that the next later instance may write
// while this request still waits for main to start.
void StartRequest(Launcher& launcher, DWORD senderThreadId, UINT messageId) {
    auto request = std::make_unique<ForwardedRequest>(
        ForwardedRequest{&launcher, launcher.forwardedRequests, senderThreadId, messageId, {}});
    std::vector<uint8_t> area(Block(launcher) + kArgumentAreaOffset, Block(launcher) + kInstanceBlockSize);
    ReadForwardedArguments(area.data(), area.size(), request->arguments);
    if (launcher.argumentsTakenEvent != nullptr) SetEvent(launcher.argumentsTakenEvent);
    ForwardedRequests& shared = *request->shared;
    {
        std::lock_guard<std::mutex> guard(shared.lock);
        ++shared.running;
    }
    HANDLE thread = CreateThread(nullptr, 0, RequestThreadProc, request.get(), 0, nullptr);
    if (thread == nullptr) {
        shared.Ended();
        return;  // no reply: the later instance waits for this process to end, then runs itself
    }
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

// A named object of ours: created with the identity's security, or the existing one when this
// user owns it. Null for an object of anybody else, which is then left alone.
HANDLE TrustedOrNull(HANDLE object, const InstanceIdentity& identity, const std::wstring& name) {
    if (object == nullptr || GetLastError() != ERROR_ALREADY_EXISTS || OwnedByUser(object, identity)) return object;
    platform::Trace(L"single instance: " + name + L" belongs to another owner; not used");
    CloseHandle(object);
    return nullptr;
}

// The first instance: the ready event, the registered message and the listener thread. Any of
// them missing makes this an ordinary launcher, and the block is given up so that later starts
// run as ordinary launchers too rather than wait for a listener that never comes.
void BecomeFirstInstance(Launcher& launcher, const ThreadMessageFunctions& functions, const InstanceIdentity& identity) {
    // Unnamed: nobody but this process signals it, or finds it signalled by another one.
    platform::UniqueHandle readyEvent(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    const UINT messageId = functions.RegisterWindowMessageW(identity.name.c_str());
    auto shared = std::make_shared<ForwardedRequests>();
    HANDLE duplicate = nullptr;
    if (readyEvent) {
        DuplicateHandle(GetCurrentProcess(), readyEvent.get(), GetCurrentProcess(), &duplicate, 0, FALSE,
                        DUPLICATE_SAME_ACCESS);
    }
    shared->ready.reset(duplicate);
    shared->stop.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!shared->ready || !shared->stop || messageId == 0) return DropSingleInstance(launcher, L"no ready event or message id");
    const std::wstring takenName = identity.name + kArgumentsTakenSuffix;
    launcher.argumentsTakenEvent =
        TrustedOrNull(CreateEventW(&identity.attributes, FALSE, FALSE, takenName.c_str()), identity, takenName);
    StoreField(launcher, kMessageIdOffset, messageId);
    StoreField(launcher, kPrimaryProcessIdOffset, GetCurrentProcessId());
    launcher.Vm().readyEvent = readyEvent.release();
    launcher.forwardedRequests = std::move(shared);
    launcher.listenerThread = CreateThread(nullptr, 0, ListenerThreadProc, &launcher, 0, nullptr);
    if (launcher.listenerThread == nullptr) {
        DropSingleInstance(launcher, L"no listener thread");
        return;
    }
    platform::Trace(L"single instance: first instance of " + identity.name);
}

// Holds the forwarding lock for one later instance; going on without it only brings back
// the race that launchers without the lock have anyway.
class ForwardTurn {
public:
    ForwardTurn(const InstanceIdentity& identity, const std::wstring& name)
        : lock_(TrustedOrNull(CreateMutexW(&identity.attributes, FALSE, name.c_str()), identity, name)) {
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

enum class Attempt {
    kFirst,     // this process is the first instance now
    kOrdinary,  // the mode is off: run as an ordinary launcher
    kFailed,    // the arguments cannot be forwarded: exit -1
    kReplied,   // the first instance replied
    kGone,      // the first instance ended, or is ending, without replying: try again
};

// What a later instance needs, once its arguments are handed over, to wait for the reply.
struct HandOver {
    platform::UniqueHandle primary;
    UINT messageId = 0;
};

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

// After the post: the reply, or the end of the first instance without one.
Attempt AwaitReply(const ThreadMessageFunctions& functions, HANDLE primary, UINT messageId, uint32_t& reply) {
    for (;;) {
        if (TakeReply(functions, messageId, reply)) return Attempt::kReplied;
        // Wakes for a posted message or the end of the first instance; the time limit is a
        // safety net, not a poll.
        DWORD wait = functions.MsgWaitForMultipleObjects(1, &primary, FALSE, 1000, QS_ALLPOSTMESSAGE);
        if (wait == WAIT_FAILED) Sleep(100);
        DWORD exitCode = 0;
        if (!GetExitCodeProcess(primary, &exitCode)) {
            reply = 0xFFFFFFFFu;
            return Attempt::kReplied;
        }
        // A process that ended with 259 (STILL_ACTIVE) is still known to have ended by its handle.
        if (exitCode != STILL_ACTIVE || wait == WAIT_OBJECT_0) {
            // A reply posted just before the end still counts.
            if (TakeReply(functions, messageId, reply)) return Attempt::kReplied;
            platform::Trace(L"single instance: the first instance ended (" + platform::DecimalText(exitCode) +
                            L") without replying");
            return Attempt::kGone;
        }
    }
}

// Writes the arguments into the block and posts the request, during this start's turn. The
// turn ends with this function, once the first instance has taken the arguments (or ended):
// the next start may then write, whatever secondaryMain does with these and however long.
// True once handed over; false with the outcome otherwise.
bool HandOverArguments(Launcher& launcher, const ThreadMessageFunctions& functions, const InstanceIdentity& identity,
                       HandOver& handOver, Attempt& outcome) {
    ForwardTurn turn(identity, identity.name + kForwardLockSuffix);

    platform::UniqueHandle primary;
    DWORD error = ERROR_INVALID_THREAD_ID;
    const ULONGLONG deadline = GetTickCount64() + kListenerWaitMs;
    for (;;) {
        const DWORD listenerThreadId = LoadField(launcher, kListenerThreadIdOffset);
        const DWORD processId = LoadField(launcher, kPrimaryProcessIdOffset);
        const UINT messageId = LoadField(launcher, kMessageIdOffset);
        if (messageId == kClosedBlockMark) {
            outcome = Attempt::kGone;
            return false;
        }
        if (!primary && processId != 0) {
            primary.reset(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, processId));
            if (!primary && GetLastError() == ERROR_INVALID_PARAMETER) {  // no such process
                outcome = Attempt::kGone;
                return false;
            }
        }
        if (primary && listenerThreadId != 0 && messageId != 0) {
            const std::wstring takenName = identity.name + kArgumentsTakenSuffix;
            platform::UniqueHandle taken(OpenEventW(EVENT_MODIFY_STATE | SYNCHRONIZE | READ_CONTROL, FALSE, takenName.c_str()));
            if (taken && !OwnedByUser(taken.get(), identity)) taken.reset();
            if (taken) ResetEvent(taken.get());
            WriteForwardedArguments(Block(launcher) + kArgumentAreaOffset, launcher.arguments);
            if (functions.PostThreadMessageW(listenerThreadId, messageId, GetCurrentThreadId(), 0)) {
                platform::Trace(L"single instance: arguments forwarded to process " + platform::DecimalText(processId));
                if (taken) {
                    HANDLE waits[] = {taken.get(), primary.get()};
                    WaitForMultipleObjects(2, waits, FALSE, kTakenWaitMs);
                }
                handOver.primary = std::move(primary);
                handOver.messageId = messageId;
                return true;
            }
            error = GetLastError();
            // 1444: the listener has no queue yet, or has just ended with its process.
            if (error != ERROR_INVALID_THREAD_ID) break;
        }
        if (primary && WaitForSingleObject(primary.get(), 0) == WAIT_OBJECT_0) {
            outcome = Attempt::kGone;
            return false;
        }
        if (GetTickCount64() >= deadline) break;
        Sleep(10);
    }
    config::PrintPlatformErrorText(L"PostThreadMessageW", error);
    outcome = Attempt::kFailed;
    return false;
}

// A later instance: hands the arguments over, then waits for the reply outside its turn. The
// block is let go as soon as the request is taken, so that a later instance never keeps the
// name alive once the first instance is gone.
Attempt ForwardArguments(Launcher& launcher, const ThreadMessageFunctions& functions, const InstanceIdentity& identity,
                         uint32_t& reply) {
    const size_t size = ForwardedArgumentsSize(launcher.arguments);
    if (size > kArgumentWriteLimit) {
        config::PrintErrorLine(config::FormatMessageId(config::kMsgForwardTooLong,
                                                       {static_cast<long long>(size), static_cast<long long>(kArgumentWriteLimit)}));
        return Attempt::kFailed;
    }
    // The reply may come before the wait begins: the queue must be there to keep it.
    CreateMessageQueue(functions);
    HandOver handOver;
    Attempt outcome = Attempt::kFailed;
    if (!HandOverArguments(launcher, functions, identity, handOver, outcome)) return outcome;
    ReleaseSingleInstance(launcher);
    return AwaitReply(functions, handOver.primary.get(), handOver.messageId, reply);
}

// One try at a role: the block under our name, created (first instance) or found (later).
Attempt SettleRole(Launcher& launcher, const ThreadMessageFunctions& functions, const InstanceIdentity& identity,
                   uint32_t& reply) {
    platform::UniqueHandle mapping(CreateFileMappingW(INVALID_HANDLE_VALUE, &identity.attributes, PAGE_READWRITE, 0,
                                                      kInstanceBlockSize, identity.name.c_str()));
    const DWORD error = GetLastError();
    if (!mapping) {
        // Access denied: another user's object holds the name.
        platform::Trace(L"single instance: no shared block (error " + platform::DecimalText(error) + L")");
        return Attempt::kOrdinary;
    }
    const bool existed = error == ERROR_ALREADY_EXISTS;
    if (existed && !OwnedByUser(mapping.get(), identity)) {
        platform::Trace(L"single instance: " + identity.name + L" belongs to another owner; not trusted");
        return Attempt::kOrdinary;
    }
    void* view = MapViewOfFile(mapping.get(), FILE_MAP_WRITE, 0, 0, 0);
    if (view == nullptr) return Attempt::kOrdinary;
    launcher.instanceMapping = mapping.release();
    launcher.instanceBlock = view;
    if (!existed) {
        launcher.isPrimaryInstance = true;
        BecomeFirstInstance(launcher, functions, identity);
        if (launcher.singleInstance) return Attempt::kFirst;
        StoreField(launcher, kMessageIdOffset, kClosedBlockMark);  // a later start must not wait for a listener
        ReleaseSingleInstance(launcher);
        return Attempt::kOrdinary;
    }
    Attempt attempt = ForwardArguments(launcher, functions, identity, reply);
    ReleaseSingleInstance(launcher);
    return attempt;
}

// The request threads: those waiting for a main that never started are stopped, the others
// are given a bounded time to finish. A thread still running after it uses nothing of the
// Launcher any more (Enter fails once closing is set).
void JoinRequests(Launcher& launcher) {
    std::shared_ptr<ForwardedRequests> shared = std::move(launcher.forwardedRequests);
    if (!shared) return;
    SetEvent(shared->stop.get());
    std::unique_lock<std::mutex> guard(shared->lock);
    shared->closing = true;
    if (!shared->changed.wait_for(guard, kRequestJoinTime, [&] { return shared->running == 0; })) {
        platform::Trace(L"single instance: " + platform::DecimalText(shared->running) + L" forwarded starts still running");
    }
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
    InstanceIdentity identity;
    if (!MakeInstanceIdentity(modulePath, identity)) {
        DropSingleInstance(launcher, L"no identity for the objects");
        return true;
    }
    for (int attempt = 1; attempt <= kRoleAttempts; ++attempt) {
        uint32_t reply = 0;
        switch (SettleRole(launcher, *functions, identity, reply)) {
            case Attempt::kFirst: return true;
            case Attempt::kOrdinary:
                DropSingleInstance(launcher, L"running as an ordinary launcher");
                return true;
            case Attempt::kFailed: return false;
            case Attempt::kReplied:
                launcher.isPrimaryInstance = false;
                launcher.forwardedReply = reply;
                return true;
            case Attempt::kGone:
                // The first instance is ending or gone: this start runs the application,
                // as soon as the name is free (the ending one may still hold it a moment).
                platform::Trace(L"single instance: trying again to become the first instance");
                Sleep(kRetryPauseMs * attempt);
                break;
        }
    }
    DropSingleInstance(launcher, L"no first instance settled");
    return true;
}

uint32_t WaitForPrimary(Launcher& launcher) { return launcher.forwardedReply; }

void ReleaseSingleInstance(Launcher& launcher) {
    // The first instance gives its role up before anything else: from here on a later start
    // becomes the first instance itself instead of forwarding to a process that is ending.
    if (launcher.instanceBlock != nullptr && launcher.isPrimaryInstance) {
        StoreField(launcher, kMessageIdOffset, kClosedBlockMark);
        StoreField(launcher, kPrimaryProcessIdOffset, 0);
        StoreField(launcher, kListenerThreadIdOffset, 0);
    }
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
    // The listener, which read the block, has ended.
    if (launcher.argumentsTakenEvent != nullptr) CloseHandle(launcher.argumentsTakenEvent);
    if (launcher.instanceBlock != nullptr) UnmapViewOfFile(launcher.instanceBlock);
    if (launcher.instanceMapping != nullptr) CloseHandle(launcher.instanceMapping);
    launcher.argumentsTakenEvent = launcher.instanceBlock = launcher.instanceMapping = nullptr;
    JoinRequests(launcher);
}

}  // namespace kestran::launcher
