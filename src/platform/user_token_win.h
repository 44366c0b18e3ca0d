// What this process's token says about its user (Windows only), through advapi32.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "platform/handles_win.h"
#include "platform/registry_functions_win.h"

namespace kestran::platform {

// This process's token, opened to be queried; empty, with the last error kept, when it cannot be.
UniqueHandle OwnProcessToken(const RegistryFunctions& functions);
// The token's TOKEN_USER into `user` and its SID as text; empty when either is unknown.
std::wstring TokenUserSid(const RegistryFunctions& functions, HANDLE token, std::vector<BYTE>& user);
// One TOKEN_INFORMATION_CLASS of `token` into `out`; false when the token does not give it.
bool TokenValue(const RegistryFunctions& functions, HANDLE token, TOKEN_INFORMATION_CLASS kind, std::vector<BYTE>& out);
// "S-1-5-21-..."; empty when the SID cannot be written out.
std::wstring SidText(const RegistryFunctions& functions, PSID sid);

}  // namespace kestran::platform
