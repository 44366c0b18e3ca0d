#include "config/profile_index.h"

#include <gtest/gtest.h>

namespace kestran::config {
namespace {

// A name the platform would match but the index calls absent loses a setting without a word.
TEST(ProfileIndexTest, NamesThatMayMatch) {
    using namespace std::string_literals;
    const struct {
        std::wstring names;  // NUL-separated, as the platform lists them
        const wchar_t* wanted;
        size_t matches;
    } cases[] = {
        {L"main class\0Class Path"s, L"Main Class", 1},     {L"  Main Class\t"s, L"Main Class", 1},
        {L"Main  Class\0Main Class+"s, L"Main Class", 0},   {L"Application\0application"s, L"Application", 2},
        {L"Pr\u00e9f\u00e9rences"s, L"Application", 1},  // non-ASCII: the platform decides
        {L""s, L"Application", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(ProfileNameMatches(c.names, c.wanted), c.matches) << "wanted " << c.wanted;
}

}  // namespace
}  // namespace kestran::config
