#include "stamp_options.h"

#include "byte_io.h"
#include "platform/text_encoding.h"

namespace kestran::stamp {
namespace {

// The options that set a string of the version information, and the string each one sets.
struct StringOption {
    const char* option;
    const char16_t* key;
};
constexpr StringOption kStringOptions[] = {
    {"--product-name", u"ProductName"},   {"--company", u"CompanyName"},
    {"--description", u"FileDescription"}, {"--copyright", u"LegalCopyright"},
    {"--internal-name", u"InternalName"}, {"--original-filename", u"OriginalFilename"},
};
constexpr const char* kExecutionLevels[] = {"asInvoker", "highestAvailable", "requireAdministrator"};

}  // namespace

const char kStampUsage[] =
    "usage: kestran-stamp --in kestran.exe --out MyApp.exe [--icon app.ico]\n"
    "         [--version 1.2.3.4] [--product-version 1.2.0.0]\n"
    "         [--product-name TEXT] [--company TEXT] [--description TEXT] [--copyright TEXT]\n"
    "         [--internal-name TEXT] [--original-filename TEXT] [--settings defaults.ini]\n"
    "         [--execution-level asInvoker|highestAvailable|requireAdministrator] [--utf8-code-page]\n";

std::u16string Utf8ToUtf16(const std::string& text) {
    const std::wstring wide = platform::Utf8ToWide(text);
    if (platform::WideToUtf8(wide) != text) throw StampError("not UTF-8 text: " + text);
    return platform::WideToUtf16(wide);
}

bool ParseFourPartVersion(const std::string& text, std::array<uint16_t, 4>& version) {
    std::array<uint16_t, 4> parts{};
    size_t at = 0;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i > 0 && (at >= text.size() || text[at++] != '.')) return false;
        uint32_t value = 0;
        const size_t start = at;
        for (; at < text.size() && text[at] >= '0' && text[at] <= '9' && at - start < 6; ++at)
            value = value * 10 + static_cast<uint32_t>(text[at] - '0');
        if (at == start || value > 0xFFFF) return false;
        parts[i] = static_cast<uint16_t>(value);
    }
    if (at != text.size()) return false;
    version = parts;
    return true;
}

std::string FourPartVersionText(const std::array<uint16_t, 4>& version) {
    std::string text;
    for (uint16_t part : version) text += (text.empty() ? "" : ".") + std::to_string(part);
    return text;
}

StampOptions ParseStampOptions(const std::vector<std::string>& arguments) {
    StampOptions options;
    std::vector<std::string> seen;
    for (size_t i = 0; i < arguments.size(); ++i) {
        std::string option = arguments[i], value;
        const size_t equals = option.find('=');
        const bool inlineValue = option.rfind("--", 0) == 0 && equals != std::string::npos;
        if (inlineValue) {
            value = option.substr(equals + 1);
            option.resize(equals);
        }
        for (const std::string& earlier : seen)
            if (earlier == option) throw StampError(option + " is given twice");
        seen.push_back(option);
        if (option == "--help" || option == "-h") {
            options.help = true;
            continue;
        }
        if (option == "--utf8-code-page") {
            if (inlineValue) throw StampError(option + " takes no value");
            options.utf8CodePage = true;
            continue;
        }
        if (!inlineValue) {
            if (option.rfind("--", 0) != 0 || i + 1 >= arguments.size()) {
                throw StampError(option.rfind("--", 0) == 0 ? option + " needs a value" : "unexpected argument " + option);
            }
            value = arguments[++i];
        }
        bool known = true;
        if (option == "--in") options.in = value;
        else if (option == "--out") options.out = value;
        else if (option == "--icon") options.icon = value;
        else if (option == "--settings") options.settings = value;
        else if (option == "--version" || option == "--product-version") {
            std::array<uint16_t, 4> version{};
            if (!ParseFourPartVersion(value, version))
                throw StampError(option + " " + value + " is not four numbers from 0 to 65535 (like 1.2.3.4)");
            (option == "--version" ? options.version : options.productVersion) = version;
        } else if (option == "--execution-level") {
            bool valid = false;
            for (const char* level : kExecutionLevels) valid = valid || value == level;
            if (!valid) throw StampError("--execution-level " + value + " is not asInvoker, highestAvailable or requireAdministrator");
            options.executionLevel = value;
        } else {
            known = false;
            for (const StringOption& string : kStringOptions)
                if (option == string.option) {
                    options.strings.push_back({string.key, Utf8ToUtf16(value)});
                    known = true;
                }
        }
        if (!known) throw StampError("unknown option " + option);
        if (value.empty()) throw StampError(option + " needs a value");
    }
    if (!options.help && (options.in.empty() || options.out.empty())) throw StampError("--in and --out are required");
    return options;
}

}  // namespace kestran::stamp
