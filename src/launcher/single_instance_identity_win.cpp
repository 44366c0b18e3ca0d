#include <windows.h>

#include "launcher/single_instance.h"
#include "launcher/single_instance_win.h"
#include "platform/decimal_text.h"
#include "platform/final_path_win.h"
#include "platform/registry_functions_win.h"
#include "platform/trace.h"
#include "platform/user_token_win.h"

namespace kestran::launcher {

using platform::SidText;
using platform::TokenValue;

PSID InstanceIdentity::UserSid() const {
    return user.empty() ? nullptr : reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid;
}

bool MakeInstanceIdentity(const std::wstring& modulePath, InstanceIdentity& out) {
    const platform::RegistryFunctions* functions = platform::Registry();
    if (functions == nullptr) return false;
    const platform::UniqueHandle token = platform::OwnProcessToken(*functions);
    if (!token) {
        platform::Trace(L"single instance: no process token (error " + platform::DecimalText(GetLastError()) + L")");
        return false;
    }
    const std::wstring sid = platform::TokenUserSid(*functions, token.get(), out.user);
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
            platform::Trace(L"single instance: no security descriptor (error " + platform::DecimalText(GetLastError()) + L")");
            return false;
        }
    }
    out.descriptor.reset(descriptor);
    out.attributes = {sizeof(SECURITY_ATTRIBUTES), descriptor, FALSE};
    out.name = CanonicalInstanceName(platform::FoldedFinalPath(modulePath), sid);
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
        platform::Trace(L"single instance: owner of an object unknown (error " + platform::DecimalText(error) + L")");
        return false;
    }
    platform::UniqueLocalMemory hold(descriptor);
    return owner != nullptr && functions->EqualSid(owner, identity.UserSid()) != FALSE;
}

}  // namespace kestran::launcher
