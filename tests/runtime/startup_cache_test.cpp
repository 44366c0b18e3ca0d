#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "platform/environment.h"
#include "runtime/startup_cache.h"
#include "runtime/startup_cache_plan.h"

namespace kestran::runtime {
namespace {

const std::string kMagic = "\xa8\xab\x0b\xf0";
// What a file written before every running process started holds.
const std::string kLongAgo = "long ago";
const std::wstring kFolder = L"C:\\cache\\App";

// A Windows machine in memory: the runtime at C:\rt, the application's jars in C:\app.
class MemoryFiles : public CacheFiles {
public:
    struct File {
        std::string bytes;
        uint64_t size = 0;
        bool folder = false;
        uint64_t writeTime = 10;
    };
    wchar_t PathSeparator() const override { return L'\\'; }
    wchar_t ListSeparator() const override { return L';'; }
    bool ReadStart(const std::wstring& path, size_t limit, std::string& out) override {
        auto found = files.find(path);
        if (found == files.end() || found->second.folder) return false;
        out = found->second.bytes.substr(0, limit);
        return true;
    }
    FileStamp Stamp(const std::wstring& path) override {
        FileStamp stamp;
        auto found = files.find(path);
        if (found == files.end()) return stamp;
        stamp.exists = true;
        stamp.folder = found->second.folder;
        stamp.folderEmpty = found->second.size == 0;
        stamp.size = found->second.size;
        stamp.writeTime = found->second.writeTime;
        return stamp;
    }
    bool ApplicationFolder(std::wstring& folder, std::wstring&) override {
        folder = kFolder;
        return true;
    }
    void List(const std::wstring& folder, std::vector<std::wstring>& names) override {
        for (const auto& [path, file] : files) {
            if (path.rfind(folder + L"\\", 0) == 0) names.push_back(path.substr(folder.size() + 1));
        }
    }
    bool Remove(const std::wstring& path) override { return files.erase(path) == 1; }
    bool Rename(const std::wstring& from, const std::wstring& to) override {
        if (files.count(to) != 0 || files.count(from) == 0) return false;
        files[to] = files[from];
        files.erase(from);
        return true;
    }
    bool Writable(const std::wstring&) override { return writable; }
    // The runtime's java program: a whole AOT cache where `assembles`.
    bool RunQuietly(const std::wstring&, const std::vector<std::wstring>& arguments) override {
        for (const std::wstring& argument : arguments) {
            if (assembles && argument.rfind(L"-XX:SharedArchiveFile=", 0) == 0) Put(argument.substr(22), kMagic + std::string(5000, 'x'), 5004);
        }
        return assembles;
    }
    bool MakeFile(const std::wstring& path, const std::string& bytes) override {
        if (files.count(path) != 0) return false;
        Put(path, bytes, bytes.size());
        return true;
    }
    // Process 300 has taken the class list over and has its job, where `background`.
    bool AssembleInBackground(const AssemblyJob& job) override {
        jobPrefix = job.namePrefix;
        return background && Rename(job.classList, job.namePrefix + L"300.classlist") &&
               MakeFile(job.namePrefix + L"300.aotjob", AssemblyJobText(job, 300));
    }
    uint32_t ProcessId() override { return processId; }
    // Process 200 runs since time 5; the files are written at 10, those of kLongAgo at 1.
    bool ProcessRunning(uint32_t id, uint64_t startedBy) override { return id == 200 && startedBy >= 5; }

