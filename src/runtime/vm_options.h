// Building the VM option list: class path, user VM parameters, memory sizes, redirection
// settings and the "Cmd" arguments.
#pragma once

#include <string>
#include <vector>

#include "config/launch_settings.h"
#include "config/settings_store.h"
#include "runtime/memory_options.h"
#include "runtime/runtime_choice.h"

namespace kestran::runtime {

// Appends to invocation.vmOptions and arguments and sets threadStackSize; stores the
// redirection and "Cmd" settings in `launch` (opening launch.settings when it is null). False
// when the class path is empty (after message 209, with every other option still assembled),
// false without a message when there is no settings file. An option that cannot reach the VM
// unchanged sets invocation.vmOptionRefused (after message 253), and the launch must end.
bool AssembleVmOptions(config::LaunchSettings& launch, JavaInvocation& invocation);

// What the assembly needs from the platform; a fake stands in for it in tests.
class OptionSources {
public:
    virtual ~OptionSources() = default;
    // The launcher's own path; false (after its own error line) when it cannot be read.
    virtual bool ModulePath(std::wstring& out) = 0;
    // %NAME% references expanded in place; the text stays as it was when expansion fails.
    virtual void ExpandEnvironment(std::wstring& text) = 0;
    // Names matching a file pattern, in directory order; for a wildcard only files whose own
    // name matches (see KeepsWildcardMatch).
    virtual void ListMatches(const std::wstring& pattern, std::vector<std::wstring>& names) = 0;
    virtual MemoryStatus Memory() = 0;
};

// The sources of the running process (files, environment, memory of this machine).
OptionSources& PlatformOptionSources();

// AssembleVmOptions with the settings already opened.
bool AssembleVmOptionsFrom(config::LaunchSettings& launch, JavaInvocation& invocation,
                           const config::SettingsStore& settings, OptionSources& sources);

}  // namespace kestran::runtime
