// In-memory stand-ins for the file system and the registry seen by the runtime search.
#pragma once

#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "launcher/launcher.h"
#include "runtime/registry_reader.h"
#include "runtime/runtime_probe.h"
#include "runtime/runtime_search.h"

namespace kestran::runtime::testing {

class FakeFiles : public FileProber {
public:
    bool Exists(const std::wstring& path) const override {
        ++probes;
        return paths.count(path) != 0;
    }
    // A runtime folder: bin\java.dll plus the given VM libraries ("server", "client", ...).
    void AddRuntime(const std::wstring& folder, std::initializer_list<const wchar_t*> vms, bool javaDll = true) {
        if (javaDll) paths.insert(folder + L"bin\\java.dll");
        for (const wchar_t* vm : vms) paths.insert(folder + L"bin\\" + vm + L"\\jvm.dll");
    }
    bool LoadableMachine(const std::wstring& libraryPath, uint16_t& machine) const override {
        auto found = foreignMachines.find(libraryPath);
        if (found == foreignMachines.end()) return true;
        machine = found->second;
        return false;
    }
    std::set<std::wstring> paths;
    std::map<std::wstring, uint16_t> foreignMachines;  // libraries of an architecture the process cannot use
    mutable size_t probes = 0;
};

inline std::vector<uint8_t> Utf16Bytes(const std::wstring& text, bool terminate = true) {
    std::vector<uint8_t> bytes;
    for (wchar_t ch : text) {
        bytes.push_back(static_cast<uint8_t>(ch & 0xFF));
        bytes.push_back(static_cast<uint8_t>((ch >> 8) & 0xFF));
    }
    if (terminate) bytes.insert(bytes.end(), {0, 0});
    return bytes;
}

class FakeRegistry : public RegistryReader {
public:
    bool ListSubkeys(const std::wstring& keyPath, RegistryView view, std::vector<std::wstring>& names) const override {
        names.clear();
        auto it = subkeys.find({view, keyPath});
        if (it == subkeys.end()) return false;
        names = it->second;
        return true;
    }
    bool ReadValue(const std::wstring& keyPath, RegistryView view, const std::wstring& valueName,
                   std::vector<uint8_t>& data, RegistryValueType& type) const override {
        type = RegistryValueType::String;
        reads.push_back(keyPath);
        data.clear();
        auto it = values.find({view, keyPath + L"|" + valueName});
        if (it == values.end()) return false;
        data = it->second;
        return true;
    }
    // A subkey of `keyPath` whose "JavaHome" holds `data` (none when `data` is null).
    void AddSubkey(RegistryView view, const std::wstring& keyPath, const std::wstring& name,
                   const std::vector<uint8_t>* data) {
        subkeys[{view, keyPath}].push_back(name);
        if (data) values[{view, keyPath + name + L"|JavaHome"}] = *data;
    }
    void AddRuntime(RegistryView view, const std::wstring& keyPath, const std::wstring& name, const std::wstring& home) {
        const std::vector<uint8_t> data = Utf16Bytes(home);
        AddSubkey(view, keyPath, name, &data);
    }
    std::map<std::pair<RegistryView, std::wstring>, std::vector<std::wstring>> subkeys;
    std::map<std::pair<RegistryView, std::wstring>, std::vector<uint8_t>> values;
    mutable std::vector<std::wstring> reads;
};

class FakeHost : public RuntimeSearchHost {
public:
    const FileProber& Files() const override { return files; }
    const RegistryReader& Registry(RegistryRoot root) const override {
        return root == RegistryRoot::CurrentUser ? userRegistry : registry;
    }
    bool LauncherFolder(std::wstring& out) const override {
        if (launcherFolder.empty()) return false;
        out = launcherFolder;
        return true;
    }
    std::wstring ExpandEnvironment(const std::wstring& text) const override {
        return text == L"%JAVA_HOME%" ? javaHome : text;
    }
    std::wstring FullPath(const std::wstring& path) const override { return L"C:\\cwd\\" + path; }
    void CheckVmLibraryMachine(const config::LaunchSettings& settings, RuntimeChoice& choice) const override {
        ++machineChecks;
        choice.handOverToPair = !settings.pairProduct.empty() && x86Libraries.count(choice.vmLibraryPath) != 0;
    }

    FakeFiles files;
    FakeRegistry registry;
    FakeRegistry userRegistry;
    std::wstring launcherFolder = L"C:\\App\\";
    std::wstring javaHome = L"%JAVA_HOME%";  // unset
    std::set<std::wstring> x86Libraries;
    mutable int machineChecks = 0;
};

}  // namespace kestran::runtime::testing
