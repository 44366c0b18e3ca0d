// The registry pass without the full survey: the same choice as collecting every candidate and
// selecting among them, but a subkey's folder value is read and its folder probed only when
// the choice reaches it.
#pragma once

#include "runtime/runtime_search.h"

namespace kestran::runtime {

// True when the ranking of candidates does not depend on what their folders hold, so the
// choice can be made before the probes (not so when a server VM is favoured).
bool CanChooseBeforeProbing(const SelectionSettings& settings);

// What SelectRuntime would choose over the candidates of every admitted key in `view`. Only
// valid when CanChooseBeforeProbing(settings). False when no registered runtime qualifies.
bool ChooseRegisteredRuntime(const SelectionSettings& settings, RegistryView view, const RuntimeSearchHost& host,
                             RuntimeCandidate& chosen);

}  // namespace kestran::runtime
