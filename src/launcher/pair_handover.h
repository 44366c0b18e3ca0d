// Handing the whole run over to the paired launcher program (for a 32-bit runtime).
#pragma once

#include <cstdint>

#include "launcher/launcher.h"

namespace kestran::launcher {

// The environment variable that marks the process started by a hand-over.
constexpr wchar_t kHandOverMark[] = L"KESTRAN_HANDED_OVER";

// Starts "Pair Product" with this process's command line; its exit code with
// "Pair Return Code", else 0. Refuses (-1, after an error line) a pair program that is this
// launcher itself, and any hand-over from a process that was itself started by one.
uint32_t HandOverToPair(Launcher& launcher);

// True when this process was started by a hand-over. The mark is removed from the
// environment, so that the Java program's own children do not inherit it.
bool TakeHandOverMark();

}  // namespace kestran::launcher
