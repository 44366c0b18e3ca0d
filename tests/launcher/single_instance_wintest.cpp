#include <windows.h>

#include <gtest/gtest.h>

#include <thread>

#include "launcher/launch_steps.h"
#include "launcher/single_instance.h"
#include "platform/handles_win.h"

namespace kestran::launcher {
namespace {

// The first instance, played inside the test process: the block under this executable's
// instance name, and a listener that publishes its thread id only after a delay, then answers
// one request with 42.
class FakeFirstInstance {
public:
    FakeFirstInstance(DWORD processId, DWORD publishDelayMs) {
        std::wstring modulePath;
        EXPECT_TRUE(GetModulePath(modulePath));
        const std::wstring name = InstanceObjectName(modulePath);
        mapping_.reset(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kInstanceBlockSize, name.c_str()));
        block_ = static_cast<DWORD*>(MapViewOfFile(mapping_.get(), FILE_MAP_WRITE, 0, 0, 0));
        block_[1] = processId;
        block_[2] = RegisterWindowMessageW(name.c_str());
        if (publishDelayMs == 0) {
            block_[0] = 1234;  // a listener that is gone
            return;
        }
        listener_ = std::thread([this, publishDelayMs] {
            MSG message;
            PeekMessageW(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
            Sleep(publishDelayMs);
            InterlockedExchange(reinterpret_cast<volatile LONG*>(&block_[0]), static_cast<LONG>(GetCurrentThreadId()));
            while (GetMessageW(&message, nullptr, 0, 0) > 0 && message.message != block_[2]) {
            }
            ReadForwardedArguments(reinterpret_cast<const uint8_t*>(block_) + kArgumentAreaOffset, kArgumentAreaSize, received_);
            PostThreadMessageW(static_cast<DWORD>(message.wParam), block_[2], 42, 0);
        });
    }
    ~FakeFirstInstance() {
        if (listener_.joinable()) listener_.join();
        UnmapViewOfFile(block_);
    }
    WideList Received() {
        if (listener_.joinable()) listener_.join();
        return received_;
    }

private:
    WideList received_;
    platform::UniqueHandle mapping_;
    DWORD* block_ = nullptr;
    std::thread listener_;
};

TEST(SingleInstanceWinTest, LaterInstanceReachesOrOutlivesTheFirst) {
    struct Case {
        const char* name;
        DWORD processId;
        DWORD publishDelayMs;
        uint32_t exitCode;
        WideList received;
    } cases[] = {
        {"first instance gone", 0x7FFFFFFC, 0, 0, {}},
        {"listener not yet listening", GetCurrentProcessId(), 300, 42, {L"a", L"b"}},
    };
    for (const Case& c : cases) {
        WideList received;
        uint32_t exitCode = 0xDEAD;
        {
            FakeFirstInstance first(c.processId, c.publishDelayMs);
            Launcher launcher;
            launcher.singleInstance = true;
            launcher.arguments = {L"a", L"b"};
            ASSERT_TRUE(AcquireSingleInstance(launcher)) << c.name;
            EXPECT_FALSE(launcher.isPrimaryInstance) << c.name;
            exitCode = WaitForPrimary(launcher);
            received = first.Received();
        }
        EXPECT_EQ(exitCode, c.exitCode) << c.name;
        EXPECT_EQ(received, c.received) << c.name;
    }
}

}  // namespace
}  // namespace kestran::launcher
