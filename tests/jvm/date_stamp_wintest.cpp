#include "jvm/date_stamp.h"

#include <gtest/gtest.h>

#include "date_stamp_cases.h"

namespace kestran::jvm {
namespace {

// The same names as our native formatter gives, now from GetTimeFormatW and GetDateFormatW.
TEST(ExpandDateTimeStampWinTest, SharedCases) {
    for (const auto& c : testing::kStampCases) {
        std::wstring name = c.name;
        ExpandDateTimeStamp(name, c.evening ? testing::EveningTime() : testing::MorningTime());
        EXPECT_EQ(name, c.expected) << c.name;
    }
}

TEST(ExpandDateTimeStampWinTest, StampLongerThanTheClassicPathLimit) {
    std::wstring picture;
    for (int i = 0; i < 100; ++i) picture += L"yyyy-MM-dd ";
    std::wstring name = L"%" + picture + L"%";
    ExpandDateTimeStamp(name, testing::EveningTime());
    std::wstring expected;
    for (int i = 0; i < 100; ++i) expected += L"2026-12-07 ";
    EXPECT_EQ(name, expected);
}

TEST(ExpandDateTimeStampWinTest, InvalidTimeGivesAnEmptyStamp) {
    LocalTime broken = testing::EveningTime();
    broken.month = 13;
    std::wstring name = L"out_%yyyyMMdd%.log";
    ExpandDateTimeStamp(name, broken);
    EXPECT_EQ(name, L"out_.log");
}

}  // namespace
}  // namespace kestran::jvm
