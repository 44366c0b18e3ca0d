// The C runtime the test runtime prints through as a VM does: the one it was built with, or, in
// a variant built with TESTJVM_CRT, the runtime named there, which the variant imports (as a real
// jvm.dll imports the UCRT or msvcr120) and reaches by its exports.
#include "testjvm.h"

#include <cstdarg>
#include <cstdio>

#ifdef TESTJVM_CRT
// The variant's import of its runtime, under a name of its own (see CMakeLists.txt).
extern "C" __declspec(dllimport) FILE* testjvm_crt_fopen(const char* name, const char* mode);
#endif

namespace testjvm {
namespace {

using UcrtIob = FILE*(__cdecl*)(unsigned);
using UcrtPrint = int(__cdecl*)(unsigned long long, FILE*, const char*, void*, va_list);
using ClassicIob = char*(__cdecl*)();
using ClassicPrint = int(__cdecl*)(FILE*, const char*, va_list);
using Close = int(__cdecl*)(FILE*);

struct NamedCrt {
    UcrtPrint ucrtPrint = nullptr;
    ClassicPrint classicPrint = nullptr;
    Close close = nullptr;
    FILE* out = nullptr;
    FILE* err = nullptr;
};

#ifdef TESTJVM_CRT
template <typename Fn>
Fn Proc(HMODULE module, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

const NamedCrt& Named() {
    static const NamedCrt crt = [] {
        NamedCrt found;
        HMODULE module = GetModuleHandleA(TESTJVM_CRT);
        if (!module) Fatal(std::string("the C runtime ") + TESTJVM_CRT + " is not loaded");
        found.close = Proc<Close>(module, "fclose");
        if (auto iob = Proc<UcrtIob>(module, "__acrt_iob_func")) {
            found.ucrtPrint = Proc<UcrtPrint>(module, "__stdio_common_vfprintf");
            found.out = iob(1);
            found.err = iob(2);
        } else if (auto classic = Proc<ClassicIob>(module, "__iob_func")) {
            found.classicPrint = Proc<ClassicPrint>(module, "vfprintf");
            found.out = reinterpret_cast<FILE*>(classic() + 48);
            found.err = reinterpret_cast<FILE*>(classic() + 96);
        }
        if (!found.close || !found.out || (!found.ucrtPrint && !found.classicPrint)) Fatal("incomplete C runtime");
        return found;
    }();
    return crt;
}
#endif

}  // namespace

FILE* VmStream(bool error) {
#ifdef TESTJVM_CRT
    return error ? Named().err : Named().out;
#else
    return error ? stderr : stdout;
#endif
}

FILE* VmOpen(const std::wstring& path) {
    const std::string name = AnsiFromUtf16(std::u16string(path.begin(), path.end()));
#ifdef TESTJVM_CRT
    return testjvm_crt_fopen(name.c_str(), "a");
#else
    return std::fopen(name.c_str(), "a");
#endif
}

void VmClose(FILE* file) {
#ifdef TESTJVM_CRT
    Named().close(file);
#else
    std::fclose(file);
#endif
}

void VmPrint(PrintHook hook, FILE* stream, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    if (hook) {
        hook(stream, format, arguments);
    } else {
#ifdef TESTJVM_CRT
        if (Named().ucrtPrint) {
            Named().ucrtPrint(0, stream, format, nullptr, arguments);
        } else {
            Named().classicPrint(stream, format, arguments);
        }
#else
        std::vfprintf(stream, format, arguments);
#endif
    }
    va_end(arguments);
}

}  // namespace testjvm
