#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "jvm/vm_c_runtime.h"

using kestran::jvm::ChooseVmCRuntime;
using kestran::jvm::CRuntimeFamily;

// Faults: a log file handed to the wrong runtime's functions (msvcrt.dll taken over the UCRT a
// JDK imports, or one of two versioned runtimes picked at random), or the hook left out for a
// Java 8 runtime.
TEST(ChooseVmCRuntime, TheRuntimeWhoseStreamsTheVmPrintsTo) {
    struct Case {
        std::vector<std::string> imports;
        CRuntimeFamily family;
        std::string module;
    } cases[] = {
        {{"KERNEL32.dll", "VCRUNTIME140.dll", "api-ms-win-crt-stdio-l1-1-0.dll", "api-ms-win-crt-heap-l1-1-0.dll"},
         CRuntimeFamily::Universal, "api-ms-win-crt-stdio-l1-1-0.dll"},
        {{"msvcrt.dll", "ucrtbase.dll"}, CRuntimeFamily::Universal, "ucrtbase.dll"},
        {{"KERNEL32.dll", "MSVCR100.dll"}, CRuntimeFamily::Classic, "MSVCR100.dll"},
        {{"msvcrt.dll"}, CRuntimeFamily::Classic, "msvcrt.dll"},
        {{"msvcr120.dll", "api-ms-win-crt-stdio-l1-1-0.dll"}, CRuntimeFamily::Unknown, ""},
        {{"KERNEL32.dll", "msvcrtx.dll", "msvcr.dll"}, CRuntimeFamily::Unknown, ""},
    };
    for (const Case& c : cases) {
        std::string module;
        EXPECT_EQ(ChooseVmCRuntime(c.imports, module), c.family) << c.imports.back();
        EXPECT_EQ(module, c.module) << c.imports.back();
    }
}
