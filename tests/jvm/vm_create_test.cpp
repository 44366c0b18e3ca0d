#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "jvm/vm_create.h"
#include "launcher/launcher.h"

namespace kestran::jvm {
namespace {

// What the fake JNI_CreateJavaVM saw, and what it answers.
struct Recorded {
    jint version = 0;
    jboolean ignoreUnrecognized = JNI_TRUE;
    std::vector<std::string> options;
    std::vector<void*> extraInfo;
    int calls = 0;
};
Recorded recorded;
jint fakeResult = JNI_OK;

jint JNICALL FakeCreateJavaVm(JavaVM** vm, void** env, void* args) {
    auto* initArgs = static_cast<JavaVMInitArgs*>(args);
    ++recorded.calls;
    recorded.version = initArgs->version;
    recorded.ignoreUnrecognized = initArgs->ignoreUnrecognized;
    for (jint i = 0; i < initArgs->nOptions; ++i) {
        recorded.options.push_back(initArgs->options[i].optionString);
        recorded.extraInfo.push_back(initArgs->options[i].extraInfo);
    }
    // A VM may leave something behind in the out-parameters even when it fails.
    static char scratch[16];
    *vm = reinterpret_cast<JavaVM*>(scratch);
    *env = scratch;
    return fakeResult;
}

class CreateVmTest : public testing::Test {
protected:
    void SetUp() override {
        recorded = Recorded();
        fakeResult = JNI_OK;
        launcher.Vm().vmEntryPoints.createJavaVm = &FakeCreateJavaVm;
    }
    void TearDown() override {
        // The fake's VM cannot be destroyed.
        launcher.Vm().vmSession.Publish(nullptr);
    }
    bool Create(std::string& output) {
        testing::internal::CaptureStdout();
        bool created = CreateVm(launcher, launcher, launcher.Vm());
        output = testing::internal::GetCapturedStdout();
        return created;
    }

    launcher::Launcher launcher;
};

TEST_F(CreateVmTest, HandsTheOptionsInOrderThenAbortAndExit) {
    launcher.vmOptions = {"-Djava.library.path=L", "-Djava.class.path=C:\\x.jar;", "-Xmx512m", "-Dname=a b"};
    std::string output;
    ASSERT_TRUE(Create(output));
    EXPECT_EQ(output, "");
    EXPECT_EQ(recorded.calls, 1);
    EXPECT_EQ(recorded.version, JNI_VERSION_1_2);
    EXPECT_EQ(recorded.ignoreUnrecognized, JNI_FALSE);
    EXPECT_EQ(recorded.options, (std::vector<std::string>{"-Djava.library.path=L", "-Djava.class.path=C:\\x.jar;",
                                                          "-Xmx512m", "-Dname=a b", "abort", "exit"}));
    ASSERT_EQ(recorded.extraInfo.size(), 6u);
    for (size_t i = 0; i < 4; ++i) EXPECT_EQ(recorded.extraInfo[i], nullptr) << i;
    EXPECT_EQ(recorded.extraInfo[4], reinterpret_cast<void*>(&VmAbortHook));
    EXPECT_EQ(recorded.extraInfo[5], reinterpret_cast<void*>(&VmExitHook));
    EXPECT_NE(launcher.Vm().vmSession.Vm(), nullptr);
    EXPECT_NE(launcher.Vm().jniEnv, nullptr);
}

TEST_F(CreateVmTest, AnEmptyListStillGetsTheHooks) {
    std::string output;
    ASSERT_TRUE(Create(output));
    EXPECT_EQ(recorded.options, (std::vector<std::string>{"abort", "exit"}));
}

TEST_F(CreateVmTest, FailurePrints203WithTheReason) {
    struct Case {
        jint result;
        const char* reason;
    };
    const Case cases[] = {
        {JNI_ERR, "unknown"},          {JNI_EDETACHED, "thread detached from VM"},
        {JNI_EVERSION, "JNI version error"}, {JNI_ENOMEM, "not enough memory"},
        {JNI_EEXIST, "VM already created"},  {JNI_EINVAL, "invalid arguments"},
        {-7, ""},                       {1, ""},
    };
    for (const Case& c : cases) {
        fakeResult = c.result;
        std::string output;
        EXPECT_FALSE(Create(output)) << c.result;
        EXPECT_EQ(output, std::string("Error: JNI exception: failed to create the Java VM\nReason: ") + c.reason +
                              ".\n \n")
            << c.result;
        // The destructor must not destroy a VM that was never created.
        EXPECT_EQ(launcher.Vm().vmSession.Vm(), nullptr) << c.result;
        EXPECT_EQ(launcher.Vm().jniEnv, nullptr) << c.result;
    }
}

TEST_F(CreateVmTest, WithoutTheEntryPointNothingIsCalled) {
    launcher.Vm().vmEntryPoints.createJavaVm = nullptr;
    std::string output;
    EXPECT_FALSE(Create(output));
    EXPECT_EQ(recorded.calls, 0);
    EXPECT_EQ(output, "Error: Windows exception: cannot find CreateJavaVM JNI (errno = 0).\n \n");
}

class RecordingListener : public VmExitListener {
public:
    void OnVmExit(int code) override { exits.push_back(code); }
    void OnVmAbort() override { ++aborts; }
    std::vector<int> exits;
    int aborts = 0;
};

TEST(VmHooks, ReachTheListenerOfTheCurrentLauncher) {
    RecordingListener listener;
    launcher::Launcher launcher;
    VmExitHook(3);  // no listener: returns without effect
    VmAbortHook();
    launcher.Vm().vmExitListener = &listener;
    VmExitHook(5);
    VmExitHook(-1);
    VmAbortHook();
    EXPECT_EQ(listener.exits, (std::vector<int>{5, -1}));
    EXPECT_EQ(listener.aborts, 1);
}

TEST(VmHooks, ReasonIds) {
    EXPECT_EQ(CreateVmReasonId(-1), 225u);
    EXPECT_EQ(CreateVmReasonId(-6), 230u);
    EXPECT_EQ(CreateVmReasonId(0), 0u);
    EXPECT_EQ(CreateVmReasonId(-100), 0u);
}

}  // namespace
}  // namespace kestran::jvm
