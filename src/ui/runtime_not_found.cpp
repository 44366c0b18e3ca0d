#include "ui/runtime_not_found.h"

namespace kestran::ui {

// Placeholder until the dialog lands: it can never be shown.
int ShowRuntimeNotFoundDialog(const std::wstring&, int, std::wstring&, std::wstring&) { return kDialogCannotShow; }

}  // namespace kestran::ui
