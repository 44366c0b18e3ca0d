// Pointing System.out and System.err at files, from inside the VM.
#pragma once

#include <jni.h>

#include <string>

#include "launcher/launcher.h"

namespace kestran::jvm {

// Right after the VM exists, on its creating thread: expands the date/time stamps of
// outputFile and errorFile (one local time for both; the expanded names replace the members),
// then redirects System.out and System.err. Failures leave the stream as it was, after the VM
// has described the Java exception; they never fail the launch.
void RedirectStandardStreams(launcher::Launcher& launcher);

// Creates the missing folders of `fileName`, opens it (appending or truncating) and calls
// java.lang.System's `setterName` ("setOut" or "setErr") with a PrintStream over it. True when
// the setter ran without an exception; on false an exception may be left pending.
bool RedirectSystemStream(JNIEnv* env, const std::wstring& fileName, bool append, const char* setterName);

// new java.io.FileOutputStream(name, append) as a local reference, or null (exception pending).
jobject NewFileOutputStream(JNIEnv* env, jstring name, bool append);
// new java.io.PrintStream(stream), without automatic flushing, or null (exception pending).
jobject NewPrintStream(JNIEnv* env, jobject stream);

}  // namespace kestran::jvm
