#include "launcher/pair_handover.h"
#include "platform/environment.h"

namespace kestran::launcher {

bool TakeHandOverMark() {
    std::wstring value;
    if (!platform::GetEnvironmentText(kHandOverMark, value)) return false;
    platform::UnsetEnvironmentText(kHandOverMark);
    return true;
}

}  // namespace kestran::launcher
