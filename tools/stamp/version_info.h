// The VS_VERSIONINFO resource: read into a tree of blocks, edited, and written back.
#pragma once

#include <array>
#include <string>

#include "byte_io.h"

namespace kestran::stamp {

struct VersionBlock {
    std::u16string key;
    bool text = false;  // wType 1: the value is UTF-16 text
    Bytes value;        // as stored; text includes its terminating zero
    std::vector<VersionBlock> children;
};

// Throws StampError when `data` is not a version resource (blocks overrunning their parent,
// no VS_VERSION_INFO root with its fixed part).
VersionBlock ReadVersionInfo(const Bytes& data);
// Throws StampError when a block no longer fits the 16-bit lengths of the format (text too long).
Bytes WriteVersionInfo(const VersionBlock& root);

// FILEVERSION of the fixed part and the "FileVersion" string; PRODUCTVERSION and "ProductVersion".
void SetFileVersion(VersionBlock& root, const std::array<uint16_t, 4>& version);
void SetProductVersion(VersionBlock& root, const std::array<uint16_t, 4>& version);
// Sets `key` in every string table of the StringFileInfo block (adding it where missing; adding a
// US English, Unicode table when there is none).
void SetVersionString(VersionBlock& root, const std::u16string& key, const std::u16string& value);
// Empties every string, in every table, whose text holds `word` in any ASCII case.
void ClearStringsNaming(VersionBlock& root, const std::u16string& word);
// The string `key` of the first table, empty if absent.
std::u16string VersionString(const VersionBlock& root, const std::u16string& key);

}  // namespace kestran::stamp
