// The language of the launcher's messages and dialogs on the calling thread.
#pragma once

namespace kestran::platform {

// Selects the system default locale's language for the calling thread: its locale (which the
// message table is looked up by) and, from Windows Vista on, its UI language, which is what
// picks the language of dialog templates there. Failures leave the thread as it was.
void UseSystemLanguage();

}  // namespace kestran::platform
