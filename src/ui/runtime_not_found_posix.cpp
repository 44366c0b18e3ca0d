#include "ui/runtime_not_found.h"

#include "../../resources/dialog_ids.h"

namespace kestran::ui {

const wchar_t kDownloadAddress[] = L"" KESTRAN_DOWNLOAD_ADDRESS;

// The Linux JNI host has no window system: nobody could answer a dialog there.
int ShowRuntimeNotFoundDialog(const std::wstring&, int, const runtime::FileProber&, std::wstring&, std::wstring&) {
    return kDialogCannotShow;
}

}  // namespace kestran::ui
