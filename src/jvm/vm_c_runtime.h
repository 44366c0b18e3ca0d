// The VM library's own C runtime: the one whose FILE* the VM hands to its "vfprintf" hook. Such a
// FILE* may only go back to that runtime's functions; the launcher's runtime is another one.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

namespace kestran::jvm {

// The families of C runtime a Windows VM library is built against, by what their stdio exports.
enum class CRuntimeFamily {
    Unknown,    // none of the known runtimes, or more than one: the launcher cannot tell
    Universal,  // ucrtbase.dll or its api-ms-win-crt-stdio forwarder: __acrt_iob_func, __stdio_common_*
    Classic,    // msvcrNNN.dll or msvcrt.dll: __iob_func, vfprintf, _vsnprintf
};

// The runtime among the names in a VM library's import table (any case). A versioned runtime
// (the UCRT, msvcrNNN) wins over msvcrt.dll, which components built with other compilers import
// beside it; two different versioned runtimes cannot be told apart. On a known family,
// `moduleName` is the import to ask for the functions; untouched otherwise.
CRuntimeFamily ChooseVmCRuntime(const std::vector<std::string>& importedModules, std::string& moduleName);

// The functions of the VM's runtime that the hook needs. Filled once per process, before the
// VM is created; empty (false) when the runtime is not known, and the hook is then not installed.
struct VmCRuntime {
    std::wstring name;  // for the trace
    FILE* standardOutput = nullptr;
    FILE* standardError = nullptr;
    // vfprintf of that runtime, for any of its streams.
    int (*print)(FILE* stream, const char* format, va_list arguments) = nullptr;
    // vsnprintf of that runtime: the length the text needs, whatever `size` is.
    int (*format)(char* buffer, size_t size, const char* format, va_list arguments) = nullptr;
    // fflush of that runtime.
    int (*flush)(FILE* stream) = nullptr;

    explicit operator bool() const { return standardOutput && standardError && print && format && flush; }
};

// Binds the runtime of the loaded VM library `module` (an HMODULE on Windows, a dlopen handle
// elsewhere). Empty, with a trace line saying why, when it cannot tell.
VmCRuntime BindVmCRuntime(void* module);

}  // namespace kestran::jvm
