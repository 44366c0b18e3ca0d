#include "jvm/vm_session.h"

#include <exception>
#include <string>
#include <utility>

#include "platform/decimal_text.h"
#include "platform/trace.h"
#include "runtime/startup_cache_plan.h"

namespace kestran::jvm {

VmSession::Attachment::Attachment(Attachment&& other) noexcept
    : session_(other.session_),
      vm_(std::exchange(other.vm_, nullptr)),
      env_(std::exchange(other.env_, nullptr)),
      detach_(other.detach_) {}

VmSession::Attachment& VmSession::Attachment::operator=(Attachment&& other) noexcept {
    if (this != &other) {
        Release();
        session_ = other.session_;
        vm_ = std::exchange(other.vm_, nullptr);
        env_ = std::exchange(other.env_, nullptr);
        detach_ = other.detach_;
    }
    return *this;
}

VmSession::Attachment::~Attachment() { Release(); }

void VmSession::Attachment::Release() {
    // A VM is not destroyed under a non-daemon attachment: DestroyJavaVM waits for this thread.
    // A daemon attachment may outlive the VM, which then has nothing left to detach.
    if (vm_ != nullptr && env_ != nullptr && detach_ && session_ != nullptr && session_->Vm() == vm_) {
        vm_->DetachCurrentThread();
    }
    vm_ = nullptr;
    env_ = nullptr;
}

VmSession::~VmSession() {
    // Helpers left running past their bound must not find their counter gone; the shared state
    // outlives the session. Threads still joinable here were never joined: leave them.
    for (std::thread& helper : helpers_) {
        if (helper.joinable()) helper.detach();
    }
}

void VmSession::Publish(JavaVM* vm) {
    std::function<void()> hook;
    {
        std::lock_guard<std::mutex> guard(lock_);
        vm_ = vm;
        if (vm != nullptr) hook = publishedHook_;
    }
    if (hook) hook();
}

void VmSession::SetPublishedHook(std::function<void()> hook) {
    std::lock_guard<std::mutex> guard(lock_);
    publishedHook_ = std::move(hook);
}

JavaVM* VmSession::Vm() const {
    std::lock_guard<std::mutex> guard(lock_);
    return vm_;
}

bool VmSession::TearingDown() const {
    std::lock_guard<std::mutex> guard(lock_);
    return tearingDown_;
}

VmSession::Attachment VmSession::TryAttach(bool asDaemon) {
    Attachment attachment;
    // The attach runs under the lock, so Destroy either sees this thread attached (and waits for
    // it to detach) or this thread sees the teardown flag and stays away.
    std::lock_guard<std::mutex> guard(lock_);
    if (vm_ == nullptr || tearingDown_) return attachment;
    JNIEnv* env = nullptr;
    const jint attached = asDaemon ? vm_->AttachCurrentThreadAsDaemon(reinterpret_cast<void**>(&env), nullptr)
                                   : vm_->AttachCurrentThread(reinterpret_cast<void**>(&env), nullptr);
    if (attached != JNI_OK || env == nullptr) return attachment;
    attachment.session_ = this;
    attachment.vm_ = vm_;
    attachment.env_ = env;
    attachment.detach_ = !keepAttached_;
    return attachment;
}

VmSession::Attachment VmSession::AttachUntilDestroyed(bool asDaemon) {
    Attachment attachment;
    JavaVM* vm = nullptr;
    bool detach = true;
    {
        std::lock_guard<std::mutex> guard(lock_);
        vm = vm_;
        detach = !keepAttached_;
    }
    if (vm == nullptr) return attachment;
    JNIEnv* env = nullptr;
    // A VM destroyed since it was read answers with an error: the library is never unloaded.
    const jint attached = asDaemon ? vm->AttachCurrentThreadAsDaemon(reinterpret_cast<void**>(&env), nullptr)
                                   : vm->AttachCurrentThread(reinterpret_cast<void**>(&env), nullptr);
    if (attached != JNI_OK || env == nullptr) return attachment;
    attachment.session_ = this;
    attachment.vm_ = vm;
    attachment.env_ = env;
    attachment.detach_ = detach;
    return attachment;
}

bool VmSession::Destroy() {
    JavaVM* vm = nullptr;
    {
        std::lock_guard<std::mutex> guard(lock_);
        tearingDown_ = true;
        vm = vm_;
    }
    if (vm == nullptr) return false;
    const jint result = vm->DestroyJavaVM();
    if (platform::TraceEnabled()) platform::Trace(L"VM destroyed (" + platform::DecimalText(result) + L")");
    runtime::FinishStartupCache();
    std::lock_guard<std::mutex> guard(lock_);
    vm_ = nullptr;
    return true;
}

void VmSession::SetKeepAttached(bool keep) {
    std::lock_guard<std::mutex> guard(lock_);
    keepAttached_ = keep;
}

bool VmSession::KeepAttached() const {
    std::lock_guard<std::mutex> guard(lock_);
    return keepAttached_;
}

bool VmSession::StartHelper(std::function<void()> body) {
    std::lock_guard<std::mutex> guard(lock_);
    if (helpersClosed_) return false;
    std::shared_ptr<HelperState> state = helperState_;
    {
        std::lock_guard<std::mutex> count(state->lock);
        ++state->running;
    }
    try {
        helpers_.emplace_back([state, body = std::move(body)]() {
            try {
                body();
            } catch (...) {
                // Nothing of a helper's work may end the process unannounced.
                platform::Trace(L"helper thread failed unexpectedly");
            }
            std::lock_guard<std::mutex> count(state->lock);
            --state->running;
            state->ended.notify_all();
        });
    } catch (...) {
        std::lock_guard<std::mutex> count(state->lock);
        --state->running;
        return false;
    }
    return true;
}

bool VmSession::JoinHelpers(std::chrono::milliseconds bound) {
    std::vector<std::thread> helpers;
    {
        std::lock_guard<std::mutex> guard(lock_);
        helpersClosed_ = true;
        helpers.swap(helpers_);
    }
    bool allEnded = false;
    {
        std::unique_lock<std::mutex> count(helperState_->lock);
        allEnded = helperState_->ended.wait_for(count, bound, [this] { return helperState_->running == 0; });
    }
    for (std::thread& helper : helpers) {
        if (allEnded) {
            helper.join();
        } else {
            helper.detach();
        }
    }
    if (!allEnded) platform::Trace(L"helper threads still running after their bound; left to the end of the process");
    return allEnded;
}

}  // namespace kestran::jvm
