#include <windows.h>

#include "launcher/launch_steps.h"
#include "launcher/pe_image_view_win.h"
#include "launcher/process_environment.h"
#include "launcher/working_directory.h"
#include "platform/trace.h"

namespace kestran::launcher {
namespace {

std::wstring Hex4(uint16_t value) {
    static const wchar_t digits[] = L"0123456789ABCDEF";
    std::wstring text = L"0x";
    for (int shift = 12; shift >= 0; shift -= 4) text += digits[(value >> shift) & 0xF];
    return text;
}

}  // namespace

void ApplyWorkingDirectory() {
    std::wstring modulePath;
    if (!GetModulePath(modulePath)) return;
    std::wstring folder;
    if (!WorkingDirectoryFor(modulePath, folder)) return;
    BOOL changed = SetCurrentDirectoryW(folder.c_str());
    if (platform::TraceEnabled()) {
        DWORD error = changed ? 0 : GetLastError();
        platform::Trace(L"working directory " + folder +
                        (changed ? std::wstring(L": set") : L": not set, error " + std::to_wstring(error)));
    }
}

void CheckVmLibraryMachine(Launcher& launcher) {
    launcher.handOverToPair = false;
    if (launcher.pairProduct.empty()) return;
    const PeImageView view(launcher.vmLibraryPath);
    if (view.valid() && view.machine() == kMachineI386) launcher.handOverToPair = true;
    if (!platform::TraceEnabled()) return;
    std::wstring what;
    if (!view.mapped())
        what = view.lastError() != 0 ? L"unreadable, error " + std::to_wstring(view.lastError())
                                     : std::wstring(DescribePeHeaderStatus(view.status()));
    else if (!view.valid())
        what = DescribePeHeaderStatus(view.status());
    else
        what = L"machine " + Hex4(view.machine());
    platform::Trace(L"machine check " + launcher.vmLibraryPath + L": " + what +
                    (launcher.handOverToPair ? L", 32-bit x86: handed over to the pair program"
                                             : L", not handed over"));
}

}  // namespace kestran::launcher
