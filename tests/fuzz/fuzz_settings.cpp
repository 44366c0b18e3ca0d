// Settings document, section lines, list and argument splitters, command line.
#include <string>
#include <vector>

#include "config/ini_document.h"
#include "config/split.h"
#include "fuzz_input.h"
#include "launcher/launch_steps.h"

using namespace kestran;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::wstring text = FuzzText(data, size);

    config::IniDocument document;
    document.parse(text);
    const auto& sections = document.sections();
    for (size_t i = 0; i < sections.size(); ++i) {
        bool first = true;
        for (size_t j = 0; j < i; ++j) first = first && !config::EqualsAsciiNoCase(sections[j].name, sections[i].name);
        if (!first || sections[i].entries.empty()) continue;
        // The first entry of the first section of a name is what a lookup finds.
        std::wstring value = L"\x1";
        document.getValue(sections[i].name, sections[i].entries.front().key, value);
        FUZZ_CHECK(value == sections[i].entries.front().value);
    }
    std::wstring value;
    config::FindKeyInSectionBlock(text, L"Cmd", value);

    // Nothing lost or invented: the items joined again give the text (less one trailing separator).
    std::vector<std::wstring> items;
    config::SplitList(text, L";", items);
    std::wstring joined;
    for (size_t i = 0; i < items.size(); ++i) joined += (i ? L";" : L"") + items[i];
    FUZZ_CHECK(joined == text || joined + L";" == text);

    std::vector<std::wstring> arguments;
    config::SplitArguments(text, arguments);
    size_t characters = 0;
    for (const std::wstring& argument : arguments) characters += argument.size();
    FUZZ_CHECK(characters <= text.size());
    launcher::SplitCommandLine(text, arguments);
    return 0;
}
