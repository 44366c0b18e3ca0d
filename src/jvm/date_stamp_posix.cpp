// The Linux JNI host has no locale-aware picture formatters: this follows the Win32 picture
// rules with the English (United States) names, which is what the tests there rely on.
#include <sys/time.h>

#include <ctime>

#include "jvm/date_stamp.h"

namespace kestran::jvm {
namespace {

const wchar_t* const kDayNames[] = {L"Sunday", L"Monday", L"Tuesday", L"Wednesday", L"Thursday", L"Friday", L"Saturday"};
const wchar_t* const kMonthNames[] = {L"January", L"February", L"March", L"April", L"May", L"June", L"July",
                                      L"August", L"September", L"October", L"November", L"December"};

std::wstring Number(unsigned value, bool twoDigits) {
    std::wstring text = std::to_wstring(value);
    if (twoDigits && text.size() < 2) text.insert(0, 1, L'0');
    return text;
}

// Copies a quoted literal starting at picture[i] == '\''; returns the index after it.
size_t CopyQuoted(const std::wstring& picture, size_t i, std::wstring& out) {
    ++i;
    while (i < picture.size()) {
        if (picture[i] == L'\'') {
            if (i + 1 < picture.size() && picture[i + 1] == L'\'') {
                out.push_back(L'\'');
                i += 2;
                continue;
            }
            return i + 1;
        }
        out.push_back(picture[i++]);
    }
    return i;
}

template <typename Field>
std::wstring Format(const std::wstring& picture, Field field) {
    std::wstring out;
    size_t i = 0;
    while (i < picture.size()) {
        wchar_t c = picture[i];
        if (c == L'\'') {
            i = CopyQuoted(picture, i, out);
            continue;
        }
        size_t run = 1;
        while (i + run < picture.size() && picture[i + run] == c) ++run;
        if (field(c, run, out)) {
            i += run;
        } else {
            out.push_back(c);
            ++i;
        }
    }
    return out;
}

}  // namespace

LocalTime CurrentLocalTime() {
    timeval now{};
    gettimeofday(&now, nullptr);
    tm local{};
    localtime_r(&now.tv_sec, &local);
    LocalTime time;
    time.year = static_cast<uint16_t>(local.tm_year + 1900);
    time.month = static_cast<uint16_t>(local.tm_mon + 1);
    time.dayOfWeek = static_cast<uint16_t>(local.tm_wday);
    time.day = static_cast<uint16_t>(local.tm_mday);
    time.hour = static_cast<uint16_t>(local.tm_hour);
    time.minute = static_cast<uint16_t>(local.tm_min);
    time.second = static_cast<uint16_t>(local.tm_sec);
    time.milliseconds = static_cast<uint16_t>(now.tv_usec / 1000);
    return time;
}

bool FormatTimePicture(const std::wstring& picture, const LocalTime& time, std::wstring& out) {
    out = Format(picture, [&](wchar_t c, size_t run, std::wstring& text) {
        const bool two = run >= 2;
        switch (c) {
        case L'h': text += Number(time.hour % 12 == 0 ? 12 : time.hour % 12, two); return true;
        case L'H': text += Number(time.hour, two); return true;
        case L'm': text += Number(time.minute, two); return true;
        case L's': text += Number(time.second, two); return true;
        case L't': text += time.hour < 12 ? (two ? L"AM" : L"A") : (two ? L"PM" : L"P"); return true;
        default: return false;
        }
    });
    return true;
}

bool FormatDatePicture(const std::wstring& picture, const LocalTime& time, std::wstring& out) {
    if (time.month < 1 || time.month > 12 || time.dayOfWeek > 6) return false;
    out = Format(picture, [&](wchar_t c, size_t run, std::wstring& text) {
        switch (c) {
        case L'd':
            if (run <= 2) {
                text += Number(time.day, run == 2);
            } else {
                std::wstring name = kDayNames[time.dayOfWeek];
                text += run == 3 ? name.substr(0, 3) : name;
            }
            return true;
        case L'M':
            if (run <= 2) {
                text += Number(time.month, run == 2);
            } else {
                std::wstring name = kMonthNames[time.month - 1];
                text += run == 3 ? name.substr(0, 3) : name;
            }
            return true;
        case L'y':
            text += run <= 2 ? Number(time.year % 100, run == 2) : Number(time.year, false);
            return true;
        case L'g': text += L"A.D."; return true;
        default: return false;
        }
    });
    return true;
}

}  // namespace kestran::jvm
