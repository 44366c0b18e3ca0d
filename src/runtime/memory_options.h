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

// A percentage option as it is meant: "-Xms"/"-Xmx"/"-Xss", then up to three ':'-separated
// numbers of at most 15 digits (percentage, minimum MB, maximum MB; at least one digit), an
// optional '%', the unit; a minimum above a non-zero maximum is not well formed.
bool IsWellFormedMemoryPercent(const std::wstring& token);

// The option rewritten as prefix + size in kilobytes + "K"; a token that is not well formed
// is given back unchanged. The size is written as an
// unsigned decimal whatever its magnitude (never negative or wrapped).
std::wstring ResolveMemoryPercent(const std::wstring& token, const MemoryStatus& memory);
// The percentage size in kilobytes, before it is written.
uint64_t MemoryPercentKilobytes(const std::wstring& token, const MemoryStatus& memory);

// Bytes of a token beginning with "-Xss": a decimal number of at most 15 digits with an
// optional K/M/G suffix (any case); 0 for any other form and for a size beyond 64 bits.
uint64_t ParseStackSize(const std::wstring& token);

}  // namespace kestran::runtime
