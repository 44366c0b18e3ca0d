// The free-form "Virtual Machine Parameters" text, turned into single VM options.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/memory_options.h"

namespace kestran::runtime {

// Tokens separated by runs of spaces; a space between a double quote and its closing quote
// does not separate. A quote never closed protects nothing. No empty tokens.
std::vector<std::wstring> SplitVmParameters(const std::wstring& text);

// Removes pairs of double quotes in place; a doubled closing quote leaves one quote
// character behind, an unmatched quote stays.
void StripQuotes(std::wstring& token);

// The per-token pipeline: quotes, percentage sizes, then the stack size of a "-Xss" token
// (the last one wins; one that does not parse gives 0). The token is always appended.
void AddVmParameter(std::wstring token, const MemoryStatus& memory, uint64_t& threadStackSize,
                    std::vector<std::wstring>& options);

}  // namespace kestran::runtime
