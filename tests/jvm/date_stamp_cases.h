// Stamp expansion cases shared by the native test (our picture formatter) and the Wine test
// (GetTimeFormatW / GetDateFormatW): both must give the same names.
#pragma once

#include "jvm/date_stamp.h"

namespace kestran::jvm::testing {

// Monday 7 December 2026, 19:51:23.045
inline LocalTime EveningTime() {
    LocalTime t;
    t.year = 2026;
    t.month = 12;
    t.dayOfWeek = 1;
    t.day = 7;
    t.hour = 19;
    t.minute = 51;
    t.second = 23;
    t.milliseconds = 45;
    return t;
}

// Sunday 1 March 2026, 09:05:07.007
inline LocalTime MorningTime() {
    LocalTime t;
    t.year = 2026;
    t.month = 3;
    t.dayOfWeek = 0;
    t.day = 1;
    t.hour = 9;
    t.minute = 5;
    t.second = 7;
    t.milliseconds = 7;
    return t;
}

struct StampCase {
    const wchar_t* name;
    bool evening;
    const wchar_t* expected;
};

inline const StampCase kStampCases[] = {
    {L"C:\\logs\\out_%yyyyMMdd-HHmmss%.log", true, L"C:\\logs\\out_20261207-195123.log"},
    {L"run_%HHmmss.L%.log", true, L"run_195123.45.log"},
    {L"run_%HHmmss.L%.log", false, L"run_090507.7.log"},
    {L"a_%yyyy%_b_%MM%.log", true, L"a_2026%_b_%12.log"},
    {L"plain.log", true, L"plain.log"},
    {L"one%percent.log", true, L"onepercent.log"},
    {L"empty%%picture.log", true, L"emptypicture.log"},
    {L"%H:m:s%", false, L"9:5:7"},
    {L"%hh h%", true, L"07 7"},
    {L"%d.M.yy%", false, L"1.3.26"},
    {L"%dd.MM.y%", false, L"01.03.26"},
    // The time pass strips the quotes, so the date pass reads the quoted letters.
    {L"x_%'yyyy'%", true, L"x_2026"},
    // tt gives PM in the time pass; its M is then a month for the date pass.
    {L"%tt%", true, L"P12"},
    {L"%tt%", false, L"A3"},
};

}  // namespace kestran::jvm::testing
