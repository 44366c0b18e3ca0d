#include <unistd.h>

#include <string>

#include "launcher/launch_steps.h"
#include "platform/text_encoding.h"

namespace kestran::launcher {

bool GetModulePath(std::wstring& out) {
    std::string buffer(4096, '\0');
    ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length <= 0) return false;
    buffer.resize(static_cast<size_t>(length));
    out = platform::Utf8ToWide(buffer);
    return true;
}

// The native host has no command line of its own to forward; it fills arguments itself.
void ParseCommandLine(Launcher&, WideList& out) { out.clear(); }

}  // namespace kestran::launcher
