#include "platform/user_notice.h"

#include <atomic>

namespace kestran::platform {
namespace {
std::atomic<NoticeGuard> noticeGuard{nullptr};
}  // namespace

void SetNoticeGuard(NoticeGuard guard) { noticeGuard.store(guard); }

void BeforeUserNotice() {
    if (NoticeGuard guard = noticeGuard.load()) guard();
}

}  // namespace kestran::platform
