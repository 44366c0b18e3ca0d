#include "jvm/local_ref.h"

#include <gtest/gtest.h>

#include <vector>

namespace kestran::jvm {
namespace {

// A JNIEnv whose only working slot is DeleteLocalRef, which records what it was given.
std::vector<jobject> deleted;

void JNICALL RecordDelete(JNIEnv*, jobject ref) { deleted.push_back(ref); }

class LocalRefTest : public ::testing::Test {
protected:
    void SetUp() override {
        deleted.clear();
        table_.DeleteLocalRef = RecordDelete;
        env_.functions = &table_;
    }
    JNIEnv* env() { return &env_; }
    static jobject Ref(uintptr_t n) { return reinterpret_cast<jobject>(n); }

private:
    JNINativeInterface_ table_{};
    JNIEnv env_{};
};

TEST_F(LocalRefTest, DeletesOnceWhenItGoesOutOfScope) {
    { LocalRef<jobject> ref(env(), Ref(1)); }
    EXPECT_EQ(deleted, std::vector<jobject>{Ref(1)});
}

TEST_F(LocalRefTest, NullIsNeverDeleted) {
    { LocalRef<jobject> ref(env(), nullptr); }
    { LocalRef<jobject> empty; }
    EXPECT_TRUE(deleted.empty());
}

TEST_F(LocalRefTest, ReleaseHandsOverWithoutDeleting) {
    jobject kept;
    {
        LocalRef<jobject> ref(env(), Ref(2));
        kept = ref.release();
        EXPECT_FALSE(ref);
    }
    EXPECT_EQ(kept, Ref(2));
    EXPECT_TRUE(deleted.empty());
}

TEST_F(LocalRefTest, ResetDeletesTheOldReference) {
    LocalRef<jobject> ref(env(), Ref(3));
    ref.reset(Ref(4));
    EXPECT_EQ(deleted, std::vector<jobject>{Ref(3)});
    EXPECT_EQ(ref.get(), Ref(4));
}

TEST_F(LocalRefTest, MovesTransferOwnership) {
    {
        LocalRef<jobject> first(env(), Ref(5));
        LocalRef<jobject> second(std::move(first));
        EXPECT_FALSE(first);
        LocalRef<jobject> third(env(), Ref(6));
        third = std::move(second);  // 6 is deleted now, 5 when `third` ends
        EXPECT_EQ(deleted, std::vector<jobject>{Ref(6)});
    }
    EXPECT_EQ(deleted, (std::vector<jobject>{Ref(6), Ref(5)}));
}

}  // namespace
}  // namespace kestran::jvm
