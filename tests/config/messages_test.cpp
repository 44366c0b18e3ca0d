#include <gtest/gtest.h>

#include <map>

#include "config/general_error.h"
#include "config/messages.h"

using namespace kestran::config;

namespace {

class FixedCatalog : public MessageCatalog {
public:
    explicit FixedCatalog(std::map<unsigned, std::wstring> texts) : texts_(std::move(texts)) {}
    bool LoadMessage(unsigned id, std::wstring& out) const override {
        auto found = texts_.find(id);
        if (found == texts_.end() || found->second.empty()) return false;
        out = found->second;
        return true;
    }

private:
    std::map<unsigned, std::wstring> texts_;
};

TEST(FormatText, PlaceholdersTakeArgumentsInOrder) {
    struct Case {
        std::wstring format;
        std::vector<MessageArg> args;
        std::wstring expected;
    } cases[] = {
        {L"Windows exception: %s (errno = %d).\n", {L"failed", 2}, L"Windows exception: failed (errno = 2).\n"},
        {L"version between %s and %s", {L"1.8", L"11"}, L"version between 1.8 and 11"},
        {L"%d", {-1}, L"-1"},
        {L"100%% sure", {}, L"100% sure"},
        {L"%s", {}, L""},
        {L"%d", {}, L"0"},
        {L"trailing %", {}, L"trailing %"},
        {L"%x stays", {}, L"%x stays"},
    };
    for (const auto& c : cases) EXPECT_EQ(FormatText(c.format, c.args), c.expected);
}

TEST(FormatText, UserTextIsNeverAFormat) {
    // A class name or path with % signs must come out exactly as given.
    EXPECT_EQ(FormatText(L"Could not find the main class %s.\n", {L"a%s%d%n%%b"}),
              L"Could not find the main class a%s%d%n%%b.\n");
}

TEST(FormatMessageId, MissingIdIsAGeneralError) {
    FixedCatalog catalog({{210, L"Main class was not specified in INI file."}});
    EXPECT_EQ(FormatMessageId(catalog, 210), L"Main class was not specified in INI file.");
    try {
        FormatMessageId(catalog, 299);
        FAIL() << "no error raised";
    } catch (const kestran::GeneralError& error) {
        EXPECT_EQ(error.resultCode(), kestran::kResultFail);
    }
}

TEST(NativeCatalog, HoldsTheEnglishTable) {
    std::wstring text;
    for (unsigned id = 202; id <= 230; ++id) EXPECT_TRUE(Messages().LoadMessage(id, text)) << id;
    EXPECT_FALSE(Messages().LoadMessage(201, text));
    EXPECT_FALSE(Messages().LoadMessage(231, text));
    ASSERT_TRUE(Messages().LoadMessage(207, text));
    EXPECT_NE(text.find(L"Please  download"), std::wstring::npos);  // two spaces, as written
}

}  // namespace
