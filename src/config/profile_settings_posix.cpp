// Natively the settings file is read as UTF-8 INI text through the in-memory document.
#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>

#include "config/settings_store.h"
#include "platform/text_encoding.h"

namespace kestran::config {
namespace {

class TextFileSettings : public SettingsStore {
public:
    using SettingsStore::SettingsStore;

    unsigned long readHead(unsigned char (&buffer)[4]) const override {
        std::fill(std::begin(buffer), std::end(buffer), 0);
        std::ifstream in(platform::WideToUtf8(path()), std::ios::binary);
        if (!in) return 2;  // ENOENT
        in.read(reinterpret_cast<char*>(buffer), sizeof buffer);
        return in.gcount() == sizeof buffer ? 0 : 38;  // like ERROR_HANDLE_EOF
    }
    void getValue(const std::wstring& section, const std::wstring& key, std::wstring& out) const override {
        out.clear();
        Load().getValue(section, key, out);
    }
    void sectionNames(std::vector<std::wstring>& out) const override { Load().sectionNames(out); }
    bool setValue(const std::wstring&, const std::wstring&, const std::wstring&) override { return false; }
    bool deleteFile() override { return std::remove(platform::WideToUtf8(path()).c_str()) == 0; }

private:
    IniDocument Load() const {
        std::ifstream in(platform::WideToUtf8(path()), std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        std::wstring text;
        for (wchar_t c : platform::Utf8ToWide(bytes.str())) {
            if (c == L'\n' && (text.empty() || text.back() != L'\r')) text.push_back(L'\r');
            text.push_back(c);
        }
        IniDocument document;
        document.parse(text);
        return document;
    }
};

}  // namespace

std::unique_ptr<SettingsStore> OpenProfileSettings(const std::wstring& path) {
    return std::make_unique<TextFileSettings>(path);
}

std::wstring BaseSettingsText() { return {}; }

}  // namespace kestran::config
