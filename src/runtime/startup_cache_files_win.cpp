#include <windows.h>

#include "config/paths.h"
#include "platform/decimal_text.h"
#include "platform/environment.h"
#include "platform/final_path_win.h"
#include "platform/handles_win.h"
#include "platform/module_path.h"
#include "platform/registry_functions_win.h"
#include "platform/trace.h"
#include "platform/user_token_win.h"
#include "runtime/startup_cache_files.h"

namespace kestran::runtime {
namespace {

std::wstring Long(const std::wstring& path) { return config::PlatformPath(path); }

// One argument as the C runtime's command-line parser reads it back: quoted when it holds a
// space, a tab or a quote, with backslashes doubled only before a quote or the closing one.
std::wstring QuotedArgument(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) return argument;
    std::wstring quoted = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L"\"";
}

// The user of this process: its TOKEN_USER and the SID as text.
bool CurrentUser(const platform::RegistryFunctions& functions, std::vector<BYTE>& user, std::wstring& sid) {
    const platform::UniqueHandle token = platform::OwnProcessToken(functions);
    if (!token) return false;
    sid = platform::TokenUserSid(functions, token.get(), user);
    return !sid.empty();
}

// The user, or those who may do anything on the machine anyway (LocalSystem, Administrators),
// which Windows grants access to a user's profile folders.
bool Trusted(const platform::RegistryFunctions& functions, PSID sid, PSID user) {
    if (functions.EqualSid(sid, user)) return true;
    const std::wstring text = platform::SidText(functions, sid);
    return text == L"S-1-5-18" || text == L"S-1-5-32-544";
}

// The folder is ours when this user owns it and every grant in its list is to this user (or to
// those trusted anyway): nobody else can have put a file in it, or swap one that we use.
// Empty when it is, else what is wrong.
std::wstring WhyNotOnlyUser(const platform::RegistryFunctions& functions, const std::wstring& folder, PSID user) {
    const DWORD attributes = GetFileAttributesW(Long(folder).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY) ||
        (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        return L"not a plain folder";
    }
    platform::UniqueHandle handle(CreateFileW(Long(folder).c_str(), READ_CONTROL,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!handle) return L"cannot be opened (error " + platform::DecimalText(GetLastError()) + L")";
    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD error = functions.GetSecurityInfo(handle.get(), SE_FILE_OBJECT,
                                                  OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner, nullptr,
                                                  &dacl, nullptr, &descriptor);
    if (error != ERROR_SUCCESS) return L"its security is unknown (error " + platform::DecimalText(error) + L")";
    platform::UniqueLocalMemory hold(descriptor);
    if (owner == nullptr || !Trusted(functions, owner, user)) return L"another user owns it";
    // No list at all grants everyone everything.
    if (dacl == nullptr) return L"everyone may write to it";
    // The ACL layout is documented: the header, then AceCount entries, each starting with its
    // ACE_HEADER; an allowing entry keeps its SID after the header and the access mask.
    const BYTE* entry = reinterpret_cast<const BYTE*>(dacl) + sizeof(ACL);
    const BYTE* end = reinterpret_cast<const BYTE*>(dacl) + dacl->AclSize;
    for (WORD i = 0; i < dacl->AceCount; ++i) {
        const auto* header = reinterpret_cast<const ACE_HEADER*>(entry);
        if (entry + sizeof(ACE_HEADER) > end || header->AceSize < sizeof(ACE_HEADER) || entry + header->AceSize > end) {
            return L"its access list is damaged";
        }
        if (header->AceType == ACCESS_ALLOWED_ACE_TYPE) {
            const auto* allowed = reinterpret_cast<const ACCESS_ALLOWED_ACE*>(entry);
            if (!Trusted(functions, const_cast<DWORD*>(&allowed->SidStart), user)) {
                return L"its access list grants " +
                       platform::SidText(functions, const_cast<DWORD*>(&allowed->SidStart));
            }
        } else if (header->AceType != ACCESS_DENIED_ACE_TYPE) {
            return L"its access list holds an entry of type " + platform::DecimalText(header->AceType);
        }
        entry += header->AceSize;
    }
    return L"";
}

// Appends the names in `folder`, besides "." and "..", until `names` holds `limit` of them.
void ListNames(const std::wstring& folder, size_t limit, std::vector<std::wstring>& names) {
    WIN32_FIND_DATAW found{};
    platform::UniqueFindHandle search(FindFirstFileW(Long(folder + L"\\*").c_str(), &found));
    if (!search) return;
    do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..") names.push_back(name);
    } while (names.size() < limit && FindNextFileW(search.get(), &found));
}

class WindowsCacheFiles : public CacheFiles {
public:
    wchar_t PathSeparator() const override { return L'\\'; }
    wchar_t ListSeparator() const override { return L';'; }

