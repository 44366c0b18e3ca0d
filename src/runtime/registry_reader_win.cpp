#include "runtime/registry_reader.h"

#include <windows.h>

#include "platform/handles_win.h"

namespace kestran::runtime {
namespace {

// Registry names are at most 255 characters, values' data far less than this; the limits only
// stop a misbehaving registry from growing the buffers without end.
constexpr DWORD kNameLimit = 32768;
constexpr int kValueAttempts = 8;

REGSAM AccessFor(RegistryView view) {
    return KEY_READ | (view == RegistryView::Wow32 ? KEY_WOW64_32KEY : 0);
}

bool OpenKey(HKEY root, const std::wstring& keyPath, RegistryView view, platform::UniqueKey& out) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, keyPath.c_str(), 0, AccessFor(view), &key) != ERROR_SUCCESS) return false;
    out.reset(key);
    return true;
}

class RootRegistryReader final : public RegistryReader {
public:
    explicit RootRegistryReader(HKEY root) : root_(root) {}

    bool ListSubkeys(const std::wstring& keyPath, RegistryView view, std::vector<std::wstring>& names) const override {
        names.clear();
        platform::UniqueKey key;
        if (!OpenKey(root_, keyPath, view, key)) return false;
        std::vector<wchar_t> name(256);
        for (DWORD index = 0;;) {
            DWORD length = static_cast<DWORD>(name.size());
            LONG rc = RegEnumKeyExW(key.get(), index, name.data(), &length, nullptr, nullptr, nullptr, nullptr);
            if (rc == ERROR_MORE_DATA && name.size() < kNameLimit) {
                name.resize(name.size() * 2);
                continue;
            }
            // ERROR_NO_MORE_ITEMS normally; any other failure also ends the list.
            if (rc != ERROR_SUCCESS) break;
            names.emplace_back(name.data(), length);
            ++index;
        }
        return true;
    }

    bool ReadValue(const std::wstring& keyPath, RegistryView view, const std::wstring& valueName,
                   std::vector<uint8_t>& data, RegistryValueType& type) const override {
        data.clear();
        type = RegistryValueType::None;
        platform::UniqueKey key;
        if (!OpenKey(root_, keyPath, view, key)) return false;
        // Ask for the size, then for the data; the value may change in between, so a value
        // that grew is asked for again.
        for (int attempt = 0; attempt < kValueAttempts; ++attempt) {
            DWORD size = 0;
            DWORD valueType = REG_NONE;
            if (RegQueryValueExW(key.get(), valueName.c_str(), nullptr, &valueType, nullptr, &size) != ERROR_SUCCESS)
                return false;
            type = static_cast<RegistryValueType>(valueType);
            if (size == 0) return true;
            data.resize(size);
            DWORD got = size;
            LONG rc = RegQueryValueExW(key.get(), valueName.c_str(), nullptr, &valueType, data.data(), &got);
            if (rc == ERROR_MORE_DATA) continue;
            if (rc != ERROR_SUCCESS) {
                data.clear();
                return false;
            }
            data.resize(got < size ? got : size);
            type = static_cast<RegistryValueType>(valueType);
            return true;
        }
        data.clear();
        return false;
    }

private:
    HKEY root_;
};

}  // namespace

const RegistryReader& MachineRegistry() {
    static const RootRegistryReader reader(HKEY_LOCAL_MACHINE);
    return reader;
}

const RegistryReader& UserRegistry() {
    static const RootRegistryReader reader(HKEY_CURRENT_USER);
    return reader;
}

}  // namespace kestran::runtime
