#include <gtest/gtest.h>

#include <string>

#include "platform/error_route.h"
#include "platform/trace.h"

using kestran::platform::RouteErrorLine;
using kestran::platform::TraceValueNamesFile;

// Faults: a redirected windowed launch that also shows a box (or loses the line from its file);
// a service that tries a box nobody can close; a console exe that stops writing its lines.
TEST(RouteErrorLine, EachKindOfProcessSendsTheLineWhereSomeoneLooks) {
    struct Case {
        const char* name;
        bool output, windowed, service;
        bool toOutput, toEventLog, kept;
    } cases[] = {
        {"console", true, false, false, true, false, false},
        {"console without output", false, false, false, false, false, false},
        {"windowed, redirected", true, true, false, true, false, false},
        {"windowed from Explorer", false, true, false, false, false, true},
        {"service", false, false, true, false, true, false},
        {"windowed service", false, true, true, false, true, false},
        {"service with an output", true, true, true, true, true, false},
    };
    for (const Case& c : cases) {
        const auto route = RouteErrorLine(c.output, c.windowed, c.service);
        EXPECT_EQ(route.standardOutput, c.toOutput) << c.name;
        EXPECT_EQ(route.eventLog, c.toEventLog) << c.name;
        EXPECT_EQ(route.kept, c.kept) << c.name;
    }
}

// Faults: "1" or "yes" taken for a file name (the trace lost in a file called "1"), or a path
// written on standard error, where a windowed or service launch has nobody reading.
TEST(TraceValueNamesFile, PathsNameFilesSwitchesDoNot) {
    struct Case {
        const wchar_t* value;
        bool file;
    } cases[] = {
        {L"1", false}, {L"yes", false}, {L"trace.txt", false},
        {L"C:\\logs\\trace.txt", true}, {L"logs\\trace.txt", true}, {L"\\\\server\\share\\t.txt", true},
        {L"logs/trace.txt", true}, {L"D:trace.txt", true},
    };
    for (const Case& c : cases) EXPECT_EQ(TraceValueNamesFile(c.value), c.file) << std::wstring(c.value).c_str();
}

// Faults: the VM's text after main kept in memory for good, or lost where an output exists; a
// service or an Explorer start that ignores "Error File"; text before main no failure report sees.
TEST(RouteVmText, BeforeMainReportedAfterwardsTheProgramsOutput) {
    using kestran::platform::RouteVmText;
    using kestran::platform::VmTextRoute;
    struct Case {
        const char* name;
        bool output, windowed, service, mainStarted, errorFile;
        VmTextRoute route;
    } cases[] = {
        {"service starting", false, false, true, false, true, VmTextRoute::Reported},
        {"console after main", true, false, false, true, false, VmTextRoute::PassThrough},
        {"windowed, redirected, after main", true, true, false, true, true, VmTextRoute::PassThrough},
        {"windowed from Explorer with Error File", false, true, false, true, true, VmTextRoute::ErrorFile},
        {"windowed from Explorer", false, true, false, true, false, VmTextRoute::Dropped},
        {"service with an output", true, false, true, true, false, VmTextRoute::Dropped},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RouteVmText(c.output, c.windowed, c.service, c.mainStarted, c.errorFile), c.route) << c.name;
    }
}
