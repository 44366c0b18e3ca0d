// The native counterpart of the cache's file view, for the Linux JNI host: the cache lives
// under $LOCALAPPDATA (else $XDG_CACHE_HOME, else ~/.cache), in folders of mode 0700.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/environment.h"
#include "platform/text_encoding.h"
#include "runtime/startup_cache_files.h"

namespace fs = std::filesystem;

namespace kestran::runtime {
namespace {

std::string Narrow(const std::wstring& path) { return platform::WideToUtf8(path); }

// Ours when this user owns it and nobody else may write to it; made so when missing.
bool OwnFolder(const std::string& path) {
    if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return false;
    struct stat info {};
    return lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == getuid() &&
           (info.st_mode & 022) == 0;
}

class PosixCacheFiles : public CacheFiles {
public:
    wchar_t PathSeparator() const override { return L'/'; }
    wchar_t ListSeparator() const override { return L':'; }

    bool ReadStart(const std::wstring& path, size_t limit, std::string& out) override {
        std::ifstream file(Narrow(path), std::ios::binary);
        if (!file) return false;
        out.assign(limit, '\0');
        file.read(out.data(), static_cast<std::streamsize>(limit));
        out.resize(static_cast<size_t>(file.gcount()));
        return true;
    }

    FileStamp Stamp(const std::wstring& path) override {
        FileStamp stamp;
        struct stat info {};
        if (stat(Narrow(path).c_str(), &info) != 0) return stamp;
        stamp.exists = true;
        stamp.folder = S_ISDIR(info.st_mode);
        stamp.size = static_cast<uint64_t>(info.st_size);
        stamp.writeTime = static_cast<uint64_t>(info.st_mtim.tv_sec) * 1000000000u + static_cast<uint64_t>(info.st_mtim.tv_nsec);
        std::error_code error;
        if (stamp.folder) stamp.folderEmpty = fs::directory_iterator(Narrow(path), error) == fs::directory_iterator();
        return stamp;
    }

    bool ApplicationFolder(std::wstring& folder, std::wstring& reason) override {
        std::wstring root;
        if (!platform::GetEnvironmentText(L"LOCALAPPDATA", root) && !platform::GetEnvironmentText(L"XDG_CACHE_HOME", root)) {
            if (!platform::GetEnvironmentText(L"HOME", root)) {
                reason = L"no folder for the user's cache";
                return false;
            }
            root += L"/.cache";
        }
        std::error_code error;
        const fs::path executable = fs::canonical("/proc/self/exe", error);
        std::wstring path = root;
        for (const std::wstring& part : {std::wstring(L"Kestran"), std::wstring(L"StartupCache"),
                                         ApplicationFolderName(platform::Utf8ToWide(executable.filename().string()),
                                                               platform::Utf8ToWide(executable.string()))}) {
            path += L"/" + part;
            if (!OwnFolder(Narrow(path))) {
                reason = L"the folder " + path + L" is not this user's alone";
                return false;
            }
        }
        folder = path;
        return true;
    }

    void List(const std::wstring& folder, std::vector<std::wstring>& names) override {
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(Narrow(folder), error)) {
            names.push_back(platform::Utf8ToWide(entry.path().filename().string()));
        }
    }

    bool Remove(const std::wstring& path) override { return unlink(Narrow(path).c_str()) == 0; }

    bool MakeEmptyFile(const std::wstring& path) override {
        const int file = open(Narrow(path).c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
        return file >= 0 && close(file) == 0;
    }

    bool Rename(const std::wstring& from, const std::wstring& to) override {
        // link then unlink: unlike rename, it fails when the target exists.
        if (link(Narrow(from).c_str(), Narrow(to).c_str()) != 0) return false;
        unlink(Narrow(from).c_str());
        return true;
    }

    bool Writable(const std::wstring& folder) override {
        const std::string probe = Narrow(folder) + "/probe." + std::to_string(getpid());
        const int file = open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
        if (file < 0) return false;
        close(file);
        unlink(probe.c_str());
        struct statvfs volume {};
        return statvfs(Narrow(folder).c_str(), &volume) == 0 &&
               static_cast<uint64_t>(volume.f_bavail) * volume.f_frsize >= kArchiveRoom;
    }

    bool RunQuietly(const std::wstring& program, const std::vector<std::wstring>& arguments) override {
        std::vector<std::string> texts = {Narrow(program)};
        for (const std::wstring& argument : arguments) texts.push_back(Narrow(argument));
        std::vector<char*> argv;
        for (std::string& text : texts) argv.push_back(text.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        pid_t child = 0;
        const int failed = posix_spawn(&child, texts[0].c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (failed != 0) return false;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kAssemblyTimeoutMilliseconds);
        int status = 0;
        pid_t ended = 0;
        while ((ended = waitpid(child, &status, WNOHANG)) == 0 || (ended < 0 && errno == EINTR)) {
            if (std::chrono::steady_clock::now() > deadline) {
                kill(child, SIGKILL);
                waitpid(child, &status, 0);
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return ended == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }

    uint32_t ProcessId() override { return static_cast<uint32_t>(getpid()); }
    bool ProcessRunning(uint32_t id) override { return kill(static_cast<pid_t>(id), 0) == 0 || errno == EPERM; }
};

PosixCacheFiles posixFiles;

}  // namespace

CacheFiles& PlatformCacheFiles() { return posixFiles; }

}  // namespace kestran::runtime
