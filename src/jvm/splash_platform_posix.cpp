#include <dlfcn.h>

#include "jvm/splash_platform.h"
#include "platform/text_encoding.h"

namespace kestran::jvm {

// The Linux counterpart, so that a host program can show the splash of a real runtime:
// lib/libsplashscreen.so beside lib/server/libjvm.so.
bool LoadSplashLibrary(const std::wstring& vmLibraryPath, SplashFunctions& out, std::wstring& reason) {
    std::wstring folder = vmLibraryPath;
    for (int i = 0; i < 2 && folder.find(L'/') != std::wstring::npos; ++i) folder.erase(folder.rfind(L'/'));
    const std::wstring path = folder + L"/libsplashscreen.so";
    // Never closed: AWT's SplashScreen uses this instance.
    void* library = dlopen(platform::WideToUtf8(path).c_str(), RTLD_NOW);
    if (library == nullptr) {
        const char* text = dlerror();
        reason = path + L": " + (text ? platform::Utf8ToWide(text) : std::wstring());
        return false;
    }
    if (!BindSplashFunctions(library, [](void* module, const char* name) { return dlsym(module, name); }, out)) {
        reason = path + L" lacks the splash functions";
        return false;
    }
    return true;
}

// No watch here: the host that uses this closes the splash through AWT or CloseSplash.
void BeginSplashCalls() {}
void WatchSplash(uint32_t) {}

}  // namespace kestran::jvm
