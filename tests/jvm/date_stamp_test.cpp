#include "jvm/date_stamp.h"

#include <gtest/gtest.h>

#include "date_stamp_cases.h"

namespace kestran::jvm {
namespace {

TEST(SplitDateTimeStampTest, SplitsAtFirstAndLastPercent) {
    struct Case {
        const wchar_t* name;
        bool found;
        const wchar_t* prefix;
        const wchar_t* picture;
        const wchar_t* suffix;
    } cases[] = {
        {L"out.log", false, L"", L"", L""},
        {L"a%b%c", true, L"a", L"b", L"c"},
        {L"a%b%c%d", true, L"a", L"b%c", L"d"},
        {L"only%one", true, L"only", L"", L"one"},
        {L"%%", true, L"", L"", L""},
        {L"%", true, L"", L"", L""},
        {L"x%%%y", true, L"x", L"%", L"y"},
    };
    for (const Case& c : cases) {
        StampParts parts;
        parts.prefix = L"untouched";
        ASSERT_EQ(SplitDateTimeStamp(c.name, parts), c.found) << c.name;
        if (!c.found) {
            EXPECT_EQ(parts.prefix, L"untouched") << c.name;
            continue;
        }
        EXPECT_EQ(parts.prefix, c.prefix) << c.name;
        EXPECT_EQ(parts.picture, c.picture) << c.name;
        EXPECT_EQ(parts.suffix, c.suffix) << c.name;
    }
}

TEST(InsertMillisecondsTest, WritesMillisecondsWithoutLeadingZeros) {
    EXPECT_EQ(InsertMilliseconds(L"HHmmss.L", 45), L"HHmmss.45");
    EXPECT_EQ(InsertMilliseconds(L"L", 7), L"7");
    EXPECT_EQ(InsertMilliseconds(L"L-L", 0), L"0-0");
    EXPECT_EQ(InsertMilliseconds(L"L", 999), L"999");
    EXPECT_EQ(InsertMilliseconds(L"l", 5), L"l");  // capital only
    EXPECT_EQ(InsertMilliseconds(L"", 5), L"");
}

TEST(ExpandDateTimeStampTest, SharedCases) {
    for (const auto& c : testing::kStampCases) {
        std::wstring name = c.name;
        ExpandDateTimeStamp(name, c.evening ? testing::EveningTime() : testing::MorningTime());
        EXPECT_EQ(name, c.expected) << c.name;
    }
}

TEST(ExpandDateTimeStampTest, PictureLengthLimit) {
    // 32 x "yyyy" = 128 characters: the longest picture that is still formatted.
    std::wstring picture;
    std::wstring expected;
    for (int i = 0; i < 32; ++i) {
        picture += i % 2 ? L"yyyy" : L"MMMM";
        expected += i % 2 ? L"2026" : L"December";
    }
    ASSERT_EQ(picture.size(), kMaxStampPicture);
    std::wstring name = L"a%" + picture + L"%b";
    ExpandDateTimeStamp(name, testing::EveningTime());
    EXPECT_EQ(name, L"a" + expected + L"b");

    name = L"a%" + picture + L"y%b";
    ExpandDateTimeStamp(name, testing::EveningTime());
    EXPECT_EQ(name, L"ab");

    // The limit applies after "L" became the milliseconds.
    name = L"a%" + std::wstring(kMaxStampPicture - 1, L'x') + L"L%b";
    ExpandDateTimeStamp(name, testing::EveningTime());
    EXPECT_EQ(name, L"ab");
}

TEST(ExpandDateTimeStampTest, InvalidTimeGivesAnEmptyStamp) {
    LocalTime broken = testing::EveningTime();
    broken.month = 13;
    std::wstring name = L"out_%yyyyMMdd%.log";
    ExpandDateTimeStamp(name, broken);
    EXPECT_EQ(name, L"out_.log");
}

TEST(CurrentLocalTimeTest, FieldsAreInRange) {
    LocalTime now = CurrentLocalTime();
    EXPECT_GE(now.year, 2024);
    EXPECT_GE(now.month, 1);
    EXPECT_LE(now.month, 12);
    EXPECT_LE(now.dayOfWeek, 6);
    EXPECT_GE(now.day, 1);
    EXPECT_LE(now.day, 31);
    EXPECT_LE(now.hour, 23);
    EXPECT_LE(now.minute, 59);
    EXPECT_LE(now.second, 60);
    EXPECT_LE(now.milliseconds, 999);
}

}  // namespace
}  // namespace kestran::jvm
