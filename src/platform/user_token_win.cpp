#include "platform/user_token_win.h"

#include "platform/handles_win.h"

namespace kestran::platform {

UniqueHandle OwnProcessToken(const RegistryFunctions& functions) {
    HANDLE token = nullptr;
    if (!functions.OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return UniqueHandle();
    return UniqueHandle(token);
}

std::wstring TokenUserSid(const RegistryFunctions& functions, HANDLE token, std::vector<BYTE>& user) {
    if (!TokenValue(functions, token, TokenUser, user)) return {};
    return SidText(functions, reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid);
}

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
