#include <gtest/gtest.h>

#include <algorithm>
#include <cwchar>

#include "platform/growing_buffer.h"

using kestran::platform::ReadIntoGrowingBuffer;

namespace {

// Behaves like GetModuleFileNameW: a short buffer is filled to the brim, unterminated,
// and its full size is returned.
struct ModuleFileNameLike {
    std::wstring path;
    int calls = 0;
    size_t operator()(wchar_t* buffer, size_t size) {
        ++calls;
        size_t copied = std::min(size, path.size() + 1);
        std::wmemcpy(buffer, path.c_str(), copied);
        return copied == path.size() + 1 ? path.size() : size;
    }
};

TEST(ReadIntoGrowingBuffer, PathsAroundTheClassicLimitArriveWhole) {
    for (size_t length : {1u, 258u, 259u, 260u, 261u, 300u, 520u, 4000u, 32767u}) {
        ModuleFileNameLike query{std::wstring(length - 1, L'p') + L"E"};
        std::wstring out;
        ASSERT_TRUE(ReadIntoGrowingBuffer(out, std::ref(query))) << length;
        EXPECT_EQ(out.size(), length);
        EXPECT_EQ(out.back(), L'E');
    }
}

TEST(ReadIntoGrowingBuffer, FailureAndOverlongResultsLeaveTheOutputAlone) {
    std::wstring out = L"untouched";
    EXPECT_FALSE(ReadIntoGrowingBuffer(out, [](wchar_t*, size_t) { return size_t{0}; }));
    EXPECT_EQ(out, L"untouched");
    ModuleFileNameLike endless{std::wstring(40000, L'x')};
    EXPECT_FALSE(ReadIntoGrowingBuffer(out, std::ref(endless)));
    EXPECT_EQ(out, L"untouched");
    EXPECT_LT(endless.calls, 10);
}

}  // namespace
