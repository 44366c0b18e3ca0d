// Date and time stamps in output file names: the text between the first and the last '%' is
// a picture for the platform's time formatter and then its date formatter
// (out_%yyyyMMdd-HHmmss%.log -> out_20261207-195123.log).
#pragma once

#include <cstdint>
#include <string>

namespace kestran::jvm {

// The fields of a local time, as the platform's SYSTEMTIME holds them.
struct LocalTime {
    uint16_t year = 0;
    uint16_t month = 0;      // 1-12
    uint16_t dayOfWeek = 0;  // 0 = Sunday
    uint16_t day = 0;
    uint16_t hour = 0;
    uint16_t minute = 0;
    uint16_t second = 0;
    uint16_t milliseconds = 0;
};

// A name split at its first and last '%'; the picture is empty when there is only one.
struct StampParts {
    std::wstring prefix;   // before the first '%'
    std::wstring picture;  // strictly between the first and the last '%'
    std::wstring suffix;   // after the last '%'
};

// False (out untouched) when the name holds no '%'.
bool SplitDateTimeStamp(const std::wstring& name, StampParts& out);
// Every capital "L" replaced by the milliseconds in decimal without leading zeros.
std::wstring InsertMilliseconds(const std::wstring& picture, unsigned milliseconds);
// Longest picture that is formatted; a longer one gives an empty stamp.
constexpr size_t kMaxStampPicture = 128;

// Rewrites `name` in place: prefix + formatted picture + suffix, both '%' removed. A picture the
// platform cannot format, an empty one or one longer than kMaxStampPicture (after the
// milliseconds are put in) gives an empty stamp. No '%': the name is unchanged.
void ExpandDateTimeStamp(std::wstring& name, const LocalTime& time);

// Platform part (GetLocalTime, GetTimeFormatW, GetDateFormatW on Windows).
LocalTime CurrentLocalTime();
// The picture formatted as a time in the user's locale; false when the platform refuses it.
bool FormatTimePicture(const std::wstring& picture, const LocalTime& time, std::wstring& out);
// The picture formatted as a date in the user's locale; false when the platform refuses it.
bool FormatDatePicture(const std::wstring& picture, const LocalTime& time, std::wstring& out);

}  // namespace kestran::jvm
