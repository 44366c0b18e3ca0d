// The invocation side of the test runtime: the exported entry points, VM creation from the
// option list, the JavaVM functions, threads and references.
#include "testjvm.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <unordered_set>

namespace testjvm {
namespace {

thread_local ThreadState* currentThread = nullptr;

std::mutex refLock;
std::unordered_set<const Ref*>& KnownRefs() {
    static auto* refs = new std::unordered_set<const Ref*>();
    return *refs;
}

jobject Register(Ref* ref) {
    std::lock_guard<std::mutex> guard(refLock);
    KnownRefs().insert(ref);
    return reinterpret_cast<jobject>(ref);
}

bool SupportedVersion(jint version) {
    switch (version) {
        case JNI_VERSION_1_2:
        case JNI_VERSION_1_4:
        case JNI_VERSION_1_6:
        case JNI_VERSION_1_8:
        case JNI_VERSION_9:
        case JNI_VERSION_10:
            return true;
        default:
            return false;
    }
}

std::string Hex32(jint value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08x", static_cast<unsigned>(value));
    return text;
}

ThreadState* AttachThread(std::string name, bool daemon) {
    auto* thread = new ThreadState();  // kept after detaching, so a stale JNIEnv is still recognised
    thread->id = GetCurrentThreadId();
    thread->daemon = daemon;
    thread->block.env.functions = EnvFunctions();
    thread->block.thread = thread;
    thread->frames.emplace_back();
    World& world = TheWorld();
    {
        std::lock_guard<std::mutex> guard(world.threadLock);
        if (name.empty()) name = "Thread-" + std::to_string(world.nextThreadNumber++);
        if (!daemon) {
            ++world.liveThreads;
            world.liveThreadNames.push_back(name);
        }
    }
    thread->name = name;
    currentThread = thread;
    return thread;
}

void EndLiveThread(const std::string& name) {
    World& world = TheWorld();
    std::lock_guard<std::mutex> guard(world.threadLock);
    --world.liveThreads;
    for (auto it = world.liveThreadNames.begin(); it != world.liveThreadNames.end(); ++it) {
        if (*it == name) {
            world.liveThreadNames.erase(it);
            break;
        }
    }
    world.threadsChanged.notify_all();
}

void DetachThread(ThreadState* thread) {
    for (auto& frame : thread->frames) {
        for (Ref* ref : frame) ref->live = false;
    }
    thread->frames.clear();
    currentThread = nullptr;
    if (!thread->daemon) EndLiveThread(thread->name);
}

std::string EnvironmentBytes(const char* name) {
    std::string value(64, '\0');
    while (true) {
        const DWORD size = GetEnvironmentVariableA(name, &value[0], static_cast<DWORD>(value.size()));
        if (size == 0) return std::string();
        if (size < value.size()) return value.substr(0, size);
        value.resize(size);
    }
}

std::wstring EnvironmentWide(const wchar_t* name) {
    std::wstring value(64, L'\0');
    while (true) {
        const DWORD size = GetEnvironmentVariableW(name, &value[0], static_cast<DWORD>(value.size()));
        if (size == 0) return std::wstring();
        if (size < value.size()) return value.substr(0, size);
        value.resize(size);
    }
}

bool IsSizeValue(const std::string& text) {
    size_t i = 0;
    unsigned long long value = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        if (value > (~0ULL - 9) / 10) return false;
        value = value * 10 + static_cast<unsigned>(text[i++] - '0');
    }
    if (i == 0) return false;
    if (i == text.size()) return true;
    return i + 1 == text.size() && std::string("kKmMgGtT").find(text[i]) != std::string::npos;
}

// The checks a real VM makes on the options a launcher hands over; the runtime refuses what a
// real one would, so a launcher cannot pass a test with options no JDK accepts.
jint CheckOption(const char* text) {
    static const struct {
        const char* prefix;
        const char* complaint;
    } sizes[] = {{"-Xmx", "Invalid maximum heap size: "},
                 {"-Xms", "Invalid initial heap size: "},
                 {"-Xss", "Invalid thread stack size: "},
                 {"-Xmn", "Invalid maximum new generation size: "}};
    const std::string option = text;
    if (option == "abort" || option == "exit" || option == "vfprintf") return JNI_OK;
    if (option.empty() || option[0] != '-' || option == "-cp" || option == "-classpath" ||
        option == "--class-path" || option == "-jar") {
        WriteStdHandle(STD_ERROR_HANDLE, "Unrecognized option: " + option + "\r\n");
        return JNI_ERR;
    }
    for (const auto& size : sizes) {
        if (option.rfind(size.prefix, 0) == 0 && !IsSizeValue(option.substr(4))) {
            WriteStdHandle(STD_ERROR_HANDLE, size.complaint + option + "\r\n");
            return JNI_EINVAL;
        }
    }
    return JNI_OK;
}

jint CreateVm(JavaVM** vm, void** env, void* rawArgs) {
    if (!vm || !env || !rawArgs) Fatal("JNI_CreateJavaVM called with a null argument");
    *vm = nullptr;
    *env = nullptr;
    World& world = TheWorld();
    const auto* args = static_cast<const JavaVMInitArgs*>(rawArgs);
    if (args->nOptions < 0 || (args->nOptions > 0 && !args->options)) Fatal("JNI_CreateJavaVM: bad option array");
    const std::string createRecord =
        "create version=" + Hex32(args->version) + " ignoreUnrecognized=" + std::to_string(args->ignoreUnrecognized);
    if (world.created) {
        LogLine(createRecord);
        LogLine("create-result -5");
        return JNI_EEXIST;
    }

    // Script values from the environment first; options given to the VM take precedence.
    std::map<std::string, std::string> values;
    const std::wstring logPath = EnvironmentWide(L"TESTJVM_LOG");
    const std::string mainScript = EnvironmentBytes("TESTJVM_MAIN");
    const std::string createScript = EnvironmentBytes("TESTJVM_CREATE");
    if (!mainScript.empty()) values["main"] = mainScript;
    if (!createScript.empty()) values["create"] = createScript;
    const std::string prefix = "-Dtestjvm.";
    for (jint i = 0; i < args->nOptions; ++i) {
        const char* text = args->options[i].optionString;
        if (!text) Fatal("option " + std::to_string(i) + " has no text");
        const std::string option = text;
        if (option.rfind(prefix, 0) != 0) continue;
        const size_t equals = option.find('=');
        values[option.substr(prefix.size(), equals - prefix.size())] =
            equals == std::string::npos ? std::string() : option.substr(equals + 1);
    }
    Script script;
    script.logPath = logPath;
    std::string scriptError;
    for (const auto& entry : values) {
        if (scriptError.empty()) ApplyScriptValue(script, entry.first, entry.second, scriptError);
    }
    world.script = script;

    OpenLog(world.script.logPath);
    LogLine(createRecord);
    for (jint i = 0; i < args->nOptions; ++i) {
        const JavaVMOption& option = args->options[i];
        LogLine("option " + std::to_string(i) + " " + Utf8FromUtf16(Utf16FromAnsi(option.optionString)) +
                " extraInfo=" + (option.extraInfo ? "yes" : "no"));
    }

    jint result = JNI_OK;
    if (!scriptError.empty()) {
        WriteStdHandle(STD_ERROR_HANDLE, "testjvm: " + scriptError + "\r\n");
        LogLine("bad-script " + scriptError);
        result = JNI_EINVAL;
    } else if (!SupportedVersion(args->version)) {
        result = JNI_EVERSION;
    } else if (world.script.createGiven && world.script.createResult != JNI_OK) {
        result = world.script.createResult;
    }
    for (jint i = 0; i < args->nOptions && result == JNI_OK; ++i) {
        const JavaVMOption& option = args->options[i];
        if (!args->ignoreUnrecognized) result = CheckOption(option.optionString);
        if (std::string(option.optionString) == "exit") {
            world.exitHook = reinterpret_cast<void(JNICALL*)(jint)>(option.extraInfo);
        } else if (std::string(option.optionString) == "abort") {
            world.abortHook = reinterpret_cast<void(JNICALL*)()>(option.extraInfo);
        }
    }
    if (result != JNI_OK) {
        world.exitHook = nullptr;
        world.abortHook = nullptr;
        LogLine("create-result " + std::to_string(result));
        return result;
    }

    world.created = true;
    world.stopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    CreateInitialStreams();
    ThreadState* thread = AttachThread("main", false);
    *vm = TheJavaVM();
    *env = &thread->block.env;
    LogLine("create-result 0");
    return JNI_OK;
}

// The layout of the JDK 1.1 initialisation block; a launcher passes it to
// JNI_GetDefaultJavaVMInitArgs only to learn the default Java thread stack size.
struct Jdk11InitArgs {
    jint version;
    char** properties;
    jint checkSource;
    jint nativeStackSize;
    jint javaStackSize;
    jint minHeapSize;
    jint maxHeapSize;
    jint verifyMode;
    char* classpath;
    void* vfprintfHook;
    void* exitHook;
    void* abortHook;
    jint enableClassGC;
    jint enableVerboseGC;
    jint disableAsyncGC;
    jint verbose;
    jboolean debugging;
    jint debugPort;
};

// Like HotSpot: a 1.1 block gets the default stack size and version 1.2 written into it, yet the
// call reports JNI_ERR because 1.1 is no longer a supported version.
jint GetDefaultInitArgs(void* rawArgs) {
    if (!rawArgs) Fatal("JNI_GetDefaultJavaVMInitArgs called with a null argument");
    auto* args = static_cast<Jdk11InitArgs*>(rawArgs);
    const jint version = args->version;
    jint result = SupportedVersion(version) ? JNI_OK : JNI_ERR;
    std::string record = "getdefault version=" + Hex32(version);
    if (version == JNI_VERSION_1_1) {
        long long stackSize = 1048576;
        const std::string text = EnvironmentBytes("TESTJVM_STACK_SIZE");
        if (!text.empty()) {
            errno = 0;
            char* end = nullptr;
            stackSize = std::strtoll(text.c_str(), &end, 10);
            if (errno != 0 || *end != '\0' || stackSize < INT32_MIN || stackSize > INT32_MAX) {
                Fatal("TESTJVM_STACK_SIZE is not a 32-bit integer: '" + text + "'");
            }
        }
        args->version = JNI_VERSION_1_2;
        args->javaStackSize = static_cast<jint>(stackSize);
        record += " javaStackSize=" + std::to_string(stackSize);
    }
    LogLine(record + " result=" + std::to_string(result));
    return result;
}

// ---- JavaVM functions ----

jint JNICALL DestroyJavaVm(JavaVM*) {
    LogLine("DestroyJavaVM");
    World& world = TheWorld();
    if (!world.created || world.destroyed) {
        LogLine("destroy-result -1");
        return JNI_ERR;
    }
    // Like HotSpot, the calling thread is attached for the shutdown and waits until it is the last
    // non-daemon thread.
    ThreadState* thread = currentThread ? currentThread : AttachThread("DestroyJavaVM", false);
    {
        std::unique_lock<std::mutex> lock(world.threadLock);
        const int own = thread->daemon ? 0 : 1;
        if (world.liveThreads > own) {
            std::string names;
            for (const std::string& name : world.liveThreadNames) {
                if (name != thread->name) names += " " + name;
            }
            LogLine("destroy-waiting" + names);
        }
        world.threadsChanged.wait(lock, [&] { return world.liveThreads <= own; });
    }
    if (world.scriptThreadsStarted) LogLine("destroy-after-thread");
    DetachThread(thread);
    world.destroyed = true;
    LogLine("destroy-result 0");
    return JNI_OK;
}

jint Attach(void** env, void* rawArgs, bool daemon) {
    const char* what = daemon ? "AttachCurrentThreadAsDaemon" : "AttachCurrentThread";
    if (!env) Fatal(std::string(what) + " called with a null JNIEnv pointer");
    World& world = TheWorld();
    if (!world.created || world.destroyed) {
        LogLine(std::string(what) + " result=-1");
        return JNI_ERR;
    }
    if (currentThread) {
        LogLine(std::string(what) + " " + currentThread->name + " already-attached");
        *env = &currentThread->block.env;
        return JNI_OK;
    }
    std::string name;
    if (rawArgs) {
        const auto* args = static_cast<const JavaVMAttachArgs*>(rawArgs);
        if (!SupportedVersion(args->version)) {
            LogLine(std::string(what) + " result=-3");
            return JNI_EVERSION;
        }
        if (args->name) name = args->name;
    }
    ThreadState* thread = AttachThread(name, daemon);
    LogLine(std::string(what) + " " + thread->name);
    *env = &thread->block.env;
    return JNI_OK;
}

jint JNICALL AttachCurrentThread(JavaVM*, void** env, void* args) {
    return Attach(env, args, false);
}

jint JNICALL AttachCurrentThreadAsDaemon(JavaVM*, void** env, void* args) {
    return Attach(env, args, true);
}

jint JNICALL DetachCurrentThread(JavaVM*) {
    ThreadState* thread = currentThread;
    if (!thread) {
        LogLine("DetachCurrentThread not-attached");
        return JNI_OK;
    }
    LogLine("DetachCurrentThread " + thread->name);
    // A thread that leaves with an exception pending has it reported by the default uncaught
    // exception handler, as HotSpot does when it detaches such a thread.
    if (Object* uncaught = thread->pending) {
        thread->pending = nullptr;
        LogLine("uncaught " + Utf8FromUtf16(ThrowableText(uncaught)));
        World& world = TheWorld();
        Object* err = nullptr;
        {
            std::lock_guard<std::recursive_mutex> guard(world.lock);
            err = world.systemErr;
        }
        WriteToStream(err, "Exception in thread \"" + thread->name + "\" ");
        PrintStackTrace(uncaught, err);
    }
    DetachThread(thread);
    return JNI_OK;
}

jint JNICALL GetEnv(JavaVM*, void** env, jint version) {
    if (!env) Fatal("GetEnv called with a null JNIEnv pointer");
    *env = nullptr;
    jint result = JNI_EDETACHED;
    if (version != JNI_VERSION_1_1 && !SupportedVersion(version)) {
        result = JNI_EVERSION;
    } else if (currentThread && !TheWorld().destroyed) {
        *env = &currentThread->block.env;
        result = JNI_OK;
    }
    LogLine("GetEnv result=" + std::to_string(result));
    return result;
}

DWORD WINAPI ScriptThread(void* parameter) {
    Sleep(static_cast<DWORD>(reinterpret_cast<uintptr_t>(parameter)));
    LogLine("thread-end");
    EndLiveThread("script-thread");
    return 0;
}

const JNIInvokeInterface_ kInvokeFunctions = {
    nullptr, nullptr, nullptr, DestroyJavaVm, AttachCurrentThread, DetachCurrentThread, GetEnv,
    AttachCurrentThreadAsDaemon,
};

JavaVM_ theVm = {&kInvokeFunctions};

}  // namespace

