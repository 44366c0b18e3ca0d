// Stores through which every setting is read: one INI file each. An empty value stands for
// a missing one; callers never learn whether a key exists.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "config/ini_document.h"

namespace kestran::config {

class SettingsStore {
public:
    explicit SettingsStore(std::wstring path) : path_(std::move(path)) {}
    virtual ~SettingsStore() = default;
    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    // Reads the first 4 bytes of the file; 0 or the system error code of the open or read.
    virtual unsigned long readHead(unsigned char (&buffer)[4]) const = 0;
    // `out` always receives a string; empty for a missing file, section or key.
    virtual void getValue(const std::wstring& section, const std::wstring& key, std::wstring& out) const = 0;
    // The value as written in the file, quotes included: for list and argument keys, whose
    // items carry quotes of their own. Stores that never strip quotes give getValue's answer.
    virtual void getRawValue(const std::wstring& section, const std::wstring& key, std::wstring& out) const {
        getValue(section, key, out);
    }
    // Names of all sections in file order, empty names skipped.
    virtual void sectionNames(std::vector<std::wstring>& out) const = 0;
    virtual bool setValue(const std::wstring& section, const std::wstring& key, const std::wstring& value) = 0;
    virtual bool deleteFile() = 0;

    const std::wstring& path() const { return path_; }

private:
    std::wstring path_;
};

// The plain file store (the private-profile functions on Windows).
std::unique_ptr<SettingsStore> OpenProfileSettings(const std::wstring& path);

// The file store layered over an in-memory base document: a file value replaces the base
// value; a value under "<section>+" in the file extends it, separated by one space.
class LayeredSettings : public SettingsStore {
public:
    LayeredSettings(std::unique_ptr<SettingsStore> file, const std::wstring& baseText);

    unsigned long readHead(unsigned char (&buffer)[4]) const override { return file_->readHead(buffer); }
    void getValue(const std::wstring& section, const std::wstring& key, std::wstring& out) const override;
    void getRawValue(const std::wstring& section, const std::wstring& key, std::wstring& out) const override;
    void sectionNames(std::vector<std::wstring>& out) const override { file_->sectionNames(out); }
    bool setValue(const std::wstring& section, const std::wstring& key, const std::wstring& value) override {
        return file_->setValue(section, key, value);
    }
    bool deleteFile() override { return file_->deleteFile(); }
    // The file alone, without the base document.
    const SettingsStore& file() const { return *file_; }

private:
    using FileRead = void (SettingsStore::*)(const std::wstring&, const std::wstring&, std::wstring&) const;
    void combine(const std::wstring& section, const std::wstring& key, FileRead read, std::wstring& out) const;

    std::unique_ptr<SettingsStore> file_;
    IniDocument base_;
};

// LayeredSettings on `path` with the launcher's base settings text.
std::unique_ptr<LayeredSettings> OpenLayeredSettings(const std::wstring& path);

// The base settings text baked into the executable (an optional resource); empty when absent.
std::wstring BaseSettingsText();

}  // namespace kestran::config
