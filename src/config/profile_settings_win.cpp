#include <windows.h>

#include <algorithm>
#include <iterator>

#include "config/profile_index.h"
#include "config/settings_store.h"
#include "platform/handles_win.h"
#include "platform/text_encoding.h"

namespace kestran::config {
namespace {

// A NUL-separated name list from `read` (size in, length out, size - 2 when cut), grown until it
// fits. False when it would not fit within the limit: the list is then not to be trusted.
template <typename Read>
bool ReadNameList(Read read, std::wstring& out) {
    std::wstring buffer(256, L'\0');
    for (;;) {
        DWORD size = static_cast<DWORD>(buffer.size());
        DWORD length = read(buffer.data(), size);
        if (length != size - 2) {
            buffer.resize(length < size ? length : size);
            out = std::move(buffer);
            return true;
        }
        if (size >= (1u << 30)) return false;
        buffer.assign(static_cast<size_t>(size) * 2, L'\0');
    }
}

class ProfileSettings : public SettingsStore {
public:
    using SettingsStore::SettingsStore;

    unsigned long readHead(unsigned char (&buffer)[4]) const override {
        platform::UniqueHandle file(
            CreateFileW(path().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) return GetLastError();
        std::fill(std::begin(buffer), std::end(buffer), 0);
        DWORD read = 0;
        if (!ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr)) return GetLastError();
        return read == sizeof buffer ? 0 : ERROR_HANDLE_EOF;
    }

    void getValue(const std::wstring& section, const std::wstring& key, std::wstring& out) const override {
        std::wstring raw;
        switch (Find(section, key, raw)) {
            case Lookup::Absent: out.clear(); return;
            case Lookup::Plain: out = std::move(raw); return;
            case Lookup::Found:
            case Lookup::AskPlatform: break;
        }
        // No length limit: a result of size - 1 means the value was cut, so grow and ask again.
        std::wstring buffer(256, L'\0');
        for (;;) {
            DWORD size = static_cast<DWORD>(buffer.size());
            DWORD length = GetPrivateProfileStringW(section.c_str(), key.c_str(), L"", buffer.data(), size, path().c_str());
            if (length != size - 1 || size >= (1u << 30)) {
                buffer.resize(length);
                out = std::move(buffer);
                return;
            }
            buffer.assign(static_cast<size_t>(size) * 2, L'\0');
        }
    }

    void getRawValue(const std::wstring& section, const std::wstring& key, std::wstring& out) const override {
        out.clear();
        // GetPrivateProfileStringW strips one pair of quotes around the whole value, which
        // breaks a list whose first and last items are quoted; the section lines are raw.
        if (Find(section, key, out) == Lookup::AskPlatform) FindKeyInSectionBlock(SectionLines(section).lines, key, out);
    }

    void sectionNames(std::vector<std::wstring>& out) const override {
        out.clear();
        std::wstring name;
        for (wchar_t c : SectionNameList()) {
            if (c == L'\0') {
                if (!name.empty()) out.push_back(name);
                name.clear();
            } else {
                name.push_back(c);
            }
        }
        if (!name.empty()) out.push_back(name);
    }

    bool setValue(const std::wstring& section, const std::wstring& key, const std::wstring& value) override {
        index_ = Index{};
        return WritePrivateProfileStringW(section.c_str(), key.c_str(), value.c_str(), path().c_str()) != 0;
    }

    bool deleteFile() override {
        index_ = Index{};
        return DeleteFileW(path().c_str()) != 0;
    }

private:
    // The file's section names and the lines of each section asked for: one call per section
    // instead of two for each of the launcher's keys, most of which a file does not hold. Each
    // private-profile call reopens the file.
    struct SectionBlock {
        std::wstring section;  // as asked for
        bool complete;
        std::wstring lines;    // as GetPrivateProfileSectionW gives them
    };
    struct Index {
        bool sectionsRead = false;
        bool sectionsComplete = false;
        std::wstring sections;
        std::vector<SectionBlock> blocks;  // a file has a handful of sections
    };
    // Plain: the value as the platform would give it too. Found: the raw value, which the
    // platform gives without its quotes or blanks.
    enum class Lookup { Absent, Plain, Found, AskPlatform };

