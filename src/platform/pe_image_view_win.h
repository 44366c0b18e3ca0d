// A read-only mapped view of a file with its PE headers located.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "platform/pe_header.h"
#include "platform/handles_win.h"

namespace kestran::platform {

class PeImageView {
public:
    // Opens and maps `path`; the outcome is in status() and, for an unreadable file, lastError().
    explicit PeImageView(const std::wstring& path);
    PeImageView(const PeImageView&) = delete;
    PeImageView& operator=(const PeImageView&) = delete;

    // The signature is "PE\0\0" and the file header lies inside the file.
    bool valid() const { return ntHeaders_ != nullptr; }
    // The NT headers inside the view; null unless valid().
    const uint8_t* ntHeaders() const { return ntHeaders_; }
    // The file header's machine field; 0 unless valid().
    uint16_t machine() const { return machine_; }
    // Meaningful once the file was mapped (mapped() true).
    PeHeaderStatus status() const { return status_; }
    bool mapped() const { return static_cast<bool>(view_); }
    // The error of the open or mapping call that failed; 0 when the file was mapped.
    DWORD lastError() const { return lastError_; }
    const std::wstring& path() const { return path_; }

private:
    // Declared so that destruction unmaps the view, then closes the mapping, then the file.
    platform::UniqueHandle file_;
    platform::UniqueHandle mapping_;
    platform::UniqueMappedView view_;
    const uint8_t* ntHeaders_ = nullptr;
    std::wstring path_;
    uint16_t machine_ = 0;
    PeHeaderStatus status_ = PeHeaderStatus::TooSmall;
    DWORD lastError_ = 0;
};

}  // namespace kestran::platform
