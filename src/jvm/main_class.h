// Java strings and classes named by wide text, and the main-class invocation behind RunMainClass.
#pragma once

#include <jni.h>

#include <string>
#include <vector>

namespace kestran::jvm {

// A new local reference to a java.lang.String holding exactly the UTF-16 code units of `text`
// (characters above U+FFFF become surrogate pairs where wchar_t is 32-bit), or null with the
// Java exception, if any, left pending.
jstring NewJavaString(JNIEnv* env, const std::wstring& text);
// A new local reference to a String[] of the same length and order (an empty list gives an
// empty array, never null), or null with the Java exception, if any, left pending.
jobjectArray NewJavaStringArray(JNIEnv* env, const std::vector<std::wstring>& list);
// A new local reference to the class `name` (internal form, "com/example/Main"), found with
// FindClass, or null with the Java exception, if any, left pending.
jclass FindClassByName(JNIEnv* env, const std::wstring& name);
// System.exit(code) on the thread of `env`, so that shutdown hooks and the launcher's exit hook
// run; a real VM ends the process there. False when the method cannot be found or throws (the
// exception is described and cleared).
bool CallSystemExit(JNIEnv* env, jint code);

}  // namespace kestran::jvm
