// The registry keys under which Java runtimes register, and the VM libraries a runtime folder
// may hold. Both are fixed tables, searched in the order given here.
#pragma once

#include <cstddef>

namespace kestran::runtime {

enum class RuntimeKind { Jdk, Jre };
enum class RuntimeProvider { Sun, JRockit, Ibm };

constexpr const wchar_t* kJavaHomeValue = L"JavaHome";

struct RuntimeKey {
    const wchar_t* path;        // below the registry root, with its trailing backslash
    RuntimeKind kind;
    RuntimeProvider provider;
    const wchar_t* homeSuffix;  // appended to the folder value (the JRE inside an old JDK)
    // Where the folder value sits below each version subkey (empty: in the version subkey
    // itself), and its name.
    const wchar_t* valueKey = L"";
    const wchar_t* valueName = kJavaHomeValue;
    // Keys of today's installers: the folder value must be text, a folder registered again
    // is dropped, a JDK home without a VM is tried again at its "jre\", and versions 2 to 8
    // are numbered 1.x like the JavaSoft keys number them.
    bool installer = false;
};

// In search order. The JRockit JRE key comes before the JRockit JDK key.
extern const RuntimeKey kRuntimeKeys[7];
constexpr size_t kRuntimeKeyCount = 7;

// Searched after the keys above, in this order. One row per place an installer writes to.
extern const RuntimeKey kInstallerRuntimeKeys[15];
constexpr size_t kInstallerRuntimeKeyCount = 15;

struct VmLibraryLocation {
    const wchar_t* relativePath;  // below the runtime folder
    bool serverVm;
};

// In the order a folder is probed when no server VM is asked for.
extern const VmLibraryLocation kVmLibraryLocations[5];

constexpr const wchar_t* kServerVmLibrary = L"bin\\server\\jvm.dll";
constexpr const wchar_t* kJavaLibrary = L"bin\\java.dll";
constexpr const wchar_t* kBesideLauncherFolder = L"jre64\\";
constexpr const wchar_t* kJdkInnerRuntimeFolder = L"jre\\";

}  // namespace kestran::runtime
