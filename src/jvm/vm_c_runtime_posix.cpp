#include <cstdio>

#include "jvm/vm_c_runtime.h"

namespace kestran::jvm {
namespace {

int Print(FILE* stream, const char* format, va_list arguments) { return std::vfprintf(stream, format, arguments); }

int Format(char* buffer, size_t size, const char* format, va_list arguments) {
    return std::vsnprintf(buffer, size, format, arguments);
}

}  // namespace

// A Linux process has one C runtime: the VM's streams are the host's.
VmCRuntime BindVmCRuntime(void*) {
    VmCRuntime bound;
    bound.name = L"libc";
    bound.standardOutput = stdout;
    bound.standardError = stderr;
    bound.print = Print;
    bound.format = Format;
    bound.flush = std::fflush;
    return bound;
}

}  // namespace kestran::jvm
