#include <cstdio>

#include "platform/console.h"
#include "platform/text_encoding.h"

namespace kestran::platform {

void WriteStandardOutput(const std::wstring& text) {
    std::string bytes = WideToUtf8(text);
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
    std::fflush(stdout);
}

void WriteStandardError(const std::wstring& text) {
    std::string bytes = WideToUtf8(text);
    std::fwrite(bytes.data(), 1, bytes.size(), stderr);
    std::fflush(stderr);
}

}  // namespace kestran::platform
