#include "jvm/splash_screen.h"

#include <mutex>
#include <vector>

#include "config/paths.h"
#include "jvm/splash_platform.h"
#include "platform/decimal_text.h"
#include "platform/trace.h"
#include "platform/user_notice.h"

namespace kestran::jvm {
namespace {

std::mutex splashLock;
// Guarded by splashLock.
SplashFunctions shownSplash;
bool shown = false;

template <typename Fn>
void Bind(void* library, SplashExportLookup lookup, const char* name, Fn& slot) {
    slot = reinterpret_cast<Fn>(lookup(library, name));
}

void TraceNoSplash(const std::wstring& why) { platform::Trace(L"no splash screen: " + why); }

}  // namespace

bool BindSplashFunctions(void* library, SplashExportLookup lookup, SplashFunctions& out) {
    Bind(library, lookup, "SplashInit", out.init);
    Bind(library, lookup, "SplashLoadFile", out.loadFile);
    Bind(library, lookup, "SplashSetFileJarName", out.setFileJarName);
    Bind(library, lookup, "SplashClose", out.close);
    Bind(library, lookup, "SplashGetScaledImageName", out.getScaledImageName);
    Bind(library, lookup, "SplashGetScaledImgNameMaxPstfixLen", out.getScaledImgNameMaxPstfixLen);
    Bind(library, lookup, "SplashSetScaleFactor", out.setScaleFactor);
    return out.init && out.loadFile && out.setFileJarName && out.close;
}

bool SplashFileBytes(const std::wstring& path, const runtime::TextNarrowing& codec, std::string& out) {
    // The library opens the file through the C runtime, which knows neither UTF-16 nor long
    // paths: the short form mends both, as it does for the VM library.
    size_t lost = 0;
    return codec.Narrow(runtime::LoadableVmLibraryPath(path, codec), out, lost);
}

std::string ScaledSplashFile(const SplashFunctions& splash, const std::string& file, float& scale) {
    // Room the library asks for; anything beyond a few bytes is not a name suffix.
    constexpr int kLongestSuffix = 64;
    scale = 0;
    if (!splash.getScaledImageName || !splash.getScaledImgNameMaxPstfixLen || !splash.setScaleFactor) return file;
    const int suffix = splash.getScaledImgNameMaxPstfixLen(file.c_str());
    if (suffix <= 0 || suffix > kLongestSuffix) return file;
    std::vector<char> name(file.size() + static_cast<size_t>(suffix) + 1, '\0');
    float factor = 1;
    // The library looks the variant up on disk itself and says false when none exists.
    if (!splash.getScaledImageName(nullptr, file.c_str(), &factor, name.data(), name.size()) || factor <= 0) return file;
    name.back() = '\0';
    scale = factor;
    return name.data();
}

void ShowSplash(const config::LaunchSettings& launch, const std::wstring& vmLibraryPath) {
    const std::wstring& image = launch.splash.image;
    if (image.empty()) return;
    // A service has no desktop to show it on.
    if (launch.serviceMode) return TraceNoSplash(L"service mode");
    // Before the library is loaded, so that a missing picture costs nothing; a pattern would
    // match some other file.
    config::FileSearch search;
    config::FoundFile found;
    if (image.find_first_of(L"*?") != std::wstring::npos || !search.First(image, found) || found.isDirectory) {
        return TraceNoSplash(image + L" is not a file");
    }
    std::string file;
    if (!SplashFileBytes(image, runtime::PlatformNarrowing(), file)) {
        return TraceNoSplash(image + L" has no name in the system code page, nor a short one");
    }
    SplashFunctions splash;
    std::wstring reason;
    if (!LoadSplashLibrary(vmLibraryPath, splash, reason)) return TraceNoSplash(reason);

    BeginSplashCalls();
    splash.init();
    float scale = 0;
    const std::string chosen = ScaledSplashFile(splash, file, scale);
    if (scale > 0) splash.setScaleFactor(scale);
    if (!splash.loadFile(chosen.c_str())) {
        splash.close();
        return TraceNoSplash(image + L" is not a picture the splash library reads");
    }
    // What java.awt.SplashScreen.getImageURL() gives: the picture as configured.
    splash.setFileJarName(file.c_str(), nullptr);
    {
        std::lock_guard<std::mutex> guard(splashLock);
        shownSplash = splash;
        shown = true;
    }
    platform::SetNoticeGuard(&CloseSplash);
    if (platform::TraceEnabled()) {
        platform::Trace(L"splash screen " + image +
                        (scale > 0 ? L" (variant for scale " + platform::DecimalText(static_cast<int>(scale * 100 + 0.5f)) + L"%)" : std::wstring()));
    }
    WatchSplash(launch.splash.timeoutSeconds);
}

void CloseSplash() {
    std::lock_guard<std::mutex> guard(splashLock);
    if (!shown) return;
    shown = false;
    shownSplash.close();
    platform::Trace(L"splash screen closed");
}

bool SplashShown() {
    std::lock_guard<std::mutex> guard(splashLock);
    return shown;
}

}  // namespace kestran::jvm
