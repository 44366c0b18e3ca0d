// An INI text held in memory (the base settings document). Names and keys match exactly;
// the first match wins; duplicates are kept as separate records.
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
    // Replaces the content. Lines end at "\r\n" only; a leading U+FEFF is dropped.
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

}  // namespace kestran::config
