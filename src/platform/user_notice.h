// What the launcher shows over the desktop on its own (the splash screen) registers a guard
// here, and whatever tells the user something (an error line, a message box, a dialog) calls
// BeforeUserNotice first, so that nothing of the launcher's ever hides a failure.
#pragma once

namespace kestran::platform {

using NoticeGuard = void (*)();
// Replaces the guard; null removes it. Any thread.
void SetNoticeGuard(NoticeGuard guard);
// Runs the guard, when one is set. Any thread.
void BeforeUserNotice();

}  // namespace kestran::platform
