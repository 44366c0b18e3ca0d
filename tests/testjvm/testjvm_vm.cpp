// The entry points of the test runtime: VM creation from the option list, the default
// initialisation arguments, and the exports (each variant DLL leaves one out).
#include "testjvm.h"

#include <psapi.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <map>

namespace testjvm {

void WriteArchiveAtExit() {
    World& world = TheWorld();
    if (!world.classList.empty()) {
        HANDLE file = CreateFileA(world.classList.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        if (file != INVALID_HANDLE_VALUE) WriteFile(file, "java/lang/Object id: 0\n", 23, &written, nullptr), CloseHandle(file);
        world.classList.clear();
    }
    if (world.archiveAtExit.empty()) return;
    // A dynamic archive's magic number, then enough to pass for a whole one.
    std::string bytes(8192, '\0');
    bytes.replace(0, 4, "\xa8\xab\x0b\xf0");
    HANDLE file = CreateFileA(world.archiveAtExit.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_READONLY, nullptr);
    DWORD written = 0;
    const bool ok = file != INVALID_HANDLE_VALUE && WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    LogLine(std::string(ok ? "archive-written " : "archive-failed ") + world.archiveAtExit);
    world.archiveAtExit.clear();
}

namespace {

std::string Hex32(jint value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08x", static_cast<unsigned>(value));
    return text;
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

// A complaint about an option: through the launcher's "vfprintf" hook once the option list has
// given one, as HotSpot prints its own messages, else straight to standard error.
void Complain(PrintHook hook, const std::string& text) {
    if (hook == nullptr) {
        WriteStdHandle(STD_ERROR_HANDLE, text + "\r\n");
        return;
    }
    VmPrint(hook, VmStream(true), "%s%c", text.c_str(), '\n');
}

// The checks a real VM makes on the options a launcher hands over; the runtime refuses what a
// real one would, so a launcher cannot pass a test with options no JDK accepts.
jint CheckOption(const char* text, PrintHook hook) {
    static const struct {
        const char* prefix;
        const char* complaint;
    } sizes[] = {{"-Xmx", "Invalid maximum heap size: "},
                 {"-Xms", "Invalid initial heap size: "},
                 {"-Xss", "Invalid thread stack size: "},
                 {"-Xmn", "Invalid maximum new generation size: "}};
    const std::string option = text;
    if (option == "abort" || option == "exit" || option == "vfprintf") return JNI_OK;
    if (option.empty() || option[0] != '-' || option == "-cp" || option == "-classpath" || option == "--class-path" ||
        option == "-jar") {
        Complain(hook, "Unrecognized option: " + option);
        return JNI_ERR;
    }
    for (const auto& size : sizes) {
        if (option.rfind(size.prefix, 0) == 0 && !IsSizeValue(option.substr(4))) {
            Complain(hook, size.complaint + option);
            return JNI_EINVAL;
        }
    }
    return JNI_OK;
}

[[maybe_unused]] jint CreateVm(JavaVM** vm, void** env, void* rawArgs) {
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
    {
        // Where the libraries the VM loads later by name are searched first.
        wchar_t directory[1024] = L"";
        const DWORD length = GetDllDirectoryW(1024, directory);
        LogLine("dll-directory " + Utf8FromUtf16(std::u16string(directory, directory + (length < 1024 ? length : 0))));
    }
    for (jint i = 0; i < args->nOptions; ++i) {
        const JavaVMOption& option = args->options[i];
        LogLine("option " + std::to_string(i) + " " + Utf8FromUtf16(Utf16FromAnsi(option.optionString)) +
                " extraInfo=" + (option.extraInfo ? "yes" : "no"));
    }

    // Slow whatever the answer: a launch may have to wait for a creation that then fails.
    if (world.script.createDelayMs > 0) Sleep(static_cast<DWORD>(world.script.createDelayMs));
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
    PrintHook printHook = nullptr;
    for (jint i = 0; i < args->nOptions; ++i) {
        if (std::string(args->options[i].optionString) == "vfprintf") {
            printHook = reinterpret_cast<PrintHook>(args->options[i].extraInfo);
        }
    }
    // Like -XX:+PrintFlagsFinal or -verbose:gc: standard output while the VM comes up, and log
    // records into a file of its own runtime.
    for (long long line = 1; line <= world.script.vmLines; ++line) VmPrint(printHook, VmStream(false), "vm line %lld\n", line);
    if (world.script.vmLines > 0) {
        PROCESS_MEMORY_COUNTERS memory{};
        memory.cb = sizeof memory;
        K32GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
        LogLine("vm-lines-printed private_kb=" + std::to_string(memory.PagefileUsage / 1024));
    }
    if (world.script.vmLog) {
        FILE* file = VmOpen(world.script.logPath);
        if (!file) Fatal("the VM's C runtime cannot open the log");
        for (int record = 1; record <= 2; ++record) VmPrint(printHook, file, "vm-log %d\n", record);
        VmClose(file);
    }
    PrintHook complaintHook = nullptr;  // options before the hook are reported on the VM's own stream
    for (jint i = 0; i < args->nOptions && result == JNI_OK; ++i) {
        const JavaVMOption& option = args->options[i];
        if (std::string(option.optionString) == "vfprintf") complaintHook = printHook;
        if (!args->ignoreUnrecognized) result = CheckOption(option.optionString, complaintHook);
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

    for (jint i = 0; i < args->nOptions; ++i) {
        const std::string option = args->options[i].optionString;
        const size_t equals = option.find('=');
        if (option.rfind("-D", 0) == 0 && equals != std::string::npos) {
            world.properties[option.substr(2, equals - 2)] = Utf16FromAnsi(option.substr(equals + 1));
        }
        if (option.rfind("-XX:ArchiveClassesAtExit=", 0) == 0) world.archiveAtExit = option.substr(equals + 1);
        if (option.rfind("-XX:DumpLoadedClassList=", 0) == 0) world.classList = option.substr(equals + 1);
    }
    world.printHook = printHook;
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
[[maybe_unused]] jint GetDefaultInitArgs(void* rawArgs) {
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

}  // namespace
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
