// The three entry points of a Java runtime's VM library. The launcher never links the VM
// library: on Windows they come from GetProcAddress, in the Linux JNI host from dlsym.
#pragma once

#include <jni.h>

namespace kestran::jvm {

using CreateJavaVmFn = jint(JNICALL*)(JavaVM** vm, void** env, void* args);
using GetDefaultJavaVmInitArgsFn = jint(JNICALL*)(void* args);
using FindClassFromBootLoaderFn = jclass(JNICALL*)(JNIEnv* env, const char* name);

// The JNI 1.1 argument block that JNI_GetDefaultJavaVMInitArgs fills; current VMs still
// report the default Java thread stack size in it. Not declared by today's jni.h.
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

struct VmEntryPoints {
    CreateJavaVmFn createJavaVm = nullptr;                     // JNI_CreateJavaVM, required
    GetDefaultJavaVmInitArgsFn getDefaultJavaVmInitArgs = nullptr;  // JNI_GetDefaultJavaVMInitArgs, required
    FindClassFromBootLoaderFn findClassFromBootLoader = nullptr;    // JVM_FindClassFromBootLoader, optional
};

}  // namespace kestran::jvm
