// A Linux host for the launcher's JNI code: loads the real libjvm.so through LoadVmLibrary and
// runs the Java thread the way RunLaunch does (a thread with the Java stack size, the wait, the
// exit code mapping, then the Launcher's teardown with DestroyJavaVM). One VM per process.
//
//   judge_host [options] --main CLASS [-- ARGS...]
//     --jvm PATH             libjvm.so (default: the configured JDK's server VM)
//     --option TEXT          one VM option (repeatable); -Xss sizes the Java thread
//     --class-path PATH      shorthand for --option -Djava.class.path=PATH
//     --no-launcher-helper   drop JVM_FindClassFromBootLoader, forcing FindClass
//     --out FILE / --err FILE, --out-append / --err-append
//     --failure-check, --ibm, --ready-event, --exit-listener, --entry-thread, --service
//     --request-stop         once main has started, RequestJavaStop on a thread of its own
//     --vm-messages          prints "judge: vm message TEXT" for what the vfprintf hook received,
//                            and "judge: box TEXT" for the failure report at the end
//     --describe-throwable   create the VM, call main, print DescribeThrowable's text
//     --forward ARG          once the ready event is signalled, a second thread hands ARG
//                            (repeatable) to HandleForwardedRequest and prints the reply
//     --attach-in-teardown   once the VM's teardown has begun, a helper thread tries to attach
//     --throw-in-call        once main has started, a helper's attached call throws
//     --startup-cache        the start-up cache of this executable, as "Startup Cache=auto" asks
//     --splash FILE          shows FILE through the launcher's splash code before the VM starts
// Arguments are UTF-8; markers the tests look for go to standard output.
#include <pthread.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "jvm/java_thread.h"
#include "jvm/java_thread_platform.h"
#include "jvm/main_class.h"
#include "jvm/splash_screen.h"
#include "jvm/vm_create.h"
#include "jvm/vm_c_runtime.h"
#include "jvm/vm_library.h"
#include "launcher/attached_call.h"
#include "launcher/failure_report.h"
#include "launcher/java_stop.h"
#include "launcher/launcher.h"
#include "launcher/single_instance.h"
#include "platform/error_report.h"
#include "platform/text_encoding.h"
#include "platform/trace.h"
#include "runtime/memory_options.h"
#include "runtime/startup_cache_plan.h"
#include "ui/exception_text.h"

#ifndef KESTRAN_JUDGE_LIBJVM
#error "KESTRAN_JUDGE_LIBJVM must name the libjvm.so to load"
#endif

