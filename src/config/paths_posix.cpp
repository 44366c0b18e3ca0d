// Native counterparts of the path operations, for the Linux JNI host (paths use '/').
#include <fnmatch.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "config/paths.h"
#include "platform/environment.h"
#include "platform/text_encoding.h"

namespace fs = std::filesystem;

namespace kestran::config {

std::wstring PlatformPath(const std::wstring& path) { return path; }
std::wstring FullPath(const std::wstring& path) { return path; }
// No short names natively.
bool ShortPathName(const std::wstring&, std::wstring&) { return false; }

struct FileSearch::State {
    std::vector<FoundFile> matches;
    size_t next = 0;
};

FileSearch::FileSearch() : state_(new State) {}
FileSearch::~FileSearch() { delete state_; }

bool FileSearch::First(const std::wstring& pattern, FoundFile& out) {
    state_->matches.clear();
    state_->next = 0;
    fs::path path(platform::WideToUtf8(pattern.empty() ? std::wstring(L"*") : pattern));
    fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
    std::string namePattern = path.filename().string();
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        if (fnmatch(namePattern.c_str(), entry.path().filename().c_str(), 0) == 0) {
            FoundFile found;
            found.name = platform::Utf8ToWide(entry.path().filename().string());
            found.folder = platform::Utf8ToWide(fs::absolute(folder, error).string());
            found.isDirectory = entry.is_directory(error);
            state_->matches.push_back(found);
        }
    }
    return Next(out);
}

bool FileSearch::Next(FoundFile& out) {
    if (state_->next >= state_->matches.size()) return false;
    out = state_->matches[state_->next++];
    return true;
}

bool FindFile(const std::wstring& path) {
    FileSearch search;
    FoundFile found;
    return search.First(path, found);
}

bool FileExists(const std::wstring& path) {
    std::error_code error;
    return fs::is_regular_file(platform::WideToUtf8(path), error);
}

bool CreateFolder(const std::wstring& path) {
    std::error_code error;
    return fs::create_directory(platform::WideToUtf8(path), error);
}

bool RemoveDirectoryLong(const std::wstring& path) {
    std::error_code error;
    return fs::remove(platform::WideToUtf8(path), error);
}

unsigned long EnsureParentDirectories(const std::wstring& filePath) {
    fs::path parent = fs::path(platform::WideToUtf8(filePath)).parent_path();
    if (parent.empty()) return 0;
    std::error_code error;
    fs::create_directories(parent, error);
    return error ? static_cast<unsigned long>(error.value()) : 0;
}

std::wstring ExpandedEnvironment(const std::wstring& text) {
    std::wstring out;
    size_t i = 0;
    while (i < text.size()) {
        size_t open = text.find(L'%', i);
        size_t close = open == std::wstring::npos ? open : text.find(L'%', open + 1);
        if (close == std::wstring::npos) {
            out += text.substr(i);
            break;
        }
        out += text.substr(i, open - i);
        std::wstring value;
        if (close > open + 1 && platform::GetEnvironmentText(text.substr(open + 1, close - open - 1), value)) {
            out += value;
            i = close + 1;
        } else {
            out += text.substr(open, close - open);
            i = close;
        }
    }
    return out;
}

void ExpandEnvironment(std::wstring& text) {
    std::wstring expanded = ExpandedEnvironment(text);
    if (!expanded.empty()) text = std::move(expanded);
}

}  // namespace kestran::config
