#include "runtime/startup_cache_plan.h"

#include <mutex>

#include "config/ini_document.h"
#include "config/messages.h"
#include "config/paths.h"
#include "config/split.h"
#include "platform/decimal_text.h"
#include "platform/environment.h"
#include "platform/error_report.h"
#include "platform/trace.h"
#include "runtime/class_path.h"
#include "runtime/option_narrowing.h"

namespace kestran::runtime {
namespace {

// One VM per process: what FinishStartupCache has to put in place once it has ended.
struct Pending {
    std::mutex lock;
    CacheFiles* files = nullptr;
    std::wstring temporary;
    std::wstring folder;
    std::wstring key;
    std::wstring classList;   // an AOT cache's class list; empty for the dynamic archive
    std::wstring javaProgram;
    config::NarrowList vmOptions;
};
Pending pending;
std::wstring aotCacheGiven;   // the AOT cache handed to the VM; removed if the VM refused it

void Say(const std::wstring& line) { platform::Trace(L"startup cache: " + line); }

std::wstring Parent(const std::wstring& path, wchar_t separator) {
    const size_t cut = path.rfind(separator);
    return cut == std::wstring::npos ? std::wstring() : path.substr(0, cut);
}

// The size and magic number of a file, as an archive must have them.
bool IsCompleteArchive(CacheFiles& files, const std::wstring& path, uint64_t& size) {
    const FileStamp stamp = files.Stamp(path);
    std::string start;
    size = stamp.size;
    return stamp.exists && !stamp.folder && files.ReadStart(path, 4, start) && LooksLikeArchive(start, stamp.size);
}

void AddStampedEntries(CacheFiles& files, const std::string& list, std::vector<std::pair<std::wstring, FileStamp>>& out) {
    for (std::wstring& entry : ClassPathEntries(config::FromAnsi(list), files.ListSeparator())) {
        FileStamp stamp = files.Stamp(entry);
        out.emplace_back(std::move(entry), stamp);
    }
}

std::wstring JavaProgram(const std::wstring& home, wchar_t separator) {
    return home + separator + L"bin" + separator + (separator == L'\\' ? L"java.exe" : L"java");
}

std::wstring RuntimeHome(const std::wstring& vmLibraryPath, wchar_t separator) {
    return Parent(Parent(Parent(vmLibraryPath, separator), separator), separator);
}

StartupCacheFacts GatherFacts(const std::wstring& vmLibraryPath, const JavaInvocation& invocation, CacheFiles& files) {
    StartupCacheFacts facts;
    const wchar_t separator = files.PathSeparator();
    // <home>\bin\server\jvm.dll (lib/server/libjvm.so): the base archive sits beside it.
    const std::wstring libraryFolder = Parent(vmLibraryPath, separator);
    const std::wstring home = RuntimeHome(vmLibraryPath, separator);
    facts.javaProgram = files.Stamp(JavaProgram(home, separator));
    std::string release;
    facts.releaseRead = files.ReadStart(home + separator + L"release", 64 * 1024, release) &&
                        ParseReleaseFile(release, facts.release);
    // A dynamic archive holds the checksum of the base archive it was made on top of.
    facts.baseArchive = files.Stamp(libraryFolder + separator + L"classes.jsa");
    facts.vmLibrary = files.Stamp(vmLibraryPath);

    facts.vmOptions = invocation.vmOptions;
    // The VM reads these itself, in-process as well.
    for (const wchar_t* name : {L"JAVA_TOOL_OPTIONS", L"_JAVA_OPTIONS"}) {
        std::wstring text;
        if (!platform::GetEnvironmentText(name, text)) continue;
        for (const std::wstring& option : SplitEnvironmentOptions(text)) facts.vmOptions.push_back(config::ToAnsi(option));
    }

    // The VM takes the last class path option, and appends every -Xbootclasspath/a: one.
    static const std::string kClassPath = "-Djava.class.path=";
    static const std::string kBootAppend = "-Xbootclasspath/a:";
    for (const std::string& option : facts.vmOptions) {
        if (option.rfind(kBootAppend, 0) == 0) AddStampedEntries(files, option.substr(kBootAppend.size()), facts.bootClassPath);
    }
    for (const std::string& option : invocation.vmOptions) {
        if (option.rfind(kClassPath, 0) != 0) continue;
        facts.classPath.clear();
        AddStampedEntries(files, option.substr(kClassPath.size()), facts.classPath);
    }
    return facts;
}

// What the cache folder holds for a key, once tidied.
struct FolderState {
    std::wstring usable;         // the archive to use
    uint64_t usableSize = 0;
    bool unassembled = false;    // this key's AOT cache could not be assembled before
    bool assembling = false;     // a running process assembles it now
};

// Stale archives, damaged ones and the files of processes that ended go; the archive of this
// key, when whole, is the one to use (its name holds the size it had when it was made).
FolderState TidyFolder(CacheFiles& files, const std::wstring& folder, const std::wstring& key) {
    std::vector<std::wstring> names;
    files.List(folder, names);
    FolderState state;
    for (const std::wstring& name : names) {
        const CacheFileName parsed = ParseCacheFileName(name);
        const std::wstring path = folder + files.PathSeparator() + name;
        bool keep = parsed.kind == CacheFileName::Other;
        if (parsed.kind == CacheFileName::Archive && parsed.key == key && state.usable.empty()) {
            uint64_t size = 0;
            keep = IsCompleteArchive(files, path, size) && size == parsed.number;
            if (keep) {
                state.usable = path;
                state.usableSize = size;
            }
        } else if (parsed.kind == CacheFileName::Temporary) {
            // A process writes its files after it started, but an assembler takes its launch's
            // class list over as it was written.
            const uint64_t writtenAt = parsed.extension == L"classlist" ? UINT64_MAX : files.Stamp(path).writeTime;
            keep = parsed.number != files.ProcessId() && files.ProcessRunning(static_cast<uint32_t>(parsed.number), writtenAt);
            state.assembling |= keep && parsed.key == key && parsed.extension == L"aotjob";
        } else if (parsed.kind == CacheFileName::Unassembled && parsed.key == key) {
            keep = state.unassembled = true;
        }
        if (!keep) Say((files.Remove(path) ? L"removed " : L"could not remove ") + path);
    }
    return state;
}

// The VM reads its options in the code page: a profile folder outside it (C:\Users\Łukasz)
// is named by its short form where the volume has one.
std::wstring AsTheVmNamesIt(const std::wstring& folder) {
    std::string narrow;
    size_t lost = 0;
    std::wstring shortFolder;
    if (!config::ToAnsiExact(folder, narrow, lost) && PlatformNarrowing().ShortForm(folder, shortFolder)) return shortFolder;
    return folder;
}

// The option's bytes, or false when the code page cannot carry the path in it.
bool NarrowOption(const std::wstring& name, const std::wstring& path, std::string& out) {
    size_t lost = 0;
    if (config::ToAnsiExact(name + path, out, lost)) return true;
    Say(L"the cache path " + path + L" cannot be given to the VM in this code page");
    return false;
}

// `aotTags`: the runtime logs about archives under "aot" too, a tag that runtimes before 24 reject.
void AppendQuietOptions(JavaInvocation& invocation, bool messagesToStandardError, bool aotTags) {
    // The VM reports an archive it cannot use, and the classes it leaves out of a new one, on
    // standard output, which is the program's.
    invocation.vmOptions.push_back("-Xlog:cds*=off");
    if (aotTags) invocation.vmOptions.push_back("-Xlog:aot*=off");
    if (messagesToStandardError) invocation.vmOptions.push_back("-Xlog:cds*=warning:stderr");
    if (messagesToStandardError && aotTags) invocation.vmOptions.push_back("-Xlog:aot*=warning:stderr");
}

// The assembly failed: not again at every launch, this key keeps the dynamic archive from now on.
void LeaveUnassembled(CacheFiles& files, const std::wstring& temporary, const std::wstring& folder,
                      const std::wstring& key) {
    files.Remove(temporary);
    files.MakeFile(folder + files.PathSeparator() + UnassembledFileName(key), "");
}

// The temporary file becomes the archive when it is complete; else it goes.
void PutInPlace(CacheFiles& files, const std::wstring& temporary, const std::wstring& folder, const std::wstring& key) {
    uint64_t size = 0;
    if (!IsCompleteArchive(files, temporary, size)) {
        files.Remove(temporary);
        Say(L"no complete archive in " + temporary);
        return;
    }
    const std::wstring archive = folder + files.PathSeparator() + ArchiveFileName(key, size);
    if (files.Rename(temporary, archive)) {
        Say(L"written: " + archive + L" (" + platform::DecimalText(size) + L" bytes)");
    } else {
        // Another first launch of the same application got there first: its archive is as good.
        files.Remove(temporary);
        Say(L"not renamed to " + archive + L"; another launch made it");
    }
}

// The AOT cache from the class list, by the runtime's java program: in a
// process that outlives this one where the platform can start one (true: nothing left to do
// here), else waited for. The list goes either way.
bool AssembleAotCache(CacheFiles& files) {
    const bool trained = files.Stamp(pending.classList).size > 0;
    if (trained) {
        // The java program adds this variable's options to its own, which the training run
        // never saw (the VM reads only JAVA_TOOL_OPTIONS and _JAVA_OPTIONS): a cache made with
        // another module graph would go unused. Nothing else in this process runs Java any more.
        platform::UnsetEnvironmentText(L"JDK_JAVA_OPTIONS");
        AssemblyJob job;
        job.program = pending.javaProgram;
        job.classList = pending.classList;
        job.namePrefix = pending.folder + files.PathSeparator() + pending.key + L".";
        job.unassembled = pending.folder + files.PathSeparator() + UnassembledFileName(pending.key);
        const std::string prefix = config::ToAnsi(job.namePrefix);
        for (const std::string& option : AssemblyOptions(pending.vmOptions, prefix, prefix)) {
            job.arguments.push_back(config::FromAnsi(option));
        }
        if (files.AssembleInBackground(job)) {
            Say(L"being assembled by " + pending.javaProgram + L" after this process");
            return true;
        }
        std::vector<std::wstring> arguments;
        for (const std::string& option : AssemblyOptions(pending.vmOptions, config::ToAnsi(pending.classList),
                                                         config::ToAnsi(pending.temporary))) {
            arguments.push_back(config::FromAnsi(option));
        }
        const bool assembled = files.RunQuietly(pending.javaProgram, arguments);
        Say(assembled ? L"assembled by " + pending.javaProgram : L"not assembled by " + pending.javaProgram);
        if (!assembled) LeaveUnassembled(files, pending.temporary, pending.folder, pending.key);
    }
    files.Remove(pending.classList);
    return false;
}

}  // namespace

bool StartupCacheWanted(const config::SettingsStore& settings) {
    std::wstring value;
    settings.getValue(L"Java Runtime Environment", L"Startup Cache", value);
    return config::EqualsAsciiNoCase(value, L"auto");
}

void ApplyStartupCache(const std::wstring& vmLibraryPath, bool serviceMode, JavaInvocation& invocation) {
    // Where the VM's messages go through the vfprintf hook (a windowed or service launch), the
    // hook cannot tell standard error from standard output: they would reach the program's
    // output or the event log. With the trace in a file, standard error is the program's alone.
    PlanStartupCache(vmLibraryPath, invocation, PlatformCacheFiles(),
                     platform::TraceOnStandardError() && !platform::VmMessagesNeedHook(serviceMode));
}

void PlanStartupCache(const std::wstring& vmLibraryPath, JavaInvocation& invocation, CacheFiles& files,
                      bool messagesToStandardError) {
    const StartupCacheDecision decision = DecideStartupCache(GatherFacts(vmLibraryPath, invocation, files));
    if (!decision.possible) {
        Say(L"not possible: " + decision.reason);
        return;
    }
    std::wstring folder;
    std::wstring reason;
    if (!files.ApplicationFolder(folder, reason)) {
        Say(L"not possible: " + reason);
        return;
    }
    folder = AsTheVmNamesIt(folder);
    // The VM opens the archive by the path as given, without a long-path prefix.
    if (folder.size() + 64 >= config::kClassicPathLimit) {
        Say(L"not possible: the folder " + folder + L" is too long a path for the VM");
        return;
    }
    const FolderState state = TidyFolder(files, folder, decision.key);
    const std::wstring& archive = state.usable;
    const uint64_t size = state.usableSize;
    // An archive of this key is used by either option: the runtime reads both kinds.
    const bool aotCache = decision.aotCache && !state.unassembled;
    if (decision.aotCache && !aotCache) Say(L"no AOT cache: it could not be assembled before");
    std::string option;
    if (!archive.empty()) {
        if (!NarrowOption(aotCache ? L"-XX:AOTCache=" : L"-XX:SharedArchiveFile=", archive, option)) return;
        invocation.vmOptions.push_back(option);
        AppendQuietOptions(invocation, messagesToStandardError, decision.aotCache);
        Say(L"using " + archive + L" (" + platform::DecimalText(size) + L" bytes)");
        if (aotCache) aotCacheGiven = archive;
        return;
    }
    // Quick launches one after another would each start an assembler of their own.
    if (aotCache && state.assembling) {
        Say(L"not written: another process assembles this AOT cache now");
        return;
    }
    // A VM that cannot write its archive at exit ends the process with 1, whatever the program
    // returned: only a folder known to take the file gets the option.
    if (!files.Writable(folder)) {
        Say(L"not written: the folder " + folder + L" cannot take a new archive");
        return;
    }
    const std::wstring temporary = folder + files.PathSeparator() + TemporaryFileName(decision.key, files.ProcessId());
    const std::wstring classList =
        aotCache ? folder + files.PathSeparator() + ClassListFileName(decision.key, files.ProcessId()) : L"";
    if (aotCache) {
        if (!NarrowOption(L"-XX:DumpLoadedClassList=", classList, option)) return;
        invocation.vmOptions.push_back(option);
    } else {
        if (!NarrowOption(L"-XX:ArchiveClassesAtExit=", temporary, option)) return;
        invocation.vmOptions.push_back(option);
    }
    AppendQuietOptions(invocation, messagesToStandardError, decision.aotCache);
    {
        std::lock_guard<std::mutex> guard(pending.lock);
        pending.files = &files;
        pending.temporary = temporary;
        pending.folder = folder;
        pending.key = decision.key;
        pending.classList = classList;
        pending.javaProgram = JavaProgram(RuntimeHome(vmLibraryPath, files.PathSeparator()), files.PathSeparator());
        pending.vmOptions = invocation.vmOptions;
    }
    Say(aotCache ? L"being written: the classes this launch loads are listed in " + classList + L" for an AOT cache"
                 : L"being written to " + temporary);
}

void FinishStartupCache() {
    std::lock_guard<std::mutex> guard(pending.lock);
    if (pending.files == nullptr) return;
    CacheFiles& files = *pending.files;
    pending.files = nullptr;
    if (!pending.classList.empty() && AssembleAotCache(files)) return;
    PutInPlace(files, pending.temporary, pending.folder, pending.key);
}

std::string AssemblyJobText(const AssemblyJob& job, uint32_t id) {
    const std::wstring classList = platform::DecimalText(id) + L".classlist";
    std::wstring text = job.program + L"\n";
    for (size_t i = 0; i < job.arguments.size(); ++i) {
        if (job.arguments[i].find_first_of(L"\r\n") != std::wstring::npos) return "";
        text += job.arguments[i] + (i == 1 ? classList : i == 2 ? platform::DecimalText(id) + L".tmp" : L"") + L"\n";
    }
    // In the platform's wide characters: only a launcher of the same build reads it.
    return std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
}

bool StartupCacheAwaitsUse() { return !aotCacheGiven.empty(); }

void DropRefusedStartupCache() {
    CacheFiles& files = PlatformCacheFiles();
    Say(L"not taken by the VM: " + aotCacheGiven + (files.Remove(aotCacheGiven) ? L", removed" : L", not removed"));
    aotCacheGiven.clear();
}

bool RunStartupCacheJob() { return RunAssemblyJob(PlatformCacheFiles()); }

bool RunAssemblyJob(CacheFiles& files) {
    std::wstring prefix;
    if (!platform::GetEnvironmentText(kAssemblyJobVariable, prefix)) return false;
    platform::UnsetEnvironmentText(kAssemblyJobVariable);
    // Its files carry this process's id; they are trusted only in this user's own folder of
    // this application, which nobody else can write to. Without a job of its own (the variable
    // set by someone else, or passed on by a launch to a program it started) this is a launch.
    const std::wstring own = prefix + platform::DecimalText(files.ProcessId());
    if (!files.Stamp(own + L".aotjob").exists) return false;
    std::wstring folder;
    std::wstring reason;
    if (!files.ApplicationFolder(folder, reason)) return true;
    folder = AsTheVmNamesIt(folder);
    if (prefix.rfind(folder + files.PathSeparator(), 0) != 0) return true;
    const CacheFileName name = ParseCacheFileName(own.substr(folder.size() + 1) + L".aotjob");
    if (name.kind != CacheFileName::Temporary || name.number != files.ProcessId()) return true;
    std::string text;
    std::vector<std::wstring> lines;
    if (files.ReadStart(own + L".aotjob", 1 << 20, text)) {
        config::SplitList(std::wstring(reinterpret_cast<const wchar_t*>(text.data()), text.size() / sizeof(wchar_t)), L"\n", lines);
    }
    if (lines.size() >= 4) {
        const std::wstring program = lines[0];
        lines.erase(lines.begin());
        if (files.RunQuietly(program, lines)) {
            PutInPlace(files, own + L".tmp", folder, name.key);
        } else {
            LeaveUnassembled(files, own + L".tmp", folder, name.key);
        }
    }
    files.Remove(own + L".classlist");
    files.Remove(own + L".aotjob");
    return true;
}

}  // namespace kestran::runtime
