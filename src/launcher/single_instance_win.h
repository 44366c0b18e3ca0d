// The identity and the security of the single-instance objects (Windows only).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "platform/handles_win.h"

namespace kestran::launcher {

// Who may meet whom: one name per user and executable file, and a security descriptor that
// gives the objects to this user alone, at this process's integrity level.
struct InstanceIdentity {
    std::wstring name;                     // CanonicalInstanceName of this executable and user
    std::vector<BYTE> user;                // TOKEN_USER of this process
    platform::UniqueLocalMemory descriptor;  // owner and only grantee: the user; the mandatory label
    mutable SECURITY_ATTRIBUTES attributes{};  // points at `descriptor` (the create calls want it writable)

    PSID UserSid() const;
};

// Builds the identity of the executable at `modulePath` (its final path, so that every spelling
// of the file is one name). False, after a trace line, when the user or the security cannot be
// established: the mode is then off.
bool MakeInstanceIdentity(const std::wstring& modulePath, InstanceIdentity& out);

// An object found under our name is ours only when this user owns it: anything else was made
// by another program, which must not receive the arguments. The handle needs READ_CONTROL.
bool OwnedByUser(HANDLE object, const InstanceIdentity& identity);

}  // namespace kestran::launcher
