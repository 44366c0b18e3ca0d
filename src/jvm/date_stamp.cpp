#include "jvm/date_stamp.h"

#include "platform/decimal_text.h"

namespace kestran::jvm {

bool SplitDateTimeStamp(const std::wstring& name, StampParts& out) {
    size_t first = name.find(L'%');
    if (first == std::wstring::npos) return false;
    size_t last = name.rfind(L'%');
    out.prefix = name.substr(0, first);
    out.picture = last > first ? name.substr(first + 1, last - first - 1) : std::wstring();
    out.suffix = name.substr(last + 1);
    return true;
}

std::wstring InsertMilliseconds(const std::wstring& picture, unsigned milliseconds) {
    const std::wstring digits = platform::DecimalText(milliseconds);
    std::wstring out;
    out.reserve(picture.size() + 8);
    for (wchar_t c : picture) {
        if (c == L'L') {
            out += digits;
        } else {
            out.push_back(c);
        }
    }
    return out;
}

void ExpandDateTimeStamp(std::wstring& name, const LocalTime& time) {
    StampParts parts;
    if (!SplitDateTimeStamp(name, parts)) return;
    // The time pass runs first and the date pass reads its output, so letters that the time
    // pass produces (an AM/PM marker) can still be taken as date picture letters.
    std::wstring stamp;
    std::wstring picture = InsertMilliseconds(parts.picture, time.milliseconds);
    std::wstring timed;
    // Wine's GetTimeFormatW overruns a fixed buffer of its own when the result nears 300
    // characters; a time picture at most doubles in length, so this keeps well below that.
    if (!picture.empty() && picture.size() <= kMaxStampPicture && FormatTimePicture(picture, time, timed) && !timed.empty()) {
        if (!FormatDatePicture(timed, time, stamp)) stamp.clear();
    }
    name = parts.prefix + stamp + parts.suffix;
}

}  // namespace kestran::jvm
