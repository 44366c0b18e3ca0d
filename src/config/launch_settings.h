// The launch's settings as read from the settings files: what the runtime search, the option
// assembly and the VM steps are told. Plain data, filled by LoadLauncherSettings (and the
// option assembly for the redirection keys); read by everything after it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "config/splash_settings.h"
#include "config/version_number.h"

namespace kestran::config {

class SettingsStore;

using WideList = std::vector<std::wstring>;
using NarrowList = std::vector<std::string>;

struct LaunchSettings {
    int32_t jvmType = 0;                 // 1: only a server VM will do; 2: server favoured
    std::wstring mainClass;              // with "/" instead of "."
    VersionNumber minVersion;
    VersionNumber maxVersion;

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
    WideList preferredVersions;
    std::wstring jrePath;                // absolute after loading the settings
    std::wstring libraryPath;
    bool singleInstance = false;

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
    uint32_t stopTimeout = 30;           // seconds a service's stop() has before System.exit(0)
    SplashSettings splash;               // "Splash Image" (or -splash:) and "Splash Timeout"

    // The settings file as read at start, kept so that it is read once (null after a write).
    std::shared_ptr<SettingsStore> settings;
};

}  // namespace kestran::config
