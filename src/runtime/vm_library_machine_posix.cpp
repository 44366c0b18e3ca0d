#include <fstream>
#include <iterator>
#include <vector>

#include "platform/pe_header.h"
#include "platform/text_encoding.h"
#include "platform/trace.h"
#include "runtime/vm_library_machine.h"

namespace kestran::runtime {

uint16_t ReadVmLibraryMachine(const std::wstring& libraryPath) {
    std::ifstream file(platform::WideToUtf8(libraryPath), std::ios::binary);
    if (!file) return 0;
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    uint16_t machine = 0;
    platform::ReadImageMachine(bytes.data(), bytes.size(), machine);
    return machine;
}

void CheckVmLibraryMachine(const config::LaunchSettings& settings, RuntimeChoice& choice) {
    choice.handOverToPair = false;
    if (settings.pairProduct.empty()) return;
    if (ReadVmLibraryMachine(choice.vmLibraryPath) == platform::kMachineI386) choice.handOverToPair = true;
    platform::Trace(L"machine check " + choice.vmLibraryPath +
                    (choice.handOverToPair ? L": 32-bit x86, handed over to the pair program" : L": not handed over"));
}

}  // namespace kestran::runtime
