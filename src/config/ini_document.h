// An INI text held in memory (the base settings document). It reads as the settings file
// does: lines end at "\r\n" or "\n", names and keys match without regard to ASCII case,
// a comment may follow a section header. The first match wins; duplicates stay separate.
#pragma once

#include <string>
#include <vector>

namespace kestran::config {

struct IniEntry {
    std::wstring key;
    std::wstring value;
};

struct IniSection {
    std::wstring name;
    std::vector<IniEntry> entries;
};

class IniDocument {
public:
    // Replaces the content. A leading U+FEFF is dropped.
    void parse(const std::wstring& text);
    // Leaves `out` untouched when the section or the key is missing.
    void getValue(const std::wstring& section, const std::wstring& key, std::wstring& out) const;
    // Finds or appends the section, then always appends a new entry.
    void setValue(const std::wstring& section, const std::wstring& key, const std::wstring& value);
    void sectionNames(std::vector<std::wstring>& out) const;
    void clear() { sections_.clear(); }
    const std::vector<IniSection>& sections() const { return sections_; }

private:
    std::vector<IniSection> sections_;
};

// Section and key names are compared this way: the profile functions ignore ASCII case only.
// Folder names from the registry too: the installers' names need no more than ASCII folding.
bool EqualsAsciiNoCase(const std::wstring& a, const std::wstring& b);

// text[begin, end) without the white space around it.
std::wstring TrimSpace(const std::wstring& text, size_t begin, size_t end);

// In a block of "key=value" lines, each ended by NUL (a section as the profile functions
// give it), the trimmed value of the first line whose trimmed key matches `key`; false and
// `out` untouched when none does.
bool FindKeyInSectionBlock(const std::wstring& block, const std::wstring& key, std::wstring& out);

}  // namespace kestran::config
