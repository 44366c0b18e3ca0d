// Checks of the test runtime itself (tests/testjvm): the launcher's Wine tests rely on its log
// and its scripted behaviour, so those are pinned down here through the DLL's public exports.
#include <windows.h>
#include <jni.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using CreateFn = jint(JNICALL*)(JavaVM**, void**, void*);
using GetDefaultFn = jint(JNICALL*)(void*);
using FindBootFn = jclass(JNICALL*)(JNIEnv*, const char*);

template <class Function>
Function Entry(HMODULE module, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

std::wstring ExeFolder() {
    std::wstring path(MAX_PATH, L'\0');
    while (true) {
        const DWORD size = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
        if (size < path.size()) {
            path.resize(size);
            break;
        }
        path.resize(path.size() * 2);
    }
    return path.substr(0, path.find_last_of(L'\\') + 1);
}

std::wstring BuiltDll(const wchar_t* name) {
    return ExeFolder() + L"testjvm\\" + name;
}

std::string Narrow(const std::wstring& text) {
    return std::string(text.begin(), text.end());  // the temp paths used here are ASCII
}

std::string ReadFile(const std::wstring& path) {
    std::ifstream in(Narrow(path), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class ScopedEnvironment {
public:
    ScopedEnvironment(const wchar_t* name, const wchar_t* value) : name_(name) { SetEnvironmentVariableW(name, value); }
    ~ScopedEnvironment() { SetEnvironmentVariableW(name_, nullptr); }

private:
    const wchar_t* name_;
};

// Copies from earlier runs live under one folder; those no longer loaded are removed.
std::wstring CopiesFolder() {
    static const std::wstring folder = [] {
        wchar_t temp[MAX_PATH + 1];
        GetTempPathW(MAX_PATH + 1, temp);
        const std::wstring root = std::wstring(temp) + L"kestran-testjvm\\";
        CreateDirectoryW(root.c_str(), nullptr);
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW((root + L"*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                const std::wstring name = found.cFileName;
                if (name == L"." || name == L"..") continue;
                for (const wchar_t* file : {L"\\jvm.dll", L"\\log.txt", L"\\out.log"})
                    DeleteFileW((root + name + file).c_str());
                RemoveDirectoryW((root + name).c_str());
            } while (FindNextFileW(search, &found));
            FindClose(search);
        }
        return root;
    }();
    return folder;
}

// One private copy of a runtime DLL per test: like a real JVM, the runtime allows one VM per
// loaded library, so each test loads its own file. The copies are never unloaded.
class RuntimeCopy {
public:
    explicit RuntimeCopy(const wchar_t* variant = L"jvm.dll") {
        static int counter = 0;
        folder_ = CopiesFolder() + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++counter) + L"\\";
        CreateDirectoryW(folder_.c_str(), nullptr);
        CopyFileW(BuiltDll(variant).c_str(), (folder_ + L"jvm.dll").c_str(), FALSE);
        module_ = LoadLibraryW((folder_ + L"jvm.dll").c_str());
        DeleteFileW(LogPath().c_str());
    }
    HMODULE Module() const { return module_; }
    std::wstring Folder() const { return folder_; }
    std::wstring LogPath() const { return folder_ + L"log.txt"; }
    std::vector<std::string> LogLines() const {
        std::vector<std::string> lines;
        std::istringstream in(ReadFile(LogPath()));
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }
    bool Logged(const std::string& line) const {
        const auto lines = LogLines();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
    size_t Position(const std::string& line) const {
        const auto lines = LogLines();
        return static_cast<size_t>(std::find(lines.begin(), lines.end(), line) - lines.begin());
    }

private:
    std::wstring folder_;
    HMODULE module_ = nullptr;
};

void JNICALL ExitHook(jint code) {
    const std::string text = "exit hook " + std::to_string(code) + "\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}
void JNICALL AbortHook() {}

struct Vm {
    jint result = JNI_ERR;
    JavaVM* vm = nullptr;
    JNIEnv* env = nullptr;
};

// Creates a VM the way the launcher does: its options, then "abort" and "exit" with hooks.
Vm CreateVm(const RuntimeCopy& runtime, std::vector<std::string> options) {
    options.insert(options.begin(), "-Dtestjvm.log=" + Narrow(runtime.LogPath()));
    std::vector<JavaVMOption> array;
    for (std::string& option : options) array.push_back({&option[0], nullptr});
    array.push_back({const_cast<char*>("abort"), reinterpret_cast<void*>(&AbortHook)});
    array.push_back({const_cast<char*>("exit"), reinterpret_cast<void*>(&ExitHook)});
    JavaVMInitArgs args{JNI_VERSION_1_2, static_cast<jint>(array.size()), array.data(), JNI_FALSE};
    auto create = Entry<CreateFn>(runtime.Module(), "JNI_CreateJavaVM");
    Vm made;
    if (create) made.result = create(&made.vm, reinterpret_cast<void**>(&made.env), &args);
    return made;
}

// Built the launcher's way: through a char[] and the String(char[]) constructor.
jstring JavaString(JNIEnv* env, const std::u16string& text) {
    jclass cls = env->FindClass("java/lang/String");
    jmethodID init = env->GetMethodID(cls, "<init>", "([C)V");
    jcharArray chars = env->NewCharArray(static_cast<jsize>(text.size()));
    env->SetCharArrayRegion(chars, 0, static_cast<jsize>(text.size()), reinterpret_cast<const jchar*>(text.data()));
    auto string = static_cast<jstring>(env->NewObject(cls, init, chars));
    env->DeleteLocalRef(chars);
    env->DeleteLocalRef(cls);
    return string;
}

void CallMain(JNIEnv* env, const char* className, const std::vector<std::u16string>& arguments) {
    jclass stringClass = env->FindClass("java/lang/String");
    jobjectArray array = env->NewObjectArray(static_cast<jsize>(arguments.size()), stringClass, nullptr);
    for (size_t i = 0; i < arguments.size(); ++i) {
        jstring element = JavaString(env, arguments[i]);
        env->SetObjectArrayElement(array, static_cast<jsize>(i), element);
        env->DeleteLocalRef(element);
    }
    jclass mainClass = env->FindClass(className);
    ASSERT_NE(mainClass, nullptr);
    jmethodID main = env->GetStaticMethodID(mainClass, "main", "([Ljava/lang/String;)V");
    ASSERT_NE(main, nullptr);
    env->CallStaticVoidMethod(mainClass, main, array);
}

TEST(TestJvm, LogsCreationOptionsInOrderAndRefusesASecondVm) {
    RuntimeCopy runtime;
    const Vm made = CreateVm(runtime, {"-Dsome.key=a value", "-Xmx512m"});
    ASSERT_EQ(made.result, JNI_OK);
    ASSERT_NE(made.env, nullptr);
    EXPECT_TRUE(runtime.Logged("create version=0x00010002 ignoreUnrecognized=0"));
    EXPECT_TRUE(runtime.Logged("option 0 -Dtestjvm.log=" + Narrow(runtime.LogPath()) + " extraInfo=no"));
    EXPECT_TRUE(runtime.Logged("option 1 -Dsome.key=a value extraInfo=no"));
    EXPECT_TRUE(runtime.Logged("option 2 -Xmx512m extraInfo=no"));
    EXPECT_TRUE(runtime.Logged("option 3 abort extraInfo=yes"));
    EXPECT_TRUE(runtime.Logged("option 4 exit extraInfo=yes"));
    EXPECT_TRUE(runtime.Logged("create-result 0"));
    EXPECT_EQ(CreateVm(runtime, {}).result, JNI_EEXIST);
}

TEST(TestJvm, CreationFailsAsScriptedOrForOptionsARealVmRefuses) {
    const struct {
        const char* name;
        std::vector<std::string> options;
        jint expected;
    } cases[] = {
        {"scripted out of memory", {"-Dtestjvm.create=-4"}, JNI_ENOMEM},
        {"unknown script word", {"-Dtestjvm.main=dance"}, JNI_EINVAL},
        {"class name as an option", {"com.example.Main"}, JNI_ERR},
        {"unconverted percentage heap", {"-Xmx50P"}, JNI_EINVAL},
        {"bad stack size", {"-Xss=512k"}, JNI_EINVAL},
    };
    for (const auto& c : cases) {
        RuntimeCopy runtime;
        const Vm made = CreateVm(runtime, c.options);
        EXPECT_EQ(made.result, c.expected) << c.name;
        EXPECT_EQ(made.vm, nullptr) << c.name;
        EXPECT_TRUE(runtime.Logged("create-result " + std::to_string(c.expected))) << c.name;
    }
}

DWORD WINAPI RunMainOnBigStack(void* parameter) {
    auto* runtime = static_cast<RuntimeCopy*>(parameter);
    const Vm made = CreateVm(*runtime, {});
    if (made.result != JNI_OK) return 1;
    CallMain(made.env, "com/example/Main", {u"a", u"", u"\u0416\U0001F600"});
    return made.vm->DetachCurrentThread() == JNI_OK && made.vm->DestroyJavaVM() == JNI_OK ? 0 : 2;
}

TEST(TestJvm, MainSeesEveryUtf16UnitAndTheStackReserveOfItsThread) {
    RuntimeCopy runtime;
    const DWORD reserve = 4u << 20;
    HANDLE thread =
        CreateThread(nullptr, reserve, RunMainOnBigStack, &runtime, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    ASSERT_NE(thread, nullptr);
    WaitForSingleObject(thread, INFINITE);
    DWORD code = 99;
    GetExitCodeThread(thread, &code);
    CloseHandle(thread);
    ASSERT_EQ(code, 0u);
    EXPECT_TRUE(runtime.Logged("FindClass com/example/Main"));
    EXPECT_TRUE(runtime.Logged("GetStaticMethodID com/example/Main main ([Ljava/lang/String;)V"));
    EXPECT_TRUE(runtime.Logged("CallStaticVoidMethod com/example/Main.main"));
    EXPECT_TRUE(runtime.Logged("args 3"));
    EXPECT_TRUE(runtime.Logged("arg 0 units=0061 text=a"));
    EXPECT_TRUE(runtime.Logged("arg 1 units= text="));
    EXPECT_TRUE(runtime.Logged("arg 2 units=0416d83dde00 text=\xD0\x96\xF0\x9F\x98\x80"));
    EXPECT_LT(runtime.Position("main-end"), runtime.Position("DestroyJavaVM"));
    EXPECT_TRUE(runtime.Logged("destroy-result 0"));
    unsigned long long measured = 0;
    for (const std::string& line : runtime.LogLines()) {
        if (line.rfind("thread-stack-reserve ", 0) == 0) measured = std::stoull(line.substr(21));
    }
    EXPECT_GE(measured, reserve);
    EXPECT_LT(measured, 2ull * reserve);
}

TEST(TestJvm, ScriptedClassFaultsLeaveTheExceptionsARealVmWould) {
    {
        ScopedEnvironment script(L"TESTJVM_MAIN", L"missing");
        RuntimeCopy runtime;
        const Vm made = CreateVm(runtime, {});
        ASSERT_EQ(made.result, JNI_OK);
        EXPECT_EQ(made.env->FindClass("com/example/Main"), nullptr);
        jthrowable error = made.env->ExceptionOccurred();
        EXPECT_TRUE(made.env->IsInstanceOf(error, made.env->FindClass("java/lang/NoClassDefFoundError")));
        made.env->ExceptionClear();
    }
    {
        RuntimeCopy runtime;
        const Vm made = CreateVm(runtime, {"-Dtestjvm.main=nomain"});
        ASSERT_EQ(made.result, JNI_OK);
        jclass cls = made.env->FindClass("com.example.Main");  // dots are not a JNI class name
        EXPECT_EQ(cls, nullptr);
        made.env->ExceptionClear();
        cls = made.env->FindClass("com/example/Main");
        EXPECT_EQ(made.env->GetStaticMethodID(cls, "main", "([Ljava/lang/String;)V"), nullptr);
        EXPECT_TRUE(made.env->ExceptionCheck());
        EXPECT_TRUE(
            runtime.Logged("throw java.lang.NoSuchMethodError: static Lcom/example/Main;.main([Ljava/lang/String;)V"));
    }
}

TEST(TestJvm, RedirectedSystemOutReceivesPrintedTextAndBadFilesThrow) {
    RuntimeCopy runtime;
    const Vm made = CreateVm(runtime, {"-Dtestjvm.main=print:hello,return,print:never"});
    ASSERT_EQ(made.result, JNI_OK);
    JNIEnv* env = made.env;
    jclass fileClass = env->FindClass("java/io/FileOutputStream");
    jmethodID fileInit = env->GetMethodID(fileClass, "<init>", "(Ljava/lang/String;Z)V");
    jclass printClass = env->FindClass("java/io/PrintStream");
    jmethodID printInit = env->GetMethodID(printClass, "<init>", "(Ljava/io/OutputStream;)V");

    const std::wstring missing = runtime.Folder() + L"no\\such\\out.log";
    EXPECT_EQ(
        env->NewObject(fileClass, fileInit, JavaString(env, std::u16string(missing.begin(), missing.end())), JNI_FALSE),
        nullptr);
    EXPECT_TRUE(env->IsInstanceOf(env->ExceptionOccurred(), env->FindClass("java/io/FileNotFoundException")));
    env->ExceptionClear();

    const std::wstring outPath = runtime.Folder() + L"out.log";
    { std::ofstream(Narrow(outPath), std::ios::binary) << "kept\r\n"; }
    jobject file =
        env->NewObject(fileClass, fileInit, JavaString(env, std::u16string(outPath.begin(), outPath.end())), JNI_TRUE);
    ASSERT_NE(file, nullptr);
    jobject print = env->NewObject(printClass, printInit, file);
    jclass system = env->FindClass("java/lang/System");
    env->CallStaticVoidMethod(system, env->GetStaticMethodID(system, "setOut", "(Ljava/io/PrintStream;)V"), print);
    CallMain(env, "com/example/Main", {});
    EXPECT_FALSE(env->ExceptionCheck());
    EXPECT_EQ(ReadFile(outPath), "kept\r\nhello\r\n");
}

TEST(TestJvm, ThrowingMainIsDescribedThroughPrintStackTraceIntoBytes) {
    RuntimeCopy runtime;
    const Vm made = CreateVm(runtime, {"-Dtestjvm.main=throw"});
    ASSERT_EQ(made.result, JNI_OK);
    JNIEnv* env = made.env;
    CallMain(env, "com/example/Main", {});
    jthrowable thrown = env->ExceptionOccurred();
    ASSERT_NE(thrown, nullptr);
    jclass bytesClass = env->FindClass("java/io/ByteArrayOutputStream");
    jobject bytes = env->NewObject(bytesClass, env->GetMethodID(bytesClass, "<init>", "()V"));
    jclass printClass = env->FindClass("java/io/PrintStream");
    jobject print =
        env->NewObject(printClass, env->GetMethodID(printClass, "<init>", "(Ljava/io/OutputStream;)V"), bytes);
    env->CallVoidMethod(
        thrown, env->GetMethodID(env->GetObjectClass(thrown), "printStackTrace", "(Ljava/io/PrintStream;)V"), print);
    auto text = static_cast<jstring>(
        env->CallObjectMethod(bytes, env->GetMethodID(env->GetObjectClass(bytes), "toString", "()Ljava/lang/String;")));
    const char* utf = env->GetStringUTFChars(text, nullptr);
    EXPECT_STREQ(utf, "java.lang.RuntimeException: boom\r\n\tat com.example.Main.main(Main.java)\r\n");
    env->ReleaseStringUTFChars(text, utf);
    env->ExceptionClear();
    EXPECT_TRUE(runtime.Logged("main-end exception"));
}

TEST(TestJvm, LauncherHelperLoadsDottedNamesAndBootLoaderSeesNoAppClasses) {
    RuntimeCopy runtime;
    const Vm made = CreateVm(runtime, {});
    ASSERT_EQ(made.result, JNI_OK);
    auto findBoot = Entry<FindBootFn>(runtime.Module(), "JVM_FindClassFromBootLoader");
    ASSERT_NE(findBoot, nullptr);
    EXPECT_EQ(findBoot(made.env, "com/example/App"), nullptr);
    EXPECT_FALSE(made.env->ExceptionCheck());
    jclass helper = findBoot(made.env, "sun/launcher/LauncherHelper");
    ASSERT_NE(helper, nullptr);
    jmethodID check =
        made.env->GetStaticMethodID(helper, "checkAndLoadMain", "(ZILjava/lang/String;)Ljava/lang/Class;");
    ASSERT_NE(check, nullptr);
    jobject cls =
        made.env->CallStaticObjectMethod(helper, check, JNI_TRUE, 1, JavaString(made.env, u"com.example.App"));
    ASSERT_NE(cls, nullptr);
    EXPECT_TRUE(made.env->IsSameObject(cls, made.env->FindClass("com/example/App")));
    EXPECT_TRUE(runtime.Logged("checkAndLoadMain printToStderr=1 mode=1 name=com.example.App"));
}

TEST(TestJvm, DestroyWaitsForTheProgramsThreads) {
    RuntimeCopy runtime;
    const Vm made = CreateVm(runtime, {"-Dtestjvm.main=thread:200"});
    ASSERT_EQ(made.result, JNI_OK);
    CallMain(made.env, "com/example/Main", {});
    EXPECT_EQ(made.vm->DetachCurrentThread(), JNI_OK);
    EXPECT_EQ(made.vm->DestroyJavaVM(), JNI_OK);
    EXPECT_LT(runtime.Position("thread-end"), runtime.Position("destroy-after-thread"));
}

TEST(TestJvm, DefaultInitArgsReportTheScriptedStackSize) {
    RuntimeCopy runtime;
    auto getDefault = Entry<GetDefaultFn>(runtime.Module(), "JNI_GetDefaultJavaVMInitArgs");
    ASSERT_NE(getDefault, nullptr);
    struct {
        jint version;
        char** properties;
        jint checkSource, nativeStackSize, javaStackSize;
        char padding[128];
    } args{};
    args.version = JNI_VERSION_1_1;
    EXPECT_EQ(getDefault(&args), JNI_ERR);  // HotSpot's answer to a 1.1 block, filled in all the same
    EXPECT_EQ(args.javaStackSize, 1048576);
    ScopedEnvironment size(L"TESTJVM_STACK_SIZE", L"262144");
    args = {};
    args.version = JNI_VERSION_1_1;
    getDefault(&args);
    EXPECT_EQ(args.javaStackSize, 262144);
}

TEST(TestJvm, VariantsLackExactlyTheirExportAndJvm32IsA32BitImage) {
    const struct {
        const wchar_t* file;
        const char* missing;
    } variants[] = {{L"jvm_noboot.dll", "JVM_FindClassFromBootLoader"},
                    {L"jvm_nodefaults.dll", "JNI_GetDefaultJavaVMInitArgs"},
                    {L"jvm_nocreate.dll", "JNI_CreateJavaVM"}};
    const char* exports[] = {"JNI_CreateJavaVM", "JNI_GetDefaultJavaVMInitArgs", "JVM_FindClassFromBootLoader"};
    for (const auto& variant : variants) {
        RuntimeCopy runtime(variant.file);
        ASSERT_NE(runtime.Module(), nullptr) << Narrow(variant.file);
        for (const char* name : exports) {
            EXPECT_EQ(GetProcAddress(runtime.Module(), name) == nullptr, std::string(name) == variant.missing)
                << Narrow(variant.file) << " " << name;
        }
    }
    EXPECT_EQ(LoadLibraryW(BuiltDll(L"jvm32.dll").c_str()), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BAD_EXE_FORMAT));
    const std::string image = ReadFile(BuiltDll(L"jvm32.dll"));
    ASSERT_GT(image.size(), 0x100u);
    const uint32_t peOffset = *reinterpret_cast<const uint32_t*>(&image[0x3C]);
    ASSERT_LT(peOffset + 6, image.size());
    EXPECT_EQ(*reinterpret_cast<const uint16_t*>(&image[peOffset + 4]), 0x014C);
    EXPECT_TRUE(GetFileAttributesW(BuiltDll(L"runtime\\bin\\java.dll").c_str()) != INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(GetFileAttributesW(BuiltDll(L"runtime\\bin\\server\\jvm.dll").c_str()) != INVALID_FILE_ATTRIBUTES);
}

// ---- paths that end the process, each checked in a child process ----

void RunScriptedMainAndDetach(const char* script) {
    RuntimeCopy runtime;
    const Vm made = CreateVm(runtime, {std::string("-Dtestjvm.main=") + script});
    if (made.result != JNI_OK) std::exit(100);
    CallMain(made.env, "com/example/Main", {});
    made.vm->DetachCurrentThread();
    std::exit(0);
}

TEST(TestJvmDeathTest, SystemExitCallsTheExitHookAndEndsWithItsCode) {
    EXPECT_EXIT(RunScriptedMainAndDetach("print:hi,exit:3"), testing::ExitedWithCode(3), "exit hook 3");
}

TEST(TestJvmDeathTest, DetachingWithAPendingExceptionReportsItAsUncaught) {
    EXPECT_EXIT(RunScriptedMainAndDetach("throw"), testing::ExitedWithCode(0),
                "Exception in thread .main. java.lang.RuntimeException: boom");
}

TEST(TestJvmDeathTest, LauncherHelperEndsTheProcessForAMissingClass) {
    const auto run = [] {
        ScopedEnvironment script(L"TESTJVM_MAIN", L"missing");
        RuntimeCopy runtime;
        const Vm made = CreateVm(runtime, {});
        jclass helper =
            Entry<FindBootFn>(runtime.Module(), "JVM_FindClassFromBootLoader")(made.env, "sun/launcher/LauncherHelper");
        jmethodID check =
            made.env->GetStaticMethodID(helper, "checkAndLoadMain", "(ZILjava/lang/String;)Ljava/lang/Class;");
        made.env->CallStaticObjectMethod(helper, check, JNI_TRUE, 1, JavaString(made.env, u"com.example.Nope"));
        std::exit(100);
    };
    EXPECT_EXIT(run(), testing::ExitedWithCode(1), "Could not find or load main class com.example.Nope");
}

TEST(TestJvmDeathTest, JniMisuseEndsTheProcessWithTheFatalCode) {
    const auto unimplemented = [] {
        RuntimeCopy runtime;
        const Vm made = CreateVm(runtime, {});
        made.env->MonitorEnter(made.env->FindClass("java/lang/Object"));
        std::exit(100);
    };
    const std::string slot = std::to_string(offsetof(JNINativeInterface_, MonitorEnter) / sizeof(void*));
    EXPECT_EXIT(unimplemented(), testing::ExitedWithCode(0x7E57), "slot " + slot + " is not implemented");

    const auto deleted = [] {
        RuntimeCopy runtime;
        const Vm made = CreateVm(runtime, {});
        jclass cls = made.env->FindClass("java/lang/String");
        made.env->DeleteLocalRef(cls);
        made.env->GetMethodID(cls, "<init>", "([C)V");
        std::exit(100);
    };
    EXPECT_EXIT(deleted(), testing::ExitedWithCode(0x7E57), "deleted reference");

    const auto foreign = [] {
        RuntimeCopy runtime;
        const Vm made = CreateVm(runtime, {});
        jclass cls = made.env->FindClass("java/lang/String");
        std::thread other([&] {
            JNIEnv* env = nullptr;
            made.vm->AttachCurrentThread(reinterpret_cast<void**>(&env), nullptr);
            env->GetMethodID(cls, "<init>", "([C)V");
        });
        other.join();
        std::exit(100);
    };
    EXPECT_EXIT(foreign(), testing::ExitedWithCode(0x7E57), "local reference of another thread");
}

}  // namespace
