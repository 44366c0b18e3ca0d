#include "config/paths.h"
#include "platform/module_path.h"
#include "runtime/runtime_search.h"
#include "runtime/vm_library_machine.h"

namespace kestran::runtime {
namespace {

class MachineSearchHost final : public RuntimeSearchHost {
public:
    explicit MachineSearchHost(bool x86Allowed) : files_(x86Allowed) {}
    const FileProber& Files() const override { return files_; }
    const RegistryReader& Registry(RegistryRoot root) const override {
        return root == RegistryRoot::CurrentUser ? UserRegistry() : MachineRegistry();
    }
    bool LauncherFolder(std::wstring& out) const override {
        std::wstring modulePath;
        return platform::GetModulePath(modulePath) && LauncherFolderOf(modulePath, out);
    }
    std::wstring ExpandEnvironment(const std::wstring& text) const override {
        return config::ExpandedEnvironment(text);
    }
    std::wstring FullPath(const std::wstring& path) const override { return config::FullPath(path); }
    void CheckVmLibraryMachine(const config::LaunchSettings& settings, RuntimeChoice& choice) const override {
        runtime::CheckVmLibraryMachine(settings, choice);
    }

private:
    MachineCheckingProber files_;
};

}  // namespace

bool FindJavaRuntime(const config::LaunchSettings& launch, RuntimeChoice& choice) {
    // An x86 runtime is of use only to the pair program.
    const MachineSearchHost host(!launch.pairProduct.empty());
    return FindJavaRuntime(launch, choice, host);
}

}  // namespace kestran::runtime
