#include <windows.h>

#include "platform/decimal_text.h"
#include "platform/pe_image_view_win.h"
#include "platform/trace.h"
#include "runtime/vm_library_machine.h"

namespace kestran::runtime {

uint16_t ReadVmLibraryMachine(const std::wstring& libraryPath) {
    const platform::PeImageView view(libraryPath);
    return view.machine();
}

void CheckVmLibraryMachine(const config::LaunchSettings& settings, RuntimeChoice& choice) {
    choice.handOverToPair = false;
    if (settings.pairProduct.empty()) return;
    const platform::PeImageView view(choice.vmLibraryPath);
    if (view.valid() && view.machine() == platform::kMachineI386) choice.handOverToPair = true;
    if (!platform::TraceEnabled()) return;
    std::wstring what;
    if (!view.mapped())
        what = view.lastError() != 0 ? L"unreadable, error " + platform::DecimalText(view.lastError())
                                     : std::wstring(platform::DescribePeHeaderStatus(view.status()));
    else if (!view.valid())
        what = platform::DescribePeHeaderStatus(view.status());
    else
        what = L"machine " + platform::MachineHex(view.machine());
    platform::Trace(L"machine check " + choice.vmLibraryPath + L": " + what +
                    (choice.handOverToPair ? L", 32-bit x86: handed over to the pair program"
                                           : L", not handed over"));
}

}  // namespace kestran::runtime
