#include <unistd.h>

#include <fstream>
#include <iterator>
#include <vector>

#include "launcher/launch_steps.h"
#include "launcher/pe_header.h"
#include "launcher/process_environment.h"
#include "platform/text_encoding.h"
#include "platform/trace.h"

namespace kestran::launcher {

void ApplyWorkingDirectory() {
    std::wstring modulePath;
    if (!GetModulePath(modulePath)) return;
    size_t slash = modulePath.rfind(L'/');
    if (slash == std::wstring::npos || slash == 0) return;
    (void)chdir(platform::WideToUtf8(modulePath.substr(0, slash)).c_str());
}

void CheckVmLibraryMachine(Launcher& launcher) {
    launcher.handOverToPair = false;
    if (launcher.pairProduct.empty()) return;
    std::ifstream file(platform::WideToUtf8(launcher.vmLibraryPath), std::ios::binary);
    if (!file) return;
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    uint16_t machine = 0;
    if (ReadImageMachine(bytes.data(), bytes.size(), machine) == PeHeaderStatus::Ok && machine == kMachineI386)
        launcher.handOverToPair = true;
    platform::Trace(L"machine check " + launcher.vmLibraryPath +
                    (launcher.handOverToPair ? L": 32-bit x86, handed over to the pair program" : L": not handed over"));
}

}  // namespace kestran::launcher
