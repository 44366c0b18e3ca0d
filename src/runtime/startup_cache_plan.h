// The start-up cache in a launch: before the VM is created, the options that use the
// application's archive or write a new one; after the VM has ended, the new archive put in place.
#pragma once

#include <string>

#include "config/settings_store.h"
#include "runtime/runtime_choice.h"
#include "runtime/startup_cache_files.h"

namespace kestran::runtime {

// "Startup Cache" in [Java Runtime Environment] is "auto" (any case).
bool StartupCacheWanted(const config::SettingsStore& settings);

// PlanStartupCache for the chosen runtime with the platform's files, once the settings want the
// cache; a service's VM messages never go to standard error.
void ApplyStartupCache(const std::wstring& vmLibraryPath, bool serviceMode, JavaInvocation& invocation,
                       bool printingHooked);

// Appends to invocation.vmOptions either the option that uses this application's archive, or
// the one that writes a new one to a temporary file of this process, and the options that keep
// the VM's archive messages off the program's output (on standard error instead with
// `messagesToStandardError`, for the trace). On Java 25 and later, with `printingHooked` (the VM
// library's C runtime is known, so the VM's printing can pass through the launcher's hook), the
// AOT cache takes the dynamic archive's place: a training run now, the assembly once the VM has
// ended. Removes the application's stale archives and files
// left by ended processes. Never fails the launch: whatever stands in the way only gives a trace line.
void PlanStartupCache(const std::wstring& vmLibraryPath, JavaInvocation& invocation, CacheFiles& files,
                      bool messagesToStandardError, bool printingHooked);

// Once the VM has ended (DestroyJavaVM returned, or the exit hook runs, after the VM wrote its
// archive or its training configuration): an AOT cache is assembled by a process that outlives
// this one, or where none can be started, here (waiting for it, at most
// kAssemblyTimeoutMilliseconds); the temporary file becomes the archive when it is complete,
// else it is removed. Does something once per process; safe from any thread.
void FinishStartupCache();

// In the process a launcher started to assemble an AOT cache after it (kAssemblyJobVariable
// set): runs the job, when it is in this application's own cache folder, and returns true;
// false in any other process. Prints nothing.
bool RunStartupCacheJob();
bool RunAssemblyJob(CacheFiles& files);

// A training run is planned: the VM needs the vfprintf hook, and the hook asks
// StartupCacheTakesVmLine about each text before it routes it.
bool StartupCacheHooksVmPrinting();
// True (the text went to the trace) for the training run's closing line, which belongs to no
// one's output; false for every other text. Safe from any thread, without waiting.
bool StartupCacheTakesVmLine(const std::string& text);

}  // namespace kestran::runtime
