// The message table (ids 202-230, 240-246, 248, 252) and its formatting. On Windows the table
// is the string resource of the executable, in the thread's language; elsewhere a catalogue is
// installed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kestran::config {

enum MessageId : unsigned {
    kMsgWindowsError = 202,        // "Windows exception: %s (errno = %d).\n"
    kMsgJniError = 203,            // "JNI exception: %s\nReason: %s.\n"
    kMsgComError = 204,
    kMsgJniException = 205,
    kMsgJreNotFoundServer = 206,
    kMsgJreNotFound = 207,
    kMsgModulePathFailed = 208,
    kMsgNoClassPath = 209,
    kMsgNoMainClass = 210,
    kMsgMainClassLoadFailed = 211,
    kMsgNoCreateJavaVm = 212,
    kMsgCreateVmFailed = 213,
    kMsgBrowseTitle = 214,
    kMsgMainClassNotFound = 215,
    kMsgNoMainMethod = 216,
    kMsgLatestVersion = 217,
    kMsgMaximumVersion = 218,
    kMsgMinimumVersion = 219,
    kMsgVersionRequired = 220,
    kMsgVersionBetween = 221,
    kMsgVmLibraryLoadFailed = 222,
    kMsgInitFailed = 223,
    kMsgModuleInitFailed = 224,
    kMsgReasonUnknown = 225,
    kMsgReasonDetached = 226,
    kMsgReasonVersion = 227,
    kMsgReasonNoMemory = 228,
    kMsgReasonExists = 229,
    kMsgReasonInvalid = 230,
    // Explanations printed on a line of their own after the line of a failure.
    kMsgNoDotInPath = 240,
    kMsgSettingsFileMissing = 241,
    kMsgSettingsFileIsFolder = 242,
    kMsgMissingExport = 243,
    kMsgRuntimeIs32Bit = 244,
    kMsgNoSecondHandOver = 245,
    kMsgPairIsSelf = 246,
    kMsgServiceManagerOnly = 248,  // started from a console while set up as a service
    kMsgForwardTooLong = 252,      // the arguments of a later instance do not fit the shared block
    kMsgOptionNotRepresentable = 253,  // a VM option would reach the VM with changed characters
    kMsgVmLibraryPathTooLong = 254,    // explains a failed load of a library path of 260 or more
    kMsgRuntimeArchitecture = 255,     // the only runtime found is built for another architecture
    kMsgExitBeforeMain = 256,          // the VM ended the process before main (windowed, no output)
};

class MessageCatalog {
public:
    virtual ~MessageCatalog() = default;
    // True and the text, or false with `out` untouched when the id is missing or empty.
    virtual bool LoadMessage(unsigned id, std::wstring& out) const = 0;
};

// The process catalogue: the executable's string table on Windows, an installed one elsewhere.
const MessageCatalog& Messages();
void InstallMessageCatalog(const MessageCatalog* catalog);  // null restores the default

// One argument of a message: "%s" takes text, "%d" a signed integer.
struct MessageArg {
    MessageArg(const std::wstring& text) : isText(true), text(text) {}
    MessageArg(const wchar_t* text) : isText(true), text(text ? text : L"") {}
    MessageArg(long long number) : isText(false), number(number) {}
    MessageArg(int number) : isText(false), number(number) {}
    MessageArg(long number) : isText(false), number(number) {}
    MessageArg(unsigned long number) : isText(false), number(static_cast<long long>(number)) {}
    MessageArg(unsigned number) : isText(false), number(number) {}
    bool isText;
    std::wstring text;
    long long number = 0;
};

// printf-style formatting restricted to %s, %d and %%; arguments are never parsed as formats.
// A placeholder without an argument, or of the other kind, gives the empty text / 0 / the text.
std::wstring FormatText(const std::wstring& format, const std::vector<MessageArg>& args);

// Loads message `id` and formats it. A missing id raises GeneralError(E_FAIL).
std::wstring FormatMessageId(const MessageCatalog& catalog, unsigned id, const std::vector<MessageArg>& args = {});
std::wstring FormatMessageId(unsigned id, const std::vector<MessageArg>& args = {});

// The console error line: "Error: " + text + " \n" on standard output.
void PrintErrorLine(const std::wstring& text);
// Formats `format` with one argument and prints it as a console error line.
void PrintError(const std::wstring& format, const MessageArg& argument);
// Message 202 with `detailId` and the error code, printed as a console error line.
void PrintPlatformError(unsigned detailId, unsigned long errorCode);
// Message 202 with free detail text (a file or program name) and the error code.
void PrintPlatformErrorText(const std::wstring& detail, unsigned long errorCode);

// Wide text to the code page the VM reads (the thread's ANSI code page, or UTF-8 where that
// is the process's active code page), without best-fit look-alikes: unmappable characters
// become the default char.
std::string ToAnsi(const std::wstring& text);
// The same conversion, refusing loss: true and the bytes, or false and the index of the first
// character the code page cannot represent (a lone surrogate counts as one).
bool ToAnsiExact(const std::wstring& text, std::string& out, size_t& firstLost);
// True when ToAnsi would replace a character of `text`.
bool LosesCharactersInAnsi(const std::wstring& text);
// Byte string in that code page to wide text.
std::wstring FromAnsi(const std::string& text);

}  // namespace kestran::config
