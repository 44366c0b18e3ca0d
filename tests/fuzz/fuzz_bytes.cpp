// Binary input: PE headers, the UTF-8 and UTF-16 conversions, registry string data.
#include <cstdlib>

#include "platform/pe_header.h"
#include "platform/text_encoding.h"
#include "runtime/registry_reader.h"

using namespace kestran;
#define FUZZ_CHECK(condition) if (!(condition)) std::abort()

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    size_t ntOffset = 0;
    if (platform::LocateNtHeaders(data, size, ntOffset) == platform::PeHeaderStatus::Ok) {
        FUZZ_CHECK(ntOffset + 24 <= size);  // signature and file header inside the buffer
    }
    const std::wstring wide = platform::Utf8ToWide(std::string(reinterpret_cast<const char*>(data), size));
    FUZZ_CHECK(platform::Utf8ToWide(platform::WideToUtf8(wide)) == wide);
    FUZZ_CHECK(platform::Utf16ToWide(platform::WideToUtf16(wide)) == wide);
    std::wstring decoded;
    runtime::DecodeRegistryText(std::vector<uint8_t>(data, data + size), decoded);
    FUZZ_CHECK(decoded.size() <= size / 2);
    return 0;
}
