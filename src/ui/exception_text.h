// The text of an uncaught Java exception, as its printStackTrace writes it.
#pragma once

#include <jni.h>

#include <string>

namespace kestran::ui {

// What throwable.printStackTrace(PrintStream) writes, or the empty text when a step fails (a
// printStackTrace that throws part-way gives what it wrote before, and the VM describes the
// second exception). An exception pending on entry is set aside for the calls and is pending
// again on return. Java thread only.
std::wstring DescribeThrowable(JNIEnv* env, jthrowable throwable);

}  // namespace kestran::ui
