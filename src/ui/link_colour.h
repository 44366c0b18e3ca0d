// The link colours a user may set for web links ("Anchor Color" and "Anchor Color Visited").
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kestran::ui {

// "red,green,blue" in decimal: each component is read like the C runtime's _wtol (leading
// blanks, a sign, digits up to the first other character) and kept modulo 256. The blue part
// is everything after the second comma ("255,7" reads as 255). Nothing when a comma is missing
// or the blue part is empty. The result is a COLORREF: red | green << 8 | blue << 16.
std::optional<uint32_t> ParseRgb(const std::wstring& text);

// A colour from a registry value's raw data: only string values (REG_SZ, REG_EXPAND_SZ) of at
// most 24 bytes that end with a NUL count; anything else is nothing.
std::optional<uint32_t> ColourFromRegistryValue(bool isString, const std::vector<uint8_t>& data);

}  // namespace kestran::ui
