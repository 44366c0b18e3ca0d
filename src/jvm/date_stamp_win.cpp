#include <windows.h>

#include <vector>

#include "jvm/date_stamp.h"

namespace kestran::jvm {
namespace {

SYSTEMTIME ToSystemTime(const LocalTime& time) {
    SYSTEMTIME st{};
    st.wYear = time.year;
    st.wMonth = time.month;
    st.wDayOfWeek = time.dayOfWeek;
    st.wDay = time.day;
    st.wHour = time.hour;
    st.wMinute = time.minute;
    st.wSecond = time.second;
    st.wMilliseconds = time.milliseconds;
    return st;
}

// Both formatters report the size they need when given no buffer, so a stamp of any length fits.
template <typename Formatter>
bool FormatWith(Formatter format, const std::wstring& picture, const LocalTime& time, std::wstring& out) {
    const SYSTEMTIME st = ToSystemTime(time);
    int needed = format(LOCALE_USER_DEFAULT, 0, &st, picture.c_str(), nullptr, 0);
    if (needed <= 0) return false;
    std::vector<wchar_t> buffer(static_cast<size_t>(needed));
    int written = format(LOCALE_USER_DEFAULT, 0, &st, picture.c_str(), buffer.data(), needed);
    if (written <= 0) return false;
    out.assign(buffer.data(), static_cast<size_t>(written - 1));
    return true;
}

}  // namespace

LocalTime CurrentLocalTime() {
    SYSTEMTIME st{};
    GetLocalTime(&st);
    LocalTime time;
    time.year = st.wYear;
    time.month = st.wMonth;
    time.dayOfWeek = st.wDayOfWeek;
    time.day = st.wDay;
    time.hour = st.wHour;
    time.minute = st.wMinute;
    time.second = st.wSecond;
    time.milliseconds = st.wMilliseconds;
    return time;
}

bool FormatTimePicture(const std::wstring& picture, const LocalTime& time, std::wstring& out) {
    return FormatWith(GetTimeFormatW, picture, time, out);
}

bool FormatDatePicture(const std::wstring& picture, const LocalTime& time, std::wstring& out) {
    return FormatWith(GetDateFormatW, picture, time, out);
}

}  // namespace kestran::jvm
