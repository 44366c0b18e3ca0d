#include "config/version_number.h"

#include <limits>

#include "config/messages.h"
#include "platform/decimal_text.h"

namespace kestran::config {

namespace {

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

}  // namespace

bool VersionNumber::operator==(const VersionNumber& other) const {
    for (int i = 0; i < 4; ++i) {
        if (part[i] != other.part[i]) {
            return false;
        }
    }
    return true;
}

bool ParseVersion(const std::wstring& text, int32_t fill, VersionNumber& out) {
    out = VersionNumber{};
    size_t position = 0;
    while (position < text.size() && !IsDigit(text[position])) {
        ++position;
    }
    if (position == text.size()) {
        return false;
    }

    constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
    VersionNumber parsed;
    int index = 0;
    while (true) {
        int32_t value = 0;
        for (; position < text.size() && IsDigit(text[position]); ++position) {
            const int32_t digit = text[position] - L'0';
            if (value > (kMax - digit) / 10) {
                return false;
            }
            value = value * 10 + digit;
        }
        parsed.part[index] = value;
        while (position < text.size() && !IsDigit(text[position])) {
            ++position;
        }
        if (position == text.size() || index == 3) {
            break;
        }
        ++index;
    }
    for (int i = index + 1; i < 4; ++i) {
        parsed.part[i] = fill;
    }
    out = parsed;
    return true;
}

std::wstring FormatVersion(const VersionNumber& v) {
    int last = -1;
    for (int i = 3; i >= 0; --i) {
        if (v.part[i] != 0 && v.part[i] != kVersionUnsetHigh) {
            last = i;
            break;
        }
    }
    if (last < 0) {
        return L"0.0.0.0";
    }
    if (last < 1) {
        last = 1;
    }
    std::wstring text;
    for (int i = 0; i <= last; ++i) {
        if (i > 0) {
            text += L'.';
        }
        text += platform::DecimalText(v.part[i]);
    }
    return text;
}

int CompareVersions(const VersionNumber& a, const VersionNumber& b) {
    for (int i = 0; i < 4; ++i) {
        if (a.part[i] < b.part[i]) {
            return -1;
        }
        if (a.part[i] > b.part[i]) {
            return 1;
        }
    }
    return 0;
}

bool VersionInRange(const VersionNumber& v, const VersionNumber& min, const VersionNumber& max) {
    if (max != VersionNumber{} && CompareVersions(v, max) > 0) {
        return false;
    }
    return CompareVersions(v, min) >= 0;
}

bool MatchesPreferred(const std::wstring& preferred, const VersionNumber& v) {
    // A text without digits parses as 0.0.0.0, which compares nothing and so matches any runtime.
    VersionNumber wanted;
    ParseVersion(preferred, 0, wanted);
    int significant = 4;
    while (significant > 0 && wanted.part[significant - 1] == 0) {
        --significant;
    }
    for (int i = 0; i < significant; ++i) {
        if (wanted.part[i] != v.part[i]) {
            return false;
        }
    }
    return true;
}

bool IsUnsetBound(const VersionNumber& v) {
    return v == VersionNumber::Filled(0) || v == VersionNumber::Filled(kVersionUnsetHigh);
}

std::wstring DescribeVersionRange(const VersionNumber& min, const VersionNumber& max,
                                  const MessageCatalog& messages) {
    const bool minSet = !IsUnsetBound(min);
    const bool maxSet = !IsUnsetBound(max);
    if (minSet) {
        if (!maxSet) {
            return FormatMessageId(messages, kMsgMinimumVersion, {FormatVersion(min)});
        }
        // A setting such as 1.8 gives 1.8.0.0 as minimum but 1.8.65535.65535 as maximum, so
        // both bounds are named even though they print alike.
        if (min == max) {
            return FormatMessageId(messages, kMsgVersionRequired, {FormatVersion(min)});
        }
        return FormatMessageId(messages, kMsgVersionBetween, {FormatVersion(min), FormatVersion(max)});
    }
    if (!maxSet) {
        return FormatMessageId(messages, kMsgLatestVersion);
    }
    return FormatMessageId(messages, kMsgMaximumVersion, {FormatVersion(max)});
}

}  // namespace kestran::config
