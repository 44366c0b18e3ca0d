#include "platform/pe_image_view_win.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <string>
#include <vector>

#include "launcher/launcher.h"
#include "runtime/vm_library_machine.h"

namespace kestran::launcher {
namespace {

using namespace platform;

std::wstring TestFolder() {
    std::vector<wchar_t> buffer(32768);
    DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    std::wstring path(buffer.data(), length);
    return path.substr(0, path.rfind(L'\\') + 1);
}

std::vector<char> ReadAll(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    return std::vector<char>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

class ScratchFile {
public:
    explicit ScratchFile(const std::vector<char>& bytes) {
        std::vector<wchar_t> folder(MAX_PATH + 1);
        GetTempPathW(static_cast<DWORD>(folder.size()), folder.data());
        wchar_t name[MAX_PATH + 1];
        GetTempFileNameW(folder.data(), L"kpe", 0, name);
        path_ = name;
        std::ofstream out(path_.c_str(), std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    ~ScratchFile() { DeleteFileW(path_.c_str()); }
    const std::wstring& path() const { return path_; }

private:
    std::wstring path_;
};

TEST(PeImageViewTest, RealImagesAndBrokenFiles) {
    const std::vector<char> pe64 = ReadAll(TestFolder() + L"pe_sample64.dll");
    const std::vector<char> pe32 = ReadAll(TestFolder() + L"pe_sample32.dll");
    ASSERT_GT(pe64.size(), 0x40u);
    ASSERT_GT(pe32.size(), 0x40u);
    uint32_t lfanew = 0;
    memcpy(&lfanew, pe64.data() + 0x3C, 4);
    std::vector<char> outside = pe64;
    const uint32_t beyond = static_cast<uint32_t>(pe64.size()) + 0x1000;
    memcpy(outside.data() + 0x3C, &beyond, 4);

    struct Case {
        const char* name;
        std::vector<char> bytes;
        bool valid;
        uint16_t machine;
    } cases[] = {
        {"x64 DLL", pe64, true, kMachineAmd64},
        {"x86 DLL", pe32, true, kMachineI386},
        {"text file", std::vector<char>(300, 'x'), false, 0},
        {"empty file", {}, false, 0},
        {"truncated in the file header", std::vector<char>(pe64.begin(), pe64.begin() + lfanew + 10), false, 0},
        {"e_lfanew outside the file", outside, false, 0},
    };
    for (const Case& c : cases) {
        ScratchFile file(c.bytes);
        const PeImageView view(file.path());
        EXPECT_EQ(view.valid(), c.valid) << c.name;
        EXPECT_EQ(view.machine(), c.machine) << c.name;
        EXPECT_EQ(view.ntHeaders() != nullptr, c.valid) << c.name;
    }
}

TEST(PeImageViewTest, MissingFileReportsTheOpenError) {
    const PeImageView view(TestFolder() + L"no-such-file.dll");
    EXPECT_FALSE(view.valid());
    EXPECT_FALSE(view.mapped());
    EXPECT_EQ(view.lastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST(CheckVmLibraryMachineTest, HandsOverOnlyX86WithAPairProduct) {
    Launcher launcher;
    struct Case {
        const wchar_t* library;
        const wchar_t* pair;
        bool handOver;
    } cases[] = {
        {L"pe_sample32.dll", L"C:\\Tool32.exe", true},
        {L"pe_sample32.dll", L"", false},
        {L"pe_sample64.dll", L"C:\\Tool32.exe", false},
        {L"missing.dll", L"C:\\Tool32.exe", false},
    };
    for (const Case& c : cases) {
        launcher.vmLibraryPath = TestFolder() + c.library;
        launcher.pairProduct = c.pair;
        launcher.handOverToPair = !c.handOver;
        runtime::CheckVmLibraryMachine(launcher, launcher);
        EXPECT_EQ(launcher.handOverToPair, c.handOver) << c.library << L" pair '" << c.pair << L"'";
    }
}

}  // namespace
}  // namespace kestran::launcher
