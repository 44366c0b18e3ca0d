#include "config/paths.h"
#include "platform/module_path.h"
#include "runtime/class_path.h"
#include "runtime/vm_options.h"

namespace kestran::runtime {

namespace {

class ProcessOptionSources : public OptionSources {
public:
    bool ModulePath(std::wstring& out) override { return platform::GetModulePath(out); }
    void ExpandEnvironment(std::wstring& text) override { config::ExpandEnvironment(text); }
    void ListMatches(const std::wstring& pattern, std::vector<std::wstring>& names) override {
        config::FileSearch search;
        config::FoundFile found;
        if (!search.First(pattern, found)) return;
        do {
            if (KeepsWildcardMatch(pattern, found.name, found.isDirectory)) names.push_back(found.name);
        } while (search.Next(found));
    }
    MemoryStatus Memory() override { return QueryMemoryStatus(); }
};

// Not a local static: see platform/trace.cpp.
ProcessOptionSources processSources;

}  // namespace

OptionSources& PlatformOptionSources() { return processSources; }

}  // namespace kestran::runtime
