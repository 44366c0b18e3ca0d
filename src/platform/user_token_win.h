// What this process's token says about its user (Windows only), through advapi32.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "platform/registry_functions_win.h"

namespace kestran::platform {

// One TOKEN_INFORMATION_CLASS of `token` into `out`; false when the token does not give it.
bool TokenValue(const RegistryFunctions& functions, HANDLE token, TOKEN_INFORMATION_CLASS kind, std::vector<BYTE>& out);
// "S-1-5-21-..."; empty when the SID cannot be written out.
std::wstring SidText(const RegistryFunctions& functions, PSID sid);

}  // namespace kestran::platform
