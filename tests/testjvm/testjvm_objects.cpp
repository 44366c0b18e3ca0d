// The class world of the test runtime: the handful of JDK classes a launcher touches, plus one
// application class per name the launcher asks for.
#include "testjvm.h"

namespace testjvm {
namespace {

struct SystemClassEntry {
    const char* name;
    const char* super;
};

// Parents come before their subclasses. Exceptions keep their real hierarchy, so IsInstanceOf and
// the inherited Throwable methods behave as in the JDK.
const SystemClassEntry kSystemClasses[] = {
    {"java/lang/Object", nullptr},
    {"java/lang/Class", "java/lang/Object"},
    {"java/lang/String", "java/lang/Object"},
    {"java/lang/System", "java/lang/Object"},
    {"java/io/OutputStream", "java/lang/Object"},
    {"java/io/FileOutputStream", "java/io/OutputStream"},
    {"java/io/ByteArrayOutputStream", "java/io/OutputStream"},
    {"java/io/FilterOutputStream", "java/io/OutputStream"},
    {"java/io/PrintStream", "java/io/FilterOutputStream"},
    {"java/lang/Throwable", "java/lang/Object"},
    {"java/lang/Exception", "java/lang/Throwable"},
    {"java/lang/RuntimeException", "java/lang/Exception"},
    {"java/lang/NullPointerException", "java/lang/RuntimeException"},
    {"java/lang/IndexOutOfBoundsException", "java/lang/RuntimeException"},
    {"java/lang/ArrayIndexOutOfBoundsException", "java/lang/IndexOutOfBoundsException"},
    {"java/lang/StringIndexOutOfBoundsException", "java/lang/IndexOutOfBoundsException"},
    {"java/lang/ArrayStoreException", "java/lang/RuntimeException"},
    {"java/lang/NegativeArraySizeException", "java/lang/RuntimeException"},
    {"java/lang/ReflectiveOperationException", "java/lang/Exception"},
    {"java/lang/ClassNotFoundException", "java/lang/ReflectiveOperationException"},
    {"java/io/IOException", "java/lang/Exception"},
    {"java/io/FileNotFoundException", "java/io/IOException"},
    {"java/lang/Error", "java/lang/Throwable"},
    {"java/lang/LinkageError", "java/lang/Error"},
    {"java/lang/NoClassDefFoundError", "java/lang/LinkageError"},
    {"java/lang/IncompatibleClassChangeError", "java/lang/LinkageError"},
    {"java/lang/NoSuchMethodError", "java/lang/IncompatibleClassChangeError"},
    {"java/lang/NoSuchFieldError", "java/lang/IncompatibleClassChangeError"},
    {"java/lang/VirtualMachineError", "java/lang/Error"},
    {"java/lang/OutOfMemoryError", "java/lang/VirtualMachineError"},
    {"sun/launcher/LauncherHelper", "java/lang/Object"},
};

const char* const kJdkPackages[] = {"java/", "javax/", "jdk/", "sun/", "com/sun/"};

Class* Find(World& world, const std::string& name) {
    for (Class* cls : world.classes) {
        if (cls->name == name) return cls;
    }
    return nullptr;
}

Class* AddClass(World& world, const std::string& name, Class* super, ClassKind kind) {
    auto* cls = new Class();
    cls->name = name;
    cls->super = super;
    cls->kind = kind;
    cls->cls = Find(world, "java/lang/Class");
    world.classes.push_back(cls);
    return cls;
}

void InitialiseClasses(World& world) {
    if (!world.classes.empty()) return;
    for (const SystemClassEntry& entry : kSystemClasses) {
        AddClass(world, entry.name, entry.super ? Find(world, entry.super) : nullptr, ClassKind::System);
    }
    Class* object = Find(world, "java/lang/Object");
    AddClass(world, "[C", object, ClassKind::Array);
    for (Class* cls : world.classes) {
        cls->cls = Find(world, "java/lang/Class");
        AddSystemMethods(cls);
    }
}

// A binary name in internal form: no dots, no array or descriptor characters, no empty segment.
bool IsInternalName(const std::string& name) {
    if (name.empty() || name.front() == '/' || name.back() == '/') return false;
    for (size_t i = 0; i < name.size(); ++i) {
        const char c = name[i];
        if (c == '.' || c == ';' || c == '[' || (c == '/' && name[i + 1] == '/')) return false;
    }
    return true;
}

bool InJdkPackage(const std::string& name) {
    for (const char* prefix : kJdkPackages) {
        if (name.rfind(prefix, 0) == 0) return true;
    }
    return false;
}

}  // namespace

World& TheWorld() {
    static World* world = new World();  // never destroyed: VM threads may outlive static teardown
    return *world;
}

Class* LookupClass(const std::string& name, bool bootOnly) {
    World& world = TheWorld();
    std::lock_guard<std::recursive_mutex> guard(world.lock);
    InitialiseClasses(world);
    if (Class* known = Find(world, name)) {
        if (bootOnly && known->kind == ClassKind::Application) return nullptr;
        if (known->kind == ClassKind::Array && known->component && known->component->kind == ClassKind::Application &&
            bootOnly) {
            return nullptr;
        }
        return known;
    }
    if (name.size() > 3 && name[0] == '[' && name[1] == 'L' && name.back() == ';') {
        Class* component = LookupClass(name.substr(2, name.size() - 3), bootOnly);
        if (!component) return nullptr;
        Class* array = AddClass(world, name, Find(world, "java/lang/Object"), ClassKind::Array);
        array->component = component;
        return array;
    }
    if (!name.empty() && name[0] == '[') Fatal("array class " + name + " is not modelled");
    if (!IsInternalName(name)) return nullptr;
    if (InJdkPackage(name)) Fatal("JDK class " + name + " is not modelled");
    if (bootOnly || world.script.missing) return nullptr;
    Class* application = AddClass(world, name, Find(world, "java/lang/Object"), ClassKind::Application);
    AddApplicationMethods(application);
    return application;
}

Class* SystemClass(const char* name) {
    Class* cls = LookupClass(name, true);
    if (!cls) Fatal(std::string("missing system class ") + name);
    return cls;
}

bool IsSubclass(const Class* cls, const Class* base) {
    if (!cls || !base) return false;
    if (base->name == "java/lang/Object") return true;
    if (cls->kind == ClassKind::Array || base->kind == ClassKind::Array) {
        if (cls->kind != ClassKind::Array || base->kind != ClassKind::Array) return false;
        if (!cls->component || !base->component) return cls == base;
        return IsSubclass(cls->component, base->component);
    }
    for (const Class* walk = cls; walk; walk = walk->super) {
        if (walk == base) return true;
    }
    return false;
}

bool IsInstance(const Object* object, const Class* cls) {
    return object == nullptr || IsSubclass(object->cls, cls);
}

Method* FindMethod(Class* cls, const std::string& name, const std::string& signature, bool isStatic) {
    for (Class* walk = cls; walk; walk = walk->super) {
        for (Method* method : walk->methods) {
            if (method->name == name && method->signature == signature && method->isStatic == isStatic) {
                return method;
            }
        }
        // Constructors are not inherited.
        if (name == "<init>") break;
    }
    return nullptr;
}

Field* FindStaticField(Class* cls, const std::string& name, const std::string& signature) {
    World& world = TheWorld();
    static Field out{nullptr, "out", "Ljava/io/PrintStream;", &world.systemOut};
    static Field err{nullptr, "err", "Ljava/io/PrintStream;", &world.systemErr};
    if (!cls || cls->name != "java/lang/System" || signature != out.signature) return nullptr;
    out.owner = err.owner = cls;
    if (name == "out") return &out;
    if (name == "err") return &err;
    return nullptr;
}

void CreateInitialStreams() {
    World& world = TheWorld();
    std::lock_guard<std::recursive_mutex> guard(world.lock);
    const DWORD handles[] = {STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
    Object** slots[] = {&world.systemOut, &world.systemErr};
    for (int i = 0; i < 2; ++i) {
        auto* file = new Object();
        file->cls = SystemClass("java/io/FileOutputStream");
        file->stdHandle = handles[i];
        auto* print = new Object();
        print->cls = SystemClass("java/io/PrintStream");
        print->target = file;
        *slots[i] = print;
    }
}

Object* NewStringObject(const std::u16string& text) {
    auto* string = new Object();
    string->cls = SystemClass("java/lang/String");
    string->text = text;
    return string;
}

Object* NewThrowable(const char* className, const std::u16string* message, const std::string& frames) {
    auto* throwable = new Object();
    throwable->cls = SystemClass(className);
    throwable->hasText = message != nullptr;
    if (message) throwable->text = *message;
    throwable->frames = frames;
    return throwable;
}

std::u16string ThrowableText(const Object* throwable) {
    const std::string name = Dotted(throwable->cls->name);
    std::u16string text(name.begin(), name.end());
    if (throwable->hasText) text += u": " + throwable->text;
    return text;
}

void WriteToStream(Object* stream, const std::string& bytes) {
    static Class* printStream = SystemClass("java/io/PrintStream");
    static Class* fileStream = SystemClass("java/io/FileOutputStream");
    static Class* byteStream = SystemClass("java/io/ByteArrayOutputStream");
    if (!stream) return;
    if (IsSubclass(stream->cls, printStream)) {
        WriteToStream(stream->target, bytes);
    } else if (IsSubclass(stream->cls, fileStream)) {
        if (stream->stdHandle != 0) {
            WriteStdHandle(stream->stdHandle, bytes);
        } else if (stream->file != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            WriteFile(stream->file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        }
    } else if (IsSubclass(stream->cls, byteStream)) {
        stream->bytes += bytes;
    } else {
        Fatal("writing to an unmodelled stream of class " + stream->cls->name);
    }
}

}  // namespace testjvm
