#include <windows.h>

#include <gtest/gtest.h>

#include <thread>

#include "launcher/launch_steps.h"
#include "launcher/single_instance.h"
#include "launcher/single_instance_win.h"
#include "platform/handles_win.h"

namespace kestran::launcher {
namespace {

// A later instance in this process, against a first instance played here too: the block under
// this executable's name, and (unless it is gone) a listener that publishes its id only after
// a delay, then answers one request with 42. A first instance that is gone while its block
// stays (held here) makes the later start run on its own once its tries are spent.
TEST(SingleInstanceWinTest, LaterInstanceReachesOrOutlivesTheFirst) {
    struct Case {
        const char* name;
        DWORD processId;
        uint32_t exitCode;
        WideList received;
    } cases[] = {
        {"first instance gone: runs on its own", 0x7FFFFFFC, 0, {}},
        {"listener not yet listening", GetCurrentProcessId(), 42, {L"a", L"b"}},
    };
    std::wstring modulePath;
    ASSERT_TRUE(GetModulePath(modulePath));
    InstanceIdentity identity;
    ASSERT_TRUE(MakeInstanceIdentity(modulePath, identity));
    const std::wstring& name = identity.name;
    for (const Case& c : cases) {
        platform::UniqueHandle mapping(CreateFileMappingW(INVALID_HANDLE_VALUE, &identity.attributes, PAGE_READWRITE, 0, kInstanceBlockSize, name.c_str()));
        auto* block = static_cast<DWORD*>(MapViewOfFile(mapping.get(), FILE_MAP_WRITE, 0, 0, 0));
        block[0] = c.exitCode == 0 ? 1234 : 0;
        block[1] = c.processId;
        block[2] = RegisterWindowMessageW(name.c_str());
        WideList received;
        std::thread listener([&] {
            if (c.exitCode == 0) return;
            MSG message;
            PeekMessageW(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
            Sleep(300);
            InterlockedExchange(reinterpret_cast<volatile LONG*>(&block[0]), static_cast<LONG>(GetCurrentThreadId()));
            while (GetMessageW(&message, nullptr, 0, 0) > 0 && message.message != block[2]) {
            }
            ReadForwardedArguments(reinterpret_cast<const uint8_t*>(block) + kArgumentAreaOffset, kArgumentAreaSize, received);
            PostThreadMessageW(static_cast<DWORD>(message.wParam), block[2], 42, 0);
        });
        {
            Launcher launcher;
            launcher.singleInstance = true;
            launcher.arguments = {L"a", L"b"};
            const bool settled = AcquireSingleInstance(launcher);
            EXPECT_TRUE(settled && !launcher.isPrimaryInstance) << c.name;
            EXPECT_EQ(launcher.singleInstance, c.exitCode != 0) << c.name;
            if (settled && launcher.singleInstance) {
                EXPECT_EQ(WaitForPrimary(launcher), c.exitCode) << c.name;
            } else if (c.exitCode != 0) {
                PostThreadMessageW(block[0], WM_QUIT, 0, 0);  // lets the listener end
            }
        }
        listener.join();
        EXPECT_EQ(received, c.received) << c.name;
        UnmapViewOfFile(block);
    }
}

}  // namespace
}  // namespace kestran::launcher