    bool ReadStart(const std::wstring& path, size_t limit, std::string& out) override {
        platform::UniqueHandle file(CreateFileW(Long(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) return false;
        out.assign(limit, '\0');
        DWORD read = 0;
        if (!ReadFile(file.get(), out.data(), static_cast<DWORD>(limit), &read, nullptr)) return false;
        out.resize(read);
        return true;
    }

    FileStamp Stamp(const std::wstring& path) override {
        FileStamp stamp;
        WIN32_FILE_ATTRIBUTE_DATA data{};
        if (!GetFileAttributesExW(Long(path).c_str(), GetFileExInfoStandard, &data)) return stamp;
        stamp.exists = true;
        stamp.folder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        stamp.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        stamp.writeTime = (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
        if (stamp.folder) {
            // One entry decides; a folder of many files is not listed.
            std::vector<std::wstring> names;
            ListNames(path, 1, names);
            stamp.folderEmpty = names.empty();
        }
        return stamp;
    }

    bool ApplicationFolder(std::wstring& folder, std::wstring& reason) override {
        // A service running as LocalSystem has the system profile's folder here; where the
        // variable is missing, the profile's own layout stands in for it.
        std::wstring root;
        if (!platform::GetEnvironmentText(L"LOCALAPPDATA", root) && platform::GetEnvironmentText(L"USERPROFILE", root)) {
            root += L"\\AppData\\Local";
        }
        if (!config::IsAbsolutePath(root)) {
            reason = L"neither LOCALAPPDATA nor USERPROFILE names a folder";
            return false;
        }
        std::wstring modulePath;
        const platform::RegistryFunctions* functions = platform::Registry();
        std::vector<BYTE> user;
        std::wstring sid;
        if (functions == nullptr || !CurrentUser(*functions, user, sid) || !platform::GetModulePath(modulePath)) {
            reason = L"the user or the executable is unknown";
            return false;
        }
        const PSID userSid = reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid;
        // Owner and only grantee the user; files made inside inherit that.
        const std::wstring sddl = L"O:" + sid + L"D:P(A;OICI;FA;;;" + sid + L")";
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        if (!functions->ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr)) {
            reason = L"no security descriptor (error " + platform::DecimalText(GetLastError()) + L")";
            return false;
        }
        platform::UniqueLocalMemory hold(descriptor);
        SECURITY_ATTRIBUTES attributes{sizeof(SECURITY_ATTRIBUTES), descriptor, FALSE};
        std::wstring path = root;
        while (!path.empty() && path.back() == L'\\') path.pop_back();
        const std::wstring application = ApplicationFolderName(config::FileNameOf(modulePath), platform::FoldedFinalPath(modulePath));
        // Each level: whoever may rename a folder above the cache may put another in its place.
        for (const std::wstring& part : {std::wstring(L"Kestran"), std::wstring(L"StartupCache"), application}) {
            path += L"\\" + part;
            if (!CreateDirectoryW(Long(path).c_str(), &attributes)) {
                const DWORD error = GetLastError();
                if (error != ERROR_ALREADY_EXISTS) {
                    reason = L"the folder " + path + L" cannot be made (error " + platform::DecimalText(error) + L")";
                    return false;
                }
            }
            const std::wstring why = WhyNotOnlyUser(*functions, path, userSid);
            if (!why.empty()) {
                reason = L"the folder " + path + L" is not this user's alone: " + why;
                return false;
            }
        }
        folder = path;
        return true;
    }

    void List(const std::wstring& folder, std::vector<std::wstring>& names) override {
        ListNames(folder, static_cast<size_t>(-1), names);
    }

    bool Remove(const std::wstring& path) override {
        // The VM makes its archives read-only, which DeleteFileW refuses.
        SetFileAttributesW(Long(path).c_str(), FILE_ATTRIBUTE_NORMAL);
        return DeleteFileW(Long(path).c_str()) != FALSE;
    }

    bool MakeFile(const std::wstring& path, const std::string& bytes) override {
        platform::UniqueHandle file(CreateFileW(Long(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
        DWORD written = 0;
        return file && WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
               written == bytes.size();
    }

    bool Rename(const std::wstring& from, const std::wstring& to) override {
        return MoveFileExW(Long(from).c_str(), Long(to).c_str(), 0) != FALSE;
    }

    bool Writable(const std::wstring& folder) override {
        const std::wstring probe = folder + L"\\probe." + platform::DecimalText(GetCurrentProcessId());
        platform::UniqueHandle file(CreateFileW(Long(probe).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                                FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
        ULARGE_INTEGER available{};
        if (!file || !GetDiskFreeSpaceExW(Long(folder + L"\\").c_str(), &available, nullptr, nullptr) ||
            available.QuadPart < kArchiveRoom) {
            return false;
        }
        // Held until the process ends, without delete sharing: the folder cannot be removed or
        // renamed while the VM still has to write into it (it would end the process with 1).
        folderHold_.reset(CreateFileW(Long(folder).c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        return static_cast<bool>(folderHold_);
    }

    bool RunQuietly(const std::wstring& program, const std::vector<std::wstring>& arguments) override {
        std::wstring commandText = QuotedArgument(program);
        for (const std::wstring& argument : arguments) commandText += L" " + QuotedArgument(argument);
        // CreateProcessW may write into its command-line argument.
        std::vector<wchar_t> commandLine(commandText.begin(), commandText.end());
        commandLine.push_back(L'\0');
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process{};
        // A console of its own that nobody sees: its output is no one's, and a windowed
        // application shows no window for it. No handle of this process is inherited.
        if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                            nullptr, &startup, &process)) {
            platform::Trace(L"startup cache: " + program + L" not started, error " + platform::DecimalText(GetLastError()));
            return false;
        }
        platform::UniqueHandle processHandle(process.hProcess);
        platform::UniqueHandle threadHandle(process.hThread);
        if (WaitForSingleObject(processHandle.get(), kAssemblyTimeoutMilliseconds) != WAIT_OBJECT_0) {
            TerminateProcess(processHandle.get(), 1);
            WaitForSingleObject(processHandle.get(), kAssemblyTimeoutMilliseconds);
            return false;
        }
        DWORD exitCode = 1;
        return GetExitCodeProcess(processHandle.get(), &exitCode) && exitCode == 0;
    }

    // A copy of this executable, started suspended so that its files can carry its process id
    // before it runs, and detached: no console, window, handle or output of this process.
    bool AssembleInBackground(const AssemblyJob& job) override {
        std::wstring self;
        if (!platform::GetModulePath(self) || !platform::SetEnvironmentText(kAssemblyJobVariable, job.namePrefix)) return false;
        std::wstring commandText = QuotedArgument(self);
        std::vector<wchar_t> commandLine(commandText.begin(), commandText.end());
        commandLine.push_back(L'\0');
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        startup.dwFlags = STARTF_USESTDHANDLES;
        PROCESS_INFORMATION process{};
        // Out of a job that ends its processes with the launch, where the job lets it go.
        BOOL started = FALSE;
        for (const DWORD breakaway : {static_cast<DWORD>(CREATE_BREAKAWAY_FROM_JOB), DWORD{0}}) {
            started = started || CreateProcessW(self.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                                                breakaway | DETACHED_PROCESS | CREATE_NO_WINDOW | BELOW_NORMAL_PRIORITY_CLASS |
                                                    CREATE_NEW_PROCESS_GROUP | CREATE_SUSPENDED,
                                                nullptr, nullptr, &startup, &process);
        }
        platform::UnsetEnvironmentText(kAssemblyJobVariable);
        if (!started) return false;
        platform::UniqueHandle processHandle(process.hProcess);
        platform::UniqueHandle threadHandle(process.hThread);
        const std::wstring own = job.namePrefix + platform::DecimalText(process.dwProcessId);
        const std::string text = AssemblyJobText(job, process.dwProcessId);
        if (!text.empty() && Rename(job.classList, own + L".classlist")) {
            if (MakeFile(own + L".aotjob", text) && ResumeThread(threadHandle.get()) != static_cast<DWORD>(-1)) return true;
            Remove(own + L".aotjob");
            Rename(own + L".classlist", job.classList);
        }
        TerminateProcess(processHandle.get(), 0);
        return false;
    }

    uint32_t ProcessId() override { return GetCurrentProcessId(); }

    bool ProcessRunning(uint32_t id, uint64_t startedBy) override {
        // The least right that answers both questions: a process of another user may refuse more.
        platform::UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id));
        // Refused access still means the process is there.
        if (!process) return GetLastError() != ERROR_INVALID_PARAMETER;
        // Windows gives a number to a new process as soon as its last owner has gone. FAT
        // volumes keep write times to 2 seconds.
        FILETIME created{}, exited{}, kernel{}, user{};
        if (GetProcessTimes(process.get(), &created, &exited, &kernel, &user)) {
            const uint64_t started = (static_cast<uint64_t>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
            if (started > startedBy && started - startedBy > 20000000) return false;
        }
        DWORD code = 0;
        return !GetExitCodeProcess(process.get(), &code) || code == STILL_ACTIVE;
    }

private:
    platform::UniqueHandle folderHold_;
};

WindowsCacheFiles windowsFiles;

}  // namespace

CacheFiles& PlatformCacheFiles() { return windowsFiles; }

}  // namespace kestran::runtime
