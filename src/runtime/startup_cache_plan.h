// The start-up cache in a launch: before the VM is created, the options that use the
// application's archive or write a new one; after the VM has ended, the new archive put in place.
#pragma once

#include <string>

#include "config/launch_settings.h"
#include "config/settings_store.h"
#include "runtime/runtime_choice.h"
#include "runtime/startup_cache_files.h"

namespace kestran::runtime {

// "Startup Cache" in [Java Runtime Environment] is "auto" (any case).
bool StartupCacheWanted(const config::SettingsStore& settings);

// With the cache wanted by the settings, PlanStartupCache for the chosen runtime.
void ApplyStartupCache(const config::LaunchSettings& launch, const RuntimeChoice& choice, JavaInvocation& invocation);

// Appends to invocation.vmOptions either the option that uses this application's archive, or
// the one that writes a new one to a temporary file of this process, and the options that keep
// the VM's archive messages off the program's output (on standard error instead with
// `messagesToStandardError`, for the trace). Removes the application's stale archives and files
// left by ended processes. Never fails the launch: whatever stands in the way only gives a trace line.
void PlanStartupCache(const std::wstring& vmLibraryPath, JavaInvocation& invocation, CacheFiles& files,
                      bool messagesToStandardError);

// Once the VM has ended (DestroyJavaVM returned, or the exit hook runs, after the VM wrote its
// archive): the temporary file becomes the archive when it is complete, else it is removed.
// Does something once per process; safe from any thread.
void FinishStartupCache();

}  // namespace kestran::runtime
