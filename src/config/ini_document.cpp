#include "config/ini_document.h"

#include <cwctype>
#include <new>
#include <utility>

#include "config/general_error.h"
#include "config/split.h"

namespace kestran::config {

namespace {

bool IsControlOrSpace(wchar_t c) { return static_cast<unsigned long>(c) <= 32; }

// Out of memory, the document is not left with records silently dropped: it would launch the
// application with settings other than those written. The launch ends instead.
[[noreturn]] void OutOfMemory() {
    throw GeneralError(kResultOutOfMemory, "out of memory while building the settings document");
}

// Baked-in text is often written on Linux: a bare line feed ends a line as "\r\n" does.
void SplitLines(const std::wstring& text, std::vector<std::wstring>& lines) {
    SplitList(text, L"\n", lines);
    for (std::wstring& line : lines) {
        if (!line.empty() && line.back() == L'\r') line.pop_back();
    }
}

// The text between '[' at `start` and the ']' that ends the header, or false when the line
// is no header. "[A] ; note" is a header, as the profile functions read it.
bool HeaderName(const std::wstring& line, size_t start, std::wstring& name) {
    size_t last = line.size();
    while (last > start && IsControlOrSpace(line[last - 1])) {
        --last;
    }
    // The name keeps its inner white space: "[ A ]" is a section " A ", not "A".
    if (line[last - 1] == L']') {
        name = line.substr(start + 1, last - 1 - (start + 1));
        return true;
    }
    const size_t close = line.find(L']', start + 1);
    if (close == std::wstring::npos) return false;
    size_t after = close + 1;
    while (after < last && IsControlOrSpace(line[after])) {
        ++after;
    }
    if (after == last || line[after] != L';') return false;
    name = line.substr(start + 1, close - (start + 1));
    return true;
}

void ParseInto(const std::wstring& text, std::vector<IniSection>& sections) {
    std::vector<std::wstring> lines;
    SplitLines(text, lines);
    if (!lines.empty() && !lines.front().empty() && lines.front().front() == L'\uFEFF') {
        lines.front().erase(0, 1);
    }

    IniSection* current = nullptr;
    for (const std::wstring& line : lines) {
        size_t start = 0;
        while (start < line.size() && IsControlOrSpace(line[start])) {
            ++start;
        }
        if (start == line.size()) {
            continue;
        }

        IniSection section;
        if (line[start] == L'[' && HeaderName(line, start, section.name)) {
            sections.push_back(std::move(section));
            current = &sections.back();
            continue;
        }

        if (current == nullptr) {
            continue;
        }
        const size_t equals = line.find(L'=', start);
        if (equals == std::wstring::npos) {
            continue;
        }
        IniEntry entry;
        entry.key = TrimSpace(line, start, equals);
        entry.value = TrimSpace(line, equals + 1, line.size());
        current->entries.push_back(std::move(entry));
    }
}

}  // namespace

std::wstring TrimSpace(const std::wstring& text, size_t begin, size_t end) {
    while (begin < end && std::iswspace(static_cast<wint_t>(text[begin]))) {
        ++begin;
    }
    while (end > begin && std::iswspace(static_cast<wint_t>(text[end - 1]))) {
        --end;
    }
    return text.substr(begin, end - begin);
}

bool EqualsAsciiNoCase(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        wchar_t x = a[i] >= L'A' && a[i] <= L'Z' ? a[i] + 32 : a[i];
        wchar_t y = b[i] >= L'A' && b[i] <= L'Z' ? b[i] + 32 : b[i];
        if (x != y) return false;
    }
    return true;
}

bool FindKeyInSectionBlock(const std::wstring& block, const std::wstring& key, std::wstring& out) {
    size_t begin = 0;
    while (begin < block.size() && block[begin] != L'\0') {
        size_t end = block.find(L'\0', begin);
        if (end == std::wstring::npos) end = block.size();
        const size_t equals = block.find(L'=', begin);
        if (equals < end && EqualsAsciiNoCase(TrimSpace(block, begin, equals), key)) {
            out = TrimSpace(block, equals + 1, end);
            return true;
        }
        begin = end + 1;
    }
    return false;
}

void IniDocument::parse(const std::wstring& text) {
    clear();
    try {
        ParseInto(text, sections_);
    } catch (const std::bad_alloc&) {
        clear();
        OutOfMemory();
    }
}

void IniDocument::getValue(const std::wstring& section, const std::wstring& key, std::wstring& out) const {
    for (const IniSection& candidate : sections_) {
        if (!EqualsAsciiNoCase(candidate.name, section)) {
            continue;
        }
        // Only the first section of a name is searched: a later duplicate stays invisible.
        for (const IniEntry& entry : candidate.entries) {
            if (EqualsAsciiNoCase(entry.key, key)) {
                out = entry.value;
                return;
            }
        }
        return;
    }
}

void IniDocument::setValue(const std::wstring& section, const std::wstring& key, const std::wstring& value) {
    IniSection* target = nullptr;
    for (IniSection& candidate : sections_) {
        if (EqualsAsciiNoCase(candidate.name, section)) {
            target = &candidate;
            break;
        }
    }
    try {
        if (target == nullptr) {
            sections_.push_back(IniSection{section, {}});
            target = &sections_.back();
        }
        target->entries.push_back(IniEntry{key, value});
    } catch (const std::bad_alloc&) {
        OutOfMemory();
    }
}

void IniDocument::sectionNames(std::vector<std::wstring>& out) const {
    out.clear();
    for (const IniSection& section : sections_) {
        out.push_back(section.name);
    }
}

}  // namespace kestran::config
