#include "jvm/output_redirection.h"

#include <algorithm>
#include <cwctype>

#include "config/paths.h"
#include "jvm/date_stamp.h"
#include "jvm/local_ref.h"
#include "jvm/main_class.h"
#include "platform/error_report.h"
#include "platform/trace.h"

namespace kestran::jvm {
namespace {

bool HasStamp(const std::wstring& name) { return !name.empty() && name.find(L'%') != std::wstring::npos; }

bool SameFileName(const std::wstring& a, const std::wstring& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](wchar_t x, wchar_t y) {
               return x == y || std::towlower(static_cast<wint_t>(x)) == std::towlower(static_cast<wint_t>(y));
           });
}

void RedirectOne(JNIEnv* env, const std::wstring& fileName, bool append, SystemStreams streams,
                 const wchar_t* streamName, bool sharedWithVm = false) {
    if (sharedWithVm) {
        // The VM's text comes through a handle of the launcher's: both append, or the Java
        // stream would write over it from its own file position.
        config::EnsureParentDirectories(fileName);
        platform::OpenVmTextFile(fileName, !append);
        append = true;
    }
    bool redirected = RedirectSystemStream(env, fileName, append, streams);
    if (!redirected && env->ExceptionCheck()) env->ExceptionDescribe();
    if (platform::TraceEnabled()) {
        platform::Trace(std::wstring(streamName) + (redirected ? L" redirected to " : L" not redirected to ") +
                        fileName + (append ? L" (append)" : L" (truncate)"));
    }
}

}  // namespace

void RedirectStandardStreams(const config::LaunchSettings& launch, VmHost& host) {
    JNIEnv* env = host.jniEnv;
    if (env == nullptr) return;
    host.outputFile = launch.outputFile;
    host.errorFile = launch.errorFile;
    // One reading of the clock, so that both files of a run carry the same stamp.
    if (HasStamp(host.outputFile) || HasStamp(host.errorFile)) {
        const LocalTime now = CurrentLocalTime();
        if (HasStamp(host.outputFile)) ExpandDateTimeStamp(host.outputFile, now);
        if (HasStamp(host.errorFile)) ExpandDateTimeStamp(host.errorFile, now);
    }
    // One file for both streams is opened once: a second open would truncate what the first
    // stream writes, or interleave two buffers at different file positions.
    // After main the VM's own text goes to "Error File" where nobody could read it otherwise.
    const bool shared = host.vmCRuntime && platform::VmTextSharesErrorFile(launch.serviceMode);
    if (!host.outputFile.empty() && SameFileName(host.outputFile, host.errorFile)) {
        RedirectOne(env, host.outputFile, launch.outputAppend, SystemStreams::Both, L"System.out and System.err", shared);
        return;
    }
    if (!host.outputFile.empty()) RedirectOne(env, host.outputFile, launch.outputAppend, SystemStreams::Out, L"System.out");
    if (!host.errorFile.empty()) {
        RedirectOne(env, host.errorFile, launch.errorAppend, SystemStreams::Err, L"System.err", shared);
    }
}

bool RedirectSystemStream(JNIEnv* env, const std::wstring& fileName, bool append, SystemStreams streams) {
    // A folder that cannot be made shows up as the FileOutputStream's own exception below.
    config::EnsureParentDirectories(fileName);
    LocalRef<jstring> name(env, NewJavaString(env, fileName));
    if (!name) return false;
    LocalRef<jobject> fileStream(env, NewFileOutputStream(env, name.get(), append));
    if (!fileStream) return false;
    LocalRef<jobject> printStream(env, NewPrintStream(env, fileStream.get()));
    if (!printStream) return false;
    LocalRef<jclass> systemClass(env, env->FindClass("java/lang/System"));
    if (!systemClass) return false;
    const struct {
        const char* name;
        bool wanted;
    } setters[] = {{"setOut", streams != SystemStreams::Err}, {"setErr", streams != SystemStreams::Out}};
    for (const auto& entry : setters) {
        if (!entry.wanted) continue;
        jmethodID setter = env->GetStaticMethodID(systemClass.get(), entry.name, "(Ljava/io/PrintStream;)V");
        if (setter == nullptr) return false;
        env->CallStaticVoidMethod(systemClass.get(), setter, printStream.get());
        if (env->ExceptionCheck()) {
            env->ExceptionDescribe();
            return false;
        }
    }
    return true;
}

jobject NewFileOutputStream(JNIEnv* env, jstring name, bool append) {
    LocalRef<jclass> streamClass(env, env->FindClass("java/io/FileOutputStream"));
    if (!streamClass) return nullptr;
    jmethodID constructor = env->GetMethodID(streamClass.get(), "<init>", "(Ljava/lang/String;Z)V");
    if (constructor == nullptr) return nullptr;
    jobject stream = env->NewObject(streamClass.get(), constructor, name, append ? JNI_TRUE : JNI_FALSE);
    if (env->ExceptionCheck()) {
        if (stream != nullptr) env->DeleteLocalRef(stream);
        return nullptr;
    }
    return stream;
}

jobject NewPrintStream(JNIEnv* env, jobject stream) {
    LocalRef<jclass> printClass(env, env->FindClass("java/io/PrintStream"));
    if (!printClass) return nullptr;
    jmethodID constructor = env->GetMethodID(printClass.get(), "<init>", "(Ljava/io/OutputStream;)V");
    if (constructor == nullptr) return nullptr;
    jobject printStream = env->NewObject(printClass.get(), constructor, stream);
    if (env->ExceptionCheck()) {
        if (printStream != nullptr) env->DeleteLocalRef(printStream);
        return nullptr;
    }
    return printStream;
}

}  // namespace kestran::jvm
