#include <windows.h>

#include "config/paths.h"
#include "platform/decimal_text.h"
#include "platform/final_path_win.h"
#include "platform/growing_buffer.h"
#include "platform/handles_win.h"
#include "platform/trace.h"

namespace kestran::platform {

std::wstring FoldedFinalPath(const std::wstring& spelled) {
    std::wstring path;
    UniqueHandle file(CreateFileW(config::PlatformPath(spelled).c_str(), FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    const bool final = file && ReadIntoGrowingBuffer(path, [&file](wchar_t* buffer, size_t size) {
        return static_cast<size_t>(GetFinalPathNameByHandleW(file.get(), buffer, static_cast<DWORD>(size),
                                                             FILE_NAME_NORMALIZED | VOLUME_NAME_DOS));
    });
    if (!final) {
        Trace(L"no final path of " + spelled + L" (error " + platform::DecimalText(GetLastError()) +
              L"); using the path as spelled");
        path = config::FullPath(spelled);
    }
    const int length = static_cast<int>(path.size());
    std::wstring folded(path.size(), L'\0');
    if (length > 0 && LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, path.c_str(), length, folded.data(), length) == length) {
        return folded;
    }
    return path;
}

}  // namespace kestran::platform
