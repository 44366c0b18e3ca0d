// The two splitters that give list-valued and argument-valued settings their syntax.
#pragma once

#include <string>
#include <vector>

namespace kestran::config {

// Clears `out`, then splits at every `separator`; inner empty items are kept, a trailing one is not.
void SplitList(const std::wstring& text, const std::wstring& separator, std::vector<std::wstring>& out);
// Appends to `out`: space-separated words; a word starting with a double quote runs to the
// next double quote (quotes removed). No escape characters.
void SplitArguments(const std::wstring& text, std::vector<std::wstring>& out);

}  // namespace kestran::config
