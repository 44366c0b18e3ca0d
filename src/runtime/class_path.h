// Class path items of the "Class Path" setting: which are taken as written and which are
// resolved on disk (relative entries under the launcher's folder, wildcards).
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace kestran::runtime {

// The names matching a file pattern, in the order the platform returns them (directory
// order on Windows); nothing when the pattern matches nothing.
using MatchLister = std::function<void(const std::wstring& pattern, std::vector<std::wstring>& names)>;

// At least two characters, and ':' second or two leading backslashes.
bool IsClassPathItemAbsolute(const std::wstring& item);
// Relative items and items holding '*' are resolved on disk; the rest are taken unchanged.
bool ClassPathItemNeedsSearch(const std::wstring& item);
// A relative item placed under `moduleFolder` (the launcher's folder without its trailing
// backslash); an absolute one is its own pattern.
std::wstring ClassPathSearchPattern(const std::wstring& item, const std::wstring& moduleFolder);
// What goes before each matched name: the pattern up to and including its last separator.
std::wstring ClassPathMatchPrefix(const std::wstring& pattern);

// Whether a name that a search of `pattern` returned belongs on the class path. An item
// without '*' or '?' keeps whatever it names, a folder too. A wildcard keeps only files whose
// own name matches the pattern's last component without regard to case: the platform's search
// also returns folders and names matched through their short alias (old.jar_bak as OLD~1.JAR).
bool KeepsWildcardMatch(const std::wstring& pattern, const std::wstring& name, bool isDirectory);
// '*' any run of characters, '?' any one; letters compared without regard to case. A pattern
// ending in ".*" also matches a name without a dot, as on Windows ("*.*" matches README).
bool WildcardNameMatches(const std::wstring& namePattern, const std::wstring& name);

// The entries of a class path, in order, without empty ones (neither the VM's search nor its
// archive has a use for those).
std::vector<std::wstring> ClassPathEntries(const std::wstring& classPath, wchar_t separator);
// Adds `element` to `classPath` behind a ';' when the list holds something already; an element
// that is itself a list adds each of its pieces. An empty or relative element or piece adds
// nothing: the VM takes it as (under) the working directory, which would let whatever folder
// the program was started from supply classes.
void AppendClassPathElement(std::wstring& classPath, const std::wstring& element);
// Appends "<folder>\<name>" to `classPath` for every match of the item's pattern, in the
// lister's order, and returns how many; a pattern that matches nothing appends nothing.
size_t ExpandClassPathEntry(const std::wstring& item, const std::wstring& moduleFolder, const MatchLister& list,
                            std::wstring& classPath);

}  // namespace kestran::runtime
