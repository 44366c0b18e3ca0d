// Every text parser on the same input (read as UTF-8): settings document and section lines,
// list and argument splitters, versions, VM parameters and sizes, date-stamp pictures.
#include <cstdlib>

#include "config/ini_document.h"
#include "config/split.h"
#include "config/version_number.h"
#include "jvm/date_stamp.h"
#include "launcher/launch_steps.h"
#include "platform/text_encoding.h"
#include "runtime/vm_parameters.h"

using namespace kestran;
#define FUZZ_CHECK(condition) if (!(condition)) std::abort()

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::wstring text = platform::Utf8ToWide(std::string(reinterpret_cast<const char*>(data), size));

    config::IniDocument().parse(text);
    std::wstring value;
    config::FindKeyInSectionBlock(text, L"Cmd", value);

    // Nothing lost or invented: the items joined again give the text, less a trailing ';'.
    std::vector<std::wstring> items;
    config::SplitList(text, L";", items);
    std::wstring joined;
    for (size_t i = 0; i < items.size(); ++i) joined += (i ? L";" : L"") + items[i];
    FUZZ_CHECK(joined == text || joined + L";" == text);
    size_t characters = 0;
    items.clear();
    config::SplitArguments(text, items);
    for (const std::wstring& item : items) characters += item.size();
    FUZZ_CHECK(characters <= text.size());
    launcher::SplitCommandLine(text, items);

    config::VersionNumber version, again;
    if (config::ParseVersion(text, 0, version)) {
        FUZZ_CHECK(config::ParseVersion(config::FormatVersion(version), 0, again) && again == version);
    }

    runtime::MemoryStatus memory{uint64_t{16} << 30, uint64_t{128} << 40};
    uint64_t stackSize = 0;
    std::vector<std::wstring> options;
    for (std::wstring& token : runtime::SplitVmParameters(text)) {
        FUZZ_CHECK(!token.empty() && token.front() != L' ');
        std::wstring stripped = token;
        runtime::StripQuotes(stripped);
        FUZZ_CHECK(stripped.size() <= token.size());
        std::wstring resolved = runtime::ResolveMemoryPercent(token, memory);
        // Rewritten only when well formed; anything else reaches the VM as written.
        FUZZ_CHECK(runtime::IsWellFormedMemoryPercent(token) ? resolved.back() == L'K' : resolved == token);
        runtime::AddVmParameter(token, memory, stackSize, options);
    }

    std::wstring name = text;
    jvm::ExpandDateTimeStamp(name, jvm::LocalTime{2026, 12, 2, 8, 20, 15, 30, 123});
    return 0;
}
