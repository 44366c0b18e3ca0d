// The one central object of a launch. Built on the entry thread's stack by the entry point,
// it holds every setting, the chosen VM library, the VM handles and the run flags. Other
// threads find it through CurrentLauncher(). No member is locked: each is written before the
// threads that read it exist, except the VM session, which other threads (a service stop
// request, a forwarded start) use while the Java thread may destroy the VM: it has its own lock.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "config/version_number.h"
#include "jvm/vm_entry_points.h"
#include "jvm/vm_session.h"

namespace kestran::config {
class SettingsStore;
}
namespace kestran::jvm {
class VmExitListener;
}

namespace kestran::launcher {

using WideList = std::vector<std::wstring>;
struct ForwardedRequests;
using NarrowList = std::vector<std::string>;

class Launcher {
public:
    Launcher();
    ~Launcher();
    Launcher(const Launcher&) = delete;
    Launcher& operator=(const Launcher&) = delete;

    jvm::VmExitListener* vmExitListener = nullptr;
    int32_t jvmType = 0;                 // 1: only a server VM will do; 2: server favoured
    std::wstring vmLibraryPath;          // full path of the chosen jvm.dll
    jvm::VmSession vmSession;            // the VM: published, attached to, destroyed
    JNIEnv* jniEnv = nullptr;            // valid on the Java thread only
    std::wstring mainClass;              // with "/" instead of "."
    config::VersionNumber minVersion;
    config::VersionNumber maxVersion;
    WideList arguments;                  // what the Java program's main receives

    bool serviceMode = false;
    bool omitServiceName = false;
    bool jdkAllowed = false;
    bool jreAllowed = false;
    bool eitherKind = true;
    bool jrockitAllowed = false;
    bool sunAllowed = true;
    bool ibmAllowed = false;
    bool jrockitFavoured = false;
    bool sunFavoured = true;
    bool ibmFavoured = false;

    std::wstring productName;
    std::wstring productCode;
    NarrowList vmOptions;                // handed to JNI_CreateJavaVM, in order
    WideList preferredVersions;
    std::wstring jrePath;                // absolute after loading the settings
    std::wstring libraryPath;

    void* instanceBlock = nullptr;       // mapped single-instance block
    void* instanceMapping = nullptr;     // HANDLE
    void* listenerThread = nullptr;      // HANDLE
    bool isPrimaryInstance = false;
    bool singleInstance = false;
    void* argumentsTakenEvent = nullptr; // HANDLE, auto reset: the listener has copied a request's arguments
    uint32_t forwardedReply = 0;         // a later instance: what the first instance replied
    std::shared_ptr<ForwardedRequests> forwardedRequests;  // the first instance's request threads, shared with them

    std::wstring outputFile;
    std::wstring errorFile;
    bool outputAppend = false;
    bool errorAppend = false;
    std::wstring systemPath;
    std::wstring cmdText;                // the "Cmd" setting
    std::wstring pairProduct;            // full path of the paired launcher program
    bool pairReturnCode = false;
    bool failureCheck = false;
    bool overrideWorkingDir = false;
    uint64_t threadStackSize = 0;        // bytes; 0 = the executable's default
    void* readyEvent = nullptr;          // HANDLE, manual reset
    bool handOverToPair = false;
    bool startedByHandOver = false;      // this process is the pair program of a hand-over
    uint32_t stopTimeout = 30;           // seconds a service's stop() has before System.exit(0)
    bool vmOptionRefused = false;        // an option could not reach the VM unchanged (its line printed)

    // The settings file as read at start, kept so that it is read once (null after a write).
    std::shared_ptr<config::SettingsStore> settings;

    jvm::VmEntryPoints vmEntryPoints;    // JNI_CreateJavaVM, JNI_GetDefaultJavaVMInitArgs, JVM_FindClassFromBootLoader
};

// The launcher of this process, or null before it is built and after it is destroyed.
Launcher* CurrentLauncher();

}  // namespace kestran::launcher