JavaVM* TheJavaVM() {
    return &theVm;
}

ThreadState* CurrentThread() {
    return currentThread;
}

ThreadState& ThreadFromEnv(JNIEnv* env, const char* function) {
    if (!env) Fatal(std::string(function) + " called with a null JNIEnv");
    ThreadState* thread = reinterpret_cast<EnvBlock*>(env)->thread;
    if (thread != currentThread) {
        Fatal(std::string(function) + " called with the JNIEnv of thread " + thread->name +
              (currentThread ? " on thread " + currentThread->name : " on a thread that is not attached"));
    }
    return *thread;
}

jobject NewLocalRef(ThreadState& thread, Object* object) {
    if (!object) return nullptr;
    auto* ref = new Ref{object, RefKind::Local, thread.id};
    thread.frames.back().push_back(ref);
    return Register(ref);
}

jobject NewGlobalRefTo(Object* object) {
    if (!object) return nullptr;
    return Register(new Ref{object, RefKind::Global, 0});
}

Ref* CheckedRef(jobject ref, const char* function) {
    if (!ref) return nullptr;
    auto* candidate = reinterpret_cast<Ref*>(ref);
    std::lock_guard<std::mutex> guard(refLock);
    if (KnownRefs().count(candidate) == 0) Fatal(std::string(function) + " was given something that is not a reference");
    return candidate;
}

