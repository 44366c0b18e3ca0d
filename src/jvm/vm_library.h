// Loading the runtime's VM library and preparing the environment the VM and its children see.
#pragma once

#include <string>

#include "config/launch_settings.h"
#include "jvm/vm_host.h"
#include "runtime/runtime_choice.h"

namespace kestran::jvm {

// Sets KESTRAN_JVM_PATH, KESTRAN_JVM_HOME and Path; puts -Djava.library.path= first and
// gives the library path it holds (empty without "Library Path"). choice.vmLibraryPath may be
// replaced by its short form (see LoadableVmLibraryPath). Failures of the platform calls are
// ignored; a library path option that cannot reach the VM unchanged sets
// invocation.vmOptionRefused after its error line.
std::wstring PrepareVmEnvironment(const config::LaunchSettings& launch, runtime::RuntimeChoice& choice,
                                  runtime::JavaInvocation& invocation);
// Loads the library (never freed) and fills host.vmEntryPoints; prints 222 or 202/212.
// Each entry point is stored as soon as it is resolved, also on failure.
bool LoadVmLibrary(VmHost& host, const std::wstring& libraryPath);

// `count` times, cuts the text at its last backslash (which goes with what is cut); a cut
// that finds no backslash leaves the text as it is.
std::wstring StripPathComponents(const std::wstring& path, int count);

// The "Library Path" value extended, not yet expanded: the value, ';' unless it ends with
// one, the launcher's folder (with its backslash; empty when unknown), ";.", ";%Path%",
// ';' and the runtime's lib folder.
std::wstring ExtendLibraryPath(const std::wstring& libraryPath, const std::wstring& launcherFolder,
                               const std::wstring& vmLibraryPath);
// The new process search path, not yet expanded: "System Path" and ';' (when set), the
// runtime's bin folder, then ";%Path%".
std::wstring SearchPathTemplate(const std::wstring& systemPath, const std::wstring& vmLibraryPath);

}  // namespace kestran::jvm
