#include "config/settings_store.h"

namespace kestran::config {

LayeredSettings::LayeredSettings(std::unique_ptr<SettingsStore> file, const std::wstring& baseText)
    : SettingsStore(file->path()), file_(std::move(file)) {
    base_.parse(baseText);
}

void LayeredSettings::getValue(const std::wstring& section, const std::wstring& key, std::wstring& out) const {
    combine(section, key, &SettingsStore::getValue, out);
}

void LayeredSettings::getRawValue(const std::wstring& section, const std::wstring& key, std::wstring& out) const {
    combine(section, key, &SettingsStore::getRawValue, out);
}

void LayeredSettings::combine(const std::wstring& section, const std::wstring& key, FileRead read,
                              std::wstring& out) const {
    out.clear();
    base_.getValue(section, key, out);

    std::wstring fromFile;
    ((*file_).*read)(section, key, fromFile);
    if (!fromFile.empty()) {
        out = std::move(fromFile);
        return;
    }

    std::wstring appended;
    ((*file_).*read)(section + L"+", key, appended);
    if (appended.empty()) return;
    if (appended.front() != L' ') out.push_back(L' ');
    out += appended;
}

std::unique_ptr<LayeredSettings> OpenLayeredSettings(const std::wstring& path) {
    return std::make_unique<LayeredSettings>(OpenProfileSettings(path), BaseSettingsText());
}

}  // namespace kestran::config