    void Put(const std::wstring& path, const std::string& bytes, uint64_t size, bool folder = false) {
        files[path] = File{bytes, size, folder, bytes == kLongAgo ? 1u : 10u};
    }
    std::map<std::wstring, File> files;
    bool writable = true;
    bool assembles = false;
    bool background = false;
    std::wstring jobPrefix;
    uint32_t processId = 100;
};

const char* const kRelease17 = "IMPLEMENTOR=\"Eclipse Adoptium\"\nJAVA_RUNTIME_VERSION=\"17.0.9+9\"\nJAVA_VERSION=\"17.0.9\"\n";

struct PlanCase {
    const char* name;
    const char* release;              // null: no release file
    bool baseArchive;
    const wchar_t* classPath;
    const char* vendorOption;         // null: none
    const char* environmentOptions;   // _JAVA_OPTIONS; null: unset
    std::vector<std::pair<std::wstring, std::string>> cacheFiles;  // "KEY" stands for this launch's key
    bool writable;
    const char* expected;             // the option's start, "KEY" for the key; null: no cache option
    std::set<std::wstring> remaining; // the cache folder's names afterwards
};

std::wstring WithKey(std::wstring text, const std::wstring& key) {
    const size_t at = text.find(L"KEY");
    return at == std::wstring::npos ? text : text.replace(at, 3, key);
}

MemoryFiles Machine(const PlanCase& c) {
    MemoryFiles files;
    if (c.release) files.Put(L"C:\\rt\\release", c.release, 100);
    files.Put(L"C:\\rt\\bin\\server\\jvm.dll", "MZ", 20000000);
    if (c.baseArchive) files.Put(L"C:\\rt\\bin\\server\\classes.jsa", kMagic, 14000000);
    files.Put(L"C:\\rt\\bin\\java.exe", "MZ", 300000);
    files.Put(L"C:\\app\\a.jar", "PK", 5000);
    files.Put(L"C:\\app\\b.jar", "PK", 7000);
    files.Put(L"C:\\app\\classes", "", 3, true);
    files.Put(L"C:\\app\\empty", "", 0, true);
    files.writable = c.writable;
    return files;
}

std::string ClassPathOption(const wchar_t* classPath) {
    return "-Djava.class.path=" + std::string(classPath, classPath + wcslen(classPath));
}

// Plans a launch on `files` with the class path; the path of the temporary file (or class list)
// it would write, or "".
std::wstring PlanWriting(MemoryFiles& files, const wchar_t* classPath) {
    JavaInvocation invocation;
    invocation.vmOptions = {ClassPathOption(classPath)};
    PlanStartupCache(L"C:\\rt\\bin\\server\\jvm.dll", invocation, files, false);
    for (const std::string prefix : {"-XX:ArchiveClassesAtExit=", "-XX:DumpLoadedClassList="}) {
        for (const std::string& option : invocation.vmOptions) {
            if (option.rfind(prefix, 0) == 0) return std::wstring(option.begin() + prefix.size(), option.end());
        }
    }
    return L"";
}

// The key of a launch with these facts: the one in the name of the file it would write.
std::wstring KeyOf(const PlanCase& c) {
    MemoryFiles files = Machine(c);
    files.writable = true;
    const std::wstring temporary = PlanWriting(files, c.classPath);
    return temporary.empty() ? L"" : temporary.substr(kFolder.size() + 1, 32);
}

TEST(StartupCacheTest, PlanScenarios) {
    const std::string whole = kMagic + std::string(5000, 'x');
    const char* const release25 = "JAVA_VERSION=\"25.0.3\"\nJVM_VARIANT=\"Hotspot\"";
    const PlanCase cases[] = {
        {"17 with its base archive", kRelease17, true, L"C:\\app\\a.jar;C:\\app\\b.jar;", nullptr, nullptr, {}, true,
         "-XX:ArchiveClassesAtExit=C:\\cache\\App\\KEY.100.tmp", {}},
        {"25", release25, true, L"C:\\app\\a.jar", nullptr, nullptr, {}, true, "-XX:DumpLoadedClassList=C:\\cache\\App\\KEY.100.classlist", {}},
        {"25, its AOT cache could not be assembled", release25, true, L"C:\\app\\a.jar", nullptr, nullptr,
         {{L"KEY.0.noaot", ""}}, true, "-XX:ArchiveClassesAtExit=", {L"KEY.0.noaot"}},
        {"25, its AOT cache", release25, true, L"C:\\app\\a.jar", nullptr, nullptr, {{L"KEY.5004.jsa", whole}}, true,
         "-XX:AOTCache=C:\\cache\\App\\KEY.5004.jsa", {L"KEY.5004.jsa"}},
        {"25, its AOT cache being assembled by a running process", release25, true, L"C:\\app\\a.jar", nullptr, nullptr,
         {{L"KEY.200.aotjob", ""}, {L"KEY.200.classlist", ""}}, true, nullptr, {L"KEY.200.aotjob", L"KEY.200.classlist"}},
        // The assembler ended long ago; a process started since has its number.
        {"25, the job of an ended assembler whose number is in use", release25, true, L"C:\\app\\a.jar", nullptr, nullptr,
         {{L"KEY.200.aotjob", kLongAgo}}, true, "-XX:DumpLoadedClassList=", {}},
        {"Java 8", "JAVA_VERSION=\"1.8.0_392\"", true, L"C:\\app\\a.jar", nullptr, nullptr, {}, true, nullptr, {}},
        {"12", "JAVA_VERSION=\"12.0.2\"", true, L"C:\\app\\a.jar", nullptr, nullptr, {}, true, nullptr, {}},
        {"no release file", nullptr, true, L"C:\\app\\a.jar", nullptr, nullptr, {}, true, nullptr, {}},
        {"OpenJ9", "JAVA_VERSION=\"17.0.9\"\r\nJVM_VARIANT=\"Openj9\"\r\n", true, L"C:\\app\\a.jar", nullptr, nullptr, {},
         true, nullptr, {}},
        {"no base archive", kRelease17, false, L"C:\\app\\a.jar", nullptr, nullptr, {}, true, nullptr, {}},
        {"vendor's -Xshare:off", kRelease17, true, L"C:\\app\\a.jar", "-Xshare:off", nullptr, {}, true, nullptr, {}},
        {"a Java agent", kRelease17, true, L"C:\\app\\a.jar", "-javaagent:apm.jar", nullptr, {}, true, nullptr, {}},
        {"a module option the VM rejects while archiving", kRelease17, true, L"C:\\app\\a.jar", "--limit-modules=java.base",
         nullptr, {}, true, nullptr, {}},
        {"a folder with classes on the boot class path", kRelease17, true, L"C:\\app\\a.jar", nullptr,
         "-Xbootclasspath/a:C:\\app\\b.jar;C:\\app\\classes", {}, true, nullptr, {}},
        {"-Xshare:off in _JAVA_OPTIONS", kRelease17, true, L"C:\\app\\a.jar", nullptr, "-Xmx1g -Xshare:off", {}, true,
         nullptr, {}},
        // The VM ends an option at a tab too, and takes quotes away.
        {"'-Xshare:off' after a tab in _JAVA_OPTIONS", kRelease17, true, L"C:\\app\\a.jar", nullptr, "-Xmx1g\t'-Xshare:off'",
         {}, true, nullptr, {}},
        {"a folder with classes", kRelease17, true, L"C:\\app\\a.jar;C:\\app\\classes", nullptr, nullptr, {}, true, nullptr, {}},
        {"an empty folder", kRelease17, true, L"C:\\app\\empty;C:\\app\\a.jar", nullptr, nullptr, {}, true,
         "-XX:ArchiveClassesAtExit=", {}},
        {"folder not writable", kRelease17, true, L"C:\\app\\a.jar", nullptr, nullptr, {}, false, nullptr, {}},
        {"whole archive of this key", kRelease17, true, L"C:\\app\\a.jar", nullptr, nullptr,
         {{L"KEY.5004.jsa", whole}}, false, "-XX:SharedArchiveFile=C:\\cache\\App\\KEY.5004.jsa", {L"KEY.5004.jsa"}},
        // Compressed object pointers or none: an archive of the other kind goes unused.
        {"a heap of 32 GB or more", kRelease17, true, L"C:\\app\\a.jar", "-Xmx32g", nullptr, {{L"KEY.5004.jsa", whole}}, true,
         "-XX:ArchiveClassesAtExit=", {}},
        {"a heap below 32 GB", kRelease17, true, L"C:\\app\\a.jar", "-Xmx31g", nullptr, {{L"KEY.5004.jsa", whole}}, true,
         "-XX:SharedArchiveFile=", {L"KEY.5004.jsa"}},
        {"archive cut short", kRelease17, true, L"C:\\app\\a.jar", nullptr, nullptr,
         {{L"KEY.9000.jsa", whole}}, true, "-XX:ArchiveClassesAtExit=", {}},
        {"archive without its header", kRelease17, true, L"C:\\app\\a.jar", nullptr, nullptr,
         {{L"KEY.5004.jsa", std::string(5004, '\0')}}, true, "-XX:ArchiveClassesAtExit=", {}},
        {"archive of another key, files of ended and running processes", kRelease17, true, L"C:\\app\\a.jar", nullptr,
         nullptr,
         {{L"0123456789abcdef0123456789abcdef.5004.jsa", whole}, {L"KEY.300.tmp", whole}, {L"KEY.300.classlist", ""}, {L"KEY.200.tmp", ""},
          {L"notes.txt", ""}},
         true, "-XX:ArchiveClassesAtExit=", {L"KEY.200.tmp", L"notes.txt"}},
    };
    for (const PlanCase& c : cases) {
        const std::wstring key = KeyOf(c);
        MemoryFiles files = Machine(c);
        for (const auto& [name, bytes] : c.cacheFiles) files.Put(kFolder + L"\\" + WithKey(name, key), bytes, bytes.size());
        platform::UnsetEnvironmentText(L"_JAVA_OPTIONS");
        if (c.environmentOptions) platform::SetEnvironmentText(L"_JAVA_OPTIONS", std::wstring(c.environmentOptions, c.environmentOptions + strlen(c.environmentOptions)));
        JavaInvocation invocation;
        invocation.vmOptions = {ClassPathOption(c.classPath)};
        if (c.vendorOption) invocation.vmOptions.push_back(c.vendorOption);
        const size_t before = invocation.vmOptions.size();
        PlanStartupCache(L"C:\\rt\\bin\\server\\jvm.dll", invocation, files, false);
        platform::UnsetEnvironmentText(L"_JAVA_OPTIONS");

        if (c.expected == nullptr) {
            EXPECT_EQ(invocation.vmOptions.size(), before) << c.name;
        } else {
            ASSERT_GT(invocation.vmOptions.size(), before) << c.name;
            const std::wstring expected = WithKey(std::wstring(c.expected, c.expected + strlen(c.expected)), key);
            const std::string& option = invocation.vmOptions[before];
            EXPECT_EQ(std::wstring(option.begin(), option.begin() + std::min(option.size(), expected.size())), expected) << c.name;
            EXPECT_NE(std::find(invocation.vmOptions.begin() + before, invocation.vmOptions.end(), "-Xlog:cds*=off"),
                      invocation.vmOptions.end()) << c.name;
        }
        std::set<std::wstring> remaining;
        std::vector<std::wstring> names;
        files.List(kFolder, names);
        for (const std::wstring& name : names) remaining.insert(name);
        std::set<std::wstring> expected;
        for (const std::wstring& name : c.remaining) expected.insert(WithKey(name, key));
        EXPECT_EQ(remaining, expected) << c.name;
    }
}

struct FinishCase {
    const char* name;
    const char* written;       // what the VM left in the temporary file; null: nothing
    bool otherLaunchFirst;     // another launch already put the same archive in place
    bool archived;             // an archive of this key is there afterwards
    bool aotCache = false;     // 25: the VM wrote a class list, the java program assembles
    // ... in process 300, which outlives this one: its java program "assembles" or "fails", or its
    // job is named "elsewhere" than in the application's folder; null: waited for here.
    const char* job = nullptr;
};

TEST(StartupCacheTest, FinishPutsOnlyACompleteFileInPlace) {
    const FinishCase cases[] = {
        {"complete", "whole", false, true},
        {"cut short, no header yet", "zeros", false, false},
        {"the VM ended before writing", nullptr, false, false},
        {"another launch was first", "whole", true, true},
        {"25: assembled", "whole", false, true, true},
        {"25: not assembled", "conf", false, false, true},
        {"25: assembled after this process", "conf", false, true, true, "assembles"},
        {"25: not assembled after this process", "conf", false, false, true, "fails"},
        {"25: a job outside the application's folder", "conf", false, false, true, "elsewhere"},
        // The variable set by someone else, or passed on to a program the launch started.
        {"25: a copy that finds no job of its own is a launch", "conf", false, false, true, "absent"},
    };
    for (const FinishCase& c : cases) {
        MemoryFiles files = Machine({"", c.aotCache ? "JAVA_VERSION=\"25\"" : kRelease17, true, L"C:\\app\\a.jar", nullptr,
                                     nullptr, {}, true, "", {}});
        files.assembles = c.aotCache && c.archived;
        files.background = c.job != nullptr;
        const std::string job = c.job ? c.job : "";
        const std::wstring temporary = PlanWriting(files, L"C:\\app\\a.jar");
        ASSERT_FALSE(temporary.empty()) << c.name;
        const std::string bytes = c.written == nullptr ? "" : std::string(c.written) == "whole" ? kMagic + std::string(5000, 'x') : std::string(5004, '\0');
        if (c.written) files.Put(temporary, bytes, bytes.size());
        const std::wstring archive = kFolder + L"\\" + ArchiveFileName(temporary.substr(kFolder.size() + 1, 32), 5004);
        if (c.otherLaunchFirst) files.Put(archive, bytes, bytes.size());
        FinishStartupCache();
        FinishStartupCache();  // the exit hook and the end of DestroyJavaVM may both come
        if (c.job) {
            EXPECT_EQ(files.files.count(archive), 0u) << c.name;
            files.processId = job == "absent" ? 301 : 300;
            files.assembles = job == "assembles";
            std::wstring prefix = files.jobPrefix;
            if (job == "elsewhere") {
                prefix = L"C:\\elsewhere\\" + prefix.substr(kFolder.size() + 1);
                files.files[prefix + L"300.aotjob"] = files.files[files.jobPrefix + L"300.aotjob"];
            }
            platform::SetEnvironmentText(kAssemblyJobVariable, prefix);
            EXPECT_EQ(RunAssemblyJob(files), job != "absent") << c.name;
            std::wstring left;
            EXPECT_FALSE(platform::GetEnvironmentText(kAssemblyJobVariable, left)) << c.name;
            // Left for the next start, which removes the files of processes that ended.
            EXPECT_EQ(files.files.count(files.jobPrefix + L"300.aotjob") + files.files.count(files.jobPrefix + L"300.classlist"),
                      job == "elsewhere" || job == "absent" ? 2u : 0u) << c.name;
        }
        EXPECT_EQ(files.files.count(temporary), 0u) << c.name;
        EXPECT_EQ(files.files.count(archive), c.archived ? 1u : 0u) << c.name;
        const std::wstring marker = kFolder + L"\\" + UnassembledFileName(archive.substr(kFolder.size() + 1, 32));
        EXPECT_EQ(files.files.count(marker), c.aotCache && !c.archived && job != "elsewhere" && job != "absent" ? 1u : 0u)
            << c.name;
    }
}

}  // namespace
}  // namespace kestran::runtime
