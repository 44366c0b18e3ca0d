#include "platform/pe_image_view_win.h"

#include "config/paths.h"

namespace kestran::platform {

PeImageView::PeImageView(const std::wstring& path) : path_(path) {
    const std::wstring fullPath = config::PlatformPath(path);
    file_.reset(CreateFileW(fullPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file_) {
        lastError_ = GetLastError();
        return;
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file_.get(), &size)) {
        lastError_ = GetLastError();
        return;
    }
    // An empty file cannot be mapped; it is no image either.
    if (size.QuadPart <= 0) {
        status_ = PeHeaderStatus::TooSmall;
        return;
    }
    mapping_.reset(CreateFileMappingW(file_.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
    if (!mapping_) {
        lastError_ = GetLastError();
        return;
    }
    view_.reset(MapViewOfFile(mapping_.get(), FILE_MAP_READ, 0, 0, 0));
    if (!view_) {
        lastError_ = GetLastError();
        return;
    }
    // The headers are parsed here rather than by a helper library: loading one by name would
    // let a DLL planted in the application folder or the current directory run in this process.
    const auto* base = static_cast<const uint8_t*>(view_.get());
    const size_t viewSize = static_cast<size_t>(size.QuadPart);
    size_t ntOffset = 0;
    status_ = LocateNtHeaders(base, viewSize, ntOffset);
    if (status_ != PeHeaderStatus::Ok) return;
    ntHeaders_ = base + ntOffset;
    ReadImageMachine(base, viewSize, machine_);
}

}  // namespace kestran::platform
