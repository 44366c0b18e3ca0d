// VM parameter splitting, quote stripping, memory and stack sizes.
#include <string>
#include <vector>

#include "fuzz_input.h"
#include "runtime/memory_options.h"
#include "runtime/vm_parameters.h"

using namespace kestran::runtime;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::wstring text = FuzzText(data, size);
    MemoryStatus memory;
    memory.totalPhysical = uint64_t{16} << 30;
    memory.availableVirtual = uint64_t{128} << 40;
    uint64_t stackSize = 0;
    std::vector<std::wstring> options;
    for (std::wstring& token : SplitVmParameters(text)) {
        FUZZ_CHECK(!token.empty() && token.front() != L' ');
        std::wstring stripped = token;
        StripQuotes(stripped);
        FUZZ_CHECK(stripped.size() <= token.size());
        // A percentage is rewritten only when well formed; anything else reaches the VM as written.
        std::wstring resolved = ResolveMemoryPercent(token, memory);
        FUZZ_CHECK(IsWellFormedMemoryPercent(token) ? resolved.back() == L'K' : resolved == token);
        AddVmParameter(token, memory, stackSize, options);
    }
    ParseStackSize(L"-Xss" + text);
    return 0;
}
