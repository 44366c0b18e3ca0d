// Turning a runtime folder into the jvm.dll to load.
#pragma once

#include <cstdint>
#include <string>

namespace kestran::runtime {

// The file-system seam of the runtime search: an existence test of a full path.
class FileProber {
public:
    virtual ~FileProber() = default;
    // True when something (a file or a folder) exists at `path`.
    virtual bool Exists(const std::wstring& path) const = 0;
};

// The real file system (FindFirstFileW semantics, long paths prefixed).
const FileProber& DiskFileProber();

struct ProbeResult {
    std::wstring libraryPath;  // empty when the folder holds no usable VM library
    bool serverVm = false;
};

// `folder` ends with a backslash; `mode` is a jvmType: 0 client first, 1 server only,
// 2 server first. Any other mode behaves as 0.
ProbeResult ProbeRuntimeFolder(const std::wstring& folder, int32_t mode, const FileProber& files);
ProbeResult ProbeRuntimeFolder(const std::wstring& folder, int32_t mode);

// True when folder + "bin\java.dll" exists.
bool IsJavaRuntimeFolder(const std::wstring& folder, const FileProber& files);
bool IsJavaRuntimeFolder(const std::wstring& folder);

// `text` with a backslash appended unless it ends with one; false (out untouched) for the
// empty text, which names no folder.
bool WithTrailingBackslash(const std::wstring& text, std::wstring& out);

}  // namespace kestran::runtime
