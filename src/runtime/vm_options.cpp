#include "runtime/vm_options.h"

#include "config/launcher_settings.h"
#include "config/messages.h"
#include "config/paths.h"
#include "config/split.h"
#include "platform/decimal_text.h"
#include "platform/trace.h"
#include "runtime/class_path.h"
#include "runtime/option_narrowing.h"
#include "runtime/vm_parameters.h"

namespace kestran::runtime {

namespace {

// The module path is asked for at most once per assembly, so that a failure to read it
// prints its error line once, however many items need it.
class ModulePathOnce {
public:
    explicit ModulePathOnce(OptionSources& sources) : sources_(sources) {}
    bool Get(std::wstring& out) {
        if (!asked_) {
            asked_ = true;
            known_ = sources_.ModulePath(path_);
        }
        if (known_) out = path_;
        return known_;
    }

private:
    OptionSources& sources_;
    bool asked_ = false;
    bool known_ = false;
    std::wstring path_;
};

std::wstring BuildClassPath(const config::SettingsStore& settings, OptionSources& sources, ModulePathOnce& module) {
    std::wstring value;
    settings.getRawValue(L"Class Path", L"Class Path", value);
    std::vector<std::wstring> items;
    config::SplitList(value, L";", items);

    MatchLister lister = [&sources](const std::wstring& pattern, std::vector<std::wstring>& names) {
        sources.ListMatches(pattern, names);
    };
    std::wstring classPath;
    for (std::wstring& item : items) {
        // An item may be quoted for its spaces, as it would be on a command line.
        StripQuotes(item);
        sources.ExpandEnvironment(item);
        if (!ClassPathItemNeedsSearch(item)) {
            AppendClassPathElement(classPath, item);
            continue;
        }
        // An empty item would search the launcher's folder itself ("C:\app\"), which
        // names no class path entry.
        if (item.empty()) continue;
        std::wstring moduleFolder;
        if (!IsClassPathItemAbsolute(item)) {
            std::wstring modulePath;
            if (!module.Get(modulePath)) continue;
            moduleFolder = config::FolderOf(modulePath);
        }
        const size_t added = ExpandClassPathEntry(item, moduleFolder, lister, classPath);
        if (platform::TraceEnabled()) {
            platform::Trace(L"class path item \"" + item + L"\": " + platform::DecimalText(added) + L" match(es)");
        }
    }
    return classPath;
}

// A file named relatively (an output file, the splash picture) lands beside the launcher, as a
// relative "JRE Path" does, whatever the working directory: a service starts in the system folder.
void ResolveBesideLauncher(std::wstring& file, ModulePathOnce& module) {
    if (file.empty() || config::IsAbsolutePath(file)) return;
    std::wstring modulePath;
    if (module.Get(modulePath)) file = config::FolderOf(modulePath) + L"\\" + file;
}

// A "-splash:" parameter wins over "Splash Image", as the java command line wins over the
// jar's manifest; an empty one shows none.
void ReadSplashSettings(const config::SettingsStore& settings, const std::wstring* splashParameter,
                        OptionSources& sources, ModulePathOnce& module, config::SplashSettings& out) {
    if (splashParameter != nullptr) {
        out.image = *splashParameter;
    } else {
        settings.getValue(L"Application", L"Splash Image", out.image);
    }
    if (!out.image.empty()) sources.ExpandEnvironment(out.image);
    ResolveBesideLauncher(out.image, module);
    std::wstring timeout;
    settings.getValue(L"Application", L"Splash Timeout", timeout);
    out.timeoutSeconds = config::ParseWholeSeconds(timeout, 0);
}

}  // namespace

bool AssembleVmOptionsFrom(config::LaunchSettings& launch, JavaInvocation& invocation,
                           const config::SettingsStore& settings, OptionSources& sources) {
    ModulePathOnce module(sources);
    std::wstring classPath = BuildClassPath(settings, sources, module);

    std::wstring embedded;
    settings.getValue(L"Application", L"Embedded Jar", embedded);
    if (config::IsYesAnyCase(embedded)) {
        std::wstring modulePath;
        if (module.Get(modulePath)) {
            AppendClassPathElement(modulePath, classPath);
            classPath = std::move(modulePath);
        }
    }

    // Without a class path the VM still gets everything else the settings say: its own
    // default class path may be all the application needs, and a "-Djava.class.path=" among
    // the parameters must not be lost.
    if (classPath.empty()) {
        config::PrintErrorLine(config::FormatMessageId(config::kMsgNoClassPath));
    } else {
        // Each item was expanded on its own: expanding the whole option again would turn a
        // file name or a variable's value that holds %NAME% into something else.
        AppendVmOption(invocation, L"-Djava.class.path=" + classPath);
    }

    std::wstring parameters;
    settings.getRawValue(L"Java Runtime Environment", L"Virtual Machine Parameters", parameters);
    std::wstring splashParameter;
    bool splashGiven = false;
    if (!parameters.empty()) {
        MemoryStatus memory = sources.Memory();
        std::vector<std::wstring> options;
        for (std::wstring& token : SplitVmParameters(parameters)) {
            std::wstring unquoted = token;
            StripQuotes(unquoted);
            if (config::TakeSplashOption(unquoted, splashParameter)) {
                splashGiven = true;
                continue;
            }
            AddVmParameter(std::move(token), memory, invocation.threadStackSize, options);
        }
        // Expanded only now, so that %NAME% inside an option takes no part in the percentage
        // arithmetic above.
        for (std::wstring& option : options) {
            sources.ExpandEnvironment(option);
            AppendVmOption(invocation, option);
        }
    }

    ReadSplashSettings(settings, splashGiven ? &splashParameter : nullptr, sources, module, launch.splash);

    std::wstring value;
    settings.getValue(L"Application", L"Output File", launch.outputFile);
    if (!launch.outputFile.empty()) sources.ExpandEnvironment(launch.outputFile);
    ResolveBesideLauncher(launch.outputFile, module);
    settings.getValue(L"Application", L"Output Append", value);
    launch.outputAppend = value == L"yes";

    settings.getValue(L"Application", L"Error File", launch.errorFile);
    if (!launch.errorFile.empty()) sources.ExpandEnvironment(launch.errorFile);
    ResolveBesideLauncher(launch.errorFile, module);
    settings.getValue(L"Application", L"Error Append", value);
    launch.errorAppend = value == L"yes";

    settings.getRawValue(L"Application", L"Cmd", launch.cmdText);
    if (!launch.cmdText.empty()) {
        std::wstring cmd = launch.cmdText;
        sources.ExpandEnvironment(cmd);
        std::vector<std::wstring> cmdArguments;
        config::SplitArguments(cmd, cmdArguments);
        for (std::wstring& argument : cmdArguments) {
            if (!argument.empty()) invocation.arguments.push_back(std::move(argument));
        }
    }
    return !classPath.empty();
}

bool AssembleVmOptions(config::LaunchSettings& launch, JavaInvocation& invocation) {
    // The settings as read at start; read again after the runtime dialog wrote to them.
    if (!launch.settings) {
        std::wstring settingsFile;
        if (!config::SettingsFilePath(settingsFile)) return false;
        launch.settings = config::OpenLayeredSettings(settingsFile);
    }
    return AssembleVmOptionsFrom(launch, invocation, *launch.settings, PlatformOptionSources());
}

}  // namespace kestran::runtime
