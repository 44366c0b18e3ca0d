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
#include <cstring>
#include <ctime>
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

// A path whose end a forked child writes without allocating: `base`, then room for a number
// and a suffix.
struct ChildPath {
    explicit ChildPath(const std::string& start) : base(start.size()), text(start + std::string(40, '\0')) {}
    // Only async-signal-safe work: after fork() in a process with other threads.
    const char* With(uint64_t number, const char* suffix) {
        char digits[20];
        size_t count = 0;
        do {
            digits[count++] = static_cast<char>('0' + number % 10);
            number /= 10;
        } while (number != 0);
        char* at = &text[base];
        while (count != 0) *at++ = digits[--count];
        std::strcpy(at, suffix);
        return text.c_str();
    }
    size_t base;
    std::string text;
};

// The assembler: the job's process (a session of its own, outside the launcher's output and
// terminal) runs the java program, waits for it, and puts its file in place. Never returns.
[[noreturn]] void RunAssembly(const char* program, char* const* argv, ChildPath& classListOption,
                              ChildPath& outputOption, const char* trained, ChildPath& classList,
                              ChildPath& output, ChildPath& archive, const char* unassembled, int taken) {
    setsid();
    // The VM's thread that forked may block signals, which java would inherit; a launcher gone
    // before it reads the pipe must not end the assembly.
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    signal(SIGPIPE, SIG_IGN);
    const uint64_t id = static_cast<uint64_t>(getpid());
    classListOption.With(id, ".classlist");
    outputOption.With(id, ".tmp");
    const char* ownClassList = classList.With(id, ".classlist");
    const char* ownOutput = output.With(id, ".tmp");
    if (rename(trained, ownClassList) != 0) _exit(1);
    const char done = 1;
    if (write(taken, &done, 1) != 1) _exit(1);
    // Nothing of the launcher's stays open here: whoever reads its output sees the end now.
    const int nothing = open("/dev/null", O_RDWR);
    for (int stream = 0; stream < 3; ++stream) dup2(nothing, stream);
    if (close_range(3, ~0u, 0) != 0) {
        for (int descriptor = 3; descriptor < 1024; ++descriptor) close(descriptor);
    }
    // A host that ignores its children's ends would leave none to wait for.
    signal(SIGCHLD, SIG_DFL);
    signal(SIGPIPE, SIG_DFL);
    const pid_t java = fork();
    if (java == 0) {
        execve(program, argv, environ);
        _exit(127);
    }
    int status = 1;
    bool ended = false;
    const timespec pause{0, 20 * 1000 * 1000};
    for (uint32_t waited = 0; java > 0 && !ended && waited < kAssemblyTimeoutMilliseconds; waited += 20) {
        const pid_t result = waitpid(java, &status, WNOHANG);
        ended = result == java || (result < 0 && errno != EINTR);
        if (!ended) nanosleep(&pause, nullptr);
    }
    if (java > 0 && !ended) {
        kill(java, SIGKILL);
        waitpid(java, &status, 0);
    }
    unlink(ownClassList);
    if (!ended || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        unlink(ownOutput);
        // Not again at every launch: this key keeps the dynamic archive from now on.
        const int marker = open(unassembled, O_WRONLY | O_CREAT | O_EXCL, 0600);
        if (marker >= 0) close(marker);
        _exit(0);
    }
    char start[4] = {};
    struct stat info {};
    const int file = open(ownOutput, O_RDONLY);
    const bool whole = file >= 0 && read(file, start, sizeof start) == static_cast<ssize_t>(sizeof start) &&
                       fstat(file, &info) == 0 && LooksLikeArchive(start, sizeof start, static_cast<uint64_t>(info.st_size));
    if (file >= 0) close(file);
    // link, unlike rename, fails when another launch's archive is already there.
    if (whole) link(ownOutput, archive.With(static_cast<uint64_t>(info.st_size), ".jsa"));
    unlink(ownOutput);
    _exit(0);
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

    bool MakeFile(const std::wstring& path, const std::string& bytes) override {
        const int file = open(Narrow(path).c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
        if (file < 0) return false;
        const bool written = write(file, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
        return close(file) == 0 && written;
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

    bool AssembleInBackground(const AssemblyJob& job) override {
        // Everything the child needs is made now: after fork() only async-signal-safe calls.
        if (job.arguments.size() < 3) return false;
        std::vector<std::string> texts = {Narrow(job.program)};
        for (const std::wstring& argument : job.arguments) texts.push_back(Narrow(argument));
        ChildPath classListOption(texts[2]);
        ChildPath outputOption(texts[3]);
        const std::string prefix = Narrow(job.namePrefix);
        ChildPath classList(prefix);
        ChildPath output(prefix);
        ChildPath archive(prefix);
        const std::string trained = Narrow(job.classList);
        const std::string unassembled = Narrow(job.unassembled);
        std::vector<char*> argv;
        for (std::string& text : texts) argv.push_back(text.data());
        argv[2] = classListOption.text.data();
        argv[3] = outputOption.text.data();
        argv.push_back(nullptr);
        int taken[2];
        if (pipe2(taken, O_CLOEXEC) != 0) return false;
        const pid_t assembler = fork();
        if (assembler == 0) {
            close(taken[0]);
            RunAssembly(texts[0].c_str(), argv.data(), classListOption, outputOption, trained.c_str(), classList,
                        output, archive, unassembled.c_str(), taken[1]);
        }
        close(taken[1]);
        // Until the assembler has renamed the class list to its own name, a start that
        // follows this process's end would remove it as a leftover.
        char done = 0;
        ssize_t got = -1;
        while (assembler > 0 && (got = read(taken[0], &done, 1)) < 0 && errno == EINTR) {
        }
        close(taken[0]);
        return got == 1;
    }

    uint32_t ProcessId() override { return static_cast<uint32_t>(getpid()); }
    bool ProcessRunning(uint32_t id, uint64_t) override { return kill(static_cast<pid_t>(id), 0) == 0 || errno == EPERM; }
};

PosixCacheFiles posixFiles;

}  // namespace

CacheFiles& PlatformCacheFiles() { return posixFiles; }

}  // namespace kestran::runtime
