// The Java methods of the test runtime: the JDK methods a launcher calls, and the scripted
// application class (main, secondaryMain, stop).
#include "testjvm.h"

#include <cstdio>
#include <cstdlib>

namespace testjvm {
namespace {

const char kLineSeparator[] = "\r\n";

jvalue Nothing() {
    jvalue value{};
    return value;
}

jvalue Returning(ThreadState& thread, Object* object) {
    jvalue value{};
    value.l = NewLocalRef(thread, object);
    return value;
}

Object* Argument(ThreadState& thread, const jvalue* args, int index, const char* method) {
    return Resolve(thread, args[index].l, method);
}

void RequireClass(Object* object, const char* className, const char* method) {
    if (object && !IsSubclass(object->cls, SystemClass(className))) {
        Fatal(std::string(method) + " was given an object of class " + object->cls->name);
    }
}

// ---- java.lang.Object, java.lang.String ----

jvalue ObjectToString(ThreadState& thread, Object* self, Class*, const jvalue*) {
    char hash[32];
    std::snprintf(hash, sizeof hash, "@%x", static_cast<unsigned>(reinterpret_cast<uintptr_t>(self) >> 4));
    const std::string text = Dotted(self->cls->name) + hash;
    return Returning(thread, NewStringObject(std::u16string(text.begin(), text.end())));
}

jvalue StringFromChars(ThreadState& thread, Object* self, Class*, const jvalue* args) {
    Object* chars = Argument(thread, args, 0, "String(char[])");
    if (!chars) {
        Throw(thread, "java/lang/NullPointerException", u"Cannot read the array length because \"value\" is null");
        return Nothing();
    }
    RequireClass(chars, "[C", "String(char[])");
    self->text = chars->text;
    return Nothing();
}

// ---- java.lang.System ----

jvalue SystemExit(ThreadState&, Object*, Class*, const jvalue* args) {
    ExitVm(args[0].i);
}

jvalue SystemGetProperty(ThreadState& thread, Object*, Class*, const jvalue* args) {
    Object* key = Argument(thread, args, 0, "System.getProperty");
    if (!key) Fatal("System.getProperty was given a null key");
    const std::string name = Utf8FromUtf16(key->text);
    LogLine("System.getProperty " + name);
    World& world = TheWorld();
    std::lock_guard<std::recursive_mutex> guard(world.lock);
    auto found = world.properties.find(name);
    if (found != world.properties.end()) return Returning(thread, NewStringObject(found->second));
    if (name == "java.vm.vendor") return Returning(thread, NewStringObject(u"testjvm"));
    // HotSpot says so while it uses an archive, its base archive at least.
    if (name == "java.vm.info") return Returning(thread, NewStringObject(u"mixed mode, sharing"));
    return Returning(thread, nullptr);
}

jvalue SetStream(ThreadState& thread, const jvalue* args, Object** slot, const char* method) {
    Object* stream = Argument(thread, args, 0, method);
    RequireClass(stream, "java/io/PrintStream", method);
    World& world = TheWorld();
    std::lock_guard<std::recursive_mutex> guard(world.lock);
    *slot = stream;
    return Nothing();
}

jvalue SystemSetOut(ThreadState& thread, Object*, Class*, const jvalue* args) {
    return SetStream(thread, args, &TheWorld().systemOut, "System.setOut");
}

jvalue SystemSetErr(ThreadState& thread, Object*, Class*, const jvalue* args) {
    return SetStream(thread, args, &TheWorld().systemErr, "System.setErr");
}

// ---- java.io streams ----

std::string SystemErrorText(DWORD error) {
    wchar_t* buffer = nullptr;
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::u16string text;
    if (length > 0 && buffer) text.assign(buffer, buffer + length);
    if (buffer) LocalFree(buffer);
    // Like the JDK, drop the trailing line break and full stop of the system text.
    while (!text.empty() &&
           (text.back() == u'\r' || text.back() == u'\n' || text.back() == u'.' || text.back() == u' ')) {
        text.pop_back();
    }
    return text.empty() ? "error " + std::to_string(error) : AnsiFromUtf16(text);
}

jvalue OpenFileStream(ThreadState& thread, Object* self, const jvalue* args, bool append) {
    Object* name = Argument(thread, args, 0, "FileOutputStream(String)");
    if (!name) {
        Throw(thread, "java/lang/NullPointerException", u"");
        return Nothing();
    }
    RequireClass(name, "java/lang/String", "FileOutputStream(String)");
    const std::wstring path(name->text.begin(), name->text.end());
    // The JDK opens output files shared for reading and writing; append opens at the end.
    self->file =
        CreateFileW(path.c_str(), append ? FILE_APPEND_DATA : GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, append ? OPEN_ALWAYS : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    const DWORD error = self->file == INVALID_HANDLE_VALUE ? GetLastError() : 0;
    LogLine("FileOutputStream " + Utf8FromUtf16(name->text) + " append=" + (append ? "1" : "0") +
            (error ? " error=" + std::to_string(error) : " opened"));
    if (error) {
        const std::u16string message = name->text + u" (" + Utf16FromAnsi(SystemErrorText(error)) + u")";
        Throw(thread, "java/io/FileNotFoundException", message);
    }
    return Nothing();
}

jvalue FileStreamInit(ThreadState& thread, Object* self, Class*, const jvalue* args) {
    return OpenFileStream(thread, self, args, false);
}

jvalue FileStreamInitAppend(ThreadState& thread, Object* self, Class*, const jvalue* args) {
    return OpenFileStream(thread, self, args, args[1].z != JNI_FALSE);
}

jvalue PrintStreamInit(ThreadState& thread, Object* self, Class*, const jvalue* args) {
    Object* target = Argument(thread, args, 0, "PrintStream(OutputStream)");
    if (!target) {
        Throw(thread, "java/lang/NullPointerException", u"Null output stream");
        return Nothing();
    }
    RequireClass(target, "java/io/OutputStream", "PrintStream(OutputStream)");
    self->target = target;
    return Nothing();
}

std::string PrintedText(ThreadState& thread, const jvalue* args, const char* method) {
    Object* text = Argument(thread, args, 0, method);
    RequireClass(text, "java/lang/String", method);
    return text ? AnsiFromUtf16(text->text) : std::string("null");
}

jvalue PrintStreamPrint(ThreadState& thread, Object* self, Class*, const jvalue* args) {
    WriteToStream(self, PrintedText(thread, args, "PrintStream.print"));
    return Nothing();
}

jvalue PrintStreamPrintln(ThreadState& thread, Object* self, Class*, const jvalue* args) {
    WriteToStream(self, PrintedText(thread, args, "PrintStream.println") + kLineSeparator);
    return Nothing();
}

jvalue Flush(ThreadState&, Object*, Class*, const jvalue*) {
    return Nothing();
}

jvalue ByteStreamToString(ThreadState& thread, Object* self, Class*, const jvalue*) {
    return Returning(thread, NewStringObject(Utf16FromAnsi(self->bytes)));
}

// ---- java.lang.Throwable ----

jvalue ThrowablePrintStackTraceTo(ThreadState& thread, Object* self, Class*, const jvalue* args) {
    Object* stream = Argument(thread, args, 0, "Throwable.printStackTrace");
    if (!stream) {
        Throw(thread, "java/lang/NullPointerException", u"");
        return Nothing();
    }
    RequireClass(stream, "java/io/PrintStream", "Throwable.printStackTrace");
    PrintStackTrace(self, stream);
    return Nothing();
}

jvalue ThrowablePrintStackTrace(ThreadState&, Object* self, Class*, const jvalue*) {
    PrintStackTrace(self, TheWorld().systemErr);
    return Nothing();
}

jvalue ThrowableToString(ThreadState& thread, Object* self, Class*, const jvalue*) {
    return Returning(thread, NewStringObject(ThrowableText(self)));
}

jvalue ThrowableGetMessage(ThreadState& thread, Object* self, Class*, const jvalue*) {
    return Returning(thread, self->hasText ? NewStringObject(self->text) : nullptr);
}

// ---- sun.launcher.LauncherHelper ----

// Like the JDK's helper, a class that cannot be loaded or has no main method is reported on the
// chosen stream and ends the process through System.exit(1); it never returns null.
jvalue CheckAndLoadMain(ThreadState& thread, Object*, Class*, const jvalue* args) {
    const bool toStderr = args[0].z != JNI_FALSE;
    const jint mode = args[1].i;
    Object* what = Argument(thread, args, 2, "LauncherHelper.checkAndLoadMain");
    if (!what) {
        Throw(thread, "java/lang/NullPointerException", u"");
        return Nothing();
    }
    RequireClass(what, "java/lang/String", "LauncherHelper.checkAndLoadMain");
    LogLine("checkAndLoadMain printToStderr=" + std::to_string(toStderr ? 1 : 0) + " mode=" + std::to_string(mode) +
            " name=" + Utf8FromUtf16(what->text));
    if (mode != 1) Fatal("checkAndLoadMain mode " + std::to_string(mode) + " is not modelled");
    std::u16string dotted = what->text;
    std::u16string internal = what->text;
    for (char16_t& c : dotted) c = c == u'/' ? u'.' : c;
    for (char16_t& c : internal) c = c == u'.' ? u'/' : c;
    Class* mainClass = LookupClass(ModifiedUtf8FromUtf16(internal), false);
    Object* stream = toStderr ? TheWorld().systemErr : TheWorld().systemOut;
    const std::string name = AnsiFromUtf16(dotted);
    if (!mainClass) {
        WriteToStream(stream, "Error: Could not find or load main class " + name + kLineSeparator +
                                  "Caused by: java.lang.ClassNotFoundException: " + name + kLineSeparator);
        ExitVm(1);
    }
    if (!FindMethod(mainClass, "main", "([Ljava/lang/String;)V", true)) {
        WriteToStream(stream, "Error: Main method not found in class " + name + ", please define the main method as:" +
                                  kLineSeparator + "   public static void main(String[] args)" + kLineSeparator +
                                  "or a JavaFX application class must extend javafx.application.Application" +
                                  kLineSeparator);
        ExitVm(1);
    }
    return Returning(thread, mainClass);
}

// ---- the application class ----

// The reserved size of the calling thread's stack: from the stack's allocation base up to the
// end of that allocation, which is what the stack-size argument of CreateThread decides.
unsigned long long StackReserve() {
    MEMORY_BASIC_INFORMATION info{};
    if (!VirtualQuery(&info, &info, sizeof info)) return 0;
    void* const base = info.AllocationBase;
    unsigned long long total = 0;
    const char* walk = static_cast<const char*>(base);
    while (VirtualQuery(walk, &info, sizeof info) && info.AllocationBase == base) {
        total += info.RegionSize;
        walk += info.RegionSize;
    }
    return total;
}

std::string ArgumentRecords(ThreadState& thread, jobject arrayRef) {
    Object* array = Resolve(thread, arrayRef, "main");
    if (!array) return "args null";
    std::string records = "args " + std::to_string(array->elements.size());
    for (size_t i = 0; i < array->elements.size(); ++i) {
        const Object* element = array->elements[i];
        records += "\narg " + std::to_string(i) + " ";
        if (!element) {
            records += "null";
        } else if (element->cls->name != "java/lang/String") {
            records += "class=" + element->cls->name;
        } else {
            records += "units=" + HexUnits(element->text) + " text=" + Utf8FromUtf16(element->text);
        }
    }
    return records;
}

// A program's first window, as a toolkit other than AWT shows it: plain Win32, on main's thread.
void ShowPlainWindow(DWORD milliseconds) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"TestjvmWindow";
    RegisterClassW(&windowClass);
    HWND window = CreateWindowExW(0, L"TestjvmWindow", L"testjvm window", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr,
                                  nullptr, windowClass.hInstance, nullptr);
    // Logged before it shows: a launcher that sees it at once may log in between.
    LogLine(window ? "window-shown" : "window-failed " + std::to_string(GetLastError()));
    ShowWindow(window, SW_SHOW);
    const ULONGLONG end = GetTickCount64() + milliseconds;
    for (MSG message; GetTickCount64() < end;) {
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
        Sleep(10);
    }
    if (window) DestroyWindow(window);
}

jvalue ApplicationMain(ThreadState& thread, Object*, Class* cls, const jvalue* args) {
    World& world = TheWorld();
    LogLine("thread-stack-reserve " + std::to_string(StackReserve()) + "\n" + ArgumentRecords(thread, args[0].l));
    for (const Step& step : world.script.steps) {
        if (step.kind == StepKind::Return) break;
        if (step.kind == StepKind::Throw) {
            const std::u16string message = u"boom";
            Throw(thread, "java/lang/RuntimeException", message, "\tat " + Dotted(cls->name) + ".main(Main.java)\r\n");
            break;
        }
        switch (step.kind) {
            case StepKind::VmPrint:
                LogLine("main-vmprint");
                VmPrint(world.printHook, VmStream(false), "%s\n", step.text.c_str());
                break;
            case StepKind::Print: {
                Object* out = nullptr;
                {
                    std::lock_guard<std::recursive_mutex> guard(world.lock);
                    out = world.systemOut;
                }
                LogLine("main-print " + Utf8FromUtf16(Utf16FromAnsi(step.text)));
                if (!out) {
                    Throw(thread, "java/lang/NullPointerException",
                          u"Cannot invoke \"java.io.PrintStream.println(String)\" because \"java.lang.System.out\" is "
                          u"null",
                          "\tat " + Dotted(cls->name) + ".main(Main.java)\r\n");
                    break;
                }
                WriteToStream(out, step.text + kLineSeparator);
                break;
            }
            case StepKind::Exit: ExitVm(static_cast<jint>(step.value));
            case StepKind::Thread: StartScriptThread(step.value); break;
            case StepKind::Window: ShowPlainWindow(static_cast<DWORD>(step.value)); break;
            case StepKind::WaitStop:
                LogLine("main-waiting-for-stop");
                WaitForSingleObject(world.stopEvent, INFINITE);
                break;
            default: break;
        }
        if (thread.pending) break;
    }
    LogLine(thread.pending ? "main-end exception" : "main-end");
    return Nothing();
}

jvalue ApplicationSecondaryMain(ThreadState& thread, Object*, Class*, const jvalue* args) {
    LogLine("secondaryMain " + ArgumentRecords(thread, args[0].l));
    jvalue result{};
    result.i = TheWorld().script.secondaryValue;
    Object* array = Resolve(thread, args[0].l, "secondaryMain");
    if (TheWorld().script.secondaryThrows) {
        Throw(thread, "java/lang/RuntimeException", u"boom", "\tat com.example.Main.secondaryMain(Main.java)\r\n");
    } else if (TheWorld().script.secondaryEcho && array && !array->elements.empty() && array->elements[0]) {
        const std::string first = Utf8FromUtf16(array->elements[0]->text);
        if (first == "slow") Sleep(static_cast<DWORD>(TheWorld().script.secondarySlowMs));
        result.i = std::atoi(first.c_str());
    }
    return result;
}

jvalue ApplicationStop(ThreadState&, Object*, Class*, const jvalue*) {
    LogLine("stop-called");
    if (TheWorld().script.stopHangs) {
        for (;;) Sleep(INFINITE);
    }
    SetEvent(TheWorld().stopEvent);
    return Nothing();
}

struct MethodEntry {
    const char* cls;
    const char* name;
    const char* signature;
    bool isStatic;
    Native body;
};

const MethodEntry kSystemMethods[] = {
    {"java/lang/Object", "toString", "()Ljava/lang/String;", false, ObjectToString},
    {"java/lang/String", "<init>", "([C)V", false, StringFromChars},
    {"java/lang/System", "exit", "(I)V", true, SystemExit},
    {"java/lang/System", "getProperty", "(Ljava/lang/String;)Ljava/lang/String;", true, SystemGetProperty},
    {"java/lang/System", "setOut", "(Ljava/io/PrintStream;)V", true, SystemSetOut},
    {"java/lang/System", "setErr", "(Ljava/io/PrintStream;)V", true, SystemSetErr},
    {"java/io/OutputStream", "flush", "()V", false, Flush},
    {"java/io/FileOutputStream", "<init>", "(Ljava/lang/String;)V", false, FileStreamInit},
    {"java/io/FileOutputStream", "<init>", "(Ljava/lang/String;Z)V", false, FileStreamInitAppend},
    {"java/io/ByteArrayOutputStream", "<init>", "()V", false, Flush},
    {"java/io/ByteArrayOutputStream", "toString", "()Ljava/lang/String;", false, ByteStreamToString},
    {"java/io/PrintStream", "<init>", "(Ljava/io/OutputStream;)V", false, PrintStreamInit},
    {"java/io/PrintStream", "<init>", "(Ljava/io/OutputStream;Z)V", false, PrintStreamInit},
    {"java/io/PrintStream", "print", "(Ljava/lang/String;)V", false, PrintStreamPrint},
    {"java/io/PrintStream", "println", "(Ljava/lang/String;)V", false, PrintStreamPrintln},
    {"java/lang/Throwable", "printStackTrace", "()V", false, ThrowablePrintStackTrace},
    {"java/lang/Throwable", "printStackTrace", "(Ljava/io/PrintStream;)V", false, ThrowablePrintStackTraceTo},
    {"java/lang/Throwable", "toString", "()Ljava/lang/String;", false, ThrowableToString},
    {"java/lang/Throwable", "getMessage", "()Ljava/lang/String;", false, ThrowableGetMessage},
    {"sun/launcher/LauncherHelper", "checkAndLoadMain", "(ZILjava/lang/String;)Ljava/lang/Class;", true,
     CheckAndLoadMain},
};

void AddMethod(Class* cls, const char* name, const char* signature, bool isStatic, Native body) {
    auto* method = new Method();
    method->owner = cls;
    method->name = name;
    method->signature = signature;
    method->isStatic = isStatic;
    method->body = body;
    cls->methods.push_back(method);
}

}  // namespace

void PrintStackTrace(Object* throwable, Object* stream) {
    WriteToStream(stream, AnsiFromUtf16(ThrowableText(throwable)) + kLineSeparator + throwable->frames);
}

void AddSystemMethods(Class* cls) {
    for (const MethodEntry& entry : kSystemMethods) {
        if (cls->name == entry.cls) AddMethod(cls, entry.name, entry.signature, entry.isStatic, entry.body);
    }
}

void AddApplicationMethods(Class* cls) {
    const Script& script = TheWorld().script;
    if (!script.noMain) AddMethod(cls, "main", "([Ljava/lang/String;)V", true, ApplicationMain);
    if (script.secondaryVoid) AddMethod(cls, "secondaryMain", "([Ljava/lang/String;)V", true, ApplicationSecondaryMain);
    if (script.secondaryInt) AddMethod(cls, "secondaryMain", "([Ljava/lang/String;)I", true, ApplicationSecondaryMain);
    if (script.hasStop) AddMethod(cls, "stop", "()V", true, ApplicationStop);
}

}  // namespace testjvm
