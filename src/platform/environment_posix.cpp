#include <cstdlib>

#include "platform/environment.h"
#include "platform/text_encoding.h"

namespace kestran::platform {

bool GetEnvironmentText(const std::wstring& name, std::wstring& out) {
    const char* value = std::getenv(WideToUtf8(name).c_str());
    if (value == nullptr) return false;
    out = Utf8ToWide(value);
    return true;
}

bool SetEnvironmentText(const std::wstring& name, const std::wstring& value) {
    return setenv(WideToUtf8(name).c_str(), WideToUtf8(value).c_str(), 1) == 0;
}

bool UnsetEnvironmentText(const std::wstring& name) { return unsetenv(WideToUtf8(name).c_str()) == 0; }

}  // namespace kestran::platform
