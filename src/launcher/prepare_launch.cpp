#include "config/launcher_settings.h"
#include "config/messages.h"
#include "launcher/launch_steps.h"
#include "launcher/pair_handover.h"
#include "launcher/process_environment.h"
#include "launcher/single_instance.h"
#include "platform/pe_header.h"
#include "platform/trace.h"
#include "runtime/runtime_search.h"
#include "runtime/vm_library_machine.h"
#include "ui/runtime_not_found.h"

namespace kestran::launcher {

bool PrepareLaunch(Launcher& launcher) {
    launcher.startedByHandOver = TakeHandOverMark();
    ParseCommandLine(launcher, launcher.arguments);
    if (!config::LoadLauncherSettings(launcher)) return false;
    if (!AcquireSingleInstance(launcher)) return false;
    if (launcher.singleInstance && !launcher.isPrimaryInstance) return true;
    if (launcher.overrideWorkingDir) ApplyWorkingDirectory();
    // A service connects to the control manager first and searches under "start pending".
    if (launcher.serviceMode) return true;
    return LocateRuntime(launcher);
}

bool LocateRuntime(Launcher& launcher) {
    if (runtime::FindJavaRuntime(launcher, launcher)) return true;
    // A runtime was there, only of the wrong kind: saying which kind helps more than a dialog.
    if (launcher.foreignMachine == platform::kMachineI386) {
        config::PrintErrorLine(config::FormatMessageId(config::kMsgRuntimeIs32Bit, {launcher.foreignLibraryPath}));
        return false;
    }
    if (launcher.foreignMachine != 0) {
        config::PrintErrorLine(config::FormatMessageId(
            config::kMsgRuntimeArchitecture,
            {launcher.foreignLibraryPath, platform::DescribeMachine(launcher.foreignMachine)}));
        return false;
    }

    std::wstring range = config::DescribeVersionRange(launcher.minVersion, launcher.maxVersion, config::Messages());
    unsigned messageId = launcher.jvmType == 1 ? config::kMsgJreNotFoundServer : config::kMsgJreNotFound;
    std::wstring message = config::FormatMessageId(messageId, {range});

    std::wstring pickedFolder;
    std::wstring pickedLibraryPath;
    // A picked folder is judged as the search judges one: its library must be of a machine this
    // process (or, for x86, the pair program) can load.
    const runtime::MachineCheckingProber files(!launcher.pairProduct.empty());
    // A service has no interactive desktop: a dialog would wait for ever for an answer.
    int result = launcher.serviceMode
                     ? ui::kDialogCannotShow
                     : ui::ShowRuntimeNotFoundDialog(message, launcher.jvmType, files, pickedFolder, pickedLibraryPath);
    if (result == ui::kDialogCannotShow) {
        // Nobody can answer a dialog here: say it on the console rather than end silently,
        // with the address that the dialog would have offered as its link.
        config::PrintErrorLine(message + L" " + ui::kDownloadAddress);
        return false;
    }
    if (result != ui::kDialogOk) return false;

    launcher.vmLibraryPath = pickedLibraryPath;
    runtime::CheckVmLibraryMachine(launcher, launcher);
    std::wstring settingsFile;
    if (config::SettingsFilePath(settingsFile)) config::WriteBackJrePath(launcher, settingsFile, pickedFolder);
    launcher.settings.reset();  // the settings file may have just been written
    return true;
}

}  // namespace kestran::launcher
