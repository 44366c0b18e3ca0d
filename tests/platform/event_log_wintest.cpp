#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "platform/event_log_win.h"

using kestran::platform::kLauncherEventId;
using kestran::platform::ReportErrorEvent;

namespace {

std::wstring ReadValue(HKEY key, const wchar_t* name, DWORD& type) {
    union {
        wchar_t text[1024];
        DWORD number;
    } buffer{};
    DWORD size = sizeof buffer;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&buffer), &size) != ERROR_SUCCESS) return L"?";
    return type == REG_DWORD ? std::to_wstring(buffer.number) : std::wstring(buffer.text);
}

}  // namespace

// Faults: an event that Event Viewer cannot show ("the description cannot be found": no
// message table entry, or the source left unregistered), a vendor's own registration
// overwritten, or the report call never made.
TEST(EventLog, ReportedEventsAreReadableInEventViewer) {
    std::wstring self(MAX_PATH, L'\0');
    self.resize(GetModuleFileNameW(nullptr, self.data(), MAX_PATH));
    const std::wstring root = L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\";
    const std::wstring source = L"KestranEventTest" + std::to_wstring(GetCurrentProcessId());
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, (root + source).c_str());

    EXPECT_TRUE(ReportErrorEvent(source, L"Error: first line"));
    EXPECT_TRUE(ReportErrorEvent(source, L"Error: second line"));
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, (root + source).c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);
    DWORD type = 0;
    EXPECT_EQ(ReadValue(key, L"EventMessageFile", type), self);
    EXPECT_EQ(type, static_cast<DWORD>(REG_EXPAND_SZ));
    EXPECT_EQ(ReadValue(key, L"TypesSupported", type), L"7");
    RegCloseKey(key);
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, (root + source).c_str());

    // A source the vendor registered keeps its own message file.
    const std::wstring vendor = source + L"Vendor";
    const wchar_t vendorFile[] = L"C:\\vendor\\messages.dll";
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, (root + vendor).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(key, L"EventMessageFile", 0, REG_SZ, reinterpret_cast<const BYTE*>(vendorFile), sizeof vendorFile);
    EXPECT_TRUE(ReportErrorEvent(vendor, L"Error: vendor line"));
    EXPECT_EQ(ReadValue(key, L"EventMessageFile", type), vendorFile);
    RegCloseKey(key);
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, (root + vendor).c_str());

    // What Event Viewer does with the registered file: the event's id in its message table,
    // the reported text inserted as it is.
    HMODULE file = LoadLibraryExW(self.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(file, nullptr);
    DWORD_PTR inserts[] = {reinterpret_cast<DWORD_PTR>(L"Error: the cause")};
    wchar_t shown[256] = {};
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY, file, kLauncherEventId,
                                        0, shown, 256, reinterpret_cast<va_list*>(inserts));
    FreeLibrary(file);
    EXPECT_EQ(std::wstring(shown, length), L"Error: the cause\r\n");
}
