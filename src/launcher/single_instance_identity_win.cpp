#include <windows.h>

#include "config/paths.h"
#include "launcher/single_instance.h"
#include "launcher/single_instance_win.h"
#include "platform/growing_buffer.h"
#include "platform/registry_functions_win.h"
#include "platform/trace.h"

namespace kestran::launcher {
namespace {

bool TokenValue(const platform::RegistryFunctions& functions, HANDLE token, TOKEN_INFORMATION_CLASS kind,
                std::vector<BYTE>& out) {
    DWORD size = 0;
    functions.GetTokenInformation(token, kind, nullptr, 0, &size);
    if (size == 0) return false;
    out.assign(size, 0);
    return functions.GetTokenInformation(token, kind, out.data(), size, &size) != FALSE;
}

std::wstring SidText(const platform::RegistryFunctions& functions, PSID sid) {
    LPWSTR text = nullptr;
    if (!functions.ConvertSidToStringSidW(sid, &text)) return {};
    platform::UniqueLocalMemory owner(text);
    return text;
}

// The path the file system itself gives the open file: every spelling of it (case, 8.3 names,
// a mapped drive, "..", a link) ends at the same text, which is then case-folded as the file
// system compares names. The spelled path, made full, when the file cannot be asked.
std::wstring FoldedFinalPath(const std::wstring& modulePath) {
    std::wstring path;
    platform::UniqueHandle file(CreateFileW(config::PlatformPath(modulePath).c_str(), FILE_READ_ATTRIBUTES,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    const bool final = file && platform::ReadIntoGrowingBuffer(path, [&file](wchar_t* buffer, size_t size) {
        return static_cast<size_t>(GetFinalPathNameByHandleW(file.get(), buffer, static_cast<DWORD>(size),
                                                             FILE_NAME_NORMALIZED | VOLUME_NAME_DOS));
    });
    if (!final) {
        platform::Trace(L"single instance: no final path of " + modulePath + L" (error " +
                        std::to_wstring(GetLastError()) + L"); using the path as spelled");
        path = config::FullPath(modulePath);
    }
    const int length = static_cast<int>(path.size());
    std::wstring folded(path.size(), L'\0');
    if (length > 0 && LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, path.c_str(), length, folded.data(), length) == length) {
        return folded;
    }
    return path;
}

}  // namespace

PSID InstanceIdentity::UserSid() const {
    return user.empty() ? nullptr : reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid;
}

bool MakeInstanceIdentity(const std::wstring& modulePath, InstanceIdentity& out) {
    const platform::RegistryFunctions* functions = platform::Registry();
    if (functions == nullptr) return false;
    HANDLE rawToken = nullptr;
    if (!functions->OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &rawToken)) {
        platform::Trace(L"single instance: no process token (error " + std::to_wstring(GetLastError()) + L")");
        return false;
    }
    platform::UniqueHandle token(rawToken);
    std::wstring sid;
    if (TokenValue(*functions, token.get(), TokenUser, out.user)) sid = SidText(*functions, out.UserSid());
    if (sid.empty()) {
        platform::Trace(L"single instance: the user's SID is unknown");
        return false;
    }
    // Owner and only grantee the user, so another user's process (in this session, say through
    // "run as") can neither open the objects nor pass off its own as ours; the label keeps
    // processes of a lower integrity level of this user from writing to them.
    const std::wstring dacl = L"O:" + sid + L"D:P(A;;GA;;;" + sid + L")";
    std::vector<BYTE> integrity;
    std::wstring label;
    if (TokenValue(*functions, token.get(), TokenIntegrityLevel, integrity)) {
        label = SidText(*functions, reinterpret_cast<const TOKEN_MANDATORY_LABEL*>(integrity.data())->Label.Sid);
    }
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (label.empty() || !functions->ConvertStringSecurityDescriptorToSecurityDescriptorW(
                             (dacl + L"S:(ML;;NW;;;" + label + L")").c_str(), SDDL_REVISION_1, &descriptor, nullptr)) {
        platform::Trace(L"single instance: no integrity label for the objects");
        if (!functions->ConvertStringSecurityDescriptorToSecurityDescriptorW(dacl.c_str(), SDDL_REVISION_1, &descriptor,
                                                                            nullptr)) {
            platform::Trace(L"single instance: no security descriptor (error " + std::to_wstring(GetLastError()) + L")");
            return false;
        }
    }
    out.descriptor.reset(descriptor);
    out.attributes = {sizeof(SECURITY_ATTRIBUTES), descriptor, FALSE};
    out.name = CanonicalInstanceName(FoldedFinalPath(modulePath), sid);
    return true;
}

bool OwnedByUser(HANDLE object, const InstanceIdentity& identity) {
    const platform::RegistryFunctions* functions = platform::Registry();
    if (functions == nullptr || object == nullptr) return false;
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD error = functions->GetSecurityInfo(object, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr,
                                                   nullptr, nullptr, &descriptor);
    if (error != ERROR_SUCCESS) {
        platform::Trace(L"single instance: owner of an object unknown (error " + std::to_wstring(error) + L")");
        return false;
    }
    platform::UniqueLocalMemory hold(descriptor);
    return owner != nullptr && functions->EqualSid(owner, identity.UserSid()) != FALSE;
}

}  // namespace kestran::launcher
