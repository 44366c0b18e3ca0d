#include "ui/exception_text.h"

#include "jvm/local_ref.h"
#include "jvm/output_redirection.h"
#include "platform/text_encoding.h"

namespace kestran::ui {
namespace {

using jvm::LocalRef;

// Describes and clears whatever a call left pending; true when something was.
bool DescribePending(JNIEnv* env) {
    if (!env->ExceptionCheck()) return false;
    env->ExceptionDescribe();
    return true;
}

std::wstring RenderStackTrace(JNIEnv* env, jthrowable throwable) {
    LocalRef<jclass> bytesClass(env, env->FindClass("java/io/ByteArrayOutputStream"));
    if (!bytesClass) return {};
    jmethodID bytesConstructor = env->GetMethodID(bytesClass.get(), "<init>", "()V");
    if (bytesConstructor == nullptr) return {};
    LocalRef<jobject> bytes(env, env->NewObject(bytesClass.get(), bytesConstructor));
    if (!bytes || env->ExceptionCheck()) return {};
    LocalRef<jobject> printStream(env, jvm::NewPrintStream(env, bytes.get()));
    if (!printStream) return {};

    LocalRef<jclass> throwableClass(env, env->GetObjectClass(throwable));
    if (!throwableClass) return {};
    jmethodID printStackTrace = env->GetMethodID(throwableClass.get(), "printStackTrace", "(Ljava/io/PrintStream;)V");
    if (printStackTrace == nullptr) return {};
    env->CallVoidMethod(throwable, printStackTrace, printStream.get());
    DescribePending(env);

    jmethodID toString = env->GetMethodID(bytesClass.get(), "toString", "()Ljava/lang/String;");
    if (toString == nullptr) return {};
    LocalRef<jstring> text(env, static_cast<jstring>(env->CallObjectMethod(bytes.get(), toString)));
    if (DescribePending(env) || !text) return {};

    // The UTF-16 units themselves: no modified-UTF-8 round trip for text outside the BMP.
    const jsize length = env->GetStringLength(text.get());
    const jchar* units = env->GetStringChars(text.get(), nullptr);
    if (units == nullptr) {
        DescribePending(env);
        return {};
    }
    std::u16string utf16(units, units + length);
    env->ReleaseStringChars(text.get(), units);
    return platform::Utf16ToWide(utf16);
}

}  // namespace

std::wstring DescribeThrowable(JNIEnv* env, jthrowable throwable) {
    if (env == nullptr || throwable == nullptr) return {};
    // JNI allows almost no call while an exception is pending (HotSpot's -Xcheck:jni reports
    // each one), so the uncaught exception is set aside and thrown again afterwards: the
    // thread's detach still describes it as the uncaught exception of main.
    LocalRef<jthrowable> pending(env, env->ExceptionOccurred());
    if (pending) env->ExceptionClear();
    std::wstring text = RenderStackTrace(env, throwable);
    if (pending) {
        env->ExceptionClear();
        env->Throw(pending.get());
    }
    return text;
}

}  // namespace kestran::ui
