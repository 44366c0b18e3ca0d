#include "runtime/startup_cache.h"

#include <algorithm>
#include <cstring>
#include <cwctype>

#include "config/path_hash.h"
#include "config/version_number.h"
#include "platform/decimal_text.h"
#include "runtime/memory_options.h"

namespace kestran::runtime {
namespace {

template <size_t N>
bool StartsWithAny(const std::string& text, const char* const (&prefixes)[N]) {
    for (const char* prefix : prefixes) {
        if (text.rfind(prefix, 0) == 0) return true;
    }
    return false;
}

bool ContainsNoCase(const std::wstring& text, const std::wstring& part) {
    std::wstring folded = text;
    for (wchar_t& c : folded) c = static_cast<wchar_t>(std::towlower(c));
    return folded.find(part) != std::wstring::npos;
}

// Byte for byte, so that every byte of an option keeps its own character in the key.
std::wstring Widen(const std::string& text) {
    std::wstring wide;
    for (char c : text) wide += static_cast<wchar_t>(static_cast<unsigned char>(c));
    return wide;
}

// Options that change what an archive holds or whether the VM may map it: the module graph,
// the boot class path, the heap and pointer layout the archived objects were written for
// (a heap sized from the machine's memory as well).
bool ShapesArchive(const std::string& option) {
    static const char* const kPrefixes[] = {"--", "-Djdk.module.", "-Xbootclasspath", "-XX:+Use", "-XX:-Use",
                                            "-XX:+EnableJVMCI", "-Djava.system.class.loader", "-XX:MaxHeapSize=",
                                            "-XX:MaxRAM"};
    return StartsWithAny(option, kPrefixes);
}

// Options with which HotSpot refuses to make an archive, and ends the process with 1 instead:
// agents ("Error occurred during CDS dumping"), a class pointer layout or object alignment that
// keeps the base archive from loading ("DynamicDumpSharedSpaces is unsupported when base CDS
// archive is not loaded"), and module options it rejects before the VM starts ("Cannot use the
// following option when dumping the shared archive").
bool PreventsArchive(const std::string& option) {
    static const char* const kPrefixes[] = {"-javaagent:", "-agentlib:", "-agentpath:", "-Xrun",
                                            "-XX:-UseCompressedClassPointers", "-XX:ObjectAlignmentInBytes",
                                            "--patch-module", "--limit-modules", "--upgrade-module-path"};
    return StartsWithAny(option, kPrefixes);
}

// From a heap of 32 GB the VM gives up compressed object pointers, and it does not use an
// archive made on the other side of that line (on 25 it leaves out the base archive too). The
// size itself changes nothing, and a share of the free address space (-Xmx50T) differs by a
// few bytes at every launch: only the side of the line goes into the key.
bool WideHeap(const std::string& option) {
    return option.rfind("-Xmx", 0) == 0 && ParseStackSize(Widen(option)) >= (uint64_t{32} << 30);
}

std::wstring StampText(const FileStamp& stamp) {
    if (!stamp.exists) return L"-";
    return platform::DecimalText(stamp.size) + L":" + platform::DecimalText(stamp.writeTime) + (stamp.folder ? L":d" : L"");
}

// Each entry's line of the key, under `tag`; false, with the reason, at a folder that holds
// something, which the VM cannot archive.
bool AddEntriesToKey(const std::vector<std::pair<std::wstring, FileStamp>>& entries, const wchar_t* listName,
                     const wchar_t* tag, std::wstring& text, std::wstring& reason) {
    for (const auto& [path, stamp] : entries) {
        if (stamp.folder && !stamp.folderEmpty) {
            reason = L"the " + std::wstring(listName) + L" holds the folder " + path + L", which cannot be archived";
            return false;
        }
        text += tag + path + L" " + StampText(stamp) + L"\n";
    }
    return true;
}

bool ReadNumber(const std::wstring& text, uint64_t& out) {
    if (text.empty() || text.size() > 19) return false;
    out = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') return false;
        out = out * 10 + static_cast<uint64_t>(c - L'0');
    }
    return true;
}

}  // namespace

bool ParseReleaseFile(const std::string& text, RuntimeRelease& out) {
    RuntimeRelease release;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        std::string value = line.substr(equals + 1);
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
        const std::string name = line.substr(0, equals);
        if (name == "JAVA_VERSION") release.javaVersion = Widen(value);
        if (name == "JAVA_RUNTIME_VERSION") release.runtimeVersion = Widen(value);
        if (name == "IMPLEMENTOR") release.implementor = Widen(value);
        if (name == "JVM_VARIANT") release.jvmVariant = Widen(value);
    }
    if (release.javaVersion.empty()) return false;
    out = release;
    return true;
}