Object* Resolve(ThreadState& thread, jobject ref, const char* function) {
    Ref* checked = CheckedRef(ref, function);
    if (!checked) return nullptr;
    if (!checked->live) Fatal(std::string(function) + " was given a deleted reference");
    if (checked->kind == RefKind::Local && checked->thread != thread.id) {
        Fatal(std::string(function) + " was given a local reference of another thread");
    }
    return checked->object;
}

void Throw(ThreadState& thread, const char* className, const std::u16string& message, const std::string& frames) {
    thread.pending = NewThrowable(className, &message, frames);
    LogLine("throw " + Utf8FromUtf16(ThrowableText(thread.pending)));
}

void ExitVm(jint code) {
    World& world = TheWorld();
    LogLine("System.exit " + std::to_string(code));
    if (world.exitHook) {
        LogLine("exit-hook " + std::to_string(code));
        world.exitHook(code);
    }
    ExitProcess(static_cast<UINT>(code));
}

void StartScriptThread(long long milliseconds) {
    World& world = TheWorld();
    {
        std::lock_guard<std::mutex> guard(world.threadLock);
        ++world.liveThreads;
        world.liveThreadNames.push_back("script-thread");
        world.scriptThreadsStarted = true;
    }
    LogLine("thread-start " + std::to_string(milliseconds));
    const HANDLE handle = CreateThread(nullptr, 0, ScriptThread,
                                       reinterpret_cast<void*>(static_cast<uintptr_t>(milliseconds)), 0, nullptr);
    if (!handle) Fatal("cannot start a script thread (error " + std::to_string(GetLastError()) + ")");
    CloseHandle(handle);
}

}  // namespace testjvm

