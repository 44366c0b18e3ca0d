#include "launcher/working_directory.h"

namespace kestran::launcher {

bool WorkingDirectoryFor(const std::wstring& modulePath, std::wstring& out) {
    size_t slash = modulePath.rfind(L'\\');
    if (slash == std::wstring::npos || slash == 0) return false;
    out = modulePath.substr(0, slash);
    // "C:" alone names the drive's current directory, which may be anywhere on that drive;
    // the launcher's folder is the root itself.
    if (out.size() == 2 && out[1] == L':') out += L'\\';
    return true;
}

}  // namespace kestran::launcher
