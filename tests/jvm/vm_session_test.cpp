#include "jvm/vm_session.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <stdexcept>

namespace kestran::jvm {
namespace {

using std::chrono::milliseconds;

// A teardown that waited for a stuck helper would never end; one that let a thrown exception
// out of a helper would end the process.
TEST(VmSession, HelpersAreJoinedWithABound) {
    struct Case {
        const char* name;
        bool blocks;
        bool throws;
        bool allEnded;
    } cases[] = {
        {"ends", false, false, true},
        {"throws", false, true, true},
        {"blocks", true, false, false},
    };
    for (const Case& c : cases) {
        std::promise<void> release;
        std::shared_future<void> released = release.get_future().share();
        std::atomic<bool> ran{false};
        {
            VmSession session;
            ASSERT_TRUE(session.StartHelper([&ran, released, c] {
                ran = true;
                if (c.blocks) released.wait();
                if (c.throws) throw std::runtime_error("injected");
            })) << c.name;
            EXPECT_EQ(session.JoinHelpers(milliseconds(c.blocks ? 50 : 60000)), c.allEnded) << c.name;
            EXPECT_TRUE(ran) << c.name;
            // Once joined, no helper starts any more: none could outlive the session unseen.
            EXPECT_FALSE(session.StartHelper([] {})) << c.name;
        }
        release.set_value();
    }
}

}  // namespace
}  // namespace kestran::jvm
