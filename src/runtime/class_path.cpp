#include "runtime/class_path.h"

#include "config/paths.h"

namespace kestran::runtime {

bool IsClassPathItemAbsolute(const std::wstring& item) { return config::IsAbsolutePath(item); }

bool ClassPathItemNeedsSearch(const std::wstring& item) {
    return item.find(L'*') != std::wstring::npos || !IsClassPathItemAbsolute(item);
}

std::wstring ClassPathSearchPattern(const std::wstring& item, const std::wstring& moduleFolder) {
    if (IsClassPathItemAbsolute(item)) return item;
    return moduleFolder + L"\\" + item;
}

std::wstring ClassPathMatchPrefix(const std::wstring& pattern) {
    // FindFirstFileW accepts '/' as a separator too; cutting at the last backslash only would
    // turn lib/*.jar into C:\app\a.jar, a file that does not exist.
    size_t cut = pattern.find_last_of(L"\\/");
    if (cut != std::wstring::npos) return pattern.substr(0, cut + 1);
    // "C:*.jar" matches in the drive's current folder, and so must "C:a.jar".
    if (pattern.size() >= 2 && pattern[1] == L':') return pattern.substr(0, 2);
    return std::wstring();
}

void ExpandClassPathEntry(const std::wstring& item, const std::wstring& moduleFolder, const MatchLister& list,
                          std::wstring& classPath) {
    std::wstring pattern = ClassPathSearchPattern(item, moduleFolder);
    std::wstring prefix = ClassPathMatchPrefix(pattern);
    std::vector<std::wstring> names;
    list(pattern, names);
    for (const std::wstring& name : names) {
        classPath.append(prefix).append(name).append(1, L';');
    }
}

}  // namespace kestran::runtime
