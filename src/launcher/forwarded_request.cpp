// The Java side of a forwarded start: secondaryMain on a thread attached for the call.
#include <jni.h>

#include "jvm/local_ref.h"
#include "jvm/main_class.h"
#include "launcher/attached_call.h"
#include "launcher/single_instance.h"
#include "platform/decimal_text.h"
#include "platform/trace.h"

namespace kestran::launcher {
namespace {

using jvm::LocalRef;

constexpr char kVoidForm[] = "([Ljava/lang/String;)V";
constexpr char kIntForm[] = "([Ljava/lang/String;)I";

// Everything that holds local references, so that they are gone before the thread detaches.
bool CallSecondaryMain(JNIEnv* env, const Launcher& launcher, const WideList& arguments, const ForwardReply& reply) {
    LocalRef<jclass> mainClass(env, jvm::FindClassByName(env, launcher.mainClass));
    if (!mainClass) {
        // Said here: with an IBM runtime the thread stays attached and nobody else would.
        if (env->ExceptionCheck()) env->ExceptionDescribe();
        return false;
    }
    jmethodID method = env->GetStaticMethodID(mainClass.get(), "secondaryMain", kVoidForm);
    const bool voidForm = method != nullptr;
    if (!voidForm) {
        if (env->ExceptionCheck()) env->ExceptionClear();  // NoSuchMethodError: try the int form
        method = env->GetStaticMethodID(mainClass.get(), "secondaryMain", kIntForm);
        if (method == nullptr) {
            if (env->ExceptionCheck()) env->ExceptionDescribe();
            return false;
        }
    }
    LocalRef<jobjectArray> array(env, jvm::NewJavaStringArray(env, arguments));
    if (!array) {
        if (env->ExceptionCheck()) env->ExceptionDescribe();
        return false;
    }
    if (platform::TraceEnabled()) {
        platform::Trace(L"calling secondaryMain (" + std::wstring(voidForm ? L"void" : L"int") + L" form) with " +
                        platform::DecimalText(arguments.size()) + L" arguments");
    }
    if (voidForm) {
        // The later instance need not wait for the call: it has nothing to learn from it.
        reply(0);
        env->CallStaticVoidMethod(mainClass.get(), method, array.get());
    } else {
        jint value = env->CallStaticIntMethod(mainClass.get(), method, array.get());
        // A call that threw returned nothing: the later start fails, as a program would
        // whose main threw.
        reply(env->ExceptionCheck() ? 1u : static_cast<uint32_t>(value));
    }
    if (!env->ExceptionCheck()) return true;
    // Left pending, the detach reports it as this thread's uncaught exception (on System.err,
    // naming the thread), as it does for the Java thread; a thread that stays attached must
    // say it itself.
    if (launcher.Vm().vmSession.KeepAttached()) env->ExceptionDescribe();
    return false;
}

}  // namespace

bool HandleForwardedRequest(Launcher& launcher, const WideList& arguments, const ForwardReply& reply) {
    // The VM handle is published before the ready event and only read after it.
    return CallOnAttachedThread(launcher, [&](JNIEnv* env) { return CallSecondaryMain(env, launcher, arguments, reply); });
}

}  // namespace kestran::launcher
