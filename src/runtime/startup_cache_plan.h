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
void ApplyStartupCache(const std::wstring& vmLibraryPath, bool serviceMode, JavaInvocation& invocation);

// Appends to invocation.vmOptions either the option that uses this application's archive, or
// the one that writes a new one to a temporary file of this process, and the options that keep
// the VM's archive messages off the program's output (on standard error instead with
// `messagesToStandardError`, for the trace). On Java 25 and later the AOT cache takes the dynamic
// archive's place: a list of the classes loaded now, the assembly once the VM has ended.
// Removes the application's stale archives and files
// left by ended processes. Never fails the launch: whatever stands in the way only gives a trace line.
void PlanStartupCache(const std::wstring& vmLibraryPath, JavaInvocation& invocation, CacheFiles& files,
                      bool messagesToStandardError);

// Once the VM has ended (DestroyJavaVM returned, or the exit hook runs, after the VM wrote its
// archive or its class list): an AOT cache is assembled by a process that outlives
// this one, or where none can be started, here (waiting for it, at most
// kAssemblyTimeoutMilliseconds); the temporary file becomes the archive when it is complete,
// else it is removed. Does something once per process; safe from any thread.
void FinishStartupCache();

// An AOT cache was handed to the VM; once the VM exists, DropRefusedStartupCache removes it when
// the VM runs without it (something the key does not cover changed, such as a jar that a jar's
// manifest names), so that the next launch makes one that fits.
bool StartupCacheAwaitsUse();
void DropRefusedStartupCache();

// In the process a launcher started to assemble an AOT cache after it (kAssemblyJobVariable
// set): runs the job, when it is in this application's own cache folder, and returns true;
// false in any other process. Prints nothing.
bool RunStartupCacheJob();
bool RunAssemblyJob(CacheFiles& files);

}  // namespace kestran::runtime
