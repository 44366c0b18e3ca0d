// Locating the NT headers of a PE image in a byte buffer, with every offset checked against
// the buffer's size. Pure logic: the file is mapped or read elsewhere.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kestran::platform {

constexpr uint16_t kMachineI386 = 0x014C;   // IMAGE_FILE_MACHINE_I386
constexpr uint16_t kMachineAmd64 = 0x8664;  // IMAGE_FILE_MACHINE_AMD64
constexpr uint16_t kMachineArm64 = 0xAA64;  // IMAGE_FILE_MACHINE_ARM64
constexpr uint32_t kNtSignature = 0x00004550;  // "PE\0\0"

enum class PeHeaderStatus {
    Ok,
    TooSmall,         // shorter than the DOS header
    NotMz,            // no "MZ" at the start
    HeadersOutside,   // e_lfanew points where the NT signature and file header do not fit
    BadSignature,     // the NT headers do not start with "PE\0\0"
};

// On Ok, `ntOffset` is the offset of the NT headers (signature, then the file header).
PeHeaderStatus LocateNtHeaders(const uint8_t* data, size_t size, size_t& ntOffset);
// The machine field of the file header; `machine` is untouched unless the result is Ok.
PeHeaderStatus ReadImageMachine(const uint8_t* data, size_t size, uint16_t& machine);
const wchar_t* DescribePeHeaderStatus(PeHeaderStatus status);
// "0x8664": the machine field as the PE format writes it.
std::wstring MachineHex(uint16_t machine);
// The architecture as people name it ("x64", "ARM64"), else "machine 0xNNNN".
std::wstring DescribeMachine(uint16_t machine);

}  // namespace kestran::platform
