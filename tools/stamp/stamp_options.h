// The command line of kestran-stamp.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kestran::stamp {

struct StampOptions {
    std::string in, out;  // UTF-8 paths
    std::string icon, settings;
    std::optional<std::array<uint16_t, 4>> version;
    std::optional<std::array<uint16_t, 4>> productVersion;  // when it differs from `version`
    std::vector<std::pair<std::u16string, std::u16string>> strings;  // version string key, value
    std::string executionLevel;
    bool utf8CodePage = false;
    bool help = false;
};

// `arguments` without the program name, in UTF-8. Throws StampError on an unknown or repeated
// option, a missing value, a version that is not four numbers up to 65535, an unknown execution
// level, text that is not UTF-8, or a missing --in/--out (unless --help).
StampOptions ParseStampOptions(const std::vector<std::string>& arguments);
// "1.2.3.4" into its four numbers; false unless exactly four decimal numbers up to 65535.
bool ParseFourPartVersion(const std::string& text, std::array<uint16_t, 4>& version);
std::string FourPartVersionText(const std::array<uint16_t, 4>& version);  // "1.2.3.4"
std::u16string Utf8ToUtf16(const std::string& text);  // StampError when not UTF-8

extern const char kStampUsage[];

}  // namespace kestran::stamp
