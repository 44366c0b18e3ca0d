// Path and file operations shared by the launcher's parts.
#pragma once

#include <string>
#include <vector>

namespace kestran::config {

constexpr size_t kClassicPathLimit = 260;
constexpr size_t kLongPathLimit = 32766;

// "\\?\" for a local path, "\\?\UNC\" (replacing the two leading backslashes) for a network
// path, when the path has 260 characters or more and has no "\\?\" yet.
std::wstring WithLongPathPrefix(const std::wstring& path);
// The path as the platform's file functions should get it: made full (normalising "..", "/"
// and relative parts), then given the long-path prefix when it needs one. Unchanged natively.
std::wstring PlatformPath(const std::wstring& path);
// The root first ("C:", "\\server", "\\?\C:"), then each component.
void SplitPathComponents(const std::wstring& path, std::vector<std::wstring>& out);
// A network path: \\server\share or \\?\UNC\server\share, but not \\?\C:\.
bool IsUncPath(const std::wstring& path);
// At least two characters and starts with two backslashes or has ':' second.
bool IsAbsolutePath(const std::wstring& path);
// The text before the last backslash (the whole text when there is none).
std::wstring FolderOf(const std::wstring& path);
// The text after the last backslash.
std::wstring FileNameOf(const std::wstring& path);
// Everything after the last '.' of the whole path replaced by `extension`; false without a dot.
bool ReplaceExtension(const std::wstring& path, const std::wstring& extension, std::wstring& out);

// Platform operations (Win32 on Windows).
// The full path of `path` against the current directory; `path` itself when that fails.
std::wstring FullPath(const std::wstring& path);
struct FoundFile {
    std::wstring name;    // the match's file name
    std::wstring folder;  // full path of the folder that holds it
    bool isDirectory = false;
};
class FileSearch {
public:
    FileSearch();
    ~FileSearch();
    FileSearch(const FileSearch&) = delete;
    FileSearch& operator=(const FileSearch&) = delete;
    // First match of `pattern` ("*.*" when empty); false and the last error set otherwise.
    bool First(const std::wstring& pattern, FoundFile& out);
    bool Next(FoundFile& out);

private:
    struct State;
    State* state_;
};
bool FindFile(const std::wstring& path);  // true when something matches
// True when a file, not a folder, is at `path` (a name without wildcards).
bool FileExists(const std::wstring& path);
// The short (8.3) form of an existing file or folder, without a long-path prefix the input
// did not have; false (out untouched) when the path does not exist or has no short form here.
bool ShortPathName(const std::wstring& path, std::wstring& out);
// 0 when the folders of `filePath` exist afterwards, else the platform error code.
unsigned long EnsureParentDirectories(const std::wstring& filePath);
bool RemoveDirectoryLong(const std::wstring& path);
// CreateDirectoryW; the result is what callers that ignore it may still look at.
bool CreateFolder(const std::wstring& path);
// In-place form: the text is left unchanged when the platform cannot expand it.
void ExpandEnvironment(std::wstring& text);
// Returning form: the empty text when the platform cannot expand it.
std::wstring ExpandedEnvironment(const std::wstring& text);

}  // namespace kestran::config
