// Process environment variables, wide on every platform.
#pragma once

#include <string>

namespace kestran::platform {

// False (out untouched) when the variable is unset.
bool GetEnvironmentText(const std::wstring& name, std::wstring& out);
// An empty `value` still sets the variable to the empty text; use UnsetEnvironmentText to remove.
bool SetEnvironmentText(const std::wstring& name, const std::wstring& value);
bool UnsetEnvironmentText(const std::wstring& name);

}  // namespace kestran::platform
