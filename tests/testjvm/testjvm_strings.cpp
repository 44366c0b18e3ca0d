// The string and array functions of the test runtime's JNIEnv.
#include "testjvm.h"

#include <cstring>

namespace testjvm {
namespace {

// Far below a real heap, far above anything a launcher builds; bigger requests fail as a VM
// out of heap would, instead of exhausting the test machine.
constexpr jsize kMaxLength = 1 << 26;

Object* StringArgument(ThreadState& thread, jstring ref, const char* function) {
    Object* string = Resolve(thread, ref, function);
    if (!string) Fatal(std::string(function) + " was given a null string");
    if (string->cls->name != "java/lang/String") Fatal(std::string(function) + " was given a " + string->cls->name);
    return string;
}

Object* ArrayArgument(ThreadState& thread, jarray ref, const char* function, bool charArray) {
    Object* array = Resolve(thread, ref, function);
    if (!array) Fatal(std::string(function) + " was given a null array");
    const bool isCharArray = array->cls->name == "[C";
    const bool isObjectArray = array->cls->kind == ClassKind::Array && !isCharArray;
    if (charArray ? !isCharArray : !isObjectArray) Fatal(std::string(function) + " was given a " + array->cls->name);
    return array;
}

bool CheckLength(ThreadState& thread, jsize length) {
    if (length < 0) {
        const std::string text = std::to_string(length);
        Throw(thread, "java/lang/NegativeArraySizeException", std::u16string(text.begin(), text.end()));
        return false;
    }
    if (length > kMaxLength) {
        Throw(thread, "java/lang/OutOfMemoryError", u"Java heap space");
        return false;
    }
    return true;
}

bool CheckRegion(ThreadState& thread, jsize start, jsize length, size_t size, const char* exceptionClass) {
    if (start >= 0 && length >= 0 && static_cast<size_t>(start) + static_cast<size_t>(length) <= size) return true;
    const std::string text = "Array region " + std::to_string(start) + ".." +
                             std::to_string(static_cast<long long>(start) + length) + " out of bounds for length " +
                             std::to_string(size);
    Throw(thread, exceptionClass, std::u16string(text.begin(), text.end()));
    return false;
}

bool CheckIndex(ThreadState& thread, jsize index, size_t size) {
    if (index >= 0 && static_cast<size_t>(index) < size) return true;
    const std::string text = "Index " + std::to_string(index) + " out of bounds for length " + std::to_string(size);
    Throw(thread, "java/lang/ArrayIndexOutOfBoundsException", std::u16string(text.begin(), text.end()));
    return false;
}

// ---- strings ----

jstring JNICALL NewString(JNIEnv* env, const jchar* chars, jsize length) {
    ThreadState& thread = EnterJni(env, "NewString");
    if (length < 0 || (length > 0 && !chars)) Fatal("NewString was given a bad buffer or length");
    if (!CheckLength(thread, length)) return nullptr;
    const auto* units = reinterpret_cast<const char16_t*>(chars);
    return static_cast<jstring>(NewLocalRef(thread, NewStringObject(std::u16string(units, units + length))));
}

jsize JNICALL GetStringLength(JNIEnv* env, jstring str) {
    ThreadState& thread = EnterJni(env, "GetStringLength");
    return static_cast<jsize>(StringArgument(thread, str, "GetStringLength")->text.size());
}

const jchar* JNICALL GetStringChars(JNIEnv* env, jstring str, jboolean* isCopy) {
    ThreadState& thread = EnterJni(env, "GetStringChars");
    const std::u16string& text = StringArgument(thread, str, "GetStringChars")->text;
    auto* copy = new jchar[text.size() + 1];
    std::memcpy(copy, text.data(), text.size() * sizeof(jchar));
    copy[text.size()] = 0;
    if (isCopy) *isCopy = JNI_TRUE;
    return copy;
}

void JNICALL ReleaseStringChars(JNIEnv* env, jstring str, const jchar* chars) {
    ThreadState& thread = EnterJni(env, "ReleaseStringChars", true);
    StringArgument(thread, str, "ReleaseStringChars");
    delete[] chars;
}

jstring JNICALL NewStringUTF(JNIEnv* env, const char* bytes) {
    ThreadState& thread = EnterJni(env, "NewStringUTF");
    if (!bytes) return nullptr;
    return static_cast<jstring>(NewLocalRef(thread, NewStringObject(Utf16FromModifiedUtf8(bytes))));
}

jsize JNICALL GetStringUTFLength(JNIEnv* env, jstring str) {
    ThreadState& thread = EnterJni(env, "GetStringUTFLength");
    return static_cast<jsize>(ModifiedUtf8FromUtf16(StringArgument(thread, str, "GetStringUTFLength")->text).size());
}

const char* JNICALL GetStringUTFChars(JNIEnv* env, jstring str, jboolean* isCopy) {
    ThreadState& thread = EnterJni(env, "GetStringUTFChars");
    const std::string bytes = ModifiedUtf8FromUtf16(StringArgument(thread, str, "GetStringUTFChars")->text);
    auto* copy = new char[bytes.size() + 1];
    std::memcpy(copy, bytes.c_str(), bytes.size() + 1);
    if (isCopy) *isCopy = JNI_TRUE;
    return copy;
}

void JNICALL ReleaseStringUTFChars(JNIEnv* env, jstring str, const char* chars) {
    ThreadState& thread = EnterJni(env, "ReleaseStringUTFChars", true);
    StringArgument(thread, str, "ReleaseStringUTFChars");
    delete[] chars;
}

void JNICALL GetStringRegion(JNIEnv* env, jstring str, jsize start, jsize length, jchar* buffer) {
    ThreadState& thread = EnterJni(env, "GetStringRegion");
    const std::u16string& text = StringArgument(thread, str, "GetStringRegion")->text;
    if (!CheckRegion(thread, start, length, text.size(), "java/lang/StringIndexOutOfBoundsException")) return;
    if (length > 0) std::memcpy(buffer, text.data() + start, static_cast<size_t>(length) * sizeof(jchar));
}

void JNICALL GetStringUTFRegion(JNIEnv* env, jstring str, jsize start, jsize length, char* buffer) {
    ThreadState& thread = EnterJni(env, "GetStringUTFRegion");
    const std::u16string& text = StringArgument(thread, str, "GetStringUTFRegion")->text;
    if (!CheckRegion(thread, start, length, text.size(), "java/lang/StringIndexOutOfBoundsException")) return;
    const std::string bytes =
        ModifiedUtf8FromUtf16(text.substr(static_cast<size_t>(start), static_cast<size_t>(length)));
    std::memcpy(buffer, bytes.c_str(), bytes.size() + 1);
}

// ---- arrays ----

jsize JNICALL GetArrayLength(JNIEnv* env, jarray array) {
    ThreadState& thread = EnterJni(env, "GetArrayLength");
    Object* object = Resolve(thread, array, "GetArrayLength");
    if (!object || object->cls->kind != ClassKind::Array)
        Fatal("GetArrayLength was given something that is not an array");
    return static_cast<jsize>(object->cls->name == "[C" ? object->text.size() : object->elements.size());
}

jobjectArray JNICALL NewObjectArray(JNIEnv* env, jsize length, jclass elementClass, jobject initial) {
    ThreadState& thread = EnterJni(env, "NewObjectArray");
    Object* element = Resolve(thread, elementClass, "NewObjectArray");
    if (!element || element->cls->name != "java/lang/Class") Fatal("NewObjectArray was given no element class");
    auto* component = static_cast<Class*>(element);
    Object* fill = Resolve(thread, initial, "NewObjectArray");
    if (!CheckLength(thread, length)) return nullptr;
    if (!IsInstance(fill, component)) Fatal("NewObjectArray: the initial element is not a " + component->name);
    const std::string arrayName =
        component->kind == ClassKind::Array ? "[" + component->name : "[L" + component->name + ";";
    auto* array = new Object();
    array->cls = LookupClass(arrayName, false);
    if (!array->cls) Fatal("no array class " + arrayName);
    array->elements.assign(static_cast<size_t>(length), fill);
    return static_cast<jobjectArray>(NewLocalRef(thread, array));
}

jobject JNICALL GetObjectArrayElement(JNIEnv* env, jobjectArray array, jsize index) {
    ThreadState& thread = EnterJni(env, "GetObjectArrayElement");
    Object* object = ArrayArgument(thread, array, "GetObjectArrayElement", false);
    if (!CheckIndex(thread, index, object->elements.size())) return nullptr;
    return NewLocalRef(thread, object->elements[static_cast<size_t>(index)]);
}

void JNICALL SetObjectArrayElement(JNIEnv* env, jobjectArray array, jsize index, jobject value) {
    ThreadState& thread = EnterJni(env, "SetObjectArrayElement");
    Object* object = ArrayArgument(thread, array, "SetObjectArrayElement", false);
    Object* element = Resolve(thread, value, "SetObjectArrayElement");
    if (!CheckIndex(thread, index, object->elements.size())) return;
    if (!IsInstance(element, object->cls->component)) {
        const std::string text = "type mismatch: can not store " + Dotted(element->cls->name) + " to " +
                                 Dotted(object->cls->component->name) + "[" + std::to_string(index) + "]";
        Throw(thread, "java/lang/ArrayStoreException", std::u16string(text.begin(), text.end()));
        return;
    }
    object->elements[static_cast<size_t>(index)] = element;
}

jcharArray JNICALL NewCharArray(JNIEnv* env, jsize length) {
    ThreadState& thread = EnterJni(env, "NewCharArray");
    if (!CheckLength(thread, length)) return nullptr;
    auto* array = new Object();
    array->cls = SystemClass("[C");
    array->text.assign(static_cast<size_t>(length), u'\0');
    return static_cast<jcharArray>(NewLocalRef(thread, array));
}

void JNICALL GetCharArrayRegion(JNIEnv* env, jcharArray array, jsize start, jsize length, jchar* buffer) {
    ThreadState& thread = EnterJni(env, "GetCharArrayRegion");
    Object* object = ArrayArgument(thread, array, "GetCharArrayRegion", true);
    if (!CheckRegion(thread, start, length, object->text.size(), "java/lang/ArrayIndexOutOfBoundsException")) return;
    if (length > 0) std::memcpy(buffer, object->text.data() + start, static_cast<size_t>(length) * sizeof(jchar));
}

void JNICALL SetCharArrayRegion(JNIEnv* env, jcharArray array, jsize start, jsize length, const jchar* buffer) {
    ThreadState& thread = EnterJni(env, "SetCharArrayRegion");
    Object* object = ArrayArgument(thread, array, "SetCharArrayRegion", true);
    if (!CheckRegion(thread, start, length, object->text.size(), "java/lang/ArrayIndexOutOfBoundsException")) return;
    if (length > 0)
        std::memcpy(&object->text[static_cast<size_t>(start)], buffer, static_cast<size_t>(length) * sizeof(jchar));
}

}  // namespace

void AddStringAndArrayFunctions(JNINativeInterface_& table) {
    table.NewString = NewString;
    table.GetStringLength = GetStringLength;
    table.GetStringChars = GetStringChars;
    table.ReleaseStringChars = ReleaseStringChars;
    table.NewStringUTF = NewStringUTF;
    table.GetStringUTFLength = GetStringUTFLength;
    table.GetStringUTFChars = GetStringUTFChars;
    table.ReleaseStringUTFChars = ReleaseStringUTFChars;
    table.GetStringRegion = GetStringRegion;
    table.GetStringUTFRegion = GetStringUTFRegion;
    table.GetArrayLength = GetArrayLength;
    table.NewObjectArray = NewObjectArray;
    table.GetObjectArrayElement = GetObjectArrayElement;
    table.SetObjectArrayElement = SetObjectArrayElement;
    table.NewCharArray = NewCharArray;
    table.GetCharArrayRegion = GetCharArrayRegion;
    table.SetCharArrayRegion = SetCharArrayRegion;
}

}  // namespace testjvm
