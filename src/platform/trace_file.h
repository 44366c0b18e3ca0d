// The file of the launch trace (see trace.h), per platform.
#pragma once

#include <string>

namespace kestran::platform {

// `name` as a full path, from the working directory of now; `name` itself when that fails.
std::wstring TraceFileFullPath(const std::wstring& name);
// Appends `text` in UTF-8, "\n" written as "\r\n" on Windows, to the file at `fullPath`
// (created when missing; other processes may append at the same time). False when it could
// not be opened or written.
bool AppendTraceText(const std::wstring& fullPath, const std::wstring& text);

}  // namespace kestran::platform
