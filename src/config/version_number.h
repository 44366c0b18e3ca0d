// Java runtime version numbers: four signed components, compared component by component.
#pragma once

#include <cstdint>
#include <string>

namespace kestran::config {

class MessageCatalog;

struct VersionNumber {
    int32_t part[4] = {0, 0, 0, 0};

    static VersionNumber Filled(int32_t value) { return {{value, value, value, value}}; }
    bool operator==(const VersionNumber& other) const;
    bool operator!=(const VersionNumber& other) const { return !(*this == other); }
};

constexpr int32_t kVersionUnsetHigh = 65535;

// Reads up to four digit groups; whatever lies between them separates groups.
// Components not given take `fill`. Fails (all zero) on a text without digits or a group
// above 2147483647.
bool ParseVersion(const std::wstring& text, int32_t fill, VersionNumber& out);
std::wstring FormatVersion(const VersionNumber& v);
int CompareVersions(const VersionNumber& a, const VersionNumber& b);
// Both ends included; a max of 0.0.0.0 bounds nothing.
bool VersionInRange(const VersionNumber& v, const VersionNumber& min, const VersionNumber& max);
// Trailing zero components of `preferred` match anything.
bool MatchesPreferred(const std::wstring& preferred, const VersionNumber& v);
// All four components equal and either 0 or 65535.
bool IsUnsetBound(const VersionNumber& v);
// The text for the %s of messages 206/207 (messages 217-221).
std::wstring DescribeVersionRange(const VersionNumber& min, const VersionNumber& max,
                                  const MessageCatalog& messages);

}  // namespace kestran::config
