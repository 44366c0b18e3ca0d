#include "runtime/class_path.h"

#include <cwctype>

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

namespace {

wchar_t Folded(wchar_t c) {
    if (c >= L'a' && c <= L'z') return static_cast<wchar_t>(c - L'a' + L'A');
    if (c < 0x80) return c;
    return static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
}

bool GlobMatches(const std::wstring& pattern, const std::wstring& name) {
    // Iterative: the last '*' seen absorbs one more character on each mismatch.
    size_t p = 0, n = 0, star = std::wstring::npos, resume = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == L'*') {
            star = p++;
            resume = n;
        } else if (p < pattern.size() && (pattern[p] == L'?' || Folded(pattern[p]) == Folded(name[n]))) {
            ++p;
            ++n;
        } else if (star != std::wstring::npos) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == L'*') ++p;
    return p == pattern.size();
}

}  // namespace

bool WildcardNameMatches(const std::wstring& namePattern, const std::wstring& name) {
    if (GlobMatches(namePattern, name)) return true;
    const size_t size = namePattern.size();
    return size >= 2 && namePattern.compare(size - 2, 2, L".*") == 0 && name.find(L'.') == std::wstring::npos &&
           GlobMatches(namePattern.substr(0, size - 2), name);
}

bool KeepsWildcardMatch(const std::wstring& pattern, const std::wstring& name, bool isDirectory) {
    const size_t cut = pattern.find_last_of(L"\\/");
    const size_t start = cut == std::wstring::npos ? (pattern.size() >= 2 && pattern[1] == L':' ? 2 : 0) : cut + 1;
    const std::wstring namePattern = pattern.substr(start);
    if (namePattern.find_first_of(L"*?") == std::wstring::npos) return true;
    return !isDirectory && WildcardNameMatches(namePattern, name);
}

std::vector<std::wstring> ClassPathEntries(const std::wstring& classPath, wchar_t separator) {
    std::vector<std::wstring> entries;
    size_t start = 0;
    while (start <= classPath.size()) {
        size_t end = classPath.find(separator, start);
        if (end == std::wstring::npos) end = classPath.size();
        if (end > start) entries.push_back(classPath.substr(start, end - start));
        start = end + 1;
    }
    return entries;
}

void AppendClassPathElement(std::wstring& classPath, const std::wstring& element) {
    // A variable's value may itself be a list ("C:\a.jar;;C:\b.jar;"): its empty pieces go too,
    // and so do relative ones ("lib", "."), which the VM would also look for in the working directory.
    for (const std::wstring& piece : ClassPathEntries(element, L';')) {
        if (!IsClassPathItemAbsolute(piece)) continue;
        if (!classPath.empty()) classPath.append(1, L';');
        classPath.append(piece);
    }
}

size_t ExpandClassPathEntry(const std::wstring& item, const std::wstring& moduleFolder, const MatchLister& list,
                            std::wstring& classPath) {
    std::wstring pattern = ClassPathSearchPattern(item, moduleFolder);
    std::wstring prefix = ClassPathMatchPrefix(pattern);
    std::vector<std::wstring> names;
    list(pattern, names);
    for (const std::wstring& name : names) AppendClassPathElement(classPath, prefix + name);
    return names.size();
}

}  // namespace kestran::runtime
