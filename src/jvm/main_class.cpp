#include "jvm/main_class.h"

#include <algorithm>
#include <cstdint>

#include "config/messages.h"
#include "jvm/java_thread.h"
#include "jvm/java_thread_platform.h"
#include "jvm/local_ref.h"
#include "platform/decimal_text.h"
#include "platform/error_report.h"
#include "platform/text_encoding.h"
#include "platform/trace.h"
#include "ui/exception_dialog.h"
#include "ui/exception_text.h"

namespace kestran::jvm {
namespace {

constexpr char kStringClass[] = "java/lang/String";
constexpr char kLauncherHelperClass[] = "sun/launcher/LauncherHelper";
constexpr char kCheckAndLoadMainSignature[] = "(ZILjava/lang/String;)Ljava/lang/Class;";
constexpr jint kLoadByClassName = 1;  // LauncherHelper's LM_CLASS

void Trace(const std::wstring& line) {
    if (platform::TraceEnabled()) platform::Trace(line);
}

// The first line of a multi-line text, for a one-line trace entry.
std::wstring FirstLine(const std::wstring& text) {
    size_t end = text.find_first_of(L"\r\n");
    return end == std::wstring::npos ? text : text.substr(0, end);
}

// The JDK's own launcher finds the main class through LauncherHelper.checkAndLoadMain, which
// loads it with the application class loader and checks its main method the way `java` does.
// Null whenever that road is closed; nothing is left pending then.
jclass LoadThroughLauncherHelper(const config::LaunchSettings& launch, const VmHost& host, JNIEnv* env) {
    FindClassFromBootLoaderFn findFromBootLoader = host.vmEntryPoints.findClassFromBootLoader;
    if (findFromBootLoader == nullptr) return nullptr;
    LocalRef<jclass> helper(env, findFromBootLoader(env, kLauncherHelperClass));
    // A runtime without the class reports null; anything it left pending would break FindClass.
    if (env->ExceptionCheck()) env->ExceptionClear();
    if (!helper) return nullptr;
    jmethodID checkAndLoadMain = env->GetStaticMethodID(helper.get(), "checkAndLoadMain", kCheckAndLoadMainSignature);
    if (checkAndLoadMain == nullptr) {
        env->ExceptionClear();  // NoSuchMethodError from an older runtime's helper
        return nullptr;
    }
    std::wstring dotted = launch.mainClass;
    std::replace(dotted.begin(), dotted.end(), L'/', L'.');
    LocalRef<jstring> name(env, NewJavaString(env, dotted));
    if (!name) {
        env->ExceptionClear();
        return nullptr;
    }
    // checkAndLoadMain reports a missing class or main method itself and calls System.exit(1).
    jobject mainClass = env->CallStaticObjectMethod(helper.get(), checkAndLoadMain, JNI_TRUE, kLoadByClassName, name.get());
    if (env->ExceptionCheck()) {
        env->ExceptionDescribe();
        return nullptr;
    }
    return static_cast<jclass>(mainClass);
}

// Prints its own error lines; null on failure with no exception left pending.
jclass LoadThroughFindClass(const config::LaunchSettings& launch, JNIEnv* env) {
    jclass mainClass = FindClassByName(env, launch.mainClass);
    if (mainClass == nullptr) {
        if (env->ExceptionCheck()) env->ExceptionDescribe();
        config::PrintErrorLine(config::FormatMessageId(config::kMsgMainClassNotFound, {launch.mainClass}));
    }
    return mainClass;
}

enum class MainOutcome { kNotRun, kReturned, kThrew };

// Shows the exception to the user, who decides whether the application goes on. The
// exception stays pending unless the application is stopped.
void AskAboutUncaughtException(const config::LaunchSettings& launch, JNIEnv* env, const std::wstring& text) {
    // A service has nobody to ask, whatever its window station says.
    ui::ExceptionChoice choice = launch.serviceMode ? ui::ExceptionChoice::kCannotShow : ui::ShowExceptionDialog(text);
    if (choice == ui::ExceptionChoice::kCannotShow) {
        // The exception stays pending, so the detach has the VM describe it on standard error
        // (through the program's own uncaught-exception handler); written here as well, the
        // stack trace would appear twice. Only where nobody reads standard error (the event
        // log of a service) does the text go on from here.
        platform::ReportUnseenText(text);
        return;
    }
    if (choice == ui::ExceptionChoice::kIgnore) {
        Trace(L"exception dialog: ignore");
        return;
    }
    Trace(L"exception dialog: stop");
    env->ExceptionDescribe();  // still reported, as the detach would have
    CallSystemExit(env, 1);
}

// Everything that holds local references, so that they are all gone before the thread detaches.
MainOutcome InvokeMain(const config::LaunchSettings& launch, const runtime::JavaInvocation& invocation,
                       const VmHost& host, JNIEnv* env) {
    LocalRef<jclass> mainClass(env, LoadThroughLauncherHelper(launch, host, env));
    if (mainClass) {
        Trace(L"main class " + launch.mainClass + L" loaded through sun.launcher.LauncherHelper");
    } else {
        mainClass.reset(LoadThroughFindClass(launch, env));
        if (!mainClass) return MainOutcome::kNotRun;
        Trace(L"main class " + launch.mainClass + L" loaded through FindClass");
    }

    jmethodID mainMethod = env->GetStaticMethodID(mainClass.get(), "main", "([Ljava/lang/String;)V");
    if (mainMethod == nullptr) {
        if (env->ExceptionCheck()) {
            env->ExceptionDescribe();
        } else {
            config::PrintErrorLine(config::FormatMessageId(config::kMsgNoMainMethod));
        }
        return MainOutcome::kNotRun;
    }

    LocalRef<jobjectArray> arguments(env, NewJavaStringArray(env, invocation.arguments));
    if (!arguments) {
        env->ExceptionDescribe();
        return MainOutcome::kNotRun;
    }
    SignalReadyEvent(host.readyEvent);
    platform::ReportMainStarted();
    Trace(L"calling main with " + platform::DecimalText(invocation.arguments.size()) + L" arguments");
    env->CallStaticVoidMethod(mainClass.get(), mainMethod, arguments.get());

    LocalRef<jthrowable> uncaught(env, env->ExceptionOccurred());
    if (!uncaught) return MainOutcome::kReturned;
    if (launch.failureCheck) {
        std::wstring text = ui::DescribeThrowable(env, uncaught.get());
        Trace(L"main ended by an uncaught exception: " + FirstLine(text));
        AskAboutUncaughtException(launch, env, text);
    } else {
        Trace(L"main ended by an uncaught exception");
    }
    return MainOutcome::kThrew;
}

}  // namespace

bool CallSystemExit(JNIEnv* env, jint code) {
    LocalRef<jclass> system(env, env->FindClass("java/lang/System"));
    jmethodID exitMethod = system ? env->GetStaticMethodID(system.get(), "exit", "(I)V") : nullptr;
    if (exitMethod != nullptr) env->CallStaticVoidMethod(system.get(), exitMethod, code);
    if (env->ExceptionCheck()) {
        env->ExceptionDescribe();
        return false;
    }
    return exitMethod != nullptr;
}

jstring NewJavaString(JNIEnv* env, const std::wstring& text) {
    LocalRef<jclass> stringClass(env, env->FindClass(kStringClass));
    if (!stringClass) return nullptr;
    jmethodID fromChars = env->GetMethodID(stringClass.get(), "<init>", "([C)V");
    if (fromChars == nullptr) return nullptr;

    // Through a char[] and String(char[]) every UTF-16 unit arrives as it is: no modified
    // UTF-8, no code page, lone surrogates included.
    std::u16string units = platform::WideToUtf16(text);
    if (units.size() > static_cast<size_t>(INT32_MAX)) return nullptr;
    const jsize length = static_cast<jsize>(units.size());
    LocalRef<jcharArray> chars(env, env->NewCharArray(length));
    if (!chars) return nullptr;
    static_assert(sizeof(jchar) == sizeof(char16_t), "jchar is a UTF-16 code unit");
    if (length > 0) {
        std::vector<jchar> buffer(units.begin(), units.end());
        env->SetCharArrayRegion(chars.get(), 0, length, buffer.data());
    }
    if (env->ExceptionCheck()) return nullptr;
    return static_cast<jstring>(env->NewObject(stringClass.get(), fromChars, chars.get()));
}

jclass FindClassByName(JNIEnv* env, const std::wstring& name) {
    // The VM's own encoder makes the modified UTF-8 that FindClass wants: no code page involved.
    LocalRef<jstring> text(env, NewJavaString(env, name));
    if (!text) return nullptr;
    const char* modifiedUtf8 = env->GetStringUTFChars(text.get(), nullptr);
    if (modifiedUtf8 == nullptr) return nullptr;
    jclass found = env->FindClass(modifiedUtf8);
    env->ReleaseStringUTFChars(text.get(), modifiedUtf8);
    return found;
}

jobjectArray NewJavaStringArray(JNIEnv* env, const std::vector<std::wstring>& list) {
    if (list.size() > static_cast<size_t>(INT32_MAX)) return nullptr;
    LocalRef<jclass> stringClass(env, env->FindClass(kStringClass));
    if (!stringClass) return nullptr;
    LocalRef<jobjectArray> array(env, env->NewObjectArray(static_cast<jsize>(list.size()), stringClass.get(), nullptr));
    if (!array) return nullptr;
    for (size_t i = 0; i < list.size(); ++i) {
        LocalRef<jstring> element(env, NewJavaString(env, list[i]));
        if (!element) return nullptr;
        env->SetObjectArrayElement(array.get(), static_cast<jsize>(i), element.get());
        if (env->ExceptionCheck()) return nullptr;
    }
    return array.release();
}

bool RunMainClass(const config::LaunchSettings& launch, const runtime::JavaInvocation& invocation, VmHost& host,
                  bool* mainThrew) {
    if (mainThrew != nullptr) *mainThrew = false;
    JNIEnv* env = host.jniEnv;
    JavaVM* vm = host.vmSession.Vm();
    if (env == nullptr || vm == nullptr) return false;

    MainOutcome outcome = InvokeMain(launch, invocation, host, env);
    if (outcome == MainOutcome::kThrew && mainThrew != nullptr) *mainThrew = true;

    if (outcome != MainOutcome::kNotRun && host.vmSession.KeepAttached()) {
        // The thread stays attached for good, so the VM would never describe the exception.
        if (outcome == MainOutcome::kThrew) env->ExceptionDescribe();
        SleepForever();
    }

    // Detach on failure too: a thread that ends while still attached is counted as a live
    // non-daemon thread, and DestroyJavaVM in the teardown would wait for it for ever. An
    // exception still pending here is described by the VM (Thread.dispatchUncaughtException).
    jint detached = vm->DetachCurrentThread();
    host.jniEnv = nullptr;
    Trace(L"Java thread detached from the VM (" + platform::DecimalText(detached) + L")");
    return outcome != MainOutcome::kNotRun && detached == JNI_OK;
}

}  // namespace kestran::jvm
