// The start-up cache's decisions, free of the platform: whether a runtime and a class path can
// have a class archive, the key that says when an archive is still valid, and the names of the
// files in the cache folder.
//
// The archive is HotSpot's dynamic archive (-XX:ArchiveClassesAtExit to write it,
// -XX:SharedArchiveFile to use it, Java 13 and later), or on Java 25 and later the AOT cache:
// the first launch lists the classes it loads (-XX:DumpLoadedClassList, which costs it next to
// nothing, where recording a configuration for -XX:AOTMode=create adds a second to its end), the
// runtime's own java program assembles the cache from that list in a process of its own
// (-Xshare:dump with -XX:+AOTClassLinking: no code of the application runs), and -XX:AOTCache
// uses it.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "config/launch_settings.h"

namespace kestran::runtime {

// A file or folder as the key sees it.
struct FileStamp {
    bool exists = false;
    bool folder = false;
    bool folderEmpty = true;   // for a folder: holds nothing
    uint64_t size = 0;
    uint64_t writeTime = 0;    // in the platform's units; only compared
};

// What the runtime image's "release" file says (JDK 9 and later images).
struct RuntimeRelease {
    std::wstring javaVersion;      // JAVA_VERSION
    std::wstring runtimeVersion;   // JAVA_RUNTIME_VERSION
    std::wstring implementor;      // IMPLEMENTOR
    std::wstring jvmVariant;       // JVM_VARIANT
};

// Reads KEY="value" lines; false when JAVA_VERSION is missing.
bool ParseReleaseFile(const std::string& text, RuntimeRelease& out);
// The feature release of a JAVA_VERSION: "17.0.2" 17, "1.8.0_392" 8, "25-ea" 25; 0 when unreadable.
int FeatureRelease(const std::wstring& javaVersion);
// An option that already asks the VM for class sharing or an AOT cache (or may, through a
// file of options): the vendor runs the archive, and the launcher stays out.
bool NamesSharingOption(const std::string& option);

// The options of JAVA_TOOL_OPTIONS or _JAVA_OPTIONS as HotSpot reads them: any white space
// ends an option, and a run in single or double quotes is taken as it is, without its quotes.
std::vector<std::wstring> SplitEnvironmentOptions(const std::wstring& text);

// Everything the decision looks at, gathered by the caller.
struct StartupCacheFacts {
    bool releaseRead = false;
    RuntimeRelease release;
    FileStamp baseArchive;               // classes.jsa beside the VM library
    FileStamp vmLibrary;
    std::vector<std::pair<std::wstring, FileStamp>> classPath;
    std::vector<std::pair<std::wstring, FileStamp>> bootClassPath;   // -Xbootclasspath/a: entries
    config::NarrowList vmOptions;        // as the VM gets them, and those of the VM's environment variables
    FileStamp javaProgram;               // <home>\bin\java.exe, which assembles an AOT cache
};

struct StartupCacheDecision {
    bool possible = false;
    std::wstring reason;   // why not, for the trace
    std::wstring key;      // 32 hex digits, when possible
    bool aotCache = false; // the AOT cache, not the dynamic archive
};

StartupCacheDecision DecideStartupCache(const StartupCacheFacts& facts);

// The files of the cache folder: "<key>.<size>.jsa" a complete archive of that size,
// "<key>.<process id>.tmp" one being written by that process.
std::wstring ArchiveFileName(const std::wstring& key, uint64_t size);
std::wstring TemporaryFileName(const std::wstring& key, uint32_t processId);
// "<key>.<process id>.classlist": the classes that process loaded, for an AOT cache; a temporary file too,
// as is "<key>.<process id>.aotjob", the job of a process assembling an AOT cache.
std::wstring ClassListFileName(const std::wstring& key, uint32_t processId);
// "<key>.0.noaot": the AOT cache of this key could not be assembled; the dynamic archive instead.
std::wstring UnassembledFileName(const std::wstring& key);

struct CacheFileName {
    enum Kind { Other, Archive, Temporary, Unassembled } kind = Other;
    std::wstring key;
    uint64_t number = 0;   // the size of an archive, the process id of a temporary file
    std::wstring extension;   // "jsa", "tmp", "classlist", "aotjob", "noaot"
};
CacheFileName ParseCacheFileName(const std::wstring& name);

// The smallest file that can be a whole archive, and the first bytes of every archive.
constexpr uint64_t kMinimumArchiveSize = 4096;
// True for a file that begins with an archive's magic number and is at least kMinimumArchiveSize.
bool LooksLikeArchive(const std::string& firstBytes, uint64_t size);
// The same on `count` bytes; allocates nothing, so a forked child may call it.
bool LooksLikeArchive(const char* firstBytes, size_t count, uint64_t size);

// The options of the java program that assembles the AOT cache `output` from `classList`:
// the class path (the last -Djava.class.path) and the options that shape an archive, as the
// training run had them.
config::NarrowList AssemblyOptions(const config::NarrowList& vmOptions, const std::string& classList,
                                   const std::string& output);

// The folder of one application under the cache root: its executable's base name (for people)
// and the digest of its final path (so that two copies never share a file).
std::wstring ApplicationFolderName(const std::wstring& executableName, const std::wstring& foldedFinalPath);

}  // namespace kestran::runtime
