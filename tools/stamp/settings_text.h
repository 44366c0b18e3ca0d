// The baked-in settings text, as the launcher will read it.
#pragma once

#include "byte_io.h"

namespace kestran::stamp {

// `file` as the KESTRAN_SETTINGS resource: the same encoding (UTF-8, with or without its byte
// order mark, or UTF-16LE with its mark) and every line end ("\r\n", "\n" or a lone "\r")
// written as "\r\n". Throws StampError for any other text (UTF-32, UTF-16 big-endian or without
// its mark, invalid UTF-8 or UTF-16, a NUL character).
Bytes SettingsResource(const Bytes& file);

}  // namespace kestran::stamp
