#include <windows.h>

#include "platform/growing_buffer.h"
#include "platform/handles_win.h"
#include "platform/trace_file.h"

namespace kestran::platform {

std::wstring TraceFileFullPath(const std::wstring& name) {
    std::wstring full;
    const bool read = ReadIntoGrowingBuffer(full, [&name](wchar_t* buffer, size_t size) {
        const DWORD length = GetFullPathNameW(name.c_str(), static_cast<DWORD>(size), buffer, nullptr);
        // Too small: the length needed, with its terminator, which is never below the size.
        return static_cast<size_t>(length);
    });
    return read ? full : name;
}

namespace {

// A byte far beyond any trace file's end stands for the right to append: Windows locks ranges
// past the end of a file, and no write of ours ever reaches it.
constexpr DWORD kAppendLockOffsetHigh = 0x40000000;
// How long a line waits for another process's line before it is written without the lock.
constexpr ULONGLONG kLockWaitMs = 2000;

// Held while one line is written. Launchers of several processes append to one file at once:
// an append-only handle is not enough under every file system and emulation (Wine lost and
// tore lines), so each line is written at the end under a lock that spans processes.
class AppendLock {
public:
    explicit AppendLock(HANDLE file) : file_(file) {
        // Polled rather than waited for: a blocking lock could wait for ever on a holder that hangs.
        const ULONGLONG deadline = GetTickCount64() + kLockWaitMs;
        for (;;) {
            OVERLAPPED at = {};
            at.OffsetHigh = kAppendLockOffsetHigh;
            if (LockFileEx(file_, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
                held_ = true;
                return;
            }
            // A process that died holding it releases it as its handles close; one that hangs
            // must not stop this launch: after about two seconds the line goes without it.
            if (GetLastError() != ERROR_LOCK_VIOLATION && GetLastError() != ERROR_IO_PENDING) return;
            if (GetTickCount64() >= deadline) return;
            Sleep(1);
        }
    }
    ~AppendLock() {
        if (!held_) return;
        OVERLAPPED at = {};
        at.OffsetHigh = kAppendLockOffsetHigh;
        UnlockFileEx(file_, 0, 1, 0, &at);
    }
    AppendLock(const AppendLock&) = delete;
    AppendLock& operator=(const AppendLock&) = delete;

private:
    HANDLE file_;
    bool held_ = false;
};

}  // namespace

bool AppendTraceText(const std::wstring& fullPath, const std::wstring& text) {
    // Opened for each line: the file stays whole if the process dies, and a paired or a
    // second launcher process can append to the same file in between.
    UniqueHandle file(CreateFileW(fullPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    std::wstring crlf;
    crlf.reserve(text.size() + 4);
    for (wchar_t c : text) {
        if (c == L'\n') crlf.push_back(L'\r');
        crlf.push_back(c);
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, crlf.data(), static_cast<int>(crlf.size()), nullptr, 0, nullptr, nullptr);
    if (size <= 0) return false;
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, crlf.data(), static_cast<int>(crlf.size()), bytes.data(), size, nullptr, nullptr);
    // One write of the whole line at the file's end (both offsets all ones), under the lock.
    const AppendLock lock(file.get());
    OVERLAPPED at = {};
    at.Offset = at.OffsetHigh = 0xFFFFFFFF;
    DWORD written = 0;
    return WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, &at) &&
           written == bytes.size();
}

}  // namespace kestran::platform
