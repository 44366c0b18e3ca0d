#include "jvm/vm_create.h"

#include <cstdarg>
#include <cstdio>
#include <string>

#include "config/messages.h"
#include "jvm/local_ref.h"
#include "jvm/main_class.h"
#include "jvm/vm_host.h"
#include "platform/decimal_text.h"
#include "platform/error_report.h"
#include "platform/trace.h"
#include "runtime/startup_cache_plan.h"

namespace kestran::jvm {

namespace {

void TraceOptionArray(const std::vector<JavaVMOption>& options) {
    for (size_t i = 0; i < options.size(); ++i) {
        platform::Trace(L"VM option " + platform::DecimalText(i) + L": " + config::FromAnsi(options[i].optionString) +
                        (options[i].extraInfo ? L" (hook)" : L""));
    }
}

// One system property of the running VM contains `part`; false when it does not, or cannot be
// read. Nothing the question raised stays pending for main.
bool PropertyContains(JNIEnv* env, const wchar_t* name, const char* part) {
    LocalRef<jclass> system(env, env->FindClass("java/lang/System"));
    jmethodID getProperty =
        system ? env->GetStaticMethodID(system.get(), "getProperty", "(Ljava/lang/String;)Ljava/lang/String;") : nullptr;
    LocalRef<jstring> key(env, getProperty ? NewJavaString(env, name) : nullptr);
    LocalRef<jstring> value(env, key ? static_cast<jstring>(env->CallStaticObjectMethod(system.get(), getProperty, key.get()))
                                     : nullptr);
    const char* text = value ? env->GetStringUTFChars(value.get(), nullptr) : nullptr;
    const bool found = text != nullptr && std::string(text).find(part) != std::string::npos;
    if (text != nullptr) env->ReleaseStringUTFChars(value.get(), text);
    if (env->ExceptionCheck()) env->ExceptionClear();
    return found;
}

}  // namespace

bool IsIbmRuntime(JNIEnv* env) {
    return PropertyContains(env, L"java.vm.vendor", "IBM") || PropertyContains(env, L"java.vm.name", "J9");
}

// The hooks run inside the VM's own exit path: an exception must not unwind into it.
void JNICALL VmExitHook(jint code) {
    try {
        // The VM wrote its class archive before it called the hook; the process ends after it.
        runtime::FinishStartupCache();
        VmHost* current = CurrentVmHost();
        if (current != nullptr && current->vmExitListener != nullptr) current->vmExitListener->OnVmExit(code);
        if (VmExitNotice notice = CurrentVmExitNotice()) notice(static_cast<int>(code));
    } catch (...) {
        platform::Trace(L"exit hook failed unexpectedly");
    }
}

void JNICALL VmAbortHook() {
    try {
        VmHost* current = CurrentVmHost();
        if (current != nullptr && current->vmExitListener != nullptr) current->vmExitListener->OnVmAbort();
        if (VmAbortNotice notice = CurrentVmAbortNotice()) notice();
    } catch (...) {
        platform::Trace(L"abort hook failed unexpectedly");
    }
}

// The text of one print, by the VM's own runtime; empty when it has none.
std::string FormatVmText(const VmCRuntime& runtime, const char* format, va_list arguments) {
    va_list measure;
    va_copy(measure, arguments);
    const int length = runtime.format(nullptr, 0, format, measure);
    va_end(measure);
    if (length <= 0) return std::string();
    std::string text(static_cast<size_t>(length) + 1, '\0');
    runtime.format(text.data(), text.size(), format, arguments);
    text.resize(static_cast<size_t>(length));
    return text;
}

// Runs on any thread of the VM, GC and compiler threads too.
jint JNICALL VmPrintHook(FILE* stream, const char* format, va_list arguments) {
    const VmHost* current = CurrentVmHost();
    if (format == nullptr || stream == nullptr || current == nullptr || !current->vmCRuntime) return 0;
    // The stream and the format belong to the VM's own C runtime, and go back to it only.
    const VmCRuntime& runtime = current->vmCRuntime;
    const bool standard = stream == runtime.standardOutput || stream == runtime.standardError;
    // A log file (-Xlog:gc:file=...) gets every line as without the hook.
    if (!standard) return runtime.print(stream, format, arguments);
    const platform::VmTextRoute route = platform::CurrentVmTextRoute();
    if (route == platform::VmTextRoute::PassThrough) {
        // The VM writes its standard streams unbuffered when it has no hook; a pipe's buffer
        // would hold the text back, or lose it when the process ends without the C runtime.
        const int written = runtime.print(stream, format, arguments);
        runtime.flush(stream);
        return written;
    }
    if (route == platform::VmTextRoute::Dropped) return 0;
    const std::string text = FormatVmText(runtime, format, arguments);
    if (text.empty()) return 0;
    if (route == platform::VmTextRoute::ErrorFile) {
        platform::AppendVmTextFile(text);
    } else {
        // The VM prints in the system's code page, as it would have on its own.
        platform::ReportVmMessage(config::FromAnsi(text));
    }
    return static_cast<int>(text.size());
}

std::vector<JavaVMOption> BuildVmOptionArray(const config::NarrowList& options, bool printHook) {
    std::vector<JavaVMOption> array;
    array.reserve(options.size() + 3);
    // First: HotSpot takes the hook when it reaches it, and prints its complaint about an
    // option before that straight to its own stream.
    if (printHook) array.push_back(JavaVMOption{const_cast<char*>("vfprintf"), reinterpret_cast<void*>(&VmPrintHook)});
    // jni.h declares optionString non-const; the VM only reads it.
    for (const std::string& option : options) {
        array.push_back(JavaVMOption{const_cast<char*>(option.c_str()), nullptr});
    }
    array.push_back(JavaVMOption{const_cast<char*>("abort"), reinterpret_cast<void*>(&VmAbortHook)});
    array.push_back(JavaVMOption{const_cast<char*>("exit"), reinterpret_cast<void*>(&VmExitHook)});
    return array;
}

unsigned CreateVmReasonId(jint result) {
    switch (result) {
        case JNI_ERR: return config::kMsgReasonUnknown;
        case JNI_EDETACHED: return config::kMsgReasonDetached;
        case JNI_EVERSION: return config::kMsgReasonVersion;
        case JNI_ENOMEM: return config::kMsgReasonNoMemory;
        case JNI_EEXIST: return config::kMsgReasonExists;
        case JNI_EINVAL: return config::kMsgReasonInvalid;
        default: return 0;
    }
}

bool CreateVm(const config::LaunchSettings& launch, const runtime::JavaInvocation& invocation, VmHost& host) {
    CreateJavaVmFn createJavaVm = host.vmEntryPoints.createJavaVm;
    if (createJavaVm == nullptr) {
        config::PrintPlatformError(config::kMsgNoCreateJavaVm, 0);
        return false;
    }

    // A hook that could not give a FILE* back to the VM's own runtime would lose its log files.
    const bool messagesHooked = platform::VmMessagesNeedHook(launch.serviceMode);
    if (messagesHooked && !host.vmCRuntime) host.vmCRuntime = BindVmCRuntime(host.vmModule);
    std::vector<JavaVMOption> options =
        BuildVmOptionArray(invocation.vmOptions, messagesHooked && static_cast<bool>(host.vmCRuntime));
    JavaVMInitArgs args{};
    args.version = JNI_VERSION_1_2;
    args.nOptions = static_cast<jint>(options.size());
    args.options = options.data();
    args.ignoreUnrecognized = JNI_FALSE;
    if (platform::TraceEnabled()) TraceOptionArray(options);

    JavaVM* vm = nullptr;
    jint result = createJavaVm(&vm, reinterpret_cast<void**>(&host.jniEnv), &args);
    if (result == JNI_OK) {
        // Published only once the VM is complete: other threads attach to it from here on.
        // The IBM-specific thread handling follows the runtime actually loaded: a HotSpot runtime
        // found through "JRE Path" with "VM Provider" = ibm must end when main returns.
        const bool ibm = launch.ibmAllowed && IsIbmRuntime(host.jniEnv);
        if (platform::TraceEnabled() && launch.ibmAllowed) {
            platform::Trace(ibm ? L"IBM runtime: threads stay attached" : L"not an IBM runtime");
        }
        host.vmSession.SetKeepAttached(ibm);
        // A VM that refused the AOT cache it was given runs without any archive.
        if (runtime::StartupCacheAwaitsUse() && !PropertyContains(host.jniEnv, L"java.vm.info", "sharing")) {
            runtime::DropRefusedStartupCache();
        }
        host.vmSession.Publish(vm);
        if (platform::TraceEnabled()) platform::Trace(L"VM created");
        return true;
    }

    // A failed creation may have written to the out-parameters; the destructor must not
    // destroy a VM that does not exist.
    host.jniEnv = nullptr;
    if (platform::TraceEnabled()) platform::Trace(L"VM creation failed with " + platform::DecimalText(result));
    unsigned reasonId = CreateVmReasonId(result);
    std::wstring reason = reasonId != 0 ? config::FormatMessageId(reasonId) : std::wstring();
    config::PrintErrorLine(
        config::FormatMessageId(config::kMsgJniError, {config::FormatMessageId(config::kMsgCreateVmFailed), reason}));
    return false;
}

}  // namespace kestran::jvm
