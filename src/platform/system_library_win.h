// Windows system libraries beyond kernel32, loaded when a feature first needs them.
//
// The executable imports only kernel32 and the C runtime, so a plain launch maps nothing it
// does not use. A feature describes the functions it needs as a table:
//
//     struct RegistryFunctions {
//         static constexpr const wchar_t* kLibrary = L"advapi32.dll";
//         decltype(&::RegOpenKeyExW) RegOpenKeyExW;
//         bool Bind(platform::SystemLibrary& library) { return library.Bind(RegOpenKeyExW, "RegOpenKeyExW"); }
//     };
//
// and asks for it with SystemFunctions<RegistryFunctions>() when it starts.
#pragma once

#include <windows.h>

#include <string>

namespace kestran::platform {

// One library of the system folder, loaded by its full path (never by bare name, so a DLL
// planted beside the launcher or in the working directory is never picked up). Never freed:
// the function tables that point into it live as long as the process.
class SystemLibrary {
public:
    explicit SystemLibrary(const wchar_t* fileName);

    // Looks `exportName` up into `slot`. False, with the failure remembered for
    // ReportFailure(), when the library did not load or the function is missing.
    template <typename Fn>
    bool Bind(Fn& slot, const char* exportName) {
        slot = reinterpret_cast<Fn>(reinterpret_cast<void*>(Lookup(exportName)));
        return slot != nullptr;
    }
    // Looks up a function that may be absent (newer than Windows 7); null without a failure.
    template <typename Fn>
    Fn Optional(const char* exportName) const {
        return module_ ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module_, exportName))) : nullptr;
    }

    bool Loaded() const { return module_ != nullptr; }
    // Message 202 naming the library, and the function when one was missing.
    void ReportFailure() const;

private:
    FARPROC Lookup(const char* exportName);

    std::wstring fileName_;
    HMODULE module_ = nullptr;
    DWORD error_ = 0;
    std::wstring missingFunction_;
};

// The function table `Table` (see above), loaded once per process on first use. Null when the
// library or one of its functions is missing; then each call prints the 202 error line, so
// every caller can simply return false.
template <typename Table>
const Table* SystemFunctions() {
    struct Loaded {
        SystemLibrary library{Table::kLibrary};
        Table table{};
        bool ok = table.Bind(library);
    };
    static Loaded loaded;  // thread-safe initialisation: the first caller loads, others wait
    if (!loaded.ok) {
        loaded.library.ReportFailure();
        return nullptr;
    }
    return &loaded.table;
}

}  // namespace kestran::platform
