#include "jvm/vm_library.h"

#include "config/messages.h"
#include "config/paths.h"
#include "platform/environment.h"
#include "platform/module_path.h"
#include "platform/trace.h"
#include "runtime/runtime_search.h"

namespace kestran::jvm {

std::wstring StripPathComponents(const std::wstring& path, int count) {
    std::wstring result = path;
    for (int i = 0; i < count; ++i) {
        size_t cut = result.rfind(L'\\');
        if (cut == std::wstring::npos) break;
        result.erase(cut);
    }
    return result;
}

std::wstring ExtendLibraryPath(const std::wstring& libraryPath, const std::wstring& launcherFolder,
                               const std::wstring& vmLibraryPath) {
    std::wstring result = libraryPath;
    if (result.empty() || result.back() != L';') result += L';';
    result += launcherFolder;
    result += L";.;%Path%;";
    // bin\server\jvm.dll -> the runtime's root, where lib sits beside bin.
    std::wstring binFolder = StripPathComponents(vmLibraryPath, 2);
    size_t cut = binFolder.rfind(L'\\');
    result += (cut == std::wstring::npos ? std::wstring() : binFolder.substr(0, cut + 1)) + L"lib";
    return result;
}

std::wstring SearchPathTemplate(const std::wstring& systemPath, const std::wstring& vmLibraryPath) {
    std::wstring result;
    if (!systemPath.empty()) {
        result = systemPath;
        if (result.back() != L';') result += L';';
    }
    result += L"%Path%;";
    result += StripPathComponents(vmLibraryPath, 2);
    return result;
}

namespace {

// Expands a template holding "%Path%". The current Path goes in first, by itself: if the
// platform cannot expand the rest (its results stop at 32K characters), the user's Path
// must not be replaced by the literal text "%Path%".
std::wstring ExpandWithPath(std::wstring text) {
    std::wstring path;
    platform::GetEnvironmentText(L"Path", path);
    const std::wstring marker = L"%Path%";
    for (size_t at = text.find(marker); at != std::wstring::npos; at = text.find(marker, at + path.size())) {
        text.replace(at, marker.size(), path);
    }
    config::ExpandEnvironment(text);
    return text;
}

}  // namespace

std::wstring PrepareVmEnvironment(const config::LaunchSettings& launch, const runtime::RuntimeChoice& choice,
                                  runtime::JavaInvocation& invocation) {
    const std::wstring& vmLibrary = choice.vmLibraryPath;
    platform::SetEnvironmentText(L"KESTRAN_JVM_PATH", vmLibrary);
    platform::SetEnvironmentText(L"KESTRAN_JVM_HOME", StripPathComponents(vmLibrary, 3));

    std::wstring extended;
    if (!launch.libraryPath.empty()) {
        std::wstring launcherFolder;
        std::wstring modulePath;
        if (platform::GetModulePath(modulePath)) runtime::LauncherFolderOf(modulePath, launcherFolder);
        extended = ExpandWithPath(ExtendLibraryPath(launch.libraryPath, launcherFolder, vmLibrary));
        std::wstring option = L"-Djava.library.path=" + extended;
        if (platform::TraceEnabled() && config::LosesCharactersInAnsi(option)) {
            platform::Trace(L"the library path holds characters outside the ANSI code page and reaches the VM altered: " +
                            extended);
        }
        invocation.vmOptions.push_back(config::ToAnsi(option));
    }

    std::wstring searchPath = ExpandWithPath(SearchPathTemplate(launch.systemPath, vmLibrary));
    platform::SetEnvironmentText(L"Path", searchPath);
    if (platform::TraceEnabled()) {
        platform::Trace(L"KESTRAN_JVM_HOME=" + StripPathComponents(vmLibrary, 3));
        platform::Trace(L"Path=" + searchPath);
    }
    return extended;
}

}  // namespace kestran::jvm
