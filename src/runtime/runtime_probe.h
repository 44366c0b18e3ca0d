// Turning a runtime folder into the jvm.dll to load.
#pragma once

#include <cstdint>
#include <string>

namespace kestran::runtime {

// The file-system seam of the runtime search: a file's existence test by full path.
class FileProber {
public:
    virtual ~FileProber() = default;
    // True when a file (not a folder) exists at `path`.
    virtual bool Exists(const std::wstring& path) const = 0;
    // False, with the image's machine field in `machine`, for a VM library built for an
    // architecture this process cannot use. A prober that does not look counts every file.
    virtual bool LoadableMachine(const std::wstring& libraryPath, uint16_t& machine) const {
        (void)libraryPath;
        (void)machine;
        return true;
    }
};

// The real file system (long paths prefixed).
const FileProber& DiskFileProber();

struct ProbeResult {
    std::wstring libraryPath;  // empty when the folder holds no usable VM library
    bool serverVm = false;
    // The library found but refused for its architecture (libraryPath then empty).
    std::wstring foreignLibrary;
    uint16_t foreignMachine = 0;
};

// `folder` ends with a backslash; `mode` is a jvmType: 0 client first, 1 server only,
// 2 server first. Any other mode behaves as 0. The first library found is the folder's
// answer: refused for its architecture, the folder offers none.
ProbeResult ProbeRuntimeFolder(const std::wstring& folder, int32_t mode, const FileProber& files);
ProbeResult ProbeRuntimeFolder(const std::wstring& folder, int32_t mode);

// True when folder + "bin\java.dll" exists.
bool IsJavaRuntimeFolder(const std::wstring& folder, const FileProber& files);
bool IsJavaRuntimeFolder(const std::wstring& folder);

// `text` with a backslash appended unless it ends with one; false (out untouched) for the
// empty text, which names no folder.
bool WithTrailingBackslash(const std::wstring& text, std::wstring& out);

}  // namespace kestran::runtime
