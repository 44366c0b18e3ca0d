#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "config/paths.h"
#include "config/settings_store.h"

using namespace kestran::config;

namespace {

std::wstring TempFolder() {
    wchar_t buffer[MAX_PATH];
    GetTempPathW(MAX_PATH, buffer);
    std::wstring folder = std::wstring(buffer) + L"kestran-settings-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

std::wstring WriteFile(const std::wstring& name, const std::string& bytes) {
    std::wstring path = TempFolder() + L"\\" + name;
    std::ofstream out(path.c_str(), std::ios::binary);
    out << bytes;
    return path;
}

std::wstring Value(const std::wstring& path, const std::wstring& section, const std::wstring& key) {
    std::wstring value = L"stale";
    OpenProfileSettings(path)->getValue(section, key, value);
    return value;
}

TEST(ProfileSettings, LongValuesAreReadWhole) {
    for (size_t length : {254u, 255u, 256u, 257u, 300u, 511u, 1023u, 100000u}) {
        std::string value(length, 'v');
        value.back() = 'E';
        std::wstring path = WriteFile(L"long.ini", "[A]\r\nK=" + value + "\r\n");
        std::wstring read = Value(path, L"A", L"K");
        EXPECT_EQ(read.size(), length) << length;
        EXPECT_EQ(read.back(), L'E') << length;
    }
}

TEST(ProfileSettings, MissingFileSectionOrKeyReadsEmpty) {
    std::wstring path = WriteFile(L"small.ini", "[A]\r\nK=1\r\n");
    EXPECT_EQ(Value(path, L"A", L"K"), L"1");
    EXPECT_EQ(Value(path, L"B", L"K"), L"");
    EXPECT_EQ(Value(path, L"A", L"X"), L"");
    EXPECT_EQ(Value(TempFolder() + L"\\absent.ini", L"A", L"K"), L"");
}

TEST(ProfileSettings, SectionNamesInFileOrder) {
    std::string text;
    for (int i = 0; i < 200; ++i) text += "[Section number " + std::to_string(i) + "]\r\nk=v\r\n";
    std::wstring path = WriteFile(L"many.ini", text);
    std::vector<std::wstring> names;
    OpenProfileSettings(path)->sectionNames(names);
    ASSERT_EQ(names.size(), 200u);  // more than fits the first 256-character buffer
    EXPECT_EQ(names.front(), L"Section number 0");
    EXPECT_EQ(names.back(), L"Section number 199");
}

TEST(ProfileSettings, WritesAndReadsBack) {
    std::wstring path = TempFolder() + L"\\written.ini";
    DeleteFileW(path.c_str());
    auto store = OpenProfileSettings(path);
    EXPECT_TRUE(store->setValue(L"Java Runtime Environment", L"JRE Path", L"C:\\Java\\jre"));
    EXPECT_EQ(Value(path, L"Java Runtime Environment", L"JRE Path"), L"C:\\Java\\jre");
    unsigned char head[4] = {};
    EXPECT_EQ(store->readHead(head), 0u);
    EXPECT_EQ(head[0], '[');
    EXPECT_TRUE(store->deleteFile());
    EXPECT_NE(store->readHead(head), 0u);
}

// A store answers most lookups from the section's lines; each answer must be the platform's own.
TEST(ProfileSettings, ValuesReadAsThePlatformReadsThem) {
    const wchar_t* const files[] = {
        L"[A]\r\nK\r\nK=second\r\n",            // a key without '=' comes first
        L"[A]\r\nK=first\r\nk=second\r\n",      // written twice
        L"[A]\r\nK='single'\r\n",                // quotes the platform strips
        L"[A]\r\nK=ideographic space\x3000\r\n",  // a blank the platform keeps
    };
    for (size_t i = 0; i < std::size(files); ++i) {
        std::string utf16 = "\xFF\xFE";
        for (const wchar_t* c = files[i]; *c != L'\0'; ++c) utf16 += {static_cast<char>(*c & 0xFF), static_cast<char>(*c >> 8)};
        std::wstring path = WriteFile(L"platform.ini", utf16);
        wchar_t expected[256] = {};
        GetPrivateProfileStringW(L"A", L"K", L"", expected, 256, path.c_str());
        EXPECT_EQ(Value(path, L"A", L"K"), expected) << "file " << i;
    }
}

TEST(LayeredSettingsOnAFile, PlusSectionExtendsTheValue) {
    std::wstring path = WriteFile(L"plus.ini", "[Application+]\r\nCmd=x\r\n");
    std::wstring value;
    LayeredSettings(OpenProfileSettings(path), L"[Application]\r\nCmd=a\r\n").getValue(L"Application", L"Cmd", value);
    EXPECT_EQ(value, L"a x");
}

}  // namespace

// List keys carry quotes of their own: the platform's stripping of one pair around the whole
// value must not reach them, while single values keep it.
TEST(ProfileSettings, RawValuesKeepTheirQuotes) {
    std::wstring path = WriteFile(L"quoted.ini",
                                  "[A]\r\nMain Class=\"com.example.Main\"\r\n"
                                  "cmd = \"first arg\" \"second arg\" \r\n"
                                  "CP=\"C:\\a b\\x.jar\";\"C:\\c d\\y.jar\"\r\n");
    std::wstring raw;
    OpenProfileSettings(path)->getRawValue(L"a", L"CMD", raw);
    EXPECT_EQ(raw, L"\"first arg\" \"second arg\"");
    OpenProfileSettings(path)->getRawValue(L"A", L"CP", raw);
    EXPECT_EQ(raw, L"\"C:\\a b\\x.jar\";\"C:\\c d\\y.jar\"");
    OpenProfileSettings(path)->getRawValue(L"A", L"Missing", raw);
    EXPECT_EQ(raw, L"");
    EXPECT_EQ(Value(path, L"A", L"Main Class"), L"com.example.Main");
}
