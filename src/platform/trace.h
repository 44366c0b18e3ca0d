// The launch trace: with KESTRAN_TRACE set to a non-empty value, one line per decision,
// prefixed "kestran: ". A value that names a file (TraceValueNamesFile) appends the lines to
// that file, so that a windowed or service launch can be diagnosed; any other value writes
// them on standard error. Costs one cached environment lookup when off.
#pragma once

#include <string>

namespace kestran::platform {

bool TraceEnabled();
// The trace is on and its lines go to standard error (not to a file).
bool TraceOnStandardError();
void Trace(const std::wstring& line);

// True for a KESTRAN_TRACE value that names a file rather than switching the trace on: one
// holding a backslash, a slash or a colon ("C:\logs\trace.txt", "logs\trace.txt",
// "\\server\share\t.txt"). A relative name is taken from the working directory at start.
bool TraceValueNamesFile(const std::wstring& value);

}  // namespace kestran::platform
