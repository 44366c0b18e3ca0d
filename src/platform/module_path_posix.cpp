#include <unistd.h>

#include <string>

#include "platform/module_path.h"
#include "platform/text_encoding.h"

namespace kestran::platform {

bool GetModulePath(std::wstring& out) {
    std::string buffer(4096, '\0');
    ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length <= 0) return false;
    buffer.resize(static_cast<size_t>(length));
    out = Utf8ToWide(buffer);
    return true;
}

}  // namespace kestran::platform
