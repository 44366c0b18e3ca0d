#include <windows.h>

#include "config/messages.h"
#include "jvm/vm_c_runtime.h"
#include "platform/trace.h"

namespace kestran::jvm {
namespace {

// The UCRT's printf options as a module built with Visual C++'s defaults passes them; the
// second for the vsnprintf form, which then answers with the length the text needs.
constexpr unsigned long long kUcrtPrintOptions = 4;  // _CRT_INTERNAL_PRINTF_LEGACY_WIDE_SPECIFIERS
constexpr unsigned long long kUcrtStandardSnprintf = 2;  // _CRT_INTERNAL_PRINTF_STANDARD_SNPRINTF_BEHAVIOR
// The classic runtimes' FILE (struct _iobuf) on x64: three pointers and five ints, padded.
constexpr size_t kClassicFileSize = 48;

using UcrtIobFn = FILE*(__cdecl*)(unsigned);
using UcrtPrintFn = int(__cdecl*)(unsigned long long, FILE*, const char*, void*, va_list);
using UcrtFormatFn = int(__cdecl*)(unsigned long long, char*, size_t, const char*, void*, va_list);
using ClassicIobFn = char*(__cdecl*)();
using ClassicPrintFn = int(__cdecl*)(FILE*, const char*, va_list);
using ClassicFormatFn = int(__cdecl*)(char*, size_t, const char*, va_list);
using ClassicLengthFn = int(__cdecl*)(const char*, va_list);
using FlushFn = int(__cdecl*)(FILE*);

// One VM per process: the adapters below read these, set once before the VM exists.
UcrtPrintFn ucrtPrint = nullptr;
UcrtFormatFn ucrtFormat = nullptr;
ClassicPrintFn classicPrint = nullptr;
ClassicFormatFn classicFormat = nullptr;
ClassicLengthFn classicLength = nullptr;

template <typename Fn>
Fn ProcAs(HMODULE module, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

int UcrtPrint(FILE* stream, const char* format, va_list arguments) {
    return ucrtPrint(kUcrtPrintOptions, stream, format, nullptr, arguments);
}

int UcrtFormat(char* buffer, size_t size, const char* format, va_list arguments) {
    return ucrtFormat(kUcrtPrintOptions | kUcrtStandardSnprintf, buffer, size, format, nullptr, arguments);
}

// _vsnprintf answers -1 for a buffer that is too small; _vscprintf tells the length.
int ClassicFormat(char* buffer, size_t size, const char* format, va_list arguments) {
    va_list measure;
    va_copy(measure, arguments);
    const int length = classicLength(format, measure);
    va_end(measure);
    if (length < 0 || buffer == nullptr || size == 0) return length;
    classicFormat(buffer, size, format, arguments);
    buffer[size - 1] = '\0';
    return length;
}

// The modules named in the import table of a module the loader has mapped and checked.
std::vector<std::string> ImportedModules(HMODULE module) {
    std::vector<std::string> names;
    const auto* base = reinterpret_cast<const BYTE*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (directory.VirtualAddress == 0 || directory.Size == 0) return names;
    for (const auto* entry = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
         entry->Name != 0; ++entry) {
        names.emplace_back(reinterpret_cast<const char*>(base + entry->Name));
    }
    return names;
}

VmCRuntime Unknown(const std::wstring& why) {
    platform::Trace(L"VM messages stay with the VM, no vfprintf hook: " + why);
    return {};
}

}  // namespace

VmCRuntime BindVmCRuntime(void* vmModule) {
    std::string moduleName;
    const CRuntimeFamily family = ChooseVmCRuntime(ImportedModules(static_cast<HMODULE>(vmModule)), moduleName);
    if (family == CRuntimeFamily::Unknown) return Unknown(L"the VM library's C runtime is not known");
    const std::wstring name = config::FromAnsi(moduleName);
    // Loaded with the VM library, as its import; the handle is not counted. An API set name
    // that the system resolved without a module of that name is the UCRT's own.
    HMODULE runtime = GetModuleHandleA(moduleName.c_str());
    if (runtime == nullptr && family == CRuntimeFamily::Universal) runtime = GetModuleHandleW(L"ucrtbase.dll");
    if (runtime == nullptr) return Unknown(name + L" is not loaded");

    VmCRuntime bound;
    bound.name = name;
    bound.flush = ProcAs<FlushFn>(runtime, "fflush");
    if (family == CRuntimeFamily::Universal) {
        auto iob = ProcAs<UcrtIobFn>(runtime, "__acrt_iob_func");
        ucrtPrint = ProcAs<UcrtPrintFn>(runtime, "__stdio_common_vfprintf");
        ucrtFormat = ProcAs<UcrtFormatFn>(runtime, "__stdio_common_vsprintf");
        if (iob == nullptr || ucrtPrint == nullptr || ucrtFormat == nullptr) return Unknown(name + L" lacks its stdio functions");
        bound.standardOutput = iob(1);
        bound.standardError = iob(2);
        bound.print = UcrtPrint;
        bound.format = UcrtFormat;
    } else {
        auto iob = ProcAs<ClassicIobFn>(runtime, "__iob_func");
        classicPrint = ProcAs<ClassicPrintFn>(runtime, "vfprintf");
        classicFormat = ProcAs<ClassicFormatFn>(runtime, "_vsnprintf");
        classicLength = ProcAs<ClassicLengthFn>(runtime, "_vscprintf");
        if (iob == nullptr || classicPrint == nullptr || classicFormat == nullptr || classicLength == nullptr) {
            return Unknown(name + L" lacks its stdio functions");
        }
        char* streams = iob();
        if (streams == nullptr) return Unknown(name + L" has no standard streams");
        bound.standardOutput = reinterpret_cast<FILE*>(streams + kClassicFileSize);
        bound.standardError = reinterpret_cast<FILE*>(streams + 2 * kClassicFileSize);
        bound.print = classicPrint;
        bound.format = ClassicFormat;
    }
    if (!bound.flush) return Unknown(name + L" lacks fflush");
    if (platform::TraceEnabled()) platform::Trace(L"VM C runtime: " + name);
    return bound;
}

}  // namespace kestran::jvm
