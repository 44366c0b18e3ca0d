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

// Temurin, Microsoft and Semeru register each build under <version>\<VM>\MSI or \EXE, next
// to DWORD installer flags (one of them named "JavaHome"); "Path" holds the folder. OpenJ9
// builds count as IBM runtimes, HotSpot builds as Sun ones.
const RuntimeKey kInstallerRuntimeKeys[15] = {
    {L"SOFTWARE\\Eclipse Adoptium\\JDK\\", RuntimeKind::Jdk, RuntimeProvider::Sun, L"", L"hotspot\\MSI", L"Path", true},
    {L"SOFTWARE\\Eclipse Adoptium\\JDK\\", RuntimeKind::Jdk, RuntimeProvider::Sun, L"", L"hotspot\\EXE", L"Path", true},
    {L"SOFTWARE\\Eclipse Adoptium\\JRE\\", RuntimeKind::Jre, RuntimeProvider::Sun, L"", L"hotspot\\MSI", L"Path", true},
    {L"SOFTWARE\\Eclipse Adoptium\\JRE\\", RuntimeKind::Jre, RuntimeProvider::Sun, L"", L"hotspot\\EXE", L"Path", true},
    {L"SOFTWARE\\AdoptOpenJDK\\JDK\\", RuntimeKind::Jdk, RuntimeProvider::Sun, L"", L"hotspot\\MSI", L"Path", true},
    {L"SOFTWARE\\AdoptOpenJDK\\JRE\\", RuntimeKind::Jre, RuntimeProvider::Sun, L"", L"hotspot\\MSI", L"Path", true},
    {L"SOFTWARE\\AdoptOpenJDK\\JDK\\", RuntimeKind::Jdk, RuntimeProvider::Ibm, L"", L"openj9\\MSI", L"Path", true},
    {L"SOFTWARE\\AdoptOpenJDK\\JRE\\", RuntimeKind::Jre, RuntimeProvider::Ibm, L"", L"openj9\\MSI", L"Path", true},
    {L"SOFTWARE\\Semeru\\JDK\\", RuntimeKind::Jdk, RuntimeProvider::Ibm, L"", L"openj9\\MSI", L"Path", true},
    {L"SOFTWARE\\Semeru\\JRE\\", RuntimeKind::Jre, RuntimeProvider::Ibm, L"", L"openj9\\MSI", L"Path", true},
    {L"SOFTWARE\\Microsoft\\JDK\\", RuntimeKind::Jdk, RuntimeProvider::Sun, L"", L"hotspot\\MSI", L"Path", true},
    {L"SOFTWARE\\Microsoft\\JDK\\", RuntimeKind::Jdk, RuntimeProvider::Sun, L"", L"hotspot\\EXE", L"Path", true},
    {L"SOFTWARE\\SapMachine\\JDK\\", RuntimeKind::Jdk, RuntimeProvider::Sun, L"", L"", L"JavaHome", true},
    {L"SOFTWARE\\SapMachine\\JRE\\", RuntimeKind::Jre, RuntimeProvider::Sun, L"", L"", L"JavaHome", true},
    // Subkeys named zulu-<major>; the Zulu MSI installs a JDK.
    {L"SOFTWARE\\Azul Systems\\Zulu\\", RuntimeKind::Jdk, RuntimeProvider::Sun, L"", L"", L"InstallationPath", true},
};

const VmLibraryLocation kVmLibraryLocations[5] = {
    {L"bin\\client\\jvm.dll", false},
    {L"bin\\classic\\jvm.dll", false},
    {L"bin\\hotspot\\jvm.dll", false},
    {L"bin\\server\\jvm.dll", true},
    {L"bin\\jrockit\\jvm.dll", false},
};

}  // namespace kestran::runtime