int FeatureRelease(const std::wstring& javaVersion) {
    config::VersionNumber version;
    if (!config::ParseVersion(javaVersion, 0, version)) return 0;
    const int feature = version.part[0] == 1 ? version.part[1] : version.part[0];
    return feature > 0 ? feature : 0;
}

std::vector<std::wstring> SplitEnvironmentOptions(const std::wstring& text) {
    const auto space = [](wchar_t c) { return c == L' ' || (c >= L'\t' && c <= L'\r'); };
    std::vector<std::wstring> options;
    size_t at = 0;
    while (at < text.size()) {
        if (space(text[at])) {
            ++at;
            continue;
        }
        std::wstring option;
        while (at < text.size() && !space(text[at])) {
            const wchar_t c = text[at++];
            if (c != L'\'' && c != L'"') {
                option += c;
                continue;
            }
            // The VM refuses a quote left open; the rest is as good a guess as any.
            const size_t closing = std::min(text.find(c, at), text.size());
            option += text.substr(at, closing - at);
            at = std::min(closing + 1, text.size());
        }
        options.push_back(option);
    }
    return options;
}

bool NamesSharingOption(const std::string& option) {
    static const char* const kPrefixes[] = {
        "-Xshare", "-XX:SharedArchiveFile", "-XX:ArchiveClassesAtExit", "-XX:+AutoCreateSharedArchive",
        "-XX:-AutoCreateSharedArchive", "-XX:AOT", "-XX:+AOT", "-XX:-AOT", "-XX:SharedClassListFile",
        "-XX:DumpLoadedClassList", "-XX:+UseSharedSpaces", "-XX:-UseSharedSpaces", "-XX:+RecordDynamicDumpInfo",
        "-XX:Flags=", "-XX:VMOptionsFile="};
    return StartsWithAny(option, kPrefixes);
}

StartupCacheDecision DecideStartupCache(const StartupCacheFacts& facts) {
    StartupCacheDecision decision;
    if (!facts.releaseRead) {
        decision.reason = L"the runtime has no release file naming its version (Java 8 or older, or no runtime image)";
        return decision;
    }
    const int feature = FeatureRelease(facts.release.javaVersion);
    if (feature < 13) {
        decision.reason = L"Java " + facts.release.javaVersion + L" keeps no archive of an application's classes (13 or later does)";
        return decision;
    }
    if (ContainsNoCase(facts.release.jvmVariant, L"j9") || ContainsNoCase(facts.release.implementor, L"j9")) {
        decision.reason = L"not a HotSpot runtime (" + facts.release.jvmVariant + L" " + facts.release.implementor + L")";
        return decision;
    }
    if (!facts.baseArchive.exists || facts.baseArchive.folder) {
        decision.reason = L"the runtime has no base archive (classes.jsa beside its VM library)";
        return decision;
    }
    for (const std::string& option : facts.vmOptions) {
        if (NamesSharingOption(option)) {
            decision.reason = L"the VM options already name " + Widen(option.substr(0, option.find('=')));
            return decision;
        }
        if (PreventsArchive(option)) {
            // "-javaagent:apm.jar" is named up to its colon, "-XX:ObjectAlignmentInBytes=16" up to its value.
            const size_t nameEnd = option.find_first_of(":=", option.rfind("-XX:", 0) == 0 ? 4 : 0);
            decision.reason = L"the VM cannot make an archive with " + Widen(option.substr(0, nameEnd)) +
                              L" (it would end with 1)";
            return decision;
        }
    }
    if (facts.classPath.empty()) {
        decision.reason = L"no class path: the VM would look in the working directory";
        return decision;
    }

    std::wstring text = L"kestran-startup-cache 1\n" + facts.release.javaVersion + L"\n" + facts.release.runtimeVersion +
                        L"\n" + facts.release.implementor + L"\n" + facts.release.jvmVariant + L"\n" +
                        StampText(facts.vmLibrary) + L"\n" + StampText(facts.baseArchive) + L"\n";
    // The VM archives the appended boot class path too, and ends with 1 at exit on a folder in it.
    if (!AddEntriesToKey(facts.classPath, L"class path", L"cp ", text, decision.reason) ||
        !AddEntriesToKey(facts.bootClassPath, L"boot class path", L"boot ", text, decision.reason)) {
        return decision;
    }
    for (const std::string& option : facts.vmOptions) {
        if (ShapesArchive(option)) text += L"option " + Widen(option) + L"\n";
        if (WideHeap(option)) text += L"heap of 32 GB or more\n";
    }
    // Where the runtime can assemble an AOT cache, that is the one to keep: it starts faster.
    decision.aotCache = feature >= 25 && facts.javaProgram.exists && !facts.javaProgram.folder;
    text += L"java " + StampText(facts.javaProgram) + L"\n";
    decision.possible = true;
    decision.key = config::PathHash(text);
    return decision;
}

