// A name-safe digest of a path (or any text): FNV-1a over 128 bits of its UTF-16LE bytes, as
// 32 lower-case hex digits. Names made from it are shared between launchers and runs, so it is
// a format: every bit of it must stay as it is.
#pragma once

#include <string>

namespace kestran::config {

std::wstring PathHash(const std::wstring& text);

}  // namespace kestran::config
