// The one owner of the Java VM's lifetime in this process: who may use it, from when, until when.
//
// The Java thread publishes the VM once it is created. The launcher's calls into the program (a
// service stop, the stop timeout's System.exit, a forwarded start) must also reach a program
// whose main returned while DestroyJavaVM waits for its threads: they attach through
// AttachUntilDestroyed, on threads nobody waits for without a bound, since JNI does not promise
// that a thread attaching to an ending VM ever returns. TryAttach succeeds only between the
// publication and the start of the teardown. An Attachment detaches when it goes out of scope, also when
// an exception leaves the call, because a thread that stays attached is a live non-daemon
// thread that DestroyJavaVM would wait for without end. Helper threads started here are joined
// with a bound, so no teardown waits on them for good.
#pragma once

#include <jni.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace kestran::jvm {

class VmSession {
public:
    VmSession() = default;
    ~VmSession();
    VmSession(const VmSession&) = delete;
    VmSession& operator=(const VmSession&) = delete;

    // The calling thread's attachment to the VM. Empty when the attach was refused.
    class Attachment {
    public:
        Attachment() = default;
        Attachment(Attachment&& other) noexcept;
        Attachment& operator=(Attachment&& other) noexcept;
        Attachment(const Attachment&) = delete;
        Attachment& operator=(const Attachment&) = delete;
        ~Attachment();

        JNIEnv* env() const { return env_; }
        explicit operator bool() const { return env_ != nullptr; }

    private:
        friend class VmSession;
        void Release();
        VmSession* session_ = nullptr;
        JavaVM* vm_ = nullptr;
        JNIEnv* env_ = nullptr;
        bool detach_ = true;
    };

    // Makes the VM created on the calling thread available to the others, then runs the hook
    // set for it (on the creating thread, before main is called).
    void Publish(JavaVM* vm);
    void SetPublishedHook(std::function<void()> hook);
    // The VM from its publication until Destroy has finished, else null. For the creating thread
    // and the teardown; other threads go through TryAttach.
    JavaVM* Vm() const;
    bool Published() const { return Vm() != nullptr; }
    // True from the moment Destroy was called.
    bool TearingDown() const;

    // Attaches the calling thread while a VM is published and its teardown has not begun. A
    // daemon attachment does not keep DestroyJavaVM waiting; one that outlives the VM does not
    // detach from it. Not for the launcher's calls into the program (a stop, System.exit, a
    // forwarded start): those must reach a VM in teardown too, and use AttachUntilDestroyed.
    Attachment TryAttach(bool asDaemon = false);
    // Attaches the calling thread also while DestroyJavaVM still waits for the program's threads
    // (a stop or a forwarded start may come then), until it has returned. The attach runs outside
    // the lock: in a VM past its point of no return it may never return, so only a thread that
    // nobody waits for without a bound may use this.
    Attachment AttachUntilDestroyed(bool asDaemon = false);

    // Flags the teardown (every later TryAttach fails), then DestroyJavaVM, which returns once the
    // program's last non-daemon thread has ended. False when there was no VM to destroy.
    bool Destroy();

    // The runtime keeps threads that ran Java code attached (an IBM runtime): attachments then do
    // not detach.
    void SetKeepAttached(bool keep);
    bool KeepAttached() const;

    // Runs `body` on a thread of its own, behind an exception barrier. False when the thread
    // could not be started or the helpers were already joined.
    bool StartHelper(std::function<void()> body);
    // Refuses new helpers and waits for the running ones for at most `bound`; those still running
    // then are left to the end of the process. True when every helper had ended.
    bool JoinHelpers(std::chrono::milliseconds bound);

private:
    struct HelperState {
        std::mutex lock;
        std::condition_variable ended;
        int running = 0;
    };

    mutable std::mutex lock_;
    JavaVM* vm_ = nullptr;
    std::function<void()> publishedHook_;
    bool tearingDown_ = false;
    bool keepAttached_ = false;
    bool helpersClosed_ = false;
    std::vector<std::thread> helpers_;
    std::shared_ptr<HelperState> helperState_ = std::make_shared<HelperState>();
};

}  // namespace kestran::jvm
