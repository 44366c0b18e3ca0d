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

// Results this long overrun a buffer inside Wine's GetTimeFormatW; the picture limit keeps the
// launcher away from it (an empty stamp instead of a crash).
TEST(ExpandDateTimeStampWinTest, VeryLongPictureGivesAnEmptyStampNotACrash) {
    for (size_t length : {kMaxStampPicture + 1, size_t{300}, size_t{5000}}) {
        std::wstring name = L"a%" + std::wstring(length, L'x') + L"%b";
        ExpandDateTimeStamp(name, testing::EveningTime());
        EXPECT_EQ(name, L"ab") << length;
    }
}

TEST(ExpandDateTimeStampWinTest, LongestPictureWithLongNames) {
    std::wstring picture;
    std::wstring expected;
    for (int i = 0; i < 32; ++i) {
        picture += i % 2 ? L"hhmm" : L"MMMM";
        expected += i % 2 ? L"0751" : L"December";
    }
    std::wstring name = L"%" + picture + L"%";
    ExpandDateTimeStamp(name, testing::EveningTime());
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
