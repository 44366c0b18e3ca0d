// Memory sizes given as a share of the machine's memory (-Xmx50P, -Xms25:512:2048T) and the
// stack size the Java thread must be created with (-Xss).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kestran::runtime {

// The two bases a percentage can refer to, in bytes.
struct MemoryStatus {
    uint64_t totalPhysical = 0;     // P or p
    uint64_t availableVirtual = 0;  // T or t: the process's free virtual address space
};

// The memory of this machine and process (GlobalMemoryStatusEx on Windows).
MemoryStatus QueryMemoryStatus();

// Starts with exactly "-Xms", "-Xmx" or "-Xss" and ends in P, p, T or t.
bool IsMemoryPercentOption(const std::wstring& token);

struct NumberList {
    size_t prefixLength = 0;         // position of the first digit or ':' (the length when none)
    std::vector<uint64_t> numbers;   // empty when there is no digit or ':'
};
// Reads ':'-separated decimal numbers from the first digit or ':' up to, not including, the
// last character; other characters are skipped. Numbers saturate at UINT64_MAX.
NumberList ParseNumberList(const std::wstring& text);

// The option rewritten as prefix + size in kilobytes + "K". The size is written as an
// unsigned decimal whatever its magnitude (never negative or wrapped).
std::wstring ResolveMemoryPercent(const std::wstring& token, const MemoryStatus& memory);
// The percentage size in kilobytes, before it is written.
uint64_t MemoryPercentKilobytes(const std::wstring& token, const MemoryStatus& memory);

// Bytes of a token beginning with "-Xss": a decimal number with an optional K/M/G suffix
// (any case); 0 for any other form. Saturates at UINT64_MAX.
uint64_t ParseStackSize(const std::wstring& token);

}  // namespace kestran::runtime
