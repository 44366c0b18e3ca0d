// A settings file held in memory, standing in for the private-profile store in native tests.
#pragma once

#include <map>
#include <string>
#include <utility>

#include "config/settings_store.h"

namespace kestran::testing {

class MemorySettings : public config::SettingsStore {
public:
    explicit MemorySettings(std::map<std::pair<std::wstring, std::wstring>, std::wstring> values = {})
        : SettingsStore(L"C:\\memory.ini"), values_(std::move(values)) {}

    unsigned long readHead(unsigned char (&)[4]) const override { return 0; }
    void getValue(const std::wstring& section, const std::wstring& key, std::wstring& out) const override {
        auto found = values_.find({section, key});
        out = found == values_.end() ? std::wstring() : found->second;
    }
    void sectionNames(std::vector<std::wstring>& out) const override {
        out.clear();
        for (const auto& entry : values_) {
            if (out.empty() || out.back() != entry.first.first) out.push_back(entry.first.first);
        }
    }
    bool setValue(const std::wstring& section, const std::wstring& key, const std::wstring& value) override {
        values_[{section, key}] = value;
        return true;
    }
    bool deleteFile() override {
        values_.clear();
        return true;
    }

private:
    std::map<std::pair<std::wstring, std::wstring>, std::wstring> values_;
};

}  // namespace kestran::testing
