// The date-stamp picture scanner of output file names.
#include "fuzz_input.h"
#include "jvm/date_stamp.h"

using namespace kestran::jvm;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::wstring name = FuzzText(data, size);
    StampParts parts;
    SplitDateTimeStamp(name, parts);
    InsertMilliseconds(name, 123);
    LocalTime time{};
    time.year = 2026;
    time.month = 12;
    time.day = 8;
    ExpandDateTimeStamp(name, time);
    return 0;
}
