#include "launcher/java_stop.h"

#include "jvm/local_ref.h"
#include "jvm/main_class.h"
#include "launcher/attached_call.h"
#include "platform/trace.h"

namespace kestran::launcher {
namespace {

// False with nothing left pending when an exception was thrown, after the VM described it.
bool DescribeIfThrown(JNIEnv* env) {
    if (!env->ExceptionCheck()) return true;
    env->ExceptionDescribe();
    return false;
}

}  // namespace

// Holds every local reference, so that they are gone before the thread detaches.
bool CallStopOrExit(const Launcher& launcher, JNIEnv* env) {
    // The name goes through the VM's own encoder: a main class with a non-ASCII name must be
    // found here exactly as it was for main.
    jvm::LocalRef<jclass> mainClass(env, jvm::FindClassByName(env, launcher.mainClass));
    if (!mainClass) {
        DescribeIfThrown(env);
        return false;
    }
    jmethodID stop = env->GetStaticMethodID(mainClass.get(), "stop", "()V");
    if (stop != nullptr) {
        platform::Trace(L"stop request: calling " + launcher.mainClass + L".stop()");
        env->CallStaticVoidMethodA(mainClass.get(), stop, nullptr);
        return DescribeIfThrown(env);
    }
    // The NoSuchMethodError of the lookup is printed and cleared before System.exit runs.
    DescribeIfThrown(env);
    platform::Trace(L"stop request: no stop() in " + launcher.mainClass + L", calling System.exit(0)");
    return jvm::CallSystemExit(env, 0);
}

bool RequestJavaStop(Launcher& launcher) {
    return CallOnAttachedThread(launcher, [&launcher](JNIEnv* env) { return CallStopOrExit(launcher, env); });
}

bool RequestSystemExit(Launcher& launcher) {
    // As a daemon: should the exit not come, this thread must not keep the VM's teardown waiting.
    return CallOnAttachedThread(
        launcher,
        [](JNIEnv* env) {
            platform::Trace(L"stop timeout: calling System.exit(0)");
            return jvm::CallSystemExit(env, 0);
        },
        CallingThread::Daemon);
}

}  // namespace kestran::launcher
