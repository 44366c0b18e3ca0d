// The C runtime the test runtime prints through as a VM does: msvcrt.dll, which mingw builds it
// with, or in a variant the runtime named by TESTJVM_CRT, which that variant imports (as a real
// jvm.dll imports the UCRT or msvcr120); reached by its exports either way.
#include "testjvm.h"

#include <cstdarg>
#include <cstdio>

#ifdef TESTJVM_CRT
// The runtime's fopen under a name of its own (see CMakeLists.txt): imported, and used.
extern "C" __declspec(dllimport) FILE* testjvm_crt_fopen(const char* name, const char* mode);
#define TESTJVM_CRT_FOPEN testjvm_crt_fopen
#else
#define TESTJVM_CRT "msvcrt.dll"
#define TESTJVM_CRT_FOPEN std::fopen
#endif

namespace testjvm {
namespace {

struct Crt {
    int(__cdecl* ucrtPrint)(unsigned long long, FILE*, const char*, void*, va_list) = nullptr;
    int(__cdecl* classicPrint)(FILE*, const char*, va_list) = nullptr;
    FILE*(__cdecl* open)(const char*, const char*) = nullptr;
    int(__cdecl* close)(FILE*) = nullptr;
    FILE* out = nullptr;
    FILE* err = nullptr;
};

template <typename Fn>
void Proc(HMODULE module, const char* name, Fn& out) {
    out = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

const Crt& TheCrt() {
    static const Crt crt = [] {
        Crt found;
        HMODULE module = GetModuleHandleA(TESTJVM_CRT);
        if (!module) Fatal(std::string("the C runtime ") + TESTJVM_CRT + " is not loaded");
        found.open = TESTJVM_CRT_FOPEN;
        Proc(module, "fclose", found.close);
        FILE*(__cdecl * ucrtIob)(unsigned) = nullptr;
        char*(__cdecl * classicIob)() = nullptr;
        Proc(module, "__acrt_iob_func", ucrtIob);
        Proc(module, "__iob_func", classicIob);
        if (ucrtIob) {
            Proc(module, "__stdio_common_vfprintf", found.ucrtPrint);
            found.out = ucrtIob(1);
            found.err = ucrtIob(2);
        } else if (classicIob) {
            Proc(module, "vfprintf", found.classicPrint);
            found.out = reinterpret_cast<FILE*>(classicIob() + 48);  // the x64 FILE of these runtimes
            found.err = reinterpret_cast<FILE*>(classicIob() + 96);
        }
        if (!found.open || !found.close || !found.out || (!found.ucrtPrint && !found.classicPrint)) {
            Fatal(std::string("incomplete C runtime ") + TESTJVM_CRT);
        }
        return found;
    }();
    return crt;
}

}  // namespace

FILE* VmStream(bool error) { return error ? TheCrt().err : TheCrt().out; }

FILE* VmOpen(const std::wstring& path) {
    return TheCrt().open(AnsiFromUtf16(std::u16string(path.begin(), path.end())).c_str(), "a");
}

void VmClose(FILE* file) { TheCrt().close(file); }

void VmPrint(PrintHook hook, FILE* stream, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    if (hook) {
        hook(stream, format, arguments);
    } else if (TheCrt().ucrtPrint) {
        TheCrt().ucrtPrint(0, stream, format, nullptr, arguments);
    } else {
        TheCrt().classicPrint(stream, format, arguments);
    }
    va_end(arguments);
}

}  // namespace testjvm
