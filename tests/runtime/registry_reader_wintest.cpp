#include "runtime/registry_reader.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

namespace kestran::runtime {
namespace {

const wchar_t kRoot[] = L"Software\\KestranRegistryReaderTest";

// Writes test keys below HKLM in one view and removes them again.
class TestKeys {
public:
    explicit TestKeys(REGSAM view) : view_(view) { Remove(); }
    ~TestKeys() { Remove(); }
    void Value(const std::wstring& subkey, DWORD type, const void* data, DWORD size) {
        HKEY key = nullptr;
        const std::wstring path = std::wstring(kRoot) + L"\\" + subkey;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view_, nullptr,
                                  &key, nullptr),
                  ERROR_SUCCESS);
        if (data != nullptr || size == 0)
            RegSetValueExW(key, L"JavaHome", 0, type, static_cast<const BYTE*>(data), size);
        RegCloseKey(key);
    }
    void Remove() { RegDeleteTreeW(HKEY_LOCAL_MACHINE, kRoot); }

private:
    REGSAM view_;
};

TEST(RegistryReaderTest, ReadsBothViewsWithoutMixingThem) {
    TestKeys keys64(KEY_WOW64_64KEY);
    TestKeys keys32(KEY_WOW64_32KEY);
    const wchar_t home64[] = L"C:\\jdk64";
    const wchar_t home32[] = L"C:\\jre32";
    keys64.Value(L"17.0.2", REG_SZ, home64, sizeof(home64));
    keys32.Value(L"1.8.0_301", REG_SZ, home32, sizeof(home32));

    const RegistryReader& registry = MachineRegistry();
    std::vector<std::wstring> names;
    ASSERT_TRUE(registry.ListSubkeys(std::wstring(kRoot) + L"\\", RegistryView::Native, names));
    EXPECT_EQ(names, std::vector<std::wstring>{L"17.0.2"});
    ASSERT_TRUE(registry.ListSubkeys(std::wstring(kRoot) + L"\\", RegistryView::Wow32, names));
    EXPECT_EQ(names, std::vector<std::wstring>{L"1.8.0_301"});

    std::vector<uint8_t> data;
    RegistryValueType type;
    std::wstring text;
    ASSERT_TRUE(registry.ReadValue(std::wstring(kRoot) + L"\\1.8.0_301", RegistryView::Wow32, L"JavaHome", data, type));
    ASSERT_EQ(DecodeRegistryText(data, text), RegistryTextStatus::Ok);
    EXPECT_EQ(text, home32);
    EXPECT_FALSE(
        registry.ReadValue(std::wstring(kRoot) + L"\\1.8.0_301", RegistryView::Native, L"JavaHome", data, type));
    EXPECT_TRUE(data.empty());
}

TEST(RegistryReaderTest, OddValuesArriveWhole) {
    TestKeys keys(KEY_WOW64_64KEY);
    const uint8_t odd[] = {'C', 0, ':'};
    const DWORD number = 0x41;
    const std::wstring longHome = L"C:\\" + std::wstring(5000, L'x');
    keys.Value(L"odd", REG_BINARY, odd, sizeof(odd));
    keys.Value(L"dword", REG_DWORD, &number, sizeof(number));
    keys.Value(L"long", REG_EXPAND_SZ, longHome.c_str(), static_cast<DWORD>((longHome.size() + 1) * sizeof(wchar_t)));
    keys.Value(L"empty", REG_SZ, nullptr, 0);
    keys.Value(L"novalue", REG_SZ, nullptr, 1);

    const RegistryReader& registry = MachineRegistry();
    const std::wstring root = std::wstring(kRoot) + L"\\";
    std::vector<uint8_t> data;
    RegistryValueType type;
    std::wstring text;
    ASSERT_TRUE(registry.ReadValue(root + L"odd", RegistryView::Native, L"JavaHome", data, type));
    EXPECT_EQ(data.size(), 3u);
    EXPECT_EQ(DecodeRegistryText(data, text), RegistryTextStatus::OddLength);
    ASSERT_TRUE(registry.ReadValue(root + L"dword", RegistryView::Native, L"JavaHome", data, type));
    EXPECT_EQ(DecodeRegistryText(data, text), RegistryTextStatus::Ok);
    EXPECT_EQ(text, L"A");
    ASSERT_TRUE(registry.ReadValue(root + L"long", RegistryView::Native, L"JavaHome", data, type));
    ASSERT_EQ(DecodeRegistryText(data, text), RegistryTextStatus::Ok);
    EXPECT_EQ(text, longHome);
    ASSERT_TRUE(registry.ReadValue(root + L"empty", RegistryView::Native, L"JavaHome", data, type));
    EXPECT_EQ(DecodeRegistryText(data, text), RegistryTextStatus::Empty);
    EXPECT_FALSE(registry.ReadValue(root + L"novalue", RegistryView::Native, L"JavaHome", data, type));
    std::vector<std::wstring> names;
    EXPECT_FALSE(registry.ListSubkeys(root + L"missing\\", RegistryView::Native, names));
    EXPECT_TRUE(names.empty());
}

}  // namespace
}  // namespace kestran::runtime
