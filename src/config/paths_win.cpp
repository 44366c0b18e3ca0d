#include <windows.h>

#include "config/paths.h"
#include "platform/growing_buffer.h"
#include "platform/handles_win.h"

namespace kestran::config {
namespace {

std::wstring FullPathName(const std::wstring& path) {
    std::wstring full;
    platform::ReadIntoGrowingBuffer(full, [&path](wchar_t* buffer, size_t size) {
        return static_cast<size_t>(GetFullPathNameW(path.c_str(), static_cast<DWORD>(size), buffer, nullptr));
    }, path.size() + 16);
    return full;
}

void FillFound(const WIN32_FIND_DATAW& data, const std::wstring& folder, FoundFile& out) {
    out.name = data.cFileName;
    out.folder = folder;
    out.isDirectory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace

std::wstring PlatformPath(const std::wstring& path) {
    // "\\?\" switches off the platform's normalisation, so only a full path may carry it.
    if (path.size() < kClassicPathLimit || path.compare(0, 4, L"\\\\?\\") == 0) return path;
    std::wstring full = FullPathName(path);
    return WithLongPathPrefix(full.empty() ? path : full);
}

std::wstring FullPath(const std::wstring& path) {
    std::wstring full = path.empty() ? std::wstring() : FullPathName(path);
    return full.empty() ? path : full;
}

struct FileSearch::State {
    platform::UniqueFindHandle handle;
    std::wstring folder;
};

FileSearch::FileSearch() : state_(new State) {}
FileSearch::~FileSearch() { delete state_; }

bool FileSearch::First(const std::wstring& pattern, FoundFile& out) {
    state_->handle.reset();
    state_->folder.clear();
    std::wstring path = pattern.empty() ? std::wstring(L"*.*") : pattern;
    if (path.size() > kLongPathLimit) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    path = PlatformPath(path);

    WIN32_FIND_DATAW data{};
    state_->handle.reset(FindFirstFileW(path.c_str(), &data));
    if (!state_->handle) return false;

    std::wstring full = FullPathName(path);
    if (full.empty()) {
        state_->handle.reset();
        SetLastError(ERROR_INVALID_NAME);
        return false;
    }
    size_t cut = full.find_last_of(L"\\/");
    state_->folder = cut == std::wstring::npos ? full : full.substr(0, cut);
    FillFound(data, state_->folder, out);
    return true;
}

bool FileSearch::Next(FoundFile& out) {
    if (!state_->handle) return false;
    WIN32_FIND_DATAW data{};
    if (!FindNextFileW(state_->handle.get(), &data)) return false;
    FillFound(data, state_->folder, out);
    return true;
}

bool FindFile(const std::wstring& path) {
    // A name without wildcards is looked up without a directory search, which costs far more
    // (under Wine twenty times more for a file that exists): a launch probes a dozen names.
    const size_t nameStart = path.compare(0, 4, L"\\\\?\\") == 0 ? 4 : 0;
    if (!path.empty() && path.size() <= kLongPathLimit && path.find_first_of(L"*?", nameStart) == std::wstring::npos) {
        return GetFileAttributesW(PlatformPath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
    }
    FileSearch search;
    FoundFile found;
    return search.First(path, found);
}

bool FileExists(const std::wstring& path) {
    if (path.empty() || path.size() > kLongPathLimit) return false;
    const DWORD attributes = GetFileAttributesW(PlatformPath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool ShortPathName(const std::wstring& path, std::wstring& out) {
    if (path.empty() || path.size() > kLongPathLimit) return false;
    const std::wstring query = PlatformPath(path);
    std::wstring result;
    if (!platform::ReadIntoGrowingBuffer(result, [&query](wchar_t* buffer, size_t size) {
            return static_cast<size_t>(GetShortPathNameW(query.c_str(), buffer, static_cast<DWORD>(size)));
        }, query.size() + 1)) {
        return false;
    }
    // The prefix was only the way to ask; the caller's text had none.
    if (query.compare(0, 4, L"\\\\?\\") == 0 && path.compare(0, 4, L"\\\\?\\") != 0) {
        if (result.compare(0, 8, L"\\\\?\\UNC\\") == 0) {
            result = L"\\\\" + result.substr(8);
        } else if (result.compare(0, 4, L"\\\\?\\") == 0) {
            result.erase(0, 4);
        }
    }
    out = std::move(result);
    return true;
}

bool CreateFolder(const std::wstring& path) { return CreateDirectoryW(PlatformPath(path).c_str(), nullptr) != 0; }

bool RemoveDirectoryLong(const std::wstring& path) { return RemoveDirectoryW(PlatformPath(path).c_str()) != 0; }

unsigned long EnsureParentDirectories(const std::wstring& path) {
    if (IsAbsolutePath(path)) {
        WIN32_FIND_DATAW data{};
        SetLastError(ERROR_SUCCESS);
        platform::UniqueFindHandle found(FindFirstFileW(PlatformPath(path).c_str(), &data));
        if (found || GetLastError() == ERROR_SUCCESS) return 0;
    }
    // A relative path (out\log.txt) is made full first, so that its folders are created
    // below the current directory and a long one can take the "\\?\" prefix.
    std::wstring filePath = FullPathName(path);
    if (filePath.empty()) return GetLastError();
    const bool network = IsUncPath(filePath);

    std::vector<std::wstring> parts;
    SplitPathComponents(filePath, parts);
    DWORD lastError = ERROR_SUCCESS;
    if (parts.size() < 2) return 0;
    std::wstring folder = parts[0];
    std::wstring previous;
    for (size_t i = 1; i + 1 < parts.size(); ++i) {
        previous = folder;
        folder += L"\\" + parts[i];
        if (CreateFolder(folder)) {
            lastError = ERROR_SUCCESS;
            continue;
        }
        lastError = GetLastError();
        if (lastError == ERROR_ALREADY_EXISTS || network) continue;
        // Undo the one level made just before the failing component, if it is empty.
        if (i >= 2) RemoveDirectoryLong(previous);
        break;
    }
    return lastError == ERROR_ALREADY_EXISTS ? 0 : lastError;
}

std::wstring ExpandedEnvironment(const std::wstring& text) {
    // The platform expands at most 32K characters and may cut a longer result short
    // without saying so (Wine does): a text or result near that limit is a failure.
    constexpr size_t kExpansionLimit = 32767 - 64;
    if (text.size() >= kExpansionLimit) return {};
    DWORD size = ExpandEnvironmentStringsW(text.c_str(), nullptr, 0);
    if (size == 0 || size >= kExpansionLimit) return {};
    std::wstring buffer(size, L'\0');
    DWORD written = ExpandEnvironmentStringsW(text.c_str(), buffer.data(), size);
    if (written == 0 || written > size) return {};
    buffer.resize(wcsnlen(buffer.c_str(), buffer.size()));
    return buffer;
}

void ExpandEnvironment(std::wstring& text) {
    if (text.empty()) return;
    std::wstring expanded = ExpandedEnvironment(text);
    if (!expanded.empty()) text = std::move(expanded);
}

}  // namespace kestran::config
