// Internal declarations of the scripted stand-in jvm.dll that the Wine tests load instead of a
// real Java runtime. Test code only: it models the few JDK classes a native launcher touches and
// nothing more. Everything outside that model ends the process through Fatal, so a launcher that
// strays from it fails loudly instead of passing by accident.
#pragma once

#define _JNI_IMPLEMENTATION_
#include <atomic>
#include <windows.h>
#include <jni.h>

#include <condition_variable>
#include <cstdio>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace testjvm {

// Exit code of the process when the launcher uses JNI in a way this runtime does not model
// (an unimplemented function slot, a deleted or foreign reference, an unmodelled class).
constexpr UINT kFatalExitCode = 0x7E57;

// ---- log (testjvm_log.cpp) ----

// Appends one UTF-8 record to the log. Records written before the log file is known (the
// JNI_GetDefaultJavaVMInitArgs call comes before the options) are kept and written on OpenLog.
void LogLine(const std::string& record);
// Starts writing to the file (append); an empty path keeps the log off.
void OpenLog(const std::wstring& path);
// Logs "fatal <what>", writes "testjvm: fatal: <what>" to stderr and ends the process.
[[noreturn]] void Fatal(const std::string& what);
// Writes bytes to a standard handle (looked up at each call, as tests may swap them).
void WriteStdHandle(DWORD which, const std::string& bytes);

// ---- the VM's C runtime (testjvm_crt.cpp) ----

using PrintHook = jint(JNICALL*)(FILE*, const char*, va_list);
// The VM's standard output or error stream, of its own C runtime.
FILE* VmStream(bool error);
// A file opened for appending by that runtime (as -Xlog:...:file= opens one), or null.
FILE* VmOpen(const std::wstring& path);
void VmClose(FILE* file);
// Prints to `stream` through the launcher's "vfprintf" hook when it gave one, else itself.
void VmPrint(PrintHook hook, FILE* stream, const char* format, ...);

// ---- text (testjvm_log.cpp) ----

std::string Utf8FromUtf16(const std::u16string& text);
std::u16string Utf16FromAnsi(const std::string& bytes);  // the platform's default charset
std::string AnsiFromUtf16(const std::u16string& text);
std::u16string Utf16FromModifiedUtf8(const char* bytes);
std::string ModifiedUtf8FromUtf16(const std::u16string& text);
std::string HexUnits(const std::u16string& text);  // "0061d83dde00": four hex digits per unit
std::string Dotted(std::string name);              // java/lang/String -> java.lang.String

// ---- script (testjvm_log.cpp) ----

enum class StepKind { Print, VmPrint, Exit, Throw, Thread, WaitStop, Return, Window };
struct Step {
    StepKind kind;
    std::string text;     // Print: the text (default-charset bytes)
    long long value = 0;  // Exit: the code; Thread, Window: milliseconds
};

struct Script {
    std::wstring logPath;
    bool createGiven = false;
    jint createResult = 0;
    bool missing = false;  // no application class exists
    bool noMain = false;   // the application class has no main
    bool secondaryVoid = false;
    bool secondaryInt = false;
    jint secondaryValue = 0;
    bool secondaryEcho = false;  // the int form returns its first argument as a number
    bool secondaryThrows = false;  // the int form throws instead of returning
    long long secondarySlowMs = 0;  // how long a call whose first argument is "slow" takes
    long long destroyDelayMs = 0;  // DestroyJavaVM shuts down this long once the threads have ended
    long long createDelayMs = 0;  // JNI_CreateJavaVM takes this long to succeed
    bool hasStop = false;  // the application class has a static stop()V
    bool stopHangs = false;  // stop() never returns
    long long shutdownHookMs = 0;  // DestroyJavaVM (and System.exit) runs a shutdown hook this long
    bool initExits = false;        // the application class's initialiser calls System.exit(initExitCode)
    jint initExitCode = 0;
    long long vmLines = 0;         // lines the VM prints on its standard error while it is created
    bool vmLog = false;            // the VM writes log records to the log file through its C runtime
    std::vector<Step> steps;
};

// Applies one script value ("testjvm.main" etc.); false with a reason when it is malformed.
bool ApplyScriptValue(Script& script, const std::string& key, const std::string& value, std::string& error);

// ---- object model (testjvm_objects.cpp) ----

struct Class;
struct Method;

struct Object {
    Class* cls = nullptr;
    std::u16string text;                 // String contents, char[] contents, Throwable message
    bool hasText = false;                // Throwable: message present (a null message prints no ": ")
    std::vector<Object*> elements;       // Object[]
    DWORD stdHandle = 0;                 // FileOutputStream on a standard handle
    HANDLE file = INVALID_HANDLE_VALUE;  // FileOutputStream on a file
    std::string bytes;                   // ByteArrayOutputStream contents
    Object* target = nullptr;            // PrintStream: the stream it writes to
    std::string frames;                  // Throwable: the "\tat ..." lines of its stack trace
};

enum class ClassKind { System, Application, Array };

struct Class : Object {
    std::string name;  // JNI form: java/lang/String, [Ljava/lang/String;, [C
    Class* super = nullptr;
    Class* component = nullptr;  // arrays; null for char[]
    ClassKind kind = ClassKind::System;
    std::vector<Method*> methods;
};

struct ThreadState;
using Native = jvalue (*)(ThreadState& thread, Object* self, Class* cls, const jvalue* args);

