#include "runtime/registry_choice.h"

#include <utility>
#include <vector>

#include "config/ini_document.h"
#include "config/version_number.h"

namespace kestran::runtime {
namespace {

// A subkey that passed the version filter; what it leads to is learnt only when asked.
struct Registered {
    RuntimeCandidate candidate;  // homeFolder and serverVm filled by Check
    const RuntimeKey* key;
    RegistryRoot root;
    std::wstring name;
    enum class State { Unknown, Usable, Unusable } state = State::Unknown;
};

bool Check(Registered& entry, const SelectionSettings& settings, RegistryView view, const RuntimeSearchHost& host) {
    if (entry.state == Registered::State::Unknown) {
        ProbeResult probe;
        std::wstring refusal;
        const bool usable = CheckRegistration(*entry.key, entry.root, view, entry.name,
                                              ProbeModeForKey(settings, *entry.key), host,
                                              entry.candidate.homeFolder, probe, refusal);
        entry.candidate.serverVm = probe.serverVm;
        entry.state = usable ? Registered::State::Usable : Registered::State::Unusable;
    }
    return entry.state == Registered::State::Usable;
}

}  // namespace

bool CanChooseBeforeProbing(const SelectionSettings& settings) { return settings.jvmType != 2; }

bool ChooseRegisteredRuntime(const SelectionSettings& settings, RegistryView view, const RuntimeSearchHost& host,
                             RuntimeCandidate& chosen) {
    std::vector<Registered> entries;  // in discovery order, as a full pass meets them
    std::vector<std::wstring> names;
    for (const RegistryPlace& place : RegistryPlacesInOrder()) {
        const RuntimeKey* key = place.key;
        if (!IsKeyAdmitted(settings, *key) || !host.Registry(place.root).ListSubkeys(key->path, view, names)) continue;
        const bool favoured = IsCandidateFavoured(settings, *key);
        for (std::wstring& name : names) {
            config::VersionNumber version = RegisteredVersion(*key, name);
            if (!config::VersionInRange(version, settings.minVersion, settings.maxVersion)) continue;
            entries.push_back(Registered{RuntimeCandidate{version, {}, false, favoured}, key, place.root, std::move(name)});
        }
    }
    // The ranking looks at versions and keys only here, so sorting before the checks and
    // dropping the failures afterwards gives the order of a full pass. An insertion sort of
    // positions: stable, as that one is, and the entries keep their discovery order.
    std::vector<size_t> ranked(entries.size());
    for (size_t i = 0; i < ranked.size(); ++i) {
        ranked[i] = i;
        for (size_t j = i; j > 0 && RanksAbove(settings, entries[ranked[j]].candidate, entries[ranked[j - 1]].candidate); --j)
            std::swap(ranked[j], ranked[j - 1]);
    }
    // A full pass drops an installer's registration of a folder that an earlier usable
    // registration already brought.
    auto take = [&](size_t at) {
        Registered& entry = entries[at];
        if (!Check(entry, settings, view, host)) return false;
        for (size_t earlier = 0; entry.key->installer && earlier < at; ++earlier) {
            if (Check(entries[earlier], settings, view, host) &&
                config::EqualsAsciiNoCase(entries[earlier].candidate.homeFolder, entry.candidate.homeFolder))
                return false;
        }
        chosen = entry.candidate;
        return true;
    };
    for (const std::wstring& preferred : settings.preferredVersions) {
        for (size_t at : ranked) {
            if (config::MatchesPreferred(preferred, entries[at].candidate.version) && take(at)) return true;
        }
    }
    for (size_t at : ranked) {
        if (take(at)) return true;
    }
    return false;
}

}  // namespace kestran::runtime
