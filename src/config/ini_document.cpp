#include "config/ini_document.h"

#include <cwctype>
#include <new>
#include <utility>

#include "config/general_error.h"
#include "config/split.h"

namespace kestran::config {

namespace {

bool IsControlOrSpace(wchar_t c) { return static_cast<unsigned long>(c) <= 32; }

std::wstring TrimSpace(const std::wstring& text, size_t begin, size_t end) {
    while (begin < end && std::iswspace(static_cast<wint_t>(text[begin]))) {
        ++begin;
    }
    while (end > begin && std::iswspace(static_cast<wint_t>(text[end - 1]))) {
        --end;
    }
    return text.substr(begin, end - begin);
}

// Out of memory, the document is not left with records silently dropped: it would launch the
// application with settings other than those written. The launch ends instead.
[[noreturn]] void OutOfMemory() {
    throw GeneralError(kResultOutOfMemory, "out of memory while building the settings document");
}

void ParseInto(const std::wstring& text, std::vector<IniSection>& sections) {
    std::vector<std::wstring> lines;
    SplitList(text, L"\r\n", lines);
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

        if (line[start] == L'[') {
            size_t last = line.size();
            while (last > start && IsControlOrSpace(line[last - 1])) {
                --last;
            }
            // The name keeps its inner white space: "[ A ]" is a section " A ", not "A".
            if (line[last - 1] == L']') {
                IniSection section;
                section.name = line.substr(start + 1, last - 1 - (start + 1));
                sections.push_back(std::move(section));
                current = &sections.back();
                continue;
            }
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
        if (candidate.name != section) {
            continue;
        }
        // Only the first section of a name is searched: a later duplicate stays invisible.
        for (const IniEntry& entry : candidate.entries) {
            if (entry.key == key) {
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
        if (candidate.name == section) {
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
