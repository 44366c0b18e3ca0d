#include "platform/pe_header.h"

#include <gtest/gtest.h>

#include <vector>

#include "launcher/working_directory.h"

namespace kestran::launcher {
namespace {

using namespace platform;

void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// A minimal image: DOS header, NT headers at `lfanew`, file header, nothing else.
std::vector<uint8_t> Image(uint16_t machine, uint32_t lfanew = 0x80, size_t size = 0x80 + 24) {
    std::vector<uint8_t> b(size, 0);
    b[0] = 'M';
    b[1] = 'Z';
    Put32(b, 0x3C, lfanew);
    if (uint64_t{lfanew} + 6 <= size) {
        Put32(b, lfanew, kNtSignature);
        b[lfanew + 4] = static_cast<uint8_t>(machine);
        b[lfanew + 5] = static_cast<uint8_t>(machine >> 8);
    }
    return b;
}

std::vector<uint8_t> Truncated(std::vector<uint8_t> bytes, size_t size) {
    bytes.resize(size);
    return bytes;
}

struct PeCase {
    const char* name;
    std::vector<uint8_t> bytes;
    PeHeaderStatus status;
    uint16_t machine;
};

TEST(PeHeaderTest, MachineTable) {
    std::vector<uint8_t> text(200, 'x');
    std::vector<uint8_t> badSignature = Image(kMachineAmd64);
    badSignature[0x81] = 'X';
    std::vector<uint8_t> notMz = Image(kMachineAmd64);
    notMz[1] = 'Y';
    // Signature and file header overlapping the DOS header, as some packed images have them.
    std::vector<uint8_t> overlapped(64, 0);
    overlapped[0] = 'M';
    overlapped[1] = 'Z';
    Put32(overlapped, 0x3C, 4);
    Put32(overlapped, 4, kNtSignature);
    overlapped[8] = 0x4C;
    overlapped[9] = 0x01;

    const PeCase cases[] = {
        {"64-bit", Image(kMachineAmd64), PeHeaderStatus::Ok, kMachineAmd64},
        {"32-bit", Image(kMachineI386), PeHeaderStatus::Ok, kMachineI386},
        {"headers overlap the DOS header", overlapped, PeHeaderStatus::Ok, kMachineI386},
        {"text file", text, PeHeaderStatus::NotMz, 0},
        {"empty", {}, PeHeaderStatus::TooSmall, 0},
        {"only MZ", {'M', 'Z'}, PeHeaderStatus::TooSmall, 0},
        {"truncated before the DOS header ends", Truncated(Image(kMachineAmd64), 63), PeHeaderStatus::TooSmall, 0},
        {"truncated inside the file header", Truncated(Image(kMachineAmd64), 0x80 + 23),
         PeHeaderStatus::HeadersOutside, 0},
        {"e_lfanew past the end", Image(kMachineAmd64, 0x1000), PeHeaderStatus::HeadersOutside, 0},
        {"e_lfanew exactly at the end", Image(kMachineAmd64, 0x98), PeHeaderStatus::HeadersOutside, 0},
        {"negative e_lfanew", Image(kMachineAmd64, 0xFFFFFFF0u), PeHeaderStatus::HeadersOutside, 0},
        {"e_lfanew near 4 GiB wrapping", Image(kMachineAmd64, 0xFFFFFFFFu), PeHeaderStatus::HeadersOutside, 0},
        {"bad signature", badSignature, PeHeaderStatus::BadSignature, 0},
        {"no MZ", notMz, PeHeaderStatus::NotMz, 0},
    };
    for (const PeCase& c : cases) {
        uint16_t machine = 0;
        EXPECT_EQ(ReadImageMachine(c.bytes.data(), c.bytes.size(), machine), c.status) << c.name;
        EXPECT_EQ(machine, c.machine) << c.name;
        EXPECT_NE(std::wstring(DescribePeHeaderStatus(c.status)), L"unknown") << c.name;
    }
    uint16_t machine = 7;
    EXPECT_EQ(ReadImageMachine(nullptr, 100, machine), PeHeaderStatus::TooSmall);
    EXPECT_EQ(machine, 7);
}

TEST(PeHeaderTest, NtOffsetPointsAtTheSignature) {
    const std::vector<uint8_t> image = Image(kMachineAmd64, 0x100, 0x200);
    size_t offset = 0;
    ASSERT_EQ(LocateNtHeaders(image.data(), image.size(), offset), PeHeaderStatus::Ok);
    EXPECT_EQ(offset, 0x100u);
}

TEST(WorkingDirectoryTest, FolderOfTheModulePath) {
    struct Case {
        const wchar_t* modulePath;
        bool ok;
        const wchar_t* folder;
    } cases[] = {
        {L"C:\\Apps\\Tool.exe", true, L"C:\\Apps"},
        {L"C:\\Tool.exe", true, L"C:\\"},  // "C:" would mean the drive's current directory
        {L"\\\\server\\share\\Tool.exe", true, L"\\\\server\\share"},
        {L"\\\\?\\C:\\deep\\Tool.exe", true, L"\\\\?\\C:\\deep"},
        {L"Tool.exe", false, L""},
        {L"\\Tool.exe", false, L""},
        {L"", false, L""},
    };
    for (const Case& c : cases) {
        std::wstring folder;
        EXPECT_EQ(WorkingDirectoryFor(c.modulePath, folder), c.ok) << c.modulePath;
        EXPECT_EQ(folder, c.folder) << c.modulePath;
    }
}

}  // namespace
}  // namespace kestran::launcher