struct Method {
    static constexpr uint32_t kMagic = 0x4A4D4944;
    uint32_t magic = kMagic;  // tells a method id from a stray pointer
    Class* owner = nullptr;
    std::string name;
    std::string signature;
    bool isStatic = false;
    Native body = nullptr;
};

struct Field {
    Class* owner;
    std::string name;
    std::string signature;
    Object** slot;
};

enum class RefKind { Local, Global };
struct Ref {
    Object* object;
    RefKind kind;
    DWORD thread;  // owning thread of a local reference
    bool live = true;
};

struct EnvBlock {
    JNIEnv_ env;  // first, so the JNIEnv* a caller holds leads back to its thread
    ThreadState* thread;
};

struct ThreadState {
    EnvBlock block{};
    DWORD id = 0;
    std::string name;
    bool daemon = false;
    Object* pending = nullptr;
    std::vector<std::vector<Ref*>> frames;  // local reference frames; [0] is the base frame
};

// The single VM of the process.
struct World {
    std::recursive_mutex lock;  // class table and System's static fields
    Script script;
    bool created = false;
    bool destroyed = false;
    void(JNICALL* exitHook)(jint) = nullptr;
    void(JNICALL* abortHook)() = nullptr;
    PrintHook printHook = nullptr;
    std::vector<Class*> classes;
    Object* systemOut = nullptr;
    Object* systemErr = nullptr;
    HANDLE stopEvent = nullptr;  // set by the application's stop()
    // Non-daemon threads still alive (attached threads and the script's native threads).
    std::mutex threadLock;
    std::condition_variable threadsChanged;
    int liveThreads = 0;
    std::vector<std::string> liveThreadNames;
    bool scriptThreadsStarted = false;
    std::map<std::string, std::u16string> properties;  // -D options, for System.getProperty
    std::string archiveAtExit;  // -XX:ArchiveClassesAtExit: written as the VM ends, before the exit hook
    std::string classList;      // -XX:DumpLoadedClassList: likewise
    // DestroyJavaVM is past the point of no return: like HotSpot, a thread that enters the VM
    // (or attaches) from here on blocks for good.
    std::atomic<bool> exiting{false};
    int nextThreadNumber = 0;
};
World& TheWorld();
// Writes the class archive that -XX:ArchiveClassesAtExit asked for, as HotSpot does at its end.
void WriteArchiveAtExit();

// Class lookup by JNI name. Unknown names outside the JDK's packages are the application class
// (unless the script says it is missing); bootOnly limits the search to system classes.
// Returns null when not found (no exception set); Fatal for unmodelled JDK classes.
Class* LookupClass(const std::string& name, bool bootOnly);
Class* SystemClass(const char* name);  // a modelled system class; Fatal if it is not one
bool IsSubclass(const Class* cls, const Class* base);
bool IsInstance(const Object* object, const Class* cls);
Method* FindMethod(Class* cls, const std::string& name, const std::string& signature, bool isStatic);
Field* FindStaticField(Class* cls, const std::string& name, const std::string& signature);
void CreateInitialStreams();

Object* NewStringObject(const std::u16string& text);
Object* NewThrowable(const char* className, const std::u16string* message, const std::string& frames);
std::u16string ThrowableText(const Object* throwable);  // what Throwable.toString gives
// Appends bytes to an output stream object (PrintStream, FileOutputStream, ByteArrayOutputStream).
void WriteToStream(Object* stream, const std::string& bytes);

// ---- threads and references (testjvm_threads.cpp) ----

bool SupportedVersion(jint version);
// Blocks for good a thread that enters the VM once DestroyJavaVM is past the point of no return.
void BlockIfExiting(const char* what);  // a JNI version this runtime (like JDK 17) accepts
// Attaches the calling thread (an empty name gives "Thread-<n>"); non-daemon threads keep
// DestroyJavaVM waiting until they detach.
ThreadState* AttachThread(std::string name, bool daemon);
JavaVM* TheJavaVM();
ThreadState* CurrentThread();  // null when the calling thread is not attached
ThreadState& ThreadFromEnv(JNIEnv* env, const char* function);
jobject NewLocalRef(ThreadState& thread, Object* object);
// The reference behind a jobject: null for null, Fatal for a pointer this VM never handed out.
Ref* CheckedRef(jobject ref, const char* function);
// The object behind a reference; Fatal for a deleted reference or another thread's local one.
Object* Resolve(ThreadState& thread, jobject ref, const char* function);
jobject NewGlobalRefTo(Object* object);
void Throw(ThreadState& thread, const char* className, const std::u16string& message,
           const std::string& frames = std::string());
// System.exit: the "exit" hook, then the end of the process.
[[noreturn]] void ExitVm(jint code);
void StartScriptThread(long long milliseconds);

// ---- methods (testjvm_methods.cpp) ----

void AddSystemMethods(Class* cls);
// What Throwable.printStackTrace(PrintStream) writes.
void PrintStackTrace(Object* throwable, Object* stream);
void AddApplicationMethods(Class* cls);

// ---- JNIEnv (testjvm_env.cpp) ----

const JNINativeInterface_* EnvFunctions();
// The thread of a JNIEnv at the start of a JNI function; logs a warning when an exception is
// pending and the function is not one JNI allows while one is pending.
ThreadState& EnterJni(JNIEnv* env, const char* function, bool pendingAllowed = false);
// Fills the string and array slots (testjvm_strings.cpp).
void AddStringAndArrayFunctions(JNINativeInterface_& table);
// Fills the reference slots (testjvm_threads.cpp).
void AddReferenceFunctions(JNINativeInterface_& table);

}  // namespace testjvm
