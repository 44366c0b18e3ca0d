#include <dlfcn.h>

#include "config/messages.h"
#include "jvm/vm_library.h"
#include "platform/text_encoding.h"
#include "platform/trace.h"

namespace kestran::jvm {

namespace {

template <typename Fn>
Fn SymbolAs(void* library, const char* name) {
    return reinterpret_cast<Fn>(dlsym(library, name));
}

std::wstring LastLoaderError() {
    const char* text = dlerror();
    return text ? platform::Utf8ToWide(text) : std::wstring();
}

}  // namespace

// The Linux counterpart, so that a host program can load a real libjvm.so the same way.
// dlopen has no error number; the message carries 0 and the trace the loader's text.
bool LoadVmLibrary(VmHost& host, const std::wstring& libraryPath) {
    // Never closed: the VM cannot be unloaded.
    void* library = dlopen(platform::WideToUtf8(libraryPath).c_str(), RTLD_NOW | RTLD_GLOBAL);
    if (library == nullptr) {
        std::wstring reason = LastLoaderError();
        config::PrintErrorLine(config::FormatMessageId(config::kMsgVmLibraryLoadFailed, {libraryPath, 0}));
        if (platform::TraceEnabled()) platform::Trace(L"dlopen: " + reason);
        return false;
    }

    host.vmModule = library;
    VmEntryPoints& entries = host.vmEntryPoints;
    entries.createJavaVm = SymbolAs<CreateJavaVmFn>(library, "JNI_CreateJavaVM");
    if (entries.createJavaVm == nullptr) {
        config::PrintPlatformError(config::kMsgNoCreateJavaVm, 0);
        return false;
    }
    entries.getDefaultJavaVmInitArgs = SymbolAs<GetDefaultJavaVmInitArgsFn>(library, "JNI_GetDefaultJavaVMInitArgs");
    if (entries.getDefaultJavaVmInitArgs == nullptr) {
        config::PrintPlatformError(config::kMsgNoCreateJavaVm, 0);
        return false;
    }
    entries.findClassFromBootLoader = SymbolAs<FindClassFromBootLoaderFn>(library, "JVM_FindClassFromBootLoader");

    if (platform::TraceEnabled()) {
        platform::Trace(L"loaded " + libraryPath +
                        (entries.findClassFromBootLoader ? L"" : L" (no JVM_FindClassFromBootLoader)"));
    }
    return true;
}

}  // namespace kestran::jvm
