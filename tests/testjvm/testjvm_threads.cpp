// Threads and references of the test runtime: attaching and detaching, the JavaVM functions,
// the checks that catch a launcher using a reference or JNIEnv where JNI forbids it, and the
// JNIEnv functions that manage references.
#include "testjvm.h"

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

}  // namespace

void BlockIfExiting(const char* what) {
    World& world = TheWorld();
    if (!world.exiting || (currentThread != nullptr && currentThread->name == "DestroyJavaVM")) return;
    LogLine(std::string("blocked-after-exit ") + what);
    for (;;) Sleep(INFINITE);
}

bool SupportedVersion(jint version) {
    switch (version) {
        case JNI_VERSION_1_2:
        case JNI_VERSION_1_4:
        case JNI_VERSION_1_6:
        case JNI_VERSION_1_8:
        case JNI_VERSION_9:
        case JNI_VERSION_10: return true;
        default: return false;
    }
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

namespace {

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
    if (world.script.shutdownHookMs > 0) {
        world.exiting = true;
        LogLine("shutdown-hook " + std::to_string(world.script.shutdownHookMs));
        Sleep(static_cast<DWORD>(world.script.shutdownHookMs));
    }
    WriteArchiveAtExit();
    DetachThread(thread);
    world.destroyed = true;
    if (world.script.destroyDelayMs > 0) {
        // Shutdown hooks and the like: the VM takes no new threads any more, the process lives on.
        LogLine("destroy-shutting-down");
        Sleep(static_cast<DWORD>(world.script.destroyDelayMs));
    }
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
    BlockIfExiting(what);
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
    nullptr,
    nullptr,
    nullptr,
    DestroyJavaVm,
    AttachCurrentThread,
    DetachCurrentThread,
    GetEnv,
    AttachCurrentThreadAsDaemon,
};

JavaVM_ theVm = {&kInvokeFunctions};

// ---- the JNIEnv functions for references ----

jint JNICALL PushLocalFrame(JNIEnv* env, jint capacity) {
    ThreadState& thread = EnterJni(env, "PushLocalFrame", true);
    if (capacity < 0 || capacity > 4096) return JNI_ERR;  // HotSpot's limit for one frame
    thread.frames.emplace_back();
    return JNI_OK;
}

jobject JNICALL PopLocalFrame(JNIEnv* env, jobject result) {
    ThreadState& thread = EnterJni(env, "PopLocalFrame", true);
    if (thread.frames.size() < 2) Fatal("PopLocalFrame without a matching PushLocalFrame");
    Object* kept = Resolve(thread, result, "PopLocalFrame");
    for (Ref* ref : thread.frames.back()) ref->live = false;
    thread.frames.pop_back();
    return NewLocalRef(thread, kept);
}

jobject JNICALL NewGlobalRef(JNIEnv* env, jobject obj) {
    ThreadState& thread = EnterJni(env, "NewGlobalRef");
    return NewGlobalRefTo(Resolve(thread, obj, "NewGlobalRef"));
}

void JNICALL DeleteGlobalRef(JNIEnv* env, jobject obj) {
    EnterJni(env, "DeleteGlobalRef", true);
    Ref* ref = CheckedRef(obj, "DeleteGlobalRef");
    if (!ref) return;
    if (ref->kind != RefKind::Global) Fatal("DeleteGlobalRef was given a local reference");
    if (!ref->live) Fatal("DeleteGlobalRef was given a deleted reference");
    ref->live = false;
}

void JNICALL DeleteLocalRef(JNIEnv* env, jobject obj) {
    ThreadState& thread = EnterJni(env, "DeleteLocalRef", true);
    Ref* ref = CheckedRef(obj, "DeleteLocalRef");
    if (!ref) return;
    if (ref->kind != RefKind::Local) Fatal("DeleteLocalRef was given a global reference");
    Resolve(thread, obj, "DeleteLocalRef");  // deleted twice, or another thread's reference
    ref->live = false;
}

jboolean JNICALL IsSameObject(JNIEnv* env, jobject a, jobject b) {
    ThreadState& thread = EnterJni(env, "IsSameObject");
    return Resolve(thread, a, "IsSameObject") == Resolve(thread, b, "IsSameObject") ? JNI_TRUE : JNI_FALSE;
}

jobject JNICALL NewLocalRefTo(JNIEnv* env, jobject obj) {
    ThreadState& thread = EnterJni(env, "NewLocalRef");
    return NewLocalRef(thread, Resolve(thread, obj, "NewLocalRef"));
}

jint JNICALL EnsureLocalCapacity(JNIEnv* env, jint capacity) {
    EnterJni(env, "EnsureLocalCapacity");
    return capacity < 0 ? JNI_ERR : JNI_OK;
}

jobjectRefType JNICALL GetObjectRefType(JNIEnv* env, jobject obj) {
    EnterJni(env, "GetObjectRefType");
    const Ref* ref = CheckedRef(obj, "GetObjectRefType");
    if (!ref || !ref->live) return JNIInvalidRefType;
    return ref->kind == RefKind::Local ? JNILocalRefType : JNIGlobalRefType;
}

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
    if (KnownRefs().count(candidate) == 0)
        Fatal(std::string(function) + " was given something that is not a reference");
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
    if (world.script.shutdownHookMs > 0 && !world.exiting.exchange(true)) {
        LogLine("shutdown-hook " + std::to_string(world.script.shutdownHookMs));
        Sleep(static_cast<DWORD>(world.script.shutdownHookMs));
    }
    WriteArchiveAtExit();
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

void AddReferenceFunctions(JNINativeInterface_& table) {
    table.PushLocalFrame = PushLocalFrame;
    table.PopLocalFrame = PopLocalFrame;
    table.NewGlobalRef = NewGlobalRef;
    table.DeleteGlobalRef = DeleteGlobalRef;
    table.DeleteLocalRef = DeleteLocalRef;
    table.IsSameObject = IsSameObject;
    table.NewLocalRef = NewLocalRefTo;
    table.EnsureLocalCapacity = EnsureLocalCapacity;
    table.GetObjectRefType = GetObjectRefType;
}

}  // namespace testjvm
