// Version parsing and formatting: what is formatted parses back to the same version.
#include "config/version_number.h"
#include "fuzz_input.h"

using namespace kestran::config;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::wstring text = FuzzText(data, size);
    VersionNumber version;
    if (!ParseVersion(text, 0, version)) return 0;
    VersionNumber again;
    FUZZ_CHECK(ParseVersion(FormatVersion(version), 0, again));
    FUZZ_CHECK(again == version);
    MatchesPreferred(text, version);
    VersionInRange(version, again, VersionNumber::Filled(kVersionUnsetHigh));
    return 0;
}
