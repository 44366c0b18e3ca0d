#include <windows.h>

#include <gtest/gtest.h>

#include "jvm/java_thread_platform.h"
#include "platform/handles_win.h"

namespace kestran::jvm {
namespace {

TEST(SignalReadyEventWinTest, SetsTheManualResetEventForEveryWaiter) {
    platform::UniqueHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    ASSERT_TRUE(event);
    EXPECT_EQ(WaitForSingleObject(event.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
    SignalReadyEvent(event.get());
    // Manual reset: it stays signalled for each request thread that waits on it later.
    EXPECT_EQ(WaitForSingleObject(event.get(), 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(event.get(), 0), WAIT_OBJECT_0);
}

TEST(SignalReadyEventWinTest, NullIsIgnored) {
    SignalReadyEvent(nullptr);
}

}  // namespace
}  // namespace kestran::jvm
