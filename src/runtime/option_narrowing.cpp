#include "runtime/option_narrowing.h"


#include "config/messages.h"
#include "config/paths.h"
#include "platform/decimal_text.h"
#include "platform/text_encoding.h"
#include "platform/trace.h"

namespace kestran::runtime {
namespace {

// A path item is replaced only when its short form is representable: a short form that
// still loses characters would change the option as much as the long one.
bool NarrowingShortForm(const std::wstring& path, const TextNarrowing& codec, std::wstring& out) {
    std::string bytes;
    size_t lost = 0;
    std::wstring shortPath;
    if (path.empty() || !codec.ShortForm(path, shortPath) || !codec.Narrow(shortPath, bytes, lost)) return false;
    out = std::move(shortPath);
    return true;
}

std::wstring CharacterAt(const std::wstring& text, size_t at) {
    if (at >= text.size()) return std::wstring();
    return text.substr(at, platform::CharacterLengthAt(text, at));
}

std::wstring MendedValue(const std::wstring& value, const TextNarrowing& codec) {
    std::string bytes;
    size_t lost = 0;
    std::wstring mended;
    if (NarrowingShortForm(value, codec, mended)) return mended;
    if (value.find(L';') == std::wstring::npos) return value;
    // A list of paths (the class path, the library path): each item on its own.
    mended.clear();
    size_t start = 0;
    while (true) {
        const size_t end = value.find(L';', start);
        std::wstring item = value.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
        std::wstring shortItem;
        if (!codec.Narrow(item, bytes, lost) && NarrowingShortForm(item, codec, shortItem)) item = std::move(shortItem);
        mended += item;
        if (end == std::wstring::npos) break;
        mended += L';';
        start = end + 1;
    }
    return mended;
}

class ProcessNarrowing final : public TextNarrowing {
public:
    bool Narrow(const std::wstring& text, std::string& out, size_t& firstLost) const override {
        return config::ToAnsiExact(text, out, firstLost);
    }
    bool ShortForm(const std::wstring& path, std::wstring& out) const override {
        return config::ShortPathName(path, out);
    }
};

// Not a local static: see platform/trace.cpp.
const ProcessNarrowing processNarrowing;

}  // namespace

const TextNarrowing& PlatformNarrowing() { return processNarrowing; }

size_t OptionPathValueStart(const std::wstring& option) {
    if (option.compare(0, 2, L"-D") != 0) return std::wstring::npos;
    const size_t equals = option.find(L'=');
    return equals == std::wstring::npos || equals < 3 ? std::wstring::npos : equals + 1;
}

bool NarrowVmOption(const std::wstring& option, const TextNarrowing& codec, std::string& out,
                    std::wstring& lostCharacter) {
    size_t lost = 0;
    if (codec.Narrow(option, out, lost)) return true;
    const size_t valueStart = OptionPathValueStart(option);
    if (valueStart == std::wstring::npos) {
        lostCharacter = CharacterAt(option, lost);
        return false;
    }
    const std::wstring mended = option.substr(0, valueStart) + MendedValue(option.substr(valueStart), codec);
    if (codec.Narrow(mended, out, lost)) return true;
    lostCharacter = CharacterAt(mended, lost);
    return false;
}

std::wstring LoadableVmLibraryPath(const std::wstring& path, const TextNarrowing& codec) {
    std::string bytes;
    size_t lost = 0;
    const bool fits = path.size() < config::kClassicPathLimit;
    const bool narrows = codec.Narrow(path, bytes, lost);
    if (fits && narrows) return path;
    std::wstring shortPath;
    if (!codec.ShortForm(path, shortPath)) return path;
    const bool shortFits = shortPath.size() < config::kClassicPathLimit;
    const bool shortNarrows = codec.Narrow(shortPath, bytes, lost);
    // Taken when it mends one fault without bringing in the other.
    if ((shortFits || !fits) && (shortNarrows || !narrows) && (shortFits != fits || shortNarrows != narrows)) {
        return shortPath;
    }
    return path;
}

bool AppendVmOption(JavaInvocation& invocation, const std::wstring& option, const TextNarrowing& codec) {
    if (invocation.vmOptionRefused) return false;
    std::string bytes;
    std::wstring lost;
    if (!NarrowVmOption(option, codec, bytes, lost)) {
        invocation.vmOptionRefused = true;
        config::PrintErrorLine(config::FormatMessageId(config::kMsgOptionNotRepresentable,
                                                       {OptionName(option), DescribeCharacter(lost)}));
        if (platform::TraceEnabled()) platform::Trace(L"VM option refused: " + option);
        return false;
    }
    if (platform::TraceEnabled() && config::LosesCharactersInAnsi(option)) {
        platform::Trace(L"VM option " + platform::DecimalText(invocation.vmOptions.size()) +
                        L" takes short names for what the code page cannot represent: " + config::FromAnsi(bytes));
    }
    invocation.vmOptions.push_back(std::move(bytes));
    return true;
}

std::wstring OptionName(const std::wstring& option) {
    const size_t valueStart = OptionPathValueStart(option);
    return valueStart == std::wstring::npos ? option : option.substr(0, valueStart - 1);
}

std::wstring DescribeCharacter(const std::wstring& character) {
    unsigned long code = character.empty() ? 0 : static_cast<unsigned long>(character[0]);
    if (sizeof(wchar_t) == 2 && character.size() == 2) {
        code = 0x10000 + ((code - 0xD800) << 10) + (static_cast<unsigned long>(character[1]) - 0xDC00);
    }
    return character + L" (U+" + platform::HexText(code, 4) + L")";
}

}  // namespace kestran::runtime
