#include "jvm/vm_library.h"

#include "config/messages.h"
#include "config/paths.h"
#include "platform/environment.h"
#include "platform/module_path.h"
#include "platform/trace.h"
#include "runtime/option_narrowing.h"
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
    // The runtime's own libraries before anything on Path: a folder on Path that its user
    // can write to must not supply a DLL that the VM loads by name.
    result += StripPathComponents(vmLibraryPath, 2);
    result += L";%Path%";
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

std::wstring PrepareVmEnvironment(const config::LaunchSettings& launch, runtime::RuntimeChoice& choice,
                                  runtime::JavaInvocation& invocation) {
    // The VM derives its home, and the paths it hands to Java, from its library's path in the
    // code page: a runtime folder the code page cannot represent, or one beyond 260
    // characters, is used by its short name where that mends it.
    std::wstring loadable = runtime::LoadableVmLibraryPath(choice.vmLibraryPath, runtime::PlatformNarrowing());
    if (loadable != choice.vmLibraryPath) {
        platform::Trace(L"the VM library is used by its short name " + loadable);
        choice.vmLibraryPath = std::move(loadable);
    }
    const std::wstring& vmLibrary = choice.vmLibraryPath;
    platform::SetEnvironmentText(L"KESTRAN_JVM_PATH", vmLibrary);
    platform::SetEnvironmentText(L"KESTRAN_JVM_HOME", StripPathComponents(vmLibrary, 3));

    std::wstring extended;
    if (!launch.libraryPath.empty()) {
        std::wstring launcherFolder;
        std::wstring modulePath;
        if (platform::GetModulePath(modulePath)) runtime::LauncherFolderOf(modulePath, launcherFolder);
        extended = ExpandWithPath(ExtendLibraryPath(launch.libraryPath, launcherFolder, vmLibrary));
        runtime::AppendVmOption(invocation, L"-Djava.library.path=" + extended);
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
