// The files kestran-stamp examines, reads and writes: the one part of the tool that differs
// between Windows and Linux. Paths are UTF-8; failures come back as a short reason, never thrown.
#pragma once

#include <cstdint>
#include <string>

#include "byte_io.h"

namespace kestran::stamp {

enum class PathKind { Missing, RegularFile, NotRegular, Unexaminable };

// What a path names once the file system has resolved it (links followed, the Win32 spelling
// rules applied). Two paths name one file when both are RegularFile with equal volume and file.
struct PathFacts {
    PathKind kind = PathKind::Missing;
    uint64_t volume = 0, file = 0;
    uint64_t size = 0;    // of a RegularFile
    std::string failure;  // why, when Unexaminable
};
PathFacts ExaminePath(const std::string& path);

// The whole regular file into `data`; false with `failure` set otherwise (`data` unspecified).
bool ReadWholeFile(const std::string& path, Bytes& data, std::string& failure);

enum class NewFile { Written, NameTaken, Failed };
// Creates `path` new, never opening what is there already nor following a link planted there
// (NameTaken), writes `data` and flushes it to disk. The file gets the default permissions of a
// new file, never the input's. On Failed, `failure` says why and no file is left behind.
NewFile WriteNewFile(const std::string& path, const Bytes& data, std::string& failure);
// Puts `from` in the place of `to` in one step; false with `failure` set, both left as they were.
bool RenameOver(const std::string& from, const std::string& to, std::string& failure);
void RemoveFile(const std::string& path);

}  // namespace kestran::stamp
