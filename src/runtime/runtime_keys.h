// The registry keys under which Java runtimes register, and the VM libraries a runtime folder
// may hold. Both are fixed tables, searched in the order given here.
#pragma once

#include <cstddef>

namespace kestran::runtime {

enum class RuntimeKind { Jdk, Jre };
enum class RuntimeProvider { Sun, JRockit, Ibm };

struct RuntimeKey {
    const wchar_t* path;        // below HKEY_LOCAL_MACHINE, with its trailing backslash
    RuntimeKind kind;
    RuntimeProvider provider;
    const wchar_t* homeSuffix;  // appended to "JavaHome" (the JRE inside an old JDK)
};

// In search order. The JRockit JRE key comes before the JRockit JDK key.
extern const RuntimeKey kRuntimeKeys[7];
constexpr size_t kRuntimeKeyCount = 7;

struct VmLibraryLocation {
    const wchar_t* relativePath;  // below the runtime folder
    bool serverVm;
};

// In the order a folder is probed when no server VM is asked for.
extern const VmLibraryLocation kVmLibraryLocations[5];

constexpr const wchar_t* kServerVmLibrary = L"bin\\server\\jvm.dll";
constexpr const wchar_t* kJavaLibrary = L"bin\\java.dll";
constexpr const wchar_t* kBesideLauncherFolder = L"jre64\\";
constexpr const wchar_t* kJavaHomeValue = L"JavaHome";

}  // namespace kestran::runtime
