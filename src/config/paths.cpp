#include "config/paths.h"

#include <utility>

#include "config/split.h"

namespace kestran::config {

namespace {

const std::wstring kLocalPrefix = L"\\\\?\\";
const std::wstring kNetworkPrefix = L"\\\\?\\UNC\\";

bool StartsWith(const std::wstring& text, const std::wstring& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

bool IsNetworkPath(const std::wstring& path) {
    return path.size() >= 2 && path[0] == L'\\' && path[1] == L'\\';
}

}  // namespace

std::wstring WithLongPathPrefix(const std::wstring& path) {
    if (path.size() < kClassicPathLimit || StartsWith(path, kLocalPrefix)) {
        return path;
    }
    // The extended form of \\server\share is \\?\UNC\server\share: the two leading
    // backslashes are replaced, not kept behind the prefix.
    if (IsNetworkPath(path)) {
        return kNetworkPrefix + path.substr(2);
    }
    return kLocalPrefix + path;
}

void SplitPathComponents(const std::wstring& path, std::vector<std::wstring>& out) {
    out.clear();
    std::wstring prefix;
    std::wstring rest = path;
    if (StartsWith(path, kNetworkPrefix)) {
        prefix = kNetworkPrefix;
    } else if (StartsWith(path, kLocalPrefix)) {
        prefix = kLocalPrefix;
    }
    rest.erase(0, prefix.size());

    const size_t searchFrom = IsNetworkPath(rest) ? 2 : 0;
    const size_t separator = rest.find(L'\\', searchFrom);
    if (separator == std::wstring::npos) {
        out.push_back(prefix + rest);
        return;
    }
    std::vector<std::wstring> components;
    SplitList(rest.substr(separator + 1), L"\\", components);
    out.reserve(components.size() + 1);
    out.push_back(prefix + rest.substr(0, separator));
    for (std::wstring& component : components) {
        out.push_back(std::move(component));
    }
}

bool IsUncPath(const std::wstring& path) {
    if (StartsWith(path, kNetworkPrefix)) return true;
    return IsNetworkPath(path) && !StartsWith(path, kLocalPrefix);
}

bool IsAbsolutePath(const std::wstring& path) {
    return path.size() >= 2 && (IsNetworkPath(path) || path[1] == L':');
}

std::wstring FolderOf(const std::wstring& path) {
    const size_t separator = path.rfind(L'\\');
    return separator == std::wstring::npos ? path : path.substr(0, separator);
}

std::wstring FileNameOf(const std::wstring& path) {
    const size_t separator = path.rfind(L'\\');
    return separator == std::wstring::npos ? path : path.substr(separator + 1);
}

bool ReplaceExtension(const std::wstring& path, const std::wstring& extension, std::wstring& out) {
    // The dot is looked for in the whole path, so C:\my.dir\tool gives C:\my.ini.
    const size_t dot = path.rfind(L'.');
    if (dot == std::wstring::npos) {
        return false;
    }
    out = path.substr(0, dot + 1) + extension;
    return true;
}

}  // namespace kestran::config
