#include "ui/exception_dialog.h"

namespace kestran::ui {

// The Linux JNI host has no window system.
ExceptionChoice ShowExceptionDialog(const std::wstring&) { return ExceptionChoice::kCannotShow; }

}  // namespace kestran::ui
