#include <cstdio>

#include "platform/text_encoding.h"
#include "platform/trace_file.h"

namespace kestran::platform {

std::wstring TraceFileFullPath(const std::wstring& name) { return name; }

bool AppendTraceText(const std::wstring& fullPath, const std::wstring& text) {
    std::FILE* file = std::fopen(WideToUtf8(fullPath).c_str(), "a");
    if (file == nullptr) return false;
    const std::string bytes = WideToUtf8(text);
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

}  // namespace kestran::platform
