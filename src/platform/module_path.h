// The path of this process's executable file.
#pragma once

#include <string>

namespace kestran::platform {

// The launcher's own file path, of any length; prints 202/208 and gives false on failure
// (`out` is then unspecified).
bool GetModulePath(std::wstring& out);

}  // namespace kestran::platform
