#include <gtest/gtest.h>

#include "config/settings_store.h"
#include "memory_settings.h"

using kestran::config::LayeredSettings;
using kestran::testing::MemorySettings;

namespace {

struct LayerCase {
    const char* name;
    std::wstring baseText;
    std::map<std::pair<std::wstring, std::wstring>, std::wstring> file;
    std::wstring expected;
};

class LayeredSettingsTest : public ::testing::TestWithParam<LayerCase> {};

TEST_P(LayeredSettingsTest, CombinesBaseFileAndPlusSection) {
    const LayerCase& c = GetParam();
    LayeredSettings settings(std::make_unique<MemorySettings>(c.file), c.baseText);
    std::wstring value = L"stale";
    settings.getValue(L"Application", L"Cmd", value);
    EXPECT_EQ(value, c.expected) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LayeredSettingsTest,
    ::testing::Values(
        LayerCase{"nothing anywhere", L"", {}, L""},
        LayerCase{"base only", L"[Application]\r\nCmd=a\r\n", {}, L"a"},
        LayerCase{"file replaces base", L"[Application]\r\nCmd=a\r\n", {{{L"Application", L"Cmd"}, L"b"}}, L"b"},
        LayerCase{"plus section alone gets a leading space", L"", {{{L"Application+", L"Cmd"}, L"x"}}, L" x"},
        LayerCase{"plus section extends base", L"[Application]\r\nCmd=a\r\n", {{{L"Application+", L"Cmd"}, L"-b"}}, L"a -b"},
        LayerCase{"no second space", L"[Application]\r\nCmd=a\r\n", {{{L"Application+", L"Cmd"}, L" -b"}}, L"a -b"},
        LayerCase{"file wins over plus section",
                  L"",
                  {{{L"Application", L"Cmd"}, L"f"}, {{L"Application+", L"Cmd"}, L"x"}},
                  L"f"},
        LayerCase{"base key in another section is not used", L"[Other]\r\nCmd=a\r\n", {}, L""}),
    [](const auto& info) { return "case" + std::to_string(info.index); });

TEST(LayeredSettings, WritesGoToTheFile) {
    auto file = std::make_unique<MemorySettings>();
    MemorySettings* raw = file.get();
    LayeredSettings settings(std::move(file), L"");
    settings.setValue(L"Java Runtime Environment", L"JRE Path", L"C:\\jre");
    std::wstring value;
    raw->getValue(L"Java Runtime Environment", L"JRE Path", value);
    EXPECT_EQ(value, L"C:\\jre");
}

}  // namespace