std::wstring ArchiveFileName(const std::wstring& key, uint64_t size) { return key + L"." + platform::DecimalText(size) + L".jsa"; }

std::wstring TemporaryFileName(const std::wstring& key, uint32_t processId) {
    return key + L"." + platform::DecimalText(processId) + L".tmp";
}

std::wstring ClassListFileName(const std::wstring& key, uint32_t processId) {
    return key + L"." + platform::DecimalText(processId) + L".classlist";
}

std::wstring UnassembledFileName(const std::wstring& key) { return key + L".0.noaot"; }

CacheFileName ParseCacheFileName(const std::wstring& name) {
    CacheFileName parsed;
    const size_t first = name.find(L'.');
    const size_t last = name.rfind(L'.');
    if (first != 32 || last == first) return parsed;
    const std::wstring key = name.substr(0, first);
    if (key.find_first_not_of(L"0123456789abcdef") != std::wstring::npos) return parsed;
    const std::wstring extension = name.substr(last + 1);
    uint64_t number = 0;
    if (!ReadNumber(name.substr(first + 1, last - first - 1), number)) return parsed;
    if (extension == L"jsa") {
        parsed.kind = CacheFileName::Archive;
    } else if ((extension == L"tmp" || extension == L"classlist" || extension == L"aotjob") && number <= 0xFFFFFFFFu) {
        parsed.kind = CacheFileName::Temporary;
    } else if (extension == L"noaot" && number == 0) {
        parsed.kind = CacheFileName::Unassembled;
    } else {
        return parsed;
    }
    parsed.key = key;
    parsed.number = number;
    parsed.extension = extension;
    return parsed;
}

bool LooksLikeArchive(const std::string& firstBytes, uint64_t size) {
    return LooksLikeArchive(firstBytes.data(), firstBytes.size(), size);
}

bool LooksLikeArchive(const char* firstBytes, size_t count, uint64_t size) {
    // HotSpot writes the header, with its magic number, after everything else: a file cut
    // short by a killed process or a full disk does not begin with it.
    static const unsigned char kStaticMagic[] = {0xa2, 0xab, 0x0b, 0xf0};
    static const unsigned char kDynamicMagic[] = {0xa8, 0xab, 0x0b, 0xf0};
    if (size < kMinimumArchiveSize || count < 4) return false;
    return std::memcmp(firstBytes, kDynamicMagic, 4) == 0 || std::memcmp(firstBytes, kStaticMagic, 4) == 0;
}

config::NarrowList AssemblyOptions(const config::NarrowList& vmOptions, const std::string& classList,
                                   const std::string& output) {
    // The second and third are where an assembler puts its own names (AssemblyJobText).
    config::NarrowList options = {"-Xshare:dump", "-XX:SharedClassListFile=" + classList,
                                  "-XX:SharedArchiveFile=" + output, "-XX:+AOTClassLinking"};
    static const std::string kClassPath = "-Djava.class.path=";
    std::string classPath;
    for (const std::string& option : vmOptions) {
        if (option.rfind(kClassPath, 0) == 0) classPath = option.substr(kClassPath.size());
        // The heap size decides the layout of the archived objects the VM can map; an
        // experimental collector needs its unlocking option before it.
        if (ShapesArchive(option) || option.rfind("-Xmx", 0) == 0 || option.rfind("-XX:+Unlock", 0) == 0) {
            options.push_back(option);
        }
    }
    options.push_back("-cp");
    options.push_back(classPath);
    return options;
}

std::wstring ApplicationFolderName(const std::wstring& executableName, const std::wstring& foldedFinalPath) {
    std::wstring readable;
    for (wchar_t c : executableName.substr(0, executableName.rfind(L'.'))) {
        if (readable.size() == 40) break;
        const bool plain = (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') || c == L'-' || c == L'_';
        readable += plain ? c : L'_';
    }
    return readable + L"-" + config::PathHash(foldedFinalPath).substr(0, 16);
}

}  // namespace kestran::runtime
