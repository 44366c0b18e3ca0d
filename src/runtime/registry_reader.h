// The registry seam of the runtime search: read-only access below HKEY_LOCAL_MACHINE (runtimes
// installed for every user) and HKEY_CURRENT_USER (per-user installs).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kestran::runtime {

enum class RegistryView {
    Native,  // the 64-bit registry for this 64-bit launcher
    Wow32,   // the 32-bit view (KEY_WOW64_32KEY)
};

enum class RegistryRoot { LocalMachine, CurrentUser };

// Value types, numbered as the registry numbers them; other numbers pass through as they are.
enum class RegistryValueType : uint32_t {
    None = 0,
    String = 1,
    ExpandString = 2,
    Binary = 3,
    Dword = 4,
    Qword = 11,
};

class RegistryReader {
public:
    virtual ~RegistryReader() = default;
    // The immediate subkey names of `keyPath`, in enumeration order. False when the key
    // cannot be opened; `names` is then empty.
    virtual bool ListSubkeys(const std::wstring& keyPath, RegistryView view, std::vector<std::wstring>& names) const = 0;
    // The raw data of value `valueName` of `keyPath` and its type, whatever the type. False
    // when the key or the value cannot be read; `data` is then empty.
    virtual bool ReadValue(const std::wstring& keyPath, RegistryView view, const std::wstring& valueName,
                           std::vector<uint8_t>& data, RegistryValueType& type) const = 0;
};

// HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER of this machine (on other platforms: registries
// without keys).
const RegistryReader& MachineRegistry();
const RegistryReader& UserRegistry();

enum class RegistryTextStatus { Ok, Empty, OddLength, Unterminated };

// Registry string data (UTF-16LE bytes) up to its first NUL. Data of odd length, without a NUL
// or with nothing before the first NUL is refused: such a value was not written as a string
// and must not be read past its end.
RegistryTextStatus DecodeRegistryText(const std::vector<uint8_t>& data, std::wstring& out);
const wchar_t* DescribeRegistryTextStatus(RegistryTextStatus status);

}  // namespace kestran::runtime
