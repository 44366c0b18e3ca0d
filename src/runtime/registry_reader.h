// The registry seam of the runtime search: read-only access below HKEY_LOCAL_MACHINE.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kestran::runtime {

enum class RegistryView {
    Native,  // the 64-bit registry for this 64-bit launcher
    Wow32,   // the 32-bit view (KEY_WOW64_32KEY)
};

class RegistryReader {
public:
    virtual ~RegistryReader() = default;
    // The immediate subkey names of `keyPath`, in enumeration order. False when the key
    // cannot be opened; `names` is then empty.
    virtual bool ListSubkeys(const std::wstring& keyPath, RegistryView view, std::vector<std::wstring>& names) const = 0;
    // The raw data of value `valueName` of `keyPath`, whatever its type. False when the key
    // or the value cannot be read; `data` is then empty.
    virtual bool ReadValue(const std::wstring& keyPath, RegistryView view, const std::wstring& valueName,
                           std::vector<uint8_t>& data) const = 0;
};

// HKEY_LOCAL_MACHINE of this machine (on other platforms: a registry without keys).
const RegistryReader& MachineRegistry();

enum class RegistryTextStatus { Ok, Empty, OddLength, Unterminated };

// Registry string data (UTF-16LE bytes) up to its first NUL. Data of odd length, without a NUL
// or with nothing before the first NUL is refused: such a value was not written as a string
// and must not be read past its end.
RegistryTextStatus DecodeRegistryText(const std::vector<uint8_t>& data, std::wstring& out);
const wchar_t* DescribeRegistryTextStatus(RegistryTextStatus status);

}  // namespace kestran::runtime
