// Pointing System.out and System.err at files, from inside the VM.
#pragma once

#include <jni.h>

#include <string>

#include "config/launch_settings.h"
#include "jvm/vm_host.h"

namespace kestran::jvm {

// Right after the VM exists, on its creating thread (host.jniEnv): expands the date/time
// stamps of launch.outputFile and errorFile (one local time for both; the expanded names are
// stored in host.outputFile and host.errorFile), then redirects System.out and System.err (through one stream when both name the same file,
// opened as "Output Append" says). Failures leave the stream as it was, after the VM
// has described the Java exception; they never fail the launch.
void RedirectStandardStreams(const config::LaunchSettings& launch, VmHost& host);

enum class SystemStreams { Out, Err, Both };

// Creates the missing folders of `fileName`, opens it (appending or truncating) and hands one
// PrintStream over it to java.lang.System's setOut, setErr or both. True when the setters ran
// without an exception; on false an exception may be left pending.
bool RedirectSystemStream(JNIEnv* env, const std::wstring& fileName, bool append, SystemStreams streams);

// new java.io.FileOutputStream(name, append) as a local reference, or null (exception pending).
jobject NewFileOutputStream(JNIEnv* env, jstring name, bool append);
// new java.io.PrintStream(stream), without automatic flushing, or null (exception pending).
jobject NewPrintStream(JNIEnv* env, jobject stream);

}  // namespace kestran::jvm
