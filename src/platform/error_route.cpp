#include "platform/error_route.h"

namespace kestran::platform {

ErrorRoute RouteErrorLine(bool outputUsable, bool windowed, bool service) {
    ErrorRoute route;
    // An output that exists keeps every line, whatever else sees it: a build script or
    // "MyAppw.exe > log.txt" reads it there, and a console exe never changes where its lines go.
    route.standardOutput = outputUsable;
    route.eventLog = service;
    // A service has no desktop to show a box on; with an output the lines are already seen.
    route.kept = windowed && !outputUsable && !service;
    return route;
}

VmTextRoute RouteVmText(bool outputUsable, bool windowed, bool service, bool mainStarted, bool errorFileSet) {
    if (!mainStarted) return VmTextRoute::Reported;
    if (service || (windowed && !outputUsable)) return errorFileSet ? VmTextRoute::ErrorFile : VmTextRoute::Dropped;
    return VmTextRoute::PassThrough;
}

}  // namespace kestran::platform
