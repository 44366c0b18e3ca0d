#include "platform/pe_header.h"

#include "platform/decimal_text.h"

namespace kestran::platform {
namespace {

constexpr size_t kDosHeaderSize = 0x40;
constexpr size_t kLfanewOffset = 0x3C;
constexpr size_t kSignatureSize = 4;
constexpr size_t kFileHeaderSize = 20;
constexpr size_t kMachineOffset = 4;  // within the NT headers, right after the signature

// Little-endian reads; the buffer may sit at any alignment.
uint32_t Read32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}
uint16_t Read16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

}  // namespace

PeHeaderStatus LocateNtHeaders(const uint8_t* data, size_t size, size_t& ntOffset) {
    if (data == nullptr || size < kDosHeaderSize) return PeHeaderStatus::TooSmall;
    if (data[0] != 'M' || data[1] != 'Z') return PeHeaderStatus::NotMz;
    // e_lfanew is a signed LONG; a negative value reads as a huge offset and is refused below.
    const uint64_t offset = Read32(data + kLfanewOffset);
    if (offset > size || size - offset < kSignatureSize + kFileHeaderSize)
        return PeHeaderStatus::HeadersOutside;
    if (Read32(data + offset) != kNtSignature) return PeHeaderStatus::BadSignature;
    ntOffset = static_cast<size_t>(offset);
    return PeHeaderStatus::Ok;
}

PeHeaderStatus ReadImageMachine(const uint8_t* data, size_t size, uint16_t& machine) {
    size_t offset = 0;
    PeHeaderStatus status = LocateNtHeaders(data, size, offset);
    if (status == PeHeaderStatus::Ok) machine = Read16(data + offset + kMachineOffset);
    return status;
}

const wchar_t* DescribePeHeaderStatus(PeHeaderStatus status) {
    switch (status) {
        case PeHeaderStatus::Ok: return L"a PE image";
        case PeHeaderStatus::TooSmall: return L"too small for a PE image";
        case PeHeaderStatus::NotMz: return L"not a PE image (no MZ header)";
        case PeHeaderStatus::HeadersOutside: return L"not a PE image (NT headers outside the file)";
        case PeHeaderStatus::BadSignature: return L"not a PE image (no PE signature)";
    }
    return L"unknown";
}

std::wstring MachineHex(uint16_t machine) { return L"0x" + HexText(machine, 4); }

std::wstring DescribeMachine(uint16_t machine) {
    switch (machine) {
        case kMachineAmd64: return L"x64";
        case kMachineI386: return L"x86";
        case kMachineArm64: return L"ARM64";
        case 0x01C4: return L"ARM";      // IMAGE_FILE_MACHINE_ARMNT
        case 0x0200: return L"Itanium";  // IMAGE_FILE_MACHINE_IA64
        default: break;
    }
    return L"machine " + MachineHex(machine);
}

}  // namespace kestran::platform
