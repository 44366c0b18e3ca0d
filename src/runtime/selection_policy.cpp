#include "runtime/selection_policy.h"

#include <utility>

namespace kestran::runtime {
namespace {

bool KindAllowed(const SelectionSettings& s, const RuntimeKey& key) {
    return key.kind == RuntimeKind::Jdk ? s.jdkAllowed : s.jreAllowed;
}

bool ProviderAllowed(const SelectionSettings& s, const RuntimeKey& key) {
    switch (key.provider) {
        case RuntimeProvider::Sun: return s.sunAllowed;
        case RuntimeProvider::JRockit: return s.jrockitAllowed;
        case RuntimeProvider::Ibm: return s.ibmAllowed;
    }
    return false;
}

bool ProviderFavoured(const SelectionSettings& s, const RuntimeKey& key) {
    switch (key.provider) {
        case RuntimeProvider::Sun: return s.sunFavoured;
        case RuntimeProvider::JRockit: return s.jrockitFavoured;
        case RuntimeProvider::Ibm: return s.ibmFavoured;
    }
    return false;
}

}  // namespace

bool IsKeyAdmitted(const SelectionSettings& settings, const RuntimeKey& key) {
    return (settings.eitherKind || KindAllowed(settings, key)) &&
           (ProviderAllowed(settings, key) || ProviderFavoured(settings, key));
}

int32_t ProbeModeForKey(const SelectionSettings& settings, const RuntimeKey& key) {
    // Folders registered under the old public-JRE key are ranked by their client VM even when
    // a server VM is favoured; once such a runtime is chosen, the final probe still takes its
    // server library.
    if (settings.jvmType == 2 && std::wstring(key.path) == L"Software\\JavaSoft\\Java Runtime Environment\\")
        return 0;
    return settings.jvmType;
}

bool IsCandidateFavoured(const SelectionSettings& settings, const RuntimeKey& key) {
    return KindAllowed(settings, key) && ProviderFavoured(settings, key);
}

bool RanksAbove(const SelectionSettings& settings, const RuntimeCandidate& later, const RuntimeCandidate& earlier) {
    bool above = config::CompareVersions(later.version, earlier.version) > 0;
    if (settings.jvmType == 2 && later.serverVm != earlier.serverVm) above = later.serverVm;
    if (settings.eitherKind && later.favoured != earlier.favoured) above = later.favoured;
    return above;
}

void SortCandidates(const SelectionSettings& settings, std::vector<RuntimeCandidate>& candidates) {
    // An exchange sort of adjacent pairs: stable, so equal candidates stay in key order and
    // subkey order. The lists are a handful of registry entries.
    const size_t n = candidates.size();
    for (size_t pass = 0; pass < n; ++pass) {
        bool exchanged = false;
        for (size_t i = 0; i + 1 < n; ++i) {
            if (RanksAbove(settings, candidates[i + 1], candidates[i])) {
                std::swap(candidates[i], candidates[i + 1]);
                exchanged = true;
            }
        }
        if (!exchanged) break;
    }
}

bool SelectRuntime(const SelectionSettings& settings, std::vector<RuntimeCandidate>& candidates,
                   RuntimeCandidate& out, const std::wstring** matchedPreferred) {
    if (candidates.empty()) return false;
    SortCandidates(settings, candidates);
    if (matchedPreferred != nullptr) *matchedPreferred = nullptr;
    for (const std::wstring& preferred : settings.preferredVersions) {
        for (const RuntimeCandidate& candidate : candidates) {
            if (config::MatchesPreferred(preferred, candidate.version)) {
                out = candidate;
                if (matchedPreferred != nullptr) *matchedPreferred = &preferred;
                return true;
            }
        }
    }
    out = candidates.front();
    return true;
}

}  // namespace kestran::runtime
