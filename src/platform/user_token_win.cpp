#include "platform/user_token_win.h"

#include "platform/handles_win.h"

namespace kestran::platform {

bool TokenValue(const RegistryFunctions& functions, HANDLE token, TOKEN_INFORMATION_CLASS kind, std::vector<BYTE>& out) {
    DWORD size = 0;
    functions.GetTokenInformation(token, kind, nullptr, 0, &size);
    if (size == 0) return false;
    out.assign(size, 0);
    return functions.GetTokenInformation(token, kind, out.data(), size, &size) != FALSE;
}

std::wstring SidText(const RegistryFunctions& functions, PSID sid) {
    LPWSTR text = nullptr;
    if (!functions.ConvertSidToStringSidW(sid, &text)) return {};
    UniqueLocalMemory owner(text);
    return text;
}

}  // namespace kestran::platform
