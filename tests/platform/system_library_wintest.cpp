#include "platform/system_library_win.h"

#include <gtest/gtest.h>

#include <string>

namespace kestran::platform {
namespace {

constexpr wchar_t kMissingLibrary[] = L"kestran-missing.dll";
constexpr wchar_t kKernel32[] = L"kernel32.dll";
constexpr char kMissingFunction[] = "KestranNoSuchFunction";
constexpr char kPresentFunction[] = "GetTickCount";

template <const wchar_t* Library, const char* Function>
struct OneFunction {
    static constexpr const wchar_t* kLibrary = Library;
    FARPROC function;
    bool Bind(SystemLibrary& library) { return library.Bind(function, Function); }
};

// What the call printed on standard output, and whether it gave a table.
template <typename Table>
std::string Load(bool& loaded) {
    HANDLE read = nullptr;
    HANDLE write = nullptr;
    CreatePipe(&read, &write, nullptr, 1 << 16);
    HANDLE saved = GetStdHandle(STD_OUTPUT_HANDLE);
    SetStdHandle(STD_OUTPUT_HANDLE, write);
    loaded = SystemFunctions<Table>() != nullptr;
    SetStdHandle(STD_OUTPUT_HANDLE, saved);
    CloseHandle(write);
    std::string out(4096, '\0');
    DWORD got = 0;
    ReadFile(read, out.data(), static_cast<DWORD>(out.size()), &got, nullptr);
    CloseHandle(read);
    out.resize(got);
    return out;
}

// A library or function that is not there must end in the 202 line that names it and a null
// table for the caller to give up on, not in a crash through a null function pointer.
TEST(SystemLibraryTest, MissingLibraryOrFunctionIsReportedByName) {
    bool loaded = false;
    std::string out = Load<OneFunction<kMissingLibrary, kPresentFunction>>(loaded);
    EXPECT_FALSE(loaded);
    EXPECT_NE(out.find("Error: "), std::string::npos) << out;
    EXPECT_NE(out.find("kestran-missing.dll"), std::string::npos) << out;
    EXPECT_NE(out.find("= 126)"), std::string::npos) << out;

    out = Load<OneFunction<kKernel32, kMissingFunction>>(loaded);
    EXPECT_FALSE(loaded);
    EXPECT_NE(out.find("kernel32.dll KestranNoSuchFunction"), std::string::npos) << out;
    EXPECT_NE(out.find("= 127)"), std::string::npos) << out;

    out = Load<OneFunction<kKernel32, kPresentFunction>>(loaded);
    EXPECT_TRUE(loaded);
    EXPECT_EQ(out, "");
}

}  // namespace
}  // namespace kestran::platform
