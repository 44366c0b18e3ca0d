// What the runtime-not-found dialog remembers of the folders the user picked.
#pragma once

#include <cstdint>
#include <string>

#include "runtime/runtime_probe.h"

namespace kestran::ui {

class RuntimePick {
public:
    explicit RuntimePick(int32_t jvmType) : jvmType_(jvmType) {}

    // A folder picked in the browser (its file-system path): remembered with one trailing
    // backslash and probed for a VM library. Each pick replaces the last one entirely.
    void Pick(const std::wstring& path, const runtime::FileProber& files);

    // OK is offered exactly when the last pick found a library.
    bool CanAccept() const { return !libraryPath_.empty(); }
    const std::wstring& folder() const { return folder_; }
    const std::wstring& libraryPath() const { return libraryPath_; }

private:
    int32_t jvmType_;
    std::wstring folder_;
    std::wstring libraryPath_;
};

}  // namespace kestran::ui