namespace {

using kestran::launcher::Launcher;
namespace jvm = kestran::jvm;
namespace platform = kestran::platform;

void Marker(const std::string& line) {
    std::fputs((line + "\n").c_str(), stdout);
    std::fflush(stdout);
}

std::atomic<int> readySignals{0};

void PrintVmMessage(const std::wstring& what) {
    Marker("judge: " + platform::WideToUtf8(what.substr(0, 3) == L"vm " ? L"vm message " + what.substr(3) : what));
}
bool requestStop = false;
bool attachInTeardown = false;
bool throwInCall = false;

// Helpers of the VM session, as a service stop or a forwarded start would be.
void AttachInTeardown(Launcher& launcher) {
    while (!launcher.Vm().vmSession.TearingDown()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    kestran::jvm::VmSession::Attachment attachment = launcher.Vm().vmSession.TryAttach();
    Marker(std::string("judge: attach in teardown ") + (attachment ? "accepted" : "refused"));
}

void ThrowInCall(Launcher& launcher) {
    try {
        kestran::launcher::CallOnAttachedThread(launcher, [](JNIEnv*) -> bool { throw std::runtime_error("injected"); });
    } catch (const std::runtime_error&) {
        Marker("judge: injected exception caught");
    }
    JNIEnv* env = nullptr;
    JavaVM* vm = launcher.Vm().vmSession.Vm();
    const bool detached = vm != nullptr && vm->GetEnv(reinterpret_cast<void**>(&env), JNI_VERSION_1_2) == JNI_EDETACHED;
    Marker(std::string("judge: detached after the exception ") + (detached ? "yes" : "no"));
}

void* StopThreadProc(void*) {
    Launcher* launcher = kestran::launcher::CurrentLauncher();
    bool delivered = launcher != nullptr && kestran::launcher::RequestJavaStop(*launcher);
    Marker(std::string("judge: stop request ") + (delivered ? "delivered" : "failed"));
    return nullptr;
}

// A forwarded start, served as the first instance serves one: on a thread of its own, after
// the ready event, while main runs.
struct {
    Launcher* launcher = nullptr;
    kestran::launcher::WideList arguments;
    bool started = false;
    pthread_t thread{};
} forward;

void* ForwardThreadProc(void*) {
    bool served = kestran::launcher::HandleForwardedRequest(*forward.launcher, forward.arguments, [](uint32_t value) {
        Marker("judge: reply " + std::to_string(static_cast<int32_t>(value)));
    });
    Marker(std::string("judge: forwarded ") + (served ? "true" : "false"));
    return nullptr;
}

void OnReady(void*) {
    int count = ++readySignals;
    Marker("judge: ready event signalled (" + std::to_string(count) + ")");
    if (!forward.arguments.empty() && !forward.started) forward.started = pthread_create(&forward.thread, nullptr, ForwardThreadProc, nullptr) == 0;
    Launcher* launcher = kestran::launcher::CurrentLauncher();
    if (attachInTeardown && count == 1) launcher->Vm().vmSession.StartHelper([launcher] { AttachInTeardown(*launcher); });
    if (throwInCall && count == 1) launcher->Vm().vmSession.StartHelper([launcher] { ThrowInCall(*launcher); });
    pthread_t stopThread;
    if (requestStop && pthread_create(&stopThread, nullptr, StopThreadProc, nullptr) == 0) pthread_detach(stopThread);
}

class PrintingExitListener : public jvm::VmExitListener {
public:
    void OnVmExit(int code) override { Marker("judge: exit hook " + std::to_string(code)); }
    void OnVmAbort() override { Marker("judge: abort hook"); }
};

struct Options {
    std::string libjvm = KESTRAN_JUDGE_LIBJVM;
    bool noLauncherHelper = false;
    bool entryThread = false;
    bool describeThrowable = false;
    bool readyEvent = false;
    bool exitListener = false;
    bool startupCache = false;
    bool failureReport = false;
};

// CreateVm, then main by hand so that DescribeThrowable sees main's exception still pending.
uint32_t DescribeMainException(Launcher& launcher) {
    if (!jvm::CreateVm(launcher, launcher, launcher.Vm())) return jvm::kJavaThreadLaunchFailed;
    JNIEnv* env = launcher.Vm().jniEnv;
    std::string className = platform::WideToUtf8(launcher.mainClass);
    jclass mainClass = env->FindClass(className.c_str());
    jmethodID mainMethod = mainClass ? env->GetStaticMethodID(mainClass, "main", "([Ljava/lang/String;)V") : nullptr;
    if (mainMethod == nullptr) {
        env->ExceptionDescribe();
        return jvm::kJavaThreadLaunchFailed;
    }
    jobjectArray arguments = jvm::NewJavaStringArray(env, launcher.arguments);
    env->CallStaticVoidMethod(mainClass, mainMethod, arguments);
    jthrowable thrown = env->ExceptionOccurred();
    if (thrown == nullptr) {
        Marker("judge: main did not throw");
    } else {
        std::wstring text = kestran::ui::DescribeThrowable(env, thrown);
        jthrowable after = env->ExceptionOccurred();
        Marker("judge: still pending " + std::string(after != nullptr && env->IsSameObject(after, thrown) ? "same" : "no"));
        Marker("judge: described begin");
        Marker(platform::WideToUtf8(text));
        Marker("judge: described end");
        env->ExceptionClear();
    }
    launcher.Vm().vmSession.Vm()->DetachCurrentThread();
    launcher.Vm().jniEnv = nullptr;
    return jvm::kJavaThreadMainReturned;
}

struct ThreadRun {
    Launcher* launcher;
    bool describe;
    uint32_t code = jvm::kJavaThreadLaunchFailed;
};

void* JavaThreadProc(void* parameter) {
    auto* run = static_cast<ThreadRun*>(parameter);
    run->code = run->describe ? DescribeMainException(*run->launcher) : jvm::JavaThreadMain(*run->launcher, *run->launcher, run->launcher->Vm());
    return nullptr;
}

int Usage(const char* problem) {
    std::fprintf(stderr, "judge_host: %s\n", problem);
    return 64;
}

int Run(Launcher& launcher, const Options& options) {
    if (!jvm::LoadVmLibrary(launcher.Vm(), platform::Utf8ToWide(options.libjvm))) return -1;
    if (options.startupCache) {
        kestran::runtime::PlanStartupCache(platform::Utf8ToWide(options.libjvm), launcher, kestran::runtime::PlatformCacheFiles(),
                                           platform::TraceEnabled());
    }
    jvm::ShowSplash(launcher, platform::Utf8ToWide(options.libjvm));
    if (options.noLauncherHelper) launcher.Vm().vmEntryPoints.findClassFromBootLoader = nullptr;
    if (launcher.threadStackSize == 0) launcher.threadStackSize = jvm::QueryDefaultJavaStackSize(launcher.Vm().vmEntryPoints);

    ThreadRun run{&launcher, options.describeThrowable};
    if (options.entryThread) {
        JavaThreadProc(&run);
    } else {
        pthread_attr_t attributes;
        pthread_attr_init(&attributes);
        if (launcher.threadStackSize != 0) pthread_attr_setstacksize(&attributes, launcher.threadStackSize);
        pthread_t thread;
        int failed = pthread_create(&thread, &attributes, JavaThreadProc, &run);
        pthread_attr_destroy(&attributes);
        if (failed != 0) return Usage("the Java thread cannot be created");
        pthread_join(thread, nullptr);
    }
    if (forward.started) pthread_join(forward.thread, nullptr);
    launcher.Vm().vmSession.JoinHelpers(std::chrono::seconds(60));
    Marker("judge: java thread ended with " + std::to_string(run.code));
    if (options.failureReport) kestran::launcher::ShowLaunchFailure(&launcher, run.code != jvm::kJavaThreadMainReturned);
    if (options.readyEvent) Marker("judge: ready signals " + std::to_string(readySignals.load()));
    return static_cast<int>(jvm::ProcessExitCodeOf(run.code));
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    PrintingExitListener exitListener;
    jvm::PosixReadyEvent readyEvent;
    readyEvent.signal = OnReady;
    int result = 0;
    {
        Launcher launcher;
        int i = 1;
        for (; i < argc; ++i) {
            const std::string arg = argv[i];
            auto value = [&]() -> std::wstring {
                if (i + 1 >= argc) return {};
                return platform::Utf8ToWide(argv[++i]);
            };
            if (arg == "--") {
                ++i;
                break;
            } else if (arg == "--jvm") {
                options.libjvm = platform::WideToUtf8(value());
            } else if (arg == "--main") {
                launcher.mainClass = value();
            } else if (arg == "--option" || arg == "--class-path") {
                std::wstring option = (arg == "--class-path" ? L"-Djava.class.path=" : L"") + value();
                if (option.rfind(L"-Xss", 0) == 0) launcher.threadStackSize = kestran::runtime::ParseStackSize(option);
                launcher.vmOptions.push_back(platform::WideToUtf8(option));
            } else if (arg == "--splash") {
                launcher.splash.image = value();
            } else if (arg == "--out") {
                launcher.outputFile = value();
            } else if (arg == "--err") {
                launcher.errorFile = value();
            } else if (arg == "--out-append") {
                launcher.outputAppend = true;
            } else if (arg == "--err-append") {
                launcher.errorAppend = true;
            } else if (arg == "--failure-check") {
                launcher.failureCheck = true;
            } else if (arg == "--ibm") {
                // As "VM Provider" = ibm sets them.
                launcher.ibmAllowed = launcher.ibmFavoured = true;
                launcher.sunAllowed = launcher.sunFavoured = false;
            } else if (arg == "--service") {
                launcher.serviceMode = true;
            } else if (arg == "--no-launcher-helper") {
                options.noLauncherHelper = true;
            } else if (arg == "--entry-thread") {
                options.entryThread = true;
            } else if (arg == "--describe-throwable") {
                options.describeThrowable = true;
            } else if (arg == "--ready-event") {
                options.readyEvent = true;
                launcher.Vm().readyEvent = &readyEvent;
            } else if (arg == "--forward") {
                options.readyEvent = true;
                launcher.Vm().readyEvent = &readyEvent;
                forward.arguments.push_back(value());
            } else if (arg == "--request-stop") {
                requestStop = true;
                launcher.Vm().readyEvent = &readyEvent;
            } else if (arg == "--vm-messages") {
                platform::SetReportObserver(PrintVmMessage);
                options.failureReport = true;
            } else if (arg == "--attach-in-teardown" || arg == "--throw-in-call") {
                (arg == "--throw-in-call" ? throwInCall : attachInTeardown) = true;
                launcher.Vm().readyEvent = &readyEvent;
            } else if (arg == "--startup-cache") {
                options.startupCache = true;
            } else if (arg == "--exit-listener") {
                launcher.Vm().vmExitListener = &exitListener;
            } else {
                return Usage(("unknown option " + arg).c_str());
            }
        }
        for (; i < argc; ++i) launcher.arguments.push_back(platform::Utf8ToWide(argv[i]));
        if (launcher.mainClass.empty()) return Usage("--main is required");
        forward.launcher = &launcher;

        result = Run(launcher, options);
        // The Launcher's destructor destroys the VM here, waiting for non-daemon Java threads.
    }
    Marker("judge: vm destroyed");
    return result;
}
