#include "jvm/vm_c_runtime.h"

#include <algorithm>
#include <cctype>

namespace kestran::jvm {
namespace {

std::string Lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

// msvcr71.dll, msvcr100.dll, msvcr120.dll: the versioned runtimes of Visual C++ 2003 to 2013.
bool VersionedClassic(const std::string& name) {
    if (!StartsWith(name, "msvcr") || name.size() <= 9 || name.compare(name.size() - 4, 4, ".dll") != 0) return false;
    const std::string digits = name.substr(5, name.size() - 9);
    return std::all_of(digits.begin(), digits.end(), [](unsigned char c) { return std::isdigit(c) != 0; });
}

}  // namespace

CRuntimeFamily ChooseVmCRuntime(const std::vector<std::string>& importedModules, std::string& moduleName) {
    CRuntimeFamily chosen = CRuntimeFamily::Unknown;
    std::string chosenName;
    std::string plainName;  // msvcrt.dll's import, when there is one
    for (const std::string& original : importedModules) {
        const std::string name = Lowered(original);
        CRuntimeFamily family = CRuntimeFamily::Unknown;
        if (name == "ucrtbase.dll" || StartsWith(name, "api-ms-win-crt-stdio-")) {
            family = CRuntimeFamily::Universal;
        } else if (VersionedClassic(name)) {
            family = CRuntimeFamily::Classic;
        } else if (name == "msvcrt.dll") {
            plainName = original;
            continue;
        } else {
            continue;
        }
        // The UCRT's forwarder and ucrtbase.dll are one runtime; anything else beside a
        // runtime already found leaves the stream's owner unknown.
        const bool sameRuntime = chosen == CRuntimeFamily::Universal && family == CRuntimeFamily::Universal;
        if (chosen != CRuntimeFamily::Unknown && !sameRuntime && Lowered(chosenName) != name) return CRuntimeFamily::Unknown;
        if (chosen == CRuntimeFamily::Unknown) {
            chosen = family;
            chosenName = original;
        }
    }
    if (chosen == CRuntimeFamily::Unknown && !plainName.empty()) {
        chosen = CRuntimeFamily::Classic;
        chosenName = plainName;
    }
    if (chosen != CRuntimeFamily::Unknown) moduleName = chosenName;
    return chosen;
}

}  // namespace kestran::jvm
