// Which registered Java runtimes are searched, how their folders are probed, and which one is
// chosen. Pure logic over the "Java Runtime Environment" settings; no platform calls.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "config/version_number.h"
#include "runtime/runtime_keys.h"

namespace kestran::runtime {

// The settings the policy reads, copied from the launch settings (see SelectionSettingsOf).
struct SelectionSettings {
    int32_t jvmType = 0;  // 0 no preference, 1 server VM only, 2 server VM favoured
    bool jdkAllowed = false;
    bool jreAllowed = false;
    bool eitherKind = true;
    bool sunAllowed = true;
    bool sunFavoured = true;
    bool jrockitAllowed = false;
    bool jrockitFavoured = false;
    bool ibmAllowed = false;
    bool ibmFavoured = false;
    config::VersionNumber minVersion;
    config::VersionNumber maxVersion;
    std::vector<std::wstring> preferredVersions;  // inner empty items kept: they match anything
};

// One registered runtime that passed the filters.
struct RuntimeCandidate {
    config::VersionNumber version;
    std::wstring homeFolder;  // ends with a backslash
    bool serverVm = false;    // the probe found bin\server\jvm.dll as its library
    bool favoured = false;
};

bool IsKeyAdmitted(const SelectionSettings& settings, const RuntimeKey& key);
// The probe mode (a jvmType value) for folders registered under `key`.
int32_t ProbeModeForKey(const SelectionSettings& settings, const RuntimeKey& key);
bool IsCandidateFavoured(const SelectionSettings& settings, const RuntimeKey& key);
// True when `later` must be moved before `earlier` (the three ranking rules).
bool RanksAbove(const SelectionSettings& settings, const RuntimeCandidate& later, const RuntimeCandidate& earlier);
// Best first; candidates that rank equal keep their discovery order.
void SortCandidates(const SelectionSettings& settings, std::vector<RuntimeCandidate>& candidates);
// Sorts `candidates`, then takes the first that matches the earliest preferred version, else
// the first. False (out untouched) for an empty list. `matchedPreferred`, when given, receives
// the preferred version that decided, or null when the sort order did.
bool SelectRuntime(const SelectionSettings& settings, std::vector<RuntimeCandidate>& candidates,
                   RuntimeCandidate& out, const std::wstring** matchedPreferred = nullptr);

}  // namespace kestran::runtime