extern "C" {

#ifndef TESTJVM_WITHOUT_CREATE
JNIEXPORT jint JNICALL JNI_CreateJavaVM(JavaVM** vm, void** env, void* args) {
    return testjvm::CreateVm(vm, env, args);
}
#endif

#ifndef TESTJVM_WITHOUT_DEFAULTS
JNIEXPORT jint JNICALL JNI_GetDefaultJavaVMInitArgs(void* args) {
    return testjvm::GetDefaultInitArgs(args);
}
#endif

JNIEXPORT jint JNICALL JNI_GetCreatedJavaVMs(JavaVM** vms, jsize capacity, jsize* count) {
    const testjvm::World& world = testjvm::TheWorld();
    const bool alive = world.created && !world.destroyed;
    if (count) *count = alive ? 1 : 0;
    if (alive && vms && capacity > 0) vms[0] = testjvm::TheJavaVM();
    return JNI_OK;
}

#ifndef TESTJVM_WITHOUT_BOOT
// The JDK's own launcher uses this to reach its helper class without the application class path.
JNIEXPORT jclass JNICALL JVM_FindClassFromBootLoader(JNIEnv* env, const char* name) {
    testjvm::ThreadState& thread = testjvm::ThreadFromEnv(env, "JVM_FindClassFromBootLoader");
    if (!name) testjvm::Fatal("JVM_FindClassFromBootLoader called with a null name");
    testjvm::LogLine(std::string("JVM_FindClassFromBootLoader ") + name);
    return static_cast<jclass>(testjvm::NewLocalRef(thread, testjvm::LookupClass(name, true)));
}
#endif

}  // extern "C"
