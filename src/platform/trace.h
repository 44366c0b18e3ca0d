// The launch trace: with KESTRAN_TRACE set to a non-empty value, one line per decision on
// standard error, prefixed "kestran: ". Costs one cached environment lookup when off.
#pragma once

#include <string>

namespace kestran::platform {

bool TraceEnabled();
void Trace(const std::wstring& line);

}  // namespace kestran::platform
