// The JNIEnv function table of the test runtime. Only the functions a launcher needs are real;
// every other slot ends the process with kFatalExitCode and names its slot index in the log.
#include "testjvm.h"

#include <cstdarg>
#include <cstring>
#include <utility>

namespace testjvm {
namespace {

// Whether JNI allows the function while an exception is pending.
enum class Pending { Allowed, Warn };

ThreadState& Enter(JNIEnv* env, const char* function, Pending pending = Pending::Warn) {
    BlockIfExiting(function);
    ThreadState& thread = ThreadFromEnv(env, function);
    // HotSpot's -Xcheck:jni warns about this too; the call itself still runs.
    if (thread.pending && pending == Pending::Warn) {
        LogLine(std::string("warning ") + function + " called with an exception pending");
    }
    return thread;
}

Class* ResolveClass(ThreadState& thread, jclass ref, const char* function) {
    Object* object = Resolve(thread, ref, function);
    if (!object) Fatal(std::string(function) + " was given a null class");
    if (object->cls->name != "java/lang/Class") Fatal(std::string(function) + " was given a non-class object");
    return static_cast<Class*>(object);
}

Object* ResolveNonNull(ThreadState& thread, jobject ref, const char* function) {
    Object* object = Resolve(thread, ref, function);
    if (!object) Fatal(std::string(function) + " was given a null object");
    return object;
}

Method* CheckMethod(jmethodID id, const char* function) {
    auto* method = reinterpret_cast<Method*>(id);
    if (!method || method->magic != Method::kMagic) Fatal(std::string(function) + " was given an invalid method id");
    return method;
}

// Variadic arguments arrive promoted (int for the small integral types, double for float).
std::vector<jvalue> ArgumentsFromVaList(const Method* method, va_list args) {
    std::vector<jvalue> values;
    const std::string& signature = method->signature;
    for (size_t i = 1; i < signature.size() && signature[i] != ')';) {
        jvalue value{};
        char kind = signature[i];
        if (kind == '[' || kind == 'L') {
            while (signature[i] == '[') ++i;
            if (signature[i] == 'L') i = signature.find(';', i);
            kind = 'L';
        }
        ++i;
        switch (kind) {
            case 'Z': value.z = static_cast<jboolean>(va_arg(args, int)); break;
            case 'B': value.b = static_cast<jbyte>(va_arg(args, int)); break;
            case 'C': value.c = static_cast<jchar>(va_arg(args, int)); break;
            case 'S': value.s = static_cast<jshort>(va_arg(args, int)); break;
            case 'I': value.i = va_arg(args, jint); break;
            case 'J': value.j = va_arg(args, jlong); break;
            case 'F': value.f = static_cast<jfloat>(va_arg(args, double)); break;
            case 'D': value.d = va_arg(args, double); break;
            default: value.l = va_arg(args, jobject); break;
        }
        values.push_back(value);
    }
    values.push_back(jvalue{});  // never an empty vector: data() must not be null
    return values;
}

void CheckArguments(const Method* method, const jvalue* args, const char* function) {
    if (!args && method->signature[1] != ')') {
        Fatal(std::string(function) + " was given no argument array for " + method->name + method->signature);
    }
}

void CheckReturn(const Method* method, char expected, const char* function) {
    const char actual = method->signature[method->signature.find(')') + 1];
    const bool isObject = actual == 'L' || actual == '[';
    if ((expected == 'L') ? !isObject : actual != expected) {
        LogLine(std::string("warning ") + function + " used for " + method->name + method->signature);
    }
}

jvalue CallStatic(JNIEnv* env, jclass clazz, Method* method, const jvalue* args, const char* function, char kind) {
    ThreadState& thread = Enter(env, function);
    Class* cls = ResolveClass(thread, clazz, function);
    if (!method->isStatic) Fatal(std::string(function) + " used for the instance method " + method->name);
    if (!IsSubclass(cls, method->owner))
        Fatal(std::string(function) + ": method of " + method->owner->name + " called on " + cls->name);
    CheckArguments(method, args, function);
    CheckReturn(method, kind, function);
    LogLine(std::string(function) + " " + cls->name + "." + method->name);
    return method->body(thread, nullptr, cls, args);
}

jvalue CallInstance(JNIEnv* env, jobject obj, Method* method, const jvalue* args, const char* function, char kind) {
    ThreadState& thread = Enter(env, function);
    Object* self = ResolveNonNull(thread, obj, function);
    if (method->isStatic || method->name == "<init>") {
        Fatal(std::string(function) + " used for " + method->name + method->signature);
    }
    if (!IsInstance(self, method->owner)) {
        Fatal(std::string(function) + ": method of " + method->owner->name + " called on a " + self->cls->name);
    }
    CheckArguments(method, args, function);
    CheckReturn(method, kind, function);
    Method* target = FindMethod(self->cls, method->name, method->signature, false);  // virtual dispatch
    LogLine(std::string(function) + " " + self->cls->name + "." + method->name);
    return target->body(thread, self, self->cls, args);
}

// Call<Type>Method, Call<Type>MethodV and Call<Type>MethodA for one result type; all three log
// under the plain name, as the C++ wrappers of jni.h turn the variadic form into the V form.
#define TESTJVM_CALLS(Type, JType, Field, Kind)                                                                      \
    JType JNICALL Call##Type##MethodA(JNIEnv* env, jobject obj, jmethodID id, const jvalue* args) {                  \
        return CallInstance(env, obj, CheckMethod(id, "Call" #Type "Method"), args, "Call" #Type "Method", Kind)     \
            .Field;                                                                                                  \
    }                                                                                                                \
    JType JNICALL Call##Type##MethodV(JNIEnv* env, jobject obj, jmethodID id, va_list args) {                        \
        Method* method = CheckMethod(id, "Call" #Type "Method");                                                     \
        const std::vector<jvalue> values = ArgumentsFromVaList(method, args);                                        \
        return CallInstance(env, obj, method, values.data(), "Call" #Type "Method", Kind).Field;                     \
    }                                                                                                                \
    JType JNICALL Call##Type##Method(JNIEnv* env, jobject obj, jmethodID id, ...) {                                  \
        va_list args;                                                                                                \
        va_start(args, id);                                                                                          \
        const JType result = Call##Type##MethodV(env, obj, id, args);                                                \
        va_end(args);                                                                                                \
        return result;                                                                                               \
    }                                                                                                                \
    JType JNICALL CallStatic##Type##MethodA(JNIEnv* env, jclass cls, jmethodID id, const jvalue* args) {             \
        return CallStatic(env, cls, CheckMethod(id, "CallStatic" #Type "Method"), args, "CallStatic" #Type "Method", \
                          Kind)                                                                                      \
            .Field;                                                                                                  \
    }                                                                                                                \
    JType JNICALL CallStatic##Type##MethodV(JNIEnv* env, jclass cls, jmethodID id, va_list args) {                   \
        Method* method = CheckMethod(id, "CallStatic" #Type "Method");                                               \
        const std::vector<jvalue> values = ArgumentsFromVaList(method, args);                                        \
        return CallStatic(env, cls, method, values.data(), "CallStatic" #Type "Method", Kind).Field;                 \
    }                                                                                                                \
    JType JNICALL CallStatic##Type##Method(JNIEnv* env, jclass cls, jmethodID id, ...) {                             \
        va_list args;                                                                                                \
        va_start(args, id);                                                                                          \
        const JType result = CallStatic##Type##MethodV(env, cls, id, args);                                          \
        va_end(args);                                                                                                \
        return result;                                                                                               \
    }

TESTJVM_CALLS(Object, jobject, l, 'L')
TESTJVM_CALLS(Boolean, jboolean, z, 'Z')
TESTJVM_CALLS(Int, jint, i, 'I')

void JNICALL CallVoidMethodA(JNIEnv* env, jobject obj, jmethodID id, const jvalue* args) {
    CallInstance(env, obj, CheckMethod(id, "CallVoidMethod"), args, "CallVoidMethod", 'V');
}

void JNICALL CallVoidMethodV(JNIEnv* env, jobject obj, jmethodID id, va_list args) {
    Method* method = CheckMethod(id, "CallVoidMethod");
    const std::vector<jvalue> values = ArgumentsFromVaList(method, args);
    CallInstance(env, obj, method, values.data(), "CallVoidMethod", 'V');
}

void JNICALL CallVoidMethod(JNIEnv* env, jobject obj, jmethodID id, ...) {
    va_list args;
    va_start(args, id);
    CallVoidMethodV(env, obj, id, args);
    va_end(args);
}

void JNICALL CallStaticVoidMethodA(JNIEnv* env, jclass cls, jmethodID id, const jvalue* args) {
    CallStatic(env, cls, CheckMethod(id, "CallStaticVoidMethod"), args, "CallStaticVoidMethod", 'V');
}

void JNICALL CallStaticVoidMethodV(JNIEnv* env, jclass cls, jmethodID id, va_list args) {
    Method* method = CheckMethod(id, "CallStaticVoidMethod");
    const std::vector<jvalue> values = ArgumentsFromVaList(method, args);
    CallStatic(env, cls, method, values.data(), "CallStaticVoidMethod", 'V');
}

void JNICALL CallStaticVoidMethod(JNIEnv* env, jclass cls, jmethodID id, ...) {
    va_list args;
    va_start(args, id);
    CallStaticVoidMethodV(env, cls, id, args);
    va_end(args);
}

jobject NewObjectWith(JNIEnv* env, jclass clazz, Method* constructor, const jvalue* args) {
    ThreadState& thread = Enter(env, "NewObject");
    Class* cls = ResolveClass(thread, clazz, "NewObject");
    if (constructor->name != "<init>" || constructor->owner != cls) {
        Fatal("NewObject of " + cls->name + " with " + constructor->owner->name + "." + constructor->name);
    }
    CheckArguments(constructor, args, "NewObject");
    LogLine("NewObject " + cls->name + " " + constructor->signature);
    auto* object = new Object();
    object->cls = cls;
    Object* const before = thread.pending;
    constructor->body(thread, object, cls, args);
    if (thread.pending && thread.pending != before) return nullptr;
    return NewLocalRef(thread, object);
}

jobject JNICALL NewObjectA(JNIEnv* env, jclass clazz, jmethodID id, const jvalue* args) {
    return NewObjectWith(env, clazz, CheckMethod(id, "NewObject"), args);
}

jobject JNICALL NewObjectV(JNIEnv* env, jclass clazz, jmethodID id, va_list args) {
    Method* constructor = CheckMethod(id, "NewObject");
    const std::vector<jvalue> values = ArgumentsFromVaList(constructor, args);
    return NewObjectWith(env, clazz, constructor, values.data());
}

jobject JNICALL NewObject(JNIEnv* env, jclass clazz, jmethodID id, ...) {
    va_list args;
    va_start(args, id);
    jobject result = NewObjectV(env, clazz, id, args);
    va_end(args);
    return result;
}

// ---- classes, methods, fields ----

jint JNICALL GetVersion(JNIEnv* env) {
    Enter(env, "GetVersion");
    return JNI_VERSION_10;
}

jclass JNICALL FindClass(JNIEnv* env, const char* name) {
    ThreadState& thread = Enter(env, "FindClass");
    if (!name) Fatal("FindClass was given a null name");
    LogLine(std::string("FindClass ") + name);
    Class* cls = LookupClass(name, false);
    if (!cls) {
        Throw(thread, "java/lang/NoClassDefFoundError", Utf16FromModifiedUtf8(name));
        return nullptr;
    }
    return static_cast<jclass>(NewLocalRef(thread, cls));
}

jmethodID LookupMethod(JNIEnv* env, jclass clazz, const char* name, const char* signature, bool isStatic) {
    const char* function = isStatic ? "GetStaticMethodID" : "GetMethodID";
    ThreadState& thread = Enter(env, function);
    Class* cls = ResolveClass(thread, clazz, function);
    if (!name || !signature) Fatal(std::string(function) + " was given a null name or signature");
    LogLine(std::string(function) + " " + cls->name + " " + name + " " + signature);
    // The first static lookup initialises the class, as in HotSpot.
    if (isStatic && cls->kind == ClassKind::Application && TheWorld().script.initExits) ExitVm(TheWorld().script.initExitCode);
    if (Method* method = FindMethod(cls, name, signature, isStatic)) return reinterpret_cast<jmethodID>(method);
    const std::string message = std::string(isStatic ? "static " : "") + "L" + cls->name + ";." + name + signature;
    Throw(thread, "java/lang/NoSuchMethodError", Utf16FromModifiedUtf8(message.c_str()));
    return nullptr;
}

jmethodID JNICALL GetMethodID(JNIEnv* env, jclass clazz, const char* name, const char* signature) {
    return LookupMethod(env, clazz, name, signature, false);
}

jmethodID JNICALL GetStaticMethodID(JNIEnv* env, jclass clazz, const char* name, const char* signature) {
    return LookupMethod(env, clazz, name, signature, true);
}

jfieldID JNICALL GetStaticFieldID(JNIEnv* env, jclass clazz, const char* name, const char* signature) {
    ThreadState& thread = Enter(env, "GetStaticFieldID");
    Class* cls = ResolveClass(thread, clazz, "GetStaticFieldID");
    if (!name || !signature) Fatal("GetStaticFieldID was given a null name or signature");
    LogLine(std::string("GetStaticFieldID ") + cls->name + " " + name + " " + signature);
    if (Field* field = FindStaticField(cls, name, signature)) return reinterpret_cast<jfieldID>(field);
    Throw(thread, "java/lang/NoSuchFieldError", Utf16FromModifiedUtf8(name));
    return nullptr;
}

jobject JNICALL GetStaticObjectField(JNIEnv* env, jclass clazz, jfieldID id) {
    ThreadState& thread = Enter(env, "GetStaticObjectField");
    ResolveClass(thread, clazz, "GetStaticObjectField");
    if (!id) Fatal("GetStaticObjectField was given a null field id");
    World& world = TheWorld();
    std::lock_guard<std::recursive_mutex> guard(world.lock);
    return NewLocalRef(thread, *reinterpret_cast<Field*>(id)->slot);
}

jclass JNICALL GetObjectClass(JNIEnv* env, jobject obj) {
    ThreadState& thread = Enter(env, "GetObjectClass");
    return static_cast<jclass>(NewLocalRef(thread, ResolveNonNull(thread, obj, "GetObjectClass")->cls));
}

jboolean JNICALL IsInstanceOf(JNIEnv* env, jobject obj, jclass clazz) {
    ThreadState& thread = Enter(env, "IsInstanceOf");
    return IsInstance(Resolve(thread, obj, "IsInstanceOf"), ResolveClass(thread, clazz, "IsInstanceOf")) ? JNI_TRUE
                                                                                                         : JNI_FALSE;
}

// ---- exceptions ----

jthrowable JNICALL ExceptionOccurred(JNIEnv* env) {
    ThreadState& thread = Enter(env, "ExceptionOccurred", Pending::Allowed);
    return static_cast<jthrowable>(NewLocalRef(thread, thread.pending));
}

jboolean JNICALL ExceptionCheck(JNIEnv* env) {
    return Enter(env, "ExceptionCheck", Pending::Allowed).pending ? JNI_TRUE : JNI_FALSE;
}

void JNICALL ExceptionClear(JNIEnv* env) {
    ThreadState& thread = Enter(env, "ExceptionClear", Pending::Allowed);
    LogLine(thread.pending ? "ExceptionClear" : "ExceptionClear none-pending");
    thread.pending = nullptr;
}

// Re-raises a throwable, as DescribeThrowable does after setting the pending one aside.
jint JNICALL ThrowObject(JNIEnv* env, jthrowable obj) {
    ThreadState& thread = Enter(env, "Throw", Pending::Allowed);
    Object* throwable = ResolveNonNull(thread, obj, "Throw");
    LogLine("Throw " + Utf8FromUtf16(ThrowableText(throwable)));
    thread.pending = throwable;
    return JNI_OK;
}

// As in HotSpot, the thread prefix goes to the process's standard error and the stack trace to
// System.err, wherever that points now.
void JNICALL ExceptionDescribe(JNIEnv* env) {
    ThreadState& thread = Enter(env, "ExceptionDescribe", Pending::Allowed);
    Object* throwable = thread.pending;
    LogLine(throwable ? "ExceptionDescribe " + Utf8FromUtf16(ThrowableText(throwable))
                      : "ExceptionDescribe none-pending");
    if (!throwable) return;
    thread.pending = nullptr;
    WriteStdHandle(STD_ERROR_HANDLE, "Exception in thread \"" + thread.name + "\" ");
    World& world = TheWorld();
    Object* err = nullptr;
    {
        std::lock_guard<std::recursive_mutex> guard(world.lock);
        err = world.systemErr;
    }
    PrintStackTrace(throwable, err);
}

jint JNICALL GetJavaVM(JNIEnv* env, JavaVM** vm) {
    Enter(env, "GetJavaVM");
    if (!vm) Fatal("GetJavaVM was given a null pointer");
    *vm = TheJavaVM();
    return JNI_OK;
}

}  // namespace

ThreadState& EnterJni(JNIEnv* env, const char* function, bool pendingAllowed) {
    return Enter(env, function, pendingAllowed ? Pending::Allowed : Pending::Warn);
}

namespace {

template <size_t Slot>
void JNICALL Unimplemented() {
    LogLine("unimplemented " + std::to_string(Slot));
    Fatal("JNIEnv function slot " + std::to_string(Slot) + " is not implemented");
}

constexpr size_t kSlotCount = sizeof(JNINativeInterface_) / sizeof(void*);

template <size_t... Slots>
void FillUnimplemented(void** slots, std::index_sequence<Slots...>) {
    ((slots[Slots] = reinterpret_cast<void*>(&Unimplemented<Slots>)), ...);
}

JNINativeInterface_ BuildTable() {
    void* slots[kSlotCount];
    FillUnimplemented(slots, std::make_index_sequence<kSlotCount>{});
    JNINativeInterface_ table;
    std::memcpy(&table, slots, sizeof table);
    table.reserved0 = table.reserved1 = table.reserved2 = table.reserved3 = nullptr;
    table.GetVersion = GetVersion;
    table.FindClass = FindClass;
    table.Throw = ThrowObject;
    table.ExceptionOccurred = ExceptionOccurred;
    table.ExceptionDescribe = ExceptionDescribe;
    table.ExceptionClear = ExceptionClear;
    table.ExceptionCheck = ExceptionCheck;
    table.GetJavaVM = GetJavaVM;
    table.NewObject = NewObject;
    table.NewObjectV = NewObjectV;
    table.NewObjectA = NewObjectA;
    table.GetObjectClass = GetObjectClass;
    table.IsInstanceOf = IsInstanceOf;
    table.GetMethodID = GetMethodID;
    table.GetStaticMethodID = GetStaticMethodID;
    table.GetStaticFieldID = GetStaticFieldID;
    table.GetStaticObjectField = GetStaticObjectField;
    table.CallObjectMethod = CallObjectMethod;
    table.CallObjectMethodV = CallObjectMethodV;
    table.CallObjectMethodA = CallObjectMethodA;
    table.CallBooleanMethod = CallBooleanMethod;
    table.CallBooleanMethodV = CallBooleanMethodV;
    table.CallBooleanMethodA = CallBooleanMethodA;
    table.CallIntMethod = CallIntMethod;
    table.CallIntMethodV = CallIntMethodV;
    table.CallIntMethodA = CallIntMethodA;
    table.CallVoidMethod = CallVoidMethod;
    table.CallVoidMethodV = CallVoidMethodV;
    table.CallVoidMethodA = CallVoidMethodA;
    table.CallStaticObjectMethod = CallStaticObjectMethod;
    table.CallStaticObjectMethodV = CallStaticObjectMethodV;
    table.CallStaticObjectMethodA = CallStaticObjectMethodA;
    table.CallStaticBooleanMethod = CallStaticBooleanMethod;
    table.CallStaticBooleanMethodV = CallStaticBooleanMethodV;
    table.CallStaticBooleanMethodA = CallStaticBooleanMethodA;
    table.CallStaticIntMethod = CallStaticIntMethod;
    table.CallStaticIntMethodV = CallStaticIntMethodV;
    table.CallStaticIntMethodA = CallStaticIntMethodA;
    table.CallStaticVoidMethod = CallStaticVoidMethod;
    table.CallStaticVoidMethodV = CallStaticVoidMethodV;
    table.CallStaticVoidMethodA = CallStaticVoidMethodA;
    AddStringAndArrayFunctions(table);
    AddReferenceFunctions(table);
    return table;
}

}  // namespace

const JNINativeInterface_* EnvFunctions() {
    static const JNINativeInterface_ table = BuildTable();
    return &table;
}

}  // namespace testjvm
