// Whether the chosen VM library is a 32-bit x86 image, which the paired program must run.
#pragma once

#include <cstdint>
#include <string>

#include "config/launch_settings.h"
#include "runtime/runtime_choice.h"
#include "runtime/runtime_probe.h"

namespace kestran::runtime {

// The machine field of the image at `libraryPath`; 0 when it cannot be read or is no PE image.
uint16_t ReadVmLibraryMachine(const std::wstring& libraryPath);

// The disk, where a VM library counts only when this process can use it: x64, or x86 when a
// pair program runs such a runtime. A file that cannot be read as a PE image counts, so that
// the loader's own error reports it.
class MachineCheckingProber final : public FileProber {
public:
    explicit MachineCheckingProber(bool x86Allowed) : x86Allowed_(x86Allowed) {}
    bool Exists(const std::wstring& path) const override;
    bool LoadableMachine(const std::wstring& libraryPath, uint16_t& machine) const override;

private:
    bool x86Allowed_;
};

// Sets choice.handOverToPair when settings.pairProduct is set and choice.vmLibraryPath is a
// 32-bit x86 image; clears it otherwise (also when the file cannot be read).
void CheckVmLibraryMachine(const config::LaunchSettings& settings, RuntimeChoice& choice);

}  // namespace kestran::runtime
