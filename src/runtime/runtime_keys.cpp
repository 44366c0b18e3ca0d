#include "runtime/runtime_keys.h"

namespace kestran::runtime {

const RuntimeKey kRuntimeKeys[7] = {
    {L"Software\\JavaSoft\\JDK\\", RuntimeKind::Jdk, RuntimeProvider::Sun, L""},
    {L"Software\\JavaSoft\\JRE\\", RuntimeKind::Jre, RuntimeProvider::Sun, L""},
    // Before Java 9 a JDK registered its own folder; the runtime proper is its "jre" subfolder.
    {L"Software\\JavaSoft\\Java Development Kit\\", RuntimeKind::Jdk, RuntimeProvider::Sun, L"jre\\"},
    {L"Software\\JavaSoft\\Java Runtime Environment\\", RuntimeKind::Jre, RuntimeProvider::Sun, L""},
    {L"Software\\JRockit\\Java Runtime Environment\\", RuntimeKind::Jre, RuntimeProvider::JRockit, L""},
    {L"Software\\JRockit\\Java Development Kit\\", RuntimeKind::Jdk, RuntimeProvider::JRockit, L"jre\\"},
    {L"Software\\IBM\\Java2 Runtime Environment\\", RuntimeKind::Jre, RuntimeProvider::Ibm, L""},
};

const VmLibraryLocation kVmLibraryLocations[5] = {
    {L"bin\\client\\jvm.dll", false},
    {L"bin\\classic\\jvm.dll", false},
    {L"bin\\hotspot\\jvm.dll", false},
    {L"bin\\server\\jvm.dll", true},
    {L"bin\\jrockit\\jvm.dll", false},
};

}  // namespace kestran::runtime
