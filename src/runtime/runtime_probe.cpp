#include "runtime/runtime_probe.h"

#include "config/paths.h"
#include "platform/pe_header.h"
#include "runtime/runtime_keys.h"
#include "runtime/vm_library_machine.h"

namespace kestran::runtime {
namespace {

class DiskProber final : public FileProber {
public:
    // A folder named jvm.dll is no library: the loader would refuse it with errno 5, where the
    // search should go on to the next place.
    bool Exists(const std::wstring& path) const override { return config::FileExists(path); }
};

// Not a local static: see platform/trace.cpp.
const DiskProber diskProber;

}  // namespace

const FileProber& DiskFileProber() { return diskProber; }

bool MachineCheckingProber::Exists(const std::wstring& path) const { return diskProber.Exists(path); }

bool MachineCheckingProber::LoadableMachine(const std::wstring& libraryPath, uint16_t& machine) const {
    machine = ReadVmLibraryMachine(libraryPath);
    return machine == 0 || machine == platform::kMachineAmd64 || (x86Allowed_ && machine == platform::kMachineI386);
}

namespace {

// A library of another architecture is no runtime for this process: the loader would only
// say "not a valid Win32 application" (193).
void RefuseForeignMachine(const FileProber& files, ProbeResult& result) {
    uint16_t machine = 0;
    if (files.LoadableMachine(result.libraryPath, machine)) return;
    result.foreignLibrary = std::move(result.libraryPath);
    result.foreignMachine = machine;
    result.libraryPath.clear();
    result.serverVm = false;
}

ProbeResult FindVmLibrary(const std::wstring& folder, int32_t mode, const FileProber& files) {
    ProbeResult result;
    if (mode == 1 || mode == 2) {
        std::wstring server = folder + kServerVmLibrary;
        if (files.Exists(server)) {
            result.libraryPath = std::move(server);
            result.serverVm = true;
            return result;
        }
        if (mode == 1) return result;
    }
    for (const VmLibraryLocation& location : kVmLibraryLocations) {
        std::wstring candidate = folder + location.relativePath;
        if (files.Exists(candidate)) {
            result.libraryPath = std::move(candidate);
            result.serverVm = location.serverVm;
            return result;
        }
    }
    return result;
}

}  // namespace

ProbeResult ProbeRuntimeFolder(const std::wstring& folder, int32_t mode, const FileProber& files) {
    ProbeResult result = FindVmLibrary(folder, mode, files);
    if (!result.libraryPath.empty()) RefuseForeignMachine(files, result);
    return result;
}

ProbeResult ProbeRuntimeFolder(const std::wstring& folder, int32_t mode) {
    return ProbeRuntimeFolder(folder, mode, DiskFileProber());
}

bool IsJavaRuntimeFolder(const std::wstring& folder, const FileProber& files) {
    return files.Exists(folder + kJavaLibrary);
}

bool IsJavaRuntimeFolder(const std::wstring& folder) { return IsJavaRuntimeFolder(folder, DiskFileProber()); }

bool WithTrailingBackslash(const std::wstring& text, std::wstring& out) {
    if (text.empty()) return false;
    out = text.back() == L'\\' ? text : text + L'\\';
    return true;
}

}  // namespace kestran::runtime
