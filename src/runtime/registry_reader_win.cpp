#include "runtime/registry_reader.h"

#include <windows.h>

#include "platform/handles_win.h"
#include "platform/registry_functions_win.h"

namespace kestran::runtime {
namespace {

// Registry names are at most 255 characters, values' data far less than this; the limits only
// stop a misbehaving registry from growing the buffers without end.
constexpr DWORD kNameLimit = 32768;
constexpr int kValueAttempts = 8;
// Room for a folder of the classic path length: most values arrive with the first query.
constexpr DWORD kFirstValueSize = 2 * (MAX_PATH + 1);

REGSAM AccessFor(RegistryView view) {
    return KEY_READ | (view == RegistryView::Wow32 ? KEY_WOW64_32KEY : 0);
}

bool OpenKey(HKEY root, const std::wstring& keyPath, RegistryView view, platform::UniqueKey& out) {
    const platform::RegistryFunctions* registry = platform::Registry();
    HKEY key = nullptr;
    if (registry == nullptr ||
        registry->RegOpenKeyExW(root, keyPath.c_str(), 0, AccessFor(view), &key) != ERROR_SUCCESS)
        return false;
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
            LONG rc = platform::Registry()->RegEnumKeyExW(key.get(), index, name.data(), &length, nullptr, nullptr,
                                                          nullptr, nullptr);
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
        // One query into a buffer of the usual size; a larger value says how much it needs and
        // is asked for again (it may also have grown in between).
        const platform::RegistryFunctions* registry = platform::Registry();
        DWORD size = kFirstValueSize;
        for (int attempt = 0; attempt < kValueAttempts; ++attempt) {
            data.resize(size);
            DWORD got = size;
            DWORD valueType = REG_NONE;
            LONG rc = registry->RegQueryValueExW(key.get(), valueName.c_str(), nullptr, &valueType, data.data(), &got);
            if (rc == ERROR_MORE_DATA && got > size) {
                size = got;
                continue;
            }
            if (rc != ERROR_SUCCESS) break;
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
