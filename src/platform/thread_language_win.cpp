#include <windows.h>

#include "platform/thread_language.h"

namespace kestran::platform {

void UseSystemLanguage() {
    const LCID system = GetSystemDefaultLCID();
    SetThreadLocale(system);
    // Since Vista the thread locale no longer chooses among the languages of a dialog
    // resource; the thread's UI language does, and it follows the user's display language,
    // which may differ from the system locale. Looked up, not imported: older systems lack it.
    using SetThreadUiLanguageFn = LANGID(WINAPI*)(LANGID);
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    FARPROC proc = kernel ? GetProcAddress(kernel, "SetThreadUILanguage") : nullptr;
    if (proc != nullptr) {
        reinterpret_cast<SetThreadUiLanguageFn>(reinterpret_cast<void*>(proc))(LANGIDFROMLCID(system));
    }
}

}  // namespace kestran::platform
