#include <gtest/gtest.h>

#include "platform/decimal_text.h"
#include "platform/text_encoding.h"

using namespace kestran::platform;

TEST(TextEncoding, RoundTripsThroughUtf8AndUtf16) {
    const std::wstring samples[] = {L"", L"ascii", L"\u00e4\u00f6\u00fc\u00df", L"\u0416\u0443\u043a",
                                    std::wstring(1, static_cast<wchar_t>(0x1F600))};
    for (const std::wstring& sample : samples) {
        EXPECT_EQ(Utf8ToWide(WideToUtf8(sample)), sample);
        EXPECT_EQ(Utf16ToWide(WideToUtf16(sample)), sample);
    }
}

TEST(TextEncoding, NonBmpCharacterBecomesASurrogatePair) {
    std::u16string units = WideToUtf16(std::wstring(1, static_cast<wchar_t>(0x1F600)));
    EXPECT_EQ(units, (std::u16string{0xD83D, 0xDE00}));
    EXPECT_EQ(WideToUtf8(std::wstring(1, static_cast<wchar_t>(0x1F600))), "\xF0\x9F\x98\x80");
}

TEST(TextEncoding, MalformedUtf8BecomesReplacementCharacters) {
    EXPECT_EQ(Utf8ToWide("a\xC3"), L"a\xFFFD");          // cut short
    EXPECT_EQ(Utf8ToWide("\xFF\xFE"), L"\xFFFD\xFFFD");  // never a lead byte
    EXPECT_EQ(Utf8ToWide("\xC3("), L"\xFFFD(");          // bad continuation
}

TEST(TextEncoding, OverlongFormsAndEncodedSurrogatesAreRejected) {
    EXPECT_EQ(Utf8ToWide("a\xC0\x80" "b"), L"a\xFFFD\xFFFD" L"b");  // a NUL in disguise cuts nothing short
    EXPECT_EQ(Utf8ToWide("\xE0\x80\xAF"), L"\xFFFD\xFFFD\xFFFD");  // one per byte, as browsers do
    EXPECT_EQ(Utf8ToWide("\xED\xA0\x80"), L"\xFFFD\xFFFD\xFFFD");  // U+D800
    EXPECT_EQ(Utf8ToWide("\xEF\xBF\xBD"), L"\xFFFD");        // the real U+FFFD passes
}

TEST(TextEncoding, IntegersWrittenWithoutPrintf) {
    EXPECT_EQ(kestran::platform::DecimalText(0), L"0");
    EXPECT_EQ(kestran::platform::DecimalText(-2147483647 - 1), L"-2147483648");
    EXPECT_EQ(kestran::platform::DecimalText(0xFFFFFFFFFFFFFFFFull), L"18446744073709551615");
    EXPECT_EQ(kestran::platform::HexText(0x41, 4), L"0041");
    EXPECT_EQ(kestran::platform::HexText(0x1F600, 4, false), L"1f600");
}
