// Single-instance mode: later starts of one executable hand their arguments to the first one,
// which passes them to the main class's static secondaryMain.
//
// The processes meet through kernel objects named after the executable file and the user, and a
// shared block whose layout is fixed: launchers of other versions read and write the same block.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "launcher/launcher.h"

namespace kestran::launcher {

// The shared block: little-endian, 2092 bytes.
constexpr size_t kInstanceBlockSize = 2092;
constexpr size_t kListenerThreadIdOffset = 0;  // the first instance's listener thread id
constexpr size_t kPrimaryProcessIdOffset = 4;  // the first instance's process id
constexpr size_t kMessageIdOffset = 8;         // the registered message id
constexpr size_t kArgumentAreaOffset = 12;     // UTF-16 strings, each ended by a zero unit; a zero unit ends the list
constexpr size_t kArgumentAreaSize = kInstanceBlockSize - kArgumentAreaOffset;
// A later instance writes (and clears) only this many bytes of the argument area.
constexpr size_t kArgumentWriteLimit = 1040;

// The executable's path with every backslash made an underscore: C:\Apps\Tool.exe gives
// C:_Apps_Tool.exe. The name launchers of older versions use; they and this one do not meet.
std::wstring InstanceObjectName(const std::wstring& modulePath);

// The name of one user's objects for one executable file: the session's "Local\" namespace,
// the user's SID and a 128-bit hash of the file's final path, already case-folded. Its length
// does not depend on the path's, so any path gives a valid object name.
std::wstring CanonicalInstanceName(const std::wstring& foldedFinalPath, const std::wstring& userSid);

// The message id field of a block whose first instance has given up its role: it is ending,
// and a later start becomes the first instance instead. Registered ids are 0xC000-0xFFFF.
constexpr uint32_t kClosedBlockMark = 0xFFFFFFFFu;

// Bytes the list takes in the argument area, its closing zero unit included. An empty list
// takes 2: the reader then finds one empty string.
size_t ForwardedArgumentsSize(const WideList& arguments);
// Clears the first kArgumentWriteLimit bytes of `area` and writes the list there. False, with
// the area untouched, when the list does not fit.
bool WriteForwardedArguments(uint8_t* area, const WideList& arguments);
// The list in an argument area of `size` bytes: strings up to the first empty one; a string
// still open at the end of the area is dropped.
void ReadForwardedArguments(const uint8_t* area, size_t size, WideList& out);

// Settles this process's role. In a later instance it forwards the arguments; false (exit -1)
// when they are too long or cannot be handed over, after an error line.
// A later start waits for the reply there too: when the first instance ends without one, or is
// already gone, it tries again (a bounded number of times) to become the first instance, and
// then runs as an ordinary launcher.
bool AcquireSingleInstance(Launcher& launcher);
// A later instance: the first instance's reply (received in AcquireSingleInstance).
uint32_t WaitForPrimary(Launcher& launcher);
// The first instance's teardown, once the VM is gone: gives the role up, ends the listener,
// releases the block and joins the request threads (for a bounded time).
void ReleaseSingleInstance(Launcher& launcher);

// Calls the main class's secondaryMain(String[]) with `arguments` on the calling thread,
// attached to the VM for the call (and detached after it, unless the runtime is an IBM one).
// The void form is preferred; `reply` gets 0 just before a void call, the value after an int
// call, and is not called when no call was made. Reads javaVm once: call it only after the
// ready event. False when there is no VM, no class or method, or the call threw; an int call
// that threw replies 1, and the exception is reported as the thread's uncaught exception.
using ForwardReply = std::function<void(uint32_t value)>;
bool HandleForwardedRequest(Launcher& launcher, const WideList& arguments, const ForwardReply& reply);

}  // namespace kestran::launcher
