// What the runtime search decided, and what the option assembly built for the VM: plain data,
// written by the runtime steps and read by the VM steps.
#pragma once

#include <cstdint>
#include <string>

#include "config/launch_settings.h"

namespace kestran::runtime {

// The chosen runtime.
struct RuntimeChoice {
    std::wstring vmLibraryPath;          // full path of the chosen jvm.dll
    bool handOverToPair = false;         // the paired (32-bit) program must run it
    // The first runtime the search refused for its architecture, when nothing was chosen.
    std::wstring foreignLibraryPath;
    uint16_t foreignMachine = 0;
};

// How the VM is created and what the Java program's main receives.
struct JavaInvocation {
    config::NarrowList vmOptions;        // handed to JNI_CreateJavaVM, in order
    config::WideList arguments;          // what the Java program's main receives
    uint64_t threadStackSize = 0;        // bytes; 0 = the executable's default
    bool vmOptionRefused = false;        // an option could not reach the VM unchanged (its line printed)
};

}  // namespace kestran::runtime