    // The platform trims blanks and strips a pair of quotes around a value; a value without
    // either at its ends (in the strictest sense: printable ASCII there) is read as it stands.
    static bool IsPlainValue(const std::wstring& text, size_t begin, size_t end) {
        auto printable = [](wchar_t c) { return c > L' ' && c < 0x7F; };
        if (begin == end) return true;
        return printable(text[begin]) && printable(text[end - 1]) && text[begin] != L'"' && text[begin] != L'\'';
    }

    // The file's section names, NUL-separated, read once.
    const std::wstring& SectionNameList() const {
        if (!index_.sectionsRead) {
            index_.sectionsRead = true;
            index_.sectionsComplete = ReadNameList(
                [this](wchar_t* list, DWORD size) { return GetPrivateProfileSectionNamesW(list, size, path().c_str()); },
                index_.sections);
        }
        return index_.sections;
    }

    const SectionBlock& SectionLines(const std::wstring& section) const {
        for (const SectionBlock& known : index_.blocks) {
            if (known.section == section) return known;
        }
        SectionBlock read{section, false, {}};
        std::wstring lines(1024, L'\0');
        for (;;) {
            DWORD size = static_cast<DWORD>(lines.size());
            DWORD length = GetPrivateProfileSectionW(section.c_str(), lines.data(), size, path().c_str());
            if (length != size - 2) {
                lines.resize(length);
                read.complete = true;
                break;
            }
            if (size >= (1u << 30)) break;
            lines.assign(static_cast<size_t>(size) * 2, L'\0');
        }
        read.lines = std::move(lines);
        index_.blocks.push_back(std::move(read));
        return index_.blocks.back();
    }

    // The key's trimmed raw value from the section's lines, when they answer for the platform:
    // not when the section is written twice (which one the platform reads is its own affair),
    // nor for a stored name that may match by the platform's rules rather than ASCII ones, nor
    // for a key written without '='.
    Lookup Find(const std::wstring& section, const std::wstring& key, std::wstring& raw) const {
        const size_t sections = ProfileNameMatches(SectionNameList(), section);
        if (!index_.sectionsComplete) return Lookup::AskPlatform;
        if (sections == 0) return Lookup::Absent;
        const SectionBlock& block = SectionLines(section);
        if (sections > 1 || !block.complete) return Lookup::AskPlatform;
        const std::wstring& lines = block.lines;
        for (size_t begin = 0; begin < lines.size() && lines[begin] != L'\0';) {
            size_t end = lines.find(L'\0', begin);
            if (end == std::wstring::npos) end = lines.size();
            const size_t equals = std::min(lines.find(L'=', begin), end);
            if (ProfileNameMayMatch(lines.substr(begin, equals - begin), key)) {
                if (equals == end || !EqualsAsciiNoCase(TrimSpace(lines, begin, equals), key)) return Lookup::AskPlatform;
                raw = TrimSpace(lines, equals + 1, end);
                return IsPlainValue(lines, equals + 1, end) ? Lookup::Plain : Lookup::Found;
            }
            begin = end + 1;
        }
        return Lookup::Absent;
    }

    mutable Index index_;
};

}  // namespace

std::unique_ptr<SettingsStore> OpenProfileSettings(const std::wstring& path) {
    return std::make_unique<ProfileSettings>(path);
}

std::wstring BaseSettingsText() {
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC resource = FindResourceW(module, L"KESTRAN_SETTINGS", MAKEINTRESOURCEW(10) /* RT_RCDATA */);
    if (resource == nullptr) return {};
    HGLOBAL loaded = LoadResource(module, resource);
    const auto* data = static_cast<const unsigned char*>(loaded ? LockResource(loaded) : nullptr);
    DWORD size = SizeofResource(module, resource);
    if (data == nullptr || size == 0) return {};
    // UTF-16LE with its byte order mark, otherwise UTF-8 (a UTF-8 mark is dropped).
    if (size >= 2 && data[0] == 0xFF && data[1] == 0xFE) {
        std::wstring text;
        for (DWORD i = 2; i + 1 < size; i += 2) text.push_back(static_cast<wchar_t>(data[i] | (data[i + 1] << 8)));
        return text;
    }
    std::string bytes(reinterpret_cast<const char*>(data), size);
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) bytes.erase(0, 3);
    return platform::Utf8ToWide(bytes);
}

}  // namespace kestran::config
