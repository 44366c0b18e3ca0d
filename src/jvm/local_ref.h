// Owner of one JNI local reference: DeleteLocalRef when it goes out of scope. A local
// reference belongs to the thread (and JNIEnv) that made it; an owner must be destroyed
// before that thread detaches from the VM, or DeleteLocalRef runs on a dead JNIEnv.
#pragma once

#include <jni.h>

#include <utility>

namespace kestran::jvm {

template <typename T>
class LocalRef {
public:
    LocalRef() = default;
    LocalRef(JNIEnv* env, T ref) : env_(env), ref_(ref) {}
    ~LocalRef() { reset(); }
    LocalRef(LocalRef&& other) noexcept : env_(other.env_), ref_(other.release()) {}
    LocalRef& operator=(LocalRef&& other) noexcept {
        if (this != &other) {
            reset();
            env_ = other.env_;
            ref_ = other.release();
        }
        return *this;
    }
    LocalRef(const LocalRef&) = delete;
    LocalRef& operator=(const LocalRef&) = delete;

    T get() const { return ref_; }
    explicit operator bool() const { return ref_ != nullptr; }
    // Hands the reference to the caller, who must delete it or return it to Java.
    [[nodiscard]] T release() { return std::exchange(ref_, nullptr); }
    // DeleteLocalRef is one of the few calls that is safe while an exception is pending.
    void reset(T ref = nullptr) {
        if (ref_ != nullptr && env_ != nullptr) env_->DeleteLocalRef(ref_);
        ref_ = ref;
    }

private:
    JNIEnv* env_ = nullptr;
    T ref_ = nullptr;
};

}  // namespace kestran::jvm
