#include "config/version_number.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "config/messages.h"

namespace kestran::config {
namespace {

VersionNumber V(int32_t a, int32_t b, int32_t c, int32_t d) { return {{a, b, c, d}}; }

std::wstring Text(const VersionNumber& v) {
    return std::to_wstring(v.part[0]) + L"." + std::to_wstring(v.part[1]) + L"." + std::to_wstring(v.part[2]) +
           L"." + std::to_wstring(v.part[3]);
}

VersionNumber Parsed(const wchar_t* text, int32_t fill) {
    VersionNumber v;
    ParseVersion(text, fill, v);
    return v;
}

struct ParseCase {
    const wchar_t* text;
    int32_t fill;
    bool ok;
    VersionNumber expected;
};

TEST(VersionNumberTest, ParseTable) {
    const ParseCase cases[] = {
        {L"1.8.0_301", 0, true, V(1, 8, 0, 301)},
        {L"17.0.2", 0, true, V(17, 0, 2, 0)},
        {L"17.0.2", 65535, true, V(17, 0, 2, 65535)},
        {L"1.8", 65535, true, V(1, 8, 65535, 65535)},
        {L"1.8", 0, true, V(1, 8, 0, 0)},
        {L"jdk-11.0.12+7", 0, true, V(11, 0, 12, 7)},
        {L"11.0.12+7", 0, true, V(11, 0, 12, 7)},
        {L"1.8.0_301-b09", 0, true, V(1, 8, 0, 301)},
        {L"jdk12", 0, true, V(12, 0, 0, 0)},
        {L"2147483647", 0, true, V(2147483647, 0, 0, 0)},
        {L"1.2147483647", 65535, true, V(1, 2147483647, 65535, 65535)},
        {L"2147483648", 0, false, V(0, 0, 0, 0)},
        {L"1.8.2147483648", 65535, false, V(0, 0, 0, 0)},
        {L"21474836470", 0, false, V(0, 0, 0, 0)},
        {L"99999999999999999999999999", 0, false, V(0, 0, 0, 0)},
        {L"", 65535, false, V(0, 0, 0, 0)},
        {L"any", 65535, false, V(0, 0, 0, 0)},
        {L"...", 0, false, V(0, 0, 0, 0)},
        {L"\u0661\u0662", 0, false, V(0, 0, 0, 0)},
        {L"1.2.3.4.5", 0, true, V(1, 2, 3, 4)},
        {L"1.2.3.4.99999999999", 0, true, V(1, 2, 3, 4)},
        {L"007.010", 0, true, V(7, 10, 0, 0)},
        {L"1..2", 0, true, V(1, 2, 0, 0)},
        {L" 11 ", 65535, true, V(11, 65535, 65535, 65535)},
        {L"1.8.", 0, true, V(1, 8, 0, 0)},
        {L"-5", 0, true, V(5, 0, 0, 0)},
    };
    for (const ParseCase& c : cases) {
        VersionNumber v = V(9, 9, 9, 9);
        EXPECT_EQ(ParseVersion(c.text, c.fill, v), c.ok) << "text \"" << c.text << "\"";
        EXPECT_EQ(Text(v), Text(c.expected)) << "text \"" << c.text << "\" fill " << c.fill;
    }
}

TEST(VersionNumberTest, ParseHugeText) {
    std::wstring dotted;
    for (int i = 0; i < 25000; ++i) {
        dotted += L"12.";
    }
    VersionNumber v;
    EXPECT_TRUE(ParseVersion(dotted, 0, v));
    EXPECT_EQ(v, V(12, 12, 12, 12));
    EXPECT_FALSE(ParseVersion(std::wstring(100000, L'9'), 0, v));
    EXPECT_EQ(v, V(0, 0, 0, 0));
    EXPECT_FALSE(ParseVersion(std::wstring(100000, L'x'), 0, v));
}

TEST(VersionNumberTest, FormatTable) {
    const struct {
        VersionNumber v;
        const wchar_t* expected;
    } cases[] = {
        {V(1, 8, 0, 0), L"1.8"},
        {V(5, 0, 0, 0), L"5.0"},
        {V(17, 0, 2, 65535), L"17.0.2"},
        {V(1, 8, 0, 301), L"1.8.0.301"},
        {V(0, 0, 0, 5), L"0.0.0.5"},
        {V(65535, 65535, 65535, 65535), L"0.0.0.0"},
        {V(0, 0, 0, 0), L"0.0.0.0"},
        {V(1, 8, 65535, 65535), L"1.8"},
        {V(1, 65535, 0, 3), L"1.65535.0.3"},
        {V(11, 0, 12, 7), L"11.0.12.7"},
        {V(2147483647, 0, 0, 0), L"2147483647.0"},
        {V(-1, 0, 0, 0), L"-1.0"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatVersion(c.v), c.expected) << "version " << Text(c.v);
    }
}

TEST(VersionNumberTest, CompareTable) {
    const struct {
        VersionNumber a, b;
        int expected;
    } cases[] = {
        {V(1, 8, 0, 301), V(1, 8, 0, 301), 0},
        {V(1, 8, 0, 301), V(1, 8, 0, 302), -1},
        {V(1, 8, 0, 301), V(11, 0, 0, 0), -1},
        {V(2, 0, 0, 0), V(1, 65535, 65535, 65535), 1},
        {V(1, 9, 0, 0), V(1, 10, 0, 0), -1},
        {V(-1, 0, 0, 0), V(0, 0, 0, 0), -1},
        {V(2147483647, 0, 0, 0), V(0, 0, 0, 0), 1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CompareVersions(c.a, c.b), c.expected) << Text(c.a) << " vs " << Text(c.b);
        EXPECT_EQ(CompareVersions(c.b, c.a), -c.expected) << Text(c.b) << " vs " << Text(c.a);
    }
}

TEST(VersionNumberTest, InRangeTable) {
    const struct {
        VersionNumber v, min, max;
        bool expected;
    } cases[] = {
        {V(1, 8, 0, 301), V(1, 8, 0, 0), V(1, 8, 65535, 65535), true},
        {V(1, 8, 0, 301), V(1, 8, 0, 0), V(1, 7, 65535, 65535), false},
        {V(1, 8, 0, 301), V(1, 8, 0, 0), V(0, 0, 0, 0), true},
        {V(1, 8, 0, 301), V(1, 8, 0, 301), V(1, 8, 0, 301), true},
        {V(1, 7, 0, 80), V(1, 8, 0, 0), V(0, 0, 0, 0), false},
        {V(17, 0, 2, 0), V(0, 0, 0, 0), V(65535, 65535, 65535, 65535), true},
        {V(17, 0, 2, 0), V(11, 0, 0, 0), V(11, 65535, 65535, 65535), false},
        {V(11, 0, 12, 7), V(11, 0, 0, 0), V(11, 65535, 65535, 65535), true},
        {V(0, 0, 0, 0), V(0, 0, 0, 0), V(0, 0, 0, 0), true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(VersionInRange(c.v, c.min, c.max), c.expected)
            << Text(c.v) << " in " << Text(c.min) << " .. " << Text(c.max);
    }
}

TEST(VersionNumberTest, MatchesPreferredTable) {
    const struct {
        const wchar_t* preferred;
        VersionNumber v;
        bool expected;
    } cases[] = {
        {L"1.8", V(1, 8, 0, 301), true},
        {L"1.8", V(11, 0, 2, 0), false},
        {L"1.8", V(1, 7, 0, 80), false},
        {L"11", V(11, 0, 12, 7), true},
        {L"11", V(1, 11, 0, 0), false},
        {L"1.8.0", V(1, 8, 5, 2), true},
        {L"1.8.0.301", V(1, 8, 0, 301), true},
        {L"1.8.0.301", V(1, 8, 0, 302), false},
        {L"1.0.5", V(1, 0, 5, 9), true},
        {L"1.0.5", V(1, 7, 5, 0), false},
        {L"0", V(17, 0, 2, 0), true},
        {L"", V(17, 0, 2, 0), true},
        {L"latest", V(17, 0, 2, 0), true},
        {L"jdk-17", V(17, 0, 2, 0), true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MatchesPreferred(c.preferred, c.v), c.expected) << "\"" << c.preferred << "\" vs " << Text(c.v);
    }
}

TEST(VersionNumberTest, UnsetBounds) {
    EXPECT_TRUE(IsUnsetBound(V(0, 0, 0, 0)));
    EXPECT_TRUE(IsUnsetBound(V(65535, 65535, 65535, 65535)));
    EXPECT_FALSE(IsUnsetBound(V(0, 0, 0, 65535)));
    EXPECT_FALSE(IsUnsetBound(V(1, 8, 65535, 65535)));
    EXPECT_FALSE(IsUnsetBound(V(0, 0, 0, 1)));
    EXPECT_TRUE(VersionNumber::Filled(7) == V(7, 7, 7, 7));
    EXPECT_TRUE(V(1, 2, 3, 4) != V(1, 2, 3, 5));
}

class EnglishRangeMessages : public MessageCatalog {
public:
    bool LoadMessage(unsigned id, std::wstring& out) const override {
        const auto found = texts_.find(id);
        if (found == texts_.end()) {
            return false;
        }
        out = found->second;
        return true;
    }

private:
    std::map<unsigned, std::wstring> texts_{
        {217, L"latest version"},
        {218, L"maximum version %s"},
        {219, L"minimum version %s"},
        {220, L"version %s is required"},
        {221, L"version between %s and %s"},
    };
};

TEST(VersionNumberTest, DescribeRangeTable) {
    const EnglishRangeMessages messages;
    const struct {
        const wchar_t* minimum;
        const wchar_t* maximum;
        const wchar_t* expected;
    } cases[] = {
        {L"1.8", L"", L"minimum version 1.8"},
        {L"1.8", L"any", L"minimum version 1.8"},
        {L"11.0.2", L"11.0.2.0", L"version 11.0.2 is required"},
        {L"1.8", L"1.8", L"version between 1.8 and 1.8"},
        {L"1.8", L"17.0.2", L"version between 1.8 and 17.0.2"},
        // The 65535 fill of a short maximum shows in the second component.
        {L"1.8", L"17", L"version between 1.8 and 17.65535"},
        {L"", L"", L"latest version"},
        {L"", L"any", L"latest version"},
        {L"", L"1.8", L"maximum version 1.8"},
        {L"0", L"17.0.2", L"maximum version 17.0.2"},
    };
    for (const auto& c : cases) {
        // Minimums fill with 0, maximums with 65535, as the settings are read.
        const VersionNumber min = Parsed(c.minimum, 0);
        const VersionNumber max = std::wstring(c.maximum) == L"any" ? VersionNumber::Filled(kVersionUnsetHigh)
                                                                    : Parsed(c.maximum, kVersionUnsetHigh);
        EXPECT_EQ(DescribeVersionRange(min, max, messages), c.expected)
            << "minimum \"" << c.minimum << "\" maximum \"" << c.maximum << "\"";
    }
}

}  // namespace
}  // namespace kestran::config
