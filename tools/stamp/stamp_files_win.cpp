#include <windows.h>

#include <algorithm>

#include "platform/handles_win.h"
#include "platform/text_encoding.h"
#include "stamp_files.h"

namespace kestran::stamp {
namespace {

using platform::UniqueHandle;

std::wstring Wide(const std::string& path) { return platform::Utf8ToWide(path); }

std::string SystemReason(DWORD error) {
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    const platform::UniqueLocalMemory owner(text);
    std::wstring reason(text != nullptr ? text : L"", length);
    while (!reason.empty() && (reason.back() == L'\n' || reason.back() == L'\r' || reason.back() == L' ' || reason.back() == L'.'))
        reason.pop_back();
    return (reason.empty() ? "" : platform::WideToUtf8(reason) + " ") + "(error " + std::to_string(error) + ")";
}

// A colon after the drive names a stream of a file ("MyApp.exe:x" lies inside MyApp.exe), which
// writing would add to that file, an input perhaps.
bool NamesStream(const std::wstring& path) {
    const size_t separator = path.find_last_of(L"\\/");
    const size_t name = separator != std::wstring::npos ? separator + 1 : path.size() >= 2 && path[1] == L':' ? 2 : 0;
    return path.find(L':', name) != std::wstring::npos;
}

}  // namespace

PathFacts ExaminePath(const std::string& path) {
    PathFacts facts;
    if (NamesStream(Wide(path))) {
        facts.kind = PathKind::Unexaminable;
        facts.failure = "a colon in a file name names a stream of another file";
        return facts;
    }
    // No access asked for, only the attributes and the identity: a running executable, a file
    // open elsewhere or a device opens without being disturbed, and a link leads to its file.
    const UniqueHandle file(CreateFileW(Wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file) {
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
            facts.kind = PathKind::Unexaminable;
            facts.failure = SystemReason(error);
        }
        return facts;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileType(file.get()) != FILE_TYPE_DISK || !GetFileInformationByHandle(file.get(), &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0) {
        facts.kind = PathKind::NotRegular;
        return facts;
    }
    facts.kind = PathKind::RegularFile;
    facts.volume = info.dwVolumeSerialNumber;
    facts.file = uint64_t{info.nFileIndexHigh} << 32 | info.nFileIndexLow;
    facts.size = uint64_t{info.nFileSizeHigh} << 32 | info.nFileSizeLow;
    return facts;
}

bool ReadWholeFile(const std::string& path, Bytes& data, std::string& failure) {
    const UniqueHandle file(CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD error = ERROR_SUCCESS;
    LARGE_INTEGER size{};
    if (!file || !GetFileSizeEx(file.get(), &size)) error = GetLastError();
    else if (GetFileType(file.get()) != FILE_TYPE_DISK) error = ERROR_INVALID_FUNCTION;
    else data.resize(static_cast<size_t>(size.QuadPart));
    for (size_t at = 0; error == ERROR_SUCCESS && at < data.size();) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(data.size() - at, 1 << 24));
        DWORD done = 0;
        if (!ReadFile(file.get(), data.data() + at, chunk, &done, nullptr)) error = GetLastError();
        else if (done == 0) error = ERROR_HANDLE_EOF;  // shrunk while being read
        at += done;
    }
    if (error != ERROR_SUCCESS) failure = SystemReason(error);
    return error == ERROR_SUCCESS;
}

NewFile WriteNewFile(const std::string& path, const Bytes& data, std::string& failure) {
    const std::wstring name = Wide(path);
    // CREATE_NEW fails on any name that exists, a link included, so nothing planted there is
    // opened; the attributes are a new file's own, never the input's (read-only).
    UniqueHandle file(CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) return NewFile::NameTaken;
        failure = SystemReason(error);
        return NewFile::Failed;
    }
    DWORD error = ERROR_SUCCESS;
    for (size_t at = 0; error == ERROR_SUCCESS && at < data.size();) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(data.size() - at, 1 << 24));
        DWORD done = 0;
        if (!WriteFile(file.get(), data.data() + at, chunk, &done, nullptr)) error = GetLastError();
        else if (done < chunk) error = ERROR_DISK_FULL;  // a short write to a disk file
        at += done;
    }
    if (error == ERROR_SUCCESS && (!FlushFileBuffers(file.get()) || !CloseHandle(file.release()))) error = GetLastError();
    if (error == ERROR_SUCCESS) return NewFile::Written;
    failure = SystemReason(error);
    file.reset();
    DeleteFileW(name.c_str());
    return NewFile::Failed;
}

bool RenameOver(const std::string& from, const std::string& to, std::string& failure) {
    if (MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
    failure = SystemReason(GetLastError());
    return false;
}

void RemoveFile(const std::string& path) { DeleteFileW(Wide(path).c_str()); }

}  // namespace kestran::stamp
