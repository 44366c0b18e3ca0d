// Option strings for the VM, which reads them as bytes in the system's ANSI code page: every
// character must survive that conversion, or the VM is told about another file than the one
// the settings name. Paths that would lose characters may still reach it by their short (8.3)
// names; everything else is refused rather than changed.
#pragma once

#include <string>

#include "runtime/runtime_choice.h"

namespace kestran::runtime {

// The platform's half of the conversion; a fake stands in for it in tests.
class TextNarrowing {
public:
    virtual ~TextNarrowing() = default;
    // True and the bytes when every character of `text` has a form in the code page; false
    // and the index of the first one that has none otherwise (`out` then unspecified).
    virtual bool Narrow(const std::wstring& text, std::string& out, size_t& firstLost) const = 0;
    // The short form of an existing file or folder; false when it does not exist or the
    // platform cannot give one.
    virtual bool ShortForm(const std::wstring& path, std::wstring& out) const = 0;
};

// The code page of this process (and the short names of its file systems).
const TextNarrowing& PlatformNarrowing();

// Where the path-valued part of an option starts, or npos: the value of any -D<name>=. The
// value counts as one path, or else (java.class.path, java.library.path) as a ';' list.
size_t OptionPathValueStart(const std::wstring& option);

// The option as the VM is to get it: true and its bytes, with the path items that the code
// page cannot represent replaced by short forms it can. False when no such form exists;
// `lostCharacter` is then the first character that stays unrepresentable (a surrogate pair
// counts as one character).
bool NarrowVmOption(const std::wstring& option, const TextNarrowing& codec, std::string& out,
                    std::wstring& lostCharacter);

// The form in which to load and publish the VM library: the path itself when it is shorter
// than 260 characters and the code page represents it, else its short form when that is
// both (or at least shorter than 260), else the path itself.
std::wstring LoadableVmLibraryPath(const std::wstring& path, const TextNarrowing& codec);

// Appends the option to invocation.vmOptions as NarrowVmOption gives it. When it cannot reach
// the VM unchanged: prints message 253, sets invocation.vmOptionRefused, appends nothing and
// gives false; once an option is refused, later ones are neither checked nor appended, so a
// launch prints one such line.
bool AppendVmOption(JavaInvocation& invocation, const std::wstring& option,
                    const TextNarrowing& codec = PlatformNarrowing());

// "-Dname" for a -D option, the whole option otherwise: how an error line names it.
std::wstring OptionName(const std::wstring& option);
// The character for an error line: itself and its code point, "Ł (U+0141)".
std::wstring DescribeCharacter(const std::wstring& character);

}  // namespace kestran::runtime
