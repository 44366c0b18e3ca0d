#include "settings_text.h"

#include <algorithm>
#include <initializer_list>

#include "platform/text_encoding.h"
#include "stamp_options.h"

namespace kestran::stamp {
namespace {

[[noreturn]] void RefuseSettings(const std::string& why) {
    throw StampError("the settings file is not UTF-8 or UTF-16LE text with its byte order mark: " + why);
}

}  // namespace

// The launcher reads UTF-16LE after its byte order mark, UTF-8 otherwise, and ends a line at
// "\n", dropping a "\r" before it: a lone "\r" would join two lines there.
Bytes SettingsResource(const Bytes& file) {
    const auto startsWith = [&file](std::initializer_list<uint8_t> mark) {
        return file.size() >= mark.size() && std::equal(mark.begin(), mark.end(), file.begin());
    };
    if (startsWith({0xFF, 0xFE, 0, 0}) || startsWith({0, 0, 0xFE, 0xFF})) RefuseSettings("it is UTF-32");
    if (startsWith({0xFE, 0xFF})) RefuseSettings("it is UTF-16 big-endian");
    const bool utf16 = startsWith({0xFF, 0xFE});
    std::u16string text;
    if (utf16) {
        if (file.size() % 2 != 0) RefuseSettings("an odd number of bytes");
        for (size_t i = 0; i < file.size(); i += 2) text.push_back(static_cast<char16_t>(Read16(&file[i])));
        for (size_t i = 0; i < text.size(); ++i) {
            const bool high = text[i] >= 0xD800 && text[i] < 0xDC00, low = text[i] >= 0xDC00 && text[i] < 0xE000;
            if (low || (high && (i + 1 == text.size() || text[i + 1] < 0xDC00 || text[i + 1] >= 0xE000)))
                RefuseSettings("a lone surrogate");
            i += high;
        }
    } else {
        try {
            text = Utf8ToUtf16(std::string(file.begin(), file.end()));
        } catch (const StampError&) {
            RefuseSettings("invalid UTF-8");
        }
    }
    if (text.find(u'\0') != std::u16string::npos) RefuseSettings("a NUL character (UTF-16 without its mark?)");
    std::u16string lines;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != u'\r' && text[i] != u'\n') {
            lines.push_back(text[i]);
            continue;
        }
        lines += u"\r\n";
        if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
    }
    Bytes resource;
    if (utf16)
        for (char16_t unit : lines) Append16(resource, unit);
    else
        for (char byte : platform::WideToUtf8(platform::Utf16ToWide(lines))) resource.push_back(static_cast<uint8_t>(byte));
    return resource;
}

}  // namespace kestran::stamp
