// Linked into the executable itself (not the core library), so that it is in place before the
// C++ runtime's own definition would be pulled in.
//
// The runtime's terminate handler names the type of an uncaught exception through the Itanium
// demangler, which brings 45 KB of code to the launcher for a message that only a crash prints.
// The demangler's contract lets it decline ("not a mangled name"); the handler then prints the
// mangled name (e.g. St13runtime_error) and aborts exactly as before.
#include <cstddef>

namespace __cxxabiv1 {

extern "C" char* __cxa_demangle(const char*, char*, std::size_t*, int* status) {
    if (status != nullptr) *status = -2;
    return nullptr;
}

}  // namespace __cxxabiv1
