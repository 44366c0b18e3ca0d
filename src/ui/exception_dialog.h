// Asking the user what to do after the Java program's main ended by an exception.
#pragma once

#include <string>

namespace kestran::ui {

enum class ExceptionChoice {
    kIgnore,      // go on as usual: the program's other threads keep running
    kStop,        // end the application at once
    kCannotShow,  // no interactive desktop, or the dialog did not open
};

// Shows the exception dialog with `stackTrace` in its text box and waits for Ignore or Stop.
ExceptionChoice ShowExceptionDialog(const std::wstring& stackTrace);

}  // namespace kestran::ui
