#include <windows.h>

#include "config/messages.h"
#include "config/paths.h"
#include "jvm/vm_library.h"
#include "platform/decimal_text.h"
#include "platform/pe_header.h"
#include "platform/pe_image_view_win.h"
#include "platform/trace.h"

namespace kestran::jvm {

namespace {

// Spelled out: the SDK headers show them only for newer _WIN32_WINNT targets.
constexpr DWORD kLoadLibrarySearchDefaultDirs = 0x00001000;

using AddDllDirectoryFn = void*(WINAPI*)(PCWSTR);

template <typename Fn>
Fn ProcAs(FARPROC proc) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(proc));
}

std::wstring HexAddress(const void* address) {
    return L"0x" + platform::HexText(static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(address)), 1, false);
}

}  // namespace

bool LoadVmLibrary(VmHost& host, const std::wstring& libraryPath) {
    // The runtime's bin folder holds the libraries jvm.dll imports (java.dll's neighbours,
    // the C runtime of the JDK); without it in the search the load fails with error 126.
    // AddDllDirectory is looked up rather than imported so that the launcher still starts on
    // a Windows 7 without the update that brought it. There the bin folder is still found
    // through Path, which PrepareVmEnvironment extended. The folder is never removed again.
    //
    // The libraries the VM loads later by name (java.dll's and awt.dll's dependencies, a C
    // runtime the machine lacks) go through the standard search. SetDllDirectoryW puts bin
    // into it right after the executable's folder and takes the current directory out: a
    // service or a file association may start in a folder anyone can drop a DLL into.
    //
    // The probe found the file through the long-path form; the loader is given the same, or
    // a default Windows refuses a path of 260 characters or more.
    const std::wstring binFolder = config::PlatformPath(StripPathComponents(libraryPath, 2));
    const std::wstring loadPath = config::PlatformPath(libraryPath);
    if (!SetDllDirectoryW(binFolder.c_str())) {
        platform::Trace(L"SetDllDirectoryW failed (error " + platform::DecimalText(GetLastError()) + L")");
    }
    DWORD flags = LOAD_WITH_ALTERED_SEARCH_PATH;
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    auto addDllDirectory = kernel ? ProcAs<AddDllDirectoryFn>(GetProcAddress(kernel, "AddDllDirectory")) : nullptr;
    if (addDllDirectory) {
        addDllDirectory(binFolder.c_str());
        flags = kLoadLibrarySearchDefaultDirs;
    }

    // Never freed: the VM cannot be unloaded, and its threads run until the process ends.
    HMODULE module = LoadLibraryExW(loadPath.c_str(), nullptr, flags);
    if (module == nullptr) {
        DWORD error = GetLastError();
        config::PrintErrorLine(config::FormatMessageId(config::kMsgVmLibraryLoadFailed, {libraryPath, error}));
        if (libraryPath.size() >= config::kClassicPathLimit) {
            config::PrintErrorLine(config::FormatMessageId(config::kMsgVmLibraryPathTooLong, {static_cast<long long>(libraryPath.size())}));
        }
        if (error == ERROR_BAD_EXE_FORMAT) {
            const platform::PeImageView image(libraryPath);
            if (image.valid() && image.machine() == platform::kMachineI386) {
                config::PrintErrorLine(config::FormatMessageId(config::kMsgRuntimeIs32Bit, {libraryPath}));
            }
        }
        return false;
    }

    host.vmModule = module;
    VmEntryPoints& entries = host.vmEntryPoints;
    entries.createJavaVm = ProcAs<CreateJavaVmFn>(GetProcAddress(module, "JNI_CreateJavaVM"));
    if (entries.createJavaVm == nullptr) {
        DWORD error = GetLastError();
        config::PrintPlatformError(config::kMsgNoCreateJavaVm, error);
        config::PrintErrorLine(config::FormatMessageId(config::kMsgMissingExport, {L"JNI_CreateJavaVM"}));
        return false;
    }
    entries.getDefaultJavaVmInitArgs =
        ProcAs<GetDefaultJavaVmInitArgsFn>(GetProcAddress(module, "JNI_GetDefaultJavaVMInitArgs"));
    if (entries.getDefaultJavaVmInitArgs == nullptr) {
        DWORD error = GetLastError();
        // 212 names CreateJavaVM whichever export is missing; the next line names the right one.
        config::PrintPlatformError(config::kMsgNoCreateJavaVm, error);
        config::PrintErrorLine(config::FormatMessageId(config::kMsgMissingExport, {L"JNI_GetDefaultJavaVMInitArgs"}));
        return false;
    }
    entries.findClassFromBootLoader =
        ProcAs<FindClassFromBootLoaderFn>(GetProcAddress(module, "JVM_FindClassFromBootLoader"));

    if (platform::TraceEnabled()) {
        platform::Trace(L"loaded " + libraryPath + L" at " + HexAddress(module) +
                        (entries.findClassFromBootLoader ? L"" : L" (no JVM_FindClassFromBootLoader)"));
    }
    return true;
}

}  // namespace kestran::jvm
