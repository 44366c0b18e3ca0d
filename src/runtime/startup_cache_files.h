// The start-up cache's view of the machine: the runtime's and the class path's files, and the
// cache folder of the application. A fake stands in for it in tests; the judge uses the POSIX one.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/startup_cache.h"

namespace kestran::runtime {

// The free space a volume must have before an archive is written to it: the VM that runs out of
// room while writing ends the process with 1. Archives of large applications reach 100 MB.
constexpr uint64_t kArchiveRoom = 256ull * 1024 * 1024;

// How long the assembly of an AOT cache may hold up the end of the process that trained it. A
// large application's assembly takes a few seconds; one that takes longer is stopped.
constexpr uint32_t kAssemblyTimeoutMilliseconds = 30000;

// An AOT cache's assembly by a process that outlives the launcher. The assembler's files carry
// its own process id, so that a later start keeps them while it runs and removes them once it
// has gone: it renames the class list to `namePrefix` + id + ".classlist", has the
// java program write `namePrefix` + id + ".tmp", and renames that, when the program ended with 0
// and the file is whole, to `namePrefix` + size + ".jsa"; else it leaves `unassembled`.
struct AssemblyJob {
    std::wstring program;
    // arguments[1] and [2] end where id + ".classlist" and id + ".tmp" go.
    std::vector<std::wstring> arguments;
    std::wstring classList;   // the first launch's
    std::wstring namePrefix;      // "<folder><separator><key>."
    std::wstring unassembled;
};

// Where a launcher that cannot fork hands the job to a copy of itself: the copy finds this
// variable set to the job's `namePrefix`, and its job in namePrefix + its process id + ".aotjob".
constexpr wchar_t kAssemblyJobVariable[] = L"KESTRAN_STARTUP_CACHE_JOB";
// The bytes of the job file of the assembler `id` (namePrefix + id + ".aotjob"): the program
// and the arguments, one a line; "" when an argument holds a line break.
std::string AssemblyJobText(const AssemblyJob& job, uint32_t id);

class CacheFiles {
public:
    virtual ~CacheFiles() = default;
    virtual wchar_t PathSeparator() const = 0;   // between a folder and a name
    virtual wchar_t ListSeparator() const = 0;   // between class path entries
    // At most `limit` bytes from the start of the file; false when it cannot be read.
    virtual bool ReadStart(const std::wstring& path, size_t limit, std::string& out) = 0;
    virtual FileStamp Stamp(const std::wstring& path) = 0;
    // The application's folder in this user's cache, made for this user alone where missing.
    // False, with the reason, when there is none that only this user can write to.
    virtual bool ApplicationFolder(std::wstring& folder, std::wstring& reason) = 0;
    virtual void List(const std::wstring& folder, std::vector<std::wstring>& names) = 0;
    // Also a read-only file (the VM writes its archives so).
    virtual bool Remove(const std::wstring& path) = 0;
    // A new file of `bytes`; fails when it exists.
    virtual bool MakeFile(const std::wstring& path, const std::string& bytes) = 0;
    // Fails when `to` exists.
    virtual bool Rename(const std::wstring& from, const std::wstring& to) = 0;
    // A new file can be made in the folder and its volume has room for an archive.
    virtual bool Writable(const std::wstring& folder) = 0;
    // Runs `program` with `arguments` in a process of its own, without a window, its output
    // going nowhere, and waits for it at most kAssemblyTimeoutMilliseconds (then ends it).
    // False when it could not start, took too long or ended with another code than 0.
    virtual bool RunQuietly(const std::wstring& program, const std::vector<std::wstring>& arguments) = 0;
    // Starts `job` in a process of its own and returns without waiting for it, once that process
    // has taken the class list over; false (the list untouched) when it could not.
    virtual bool AssembleInBackground(const AssemblyJob& job) = 0;
    virtual uint32_t ProcessId() = 0;
    // The process runs and started no later than `startedBy` (a FileStamp's write time): a
    // process that started after a file of its number was written has the number of one that
    // ended. Where the platform cannot tell when a process started, a running one is enough.
    virtual bool ProcessRunning(uint32_t processId, uint64_t startedBy) = 0;
};

CacheFiles& PlatformCacheFiles();

}  // namespace kestran::runtime
