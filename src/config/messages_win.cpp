#include <windows.h>

#include "config/messages.h"
#include "platform/text_encoding.h"

namespace kestran::config {
namespace {

// Walks one block of the string table: 16 entries, each a length and that many UTF-16 units.
bool ReadStringTableEntry(HMODULE module, HRSRC block, unsigned id, std::wstring& out) {
    HGLOBAL loaded = LoadResource(module, block);
    const auto* data = static_cast<const WCHAR*>(loaded ? LockResource(loaded) : nullptr);
    if (data == nullptr) return false;
    DWORD size = SizeofResource(module, block) / sizeof(WCHAR);
    DWORD pos = 0;
    for (unsigned entry = 0; entry < id % 16; ++entry) {
        if (pos >= size) return false;
        pos += 1 + data[pos];
    }
    if (pos >= size || data[pos] == 0 || pos + 1 + data[pos] > size) return false;
    out.assign(data + pos + 1, data[pos]);
    return true;
}

// The block of the thread's language, asked for by language: since Vista a language-neutral
// request follows the thread's UI language, not its locale, so a machine whose display
// language differs from its system locale would get the display language's table. The order
// is the one a language-neutral request follows under the thread locale: the exact language,
// the language without its region (LANG_xx, SUBLANG_NEUTRAL), then English (United States).
HRSRC FindStringBlock(HMODULE module, unsigned id) {
    const LPCWSTR block = MAKEINTRESOURCEW(id / 16 + 1);
    const LANGID thread = LANGIDFROMLCID(GetThreadLocale());
    const LANGID languages[] = {thread, MAKELANGID(PRIMARYLANGID(thread), SUBLANG_NEUTRAL),
                                MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US)};
    for (LANGID language : languages) {
        if (HRSRC found = FindResourceExW(module, RT_STRING, block, language)) return found;
    }
    return FindResourceW(module, block, RT_STRING);
}

class ResourceMessageCatalog : public MessageCatalog {
public:
    bool LoadMessage(unsigned id, std::wstring& out) const override {
        HMODULE module = GetModuleHandleW(nullptr);
        HRSRC block = FindStringBlock(module, id);
        return block != nullptr && ReadStringTableEntry(module, block, id, out);
    }
};

// Not a local static: see platform/trace.cpp.
const ResourceMessageCatalog resourceCatalog;

}  // namespace

const MessageCatalog& DefaultMessageCatalog() { return resourceCatalog; }

namespace {

// The code page the VM decodes option strings in. A manifest that asks for UTF-8 as the
// active code page makes GetACP() answer 65001 while the thread's code page still follows
// its locale; the VM then reads UTF-8.
UINT VmCodePage() { return GetACP() == CP_UTF8 ? CP_UTF8 : CP_THREAD_ACP; }

// One conversion; `usedDefault` reports a replaced character where the code page can tell.
// CP_UTF8 refuses WC_NO_BEST_FIT_CHARS and a default-character flag (ERROR_INVALID_PARAMETER),
// and has no best fit to refuse: every character but a lone surrogate has a UTF-8 form.
bool Convert(UINT codePage, const wchar_t* text, int length, std::string& out, bool& usedDefault) {
    usedDefault = false;
    out.clear();
    if (length == 0) return true;
    const DWORD flags = codePage == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL defaulted = FALSE;
    BOOL* defaultedOut = codePage == CP_UTF8 ? nullptr : &defaulted;
    int size = WideCharToMultiByte(codePage, flags, text, length, nullptr, 0, nullptr, defaultedOut);
    if (size <= 0) return false;
    out.assign(static_cast<size_t>(size), '\0');
    defaulted = FALSE;
    if (WideCharToMultiByte(codePage, flags, text, length, out.data(), size, nullptr, defaultedOut) != size) return false;
    usedDefault = defaulted != FALSE;
    return true;
}

}  // namespace

bool ToAnsiExact(const std::wstring& text, std::string& out, size_t& firstLost) {
    const UINT codePage = VmCodePage();
    bool usedDefault = false;
    // CP_UTF8 replaces a lone surrogate without a word: it is looked for first.
    bool lonelySurrogate = false;
    for (size_t i = 0; i < text.size() && !lonelySurrogate; i += platform::CharacterLengthAt(text, i)) {
        lonelySurrogate = platform::IsLoneSurrogateAt(text, i);
    }
    if (!lonelySurrogate && Convert(codePage, text.data(), static_cast<int>(text.size()), out, usedDefault) && !usedDefault) {
        return true;
    }
    // Something was lost: find the first character that has no form of its own.
    std::string one;
    for (size_t i = 0; i < text.size(); i += platform::CharacterLengthAt(text, i)) {
        const int length = static_cast<int>(platform::CharacterLengthAt(text, i));
        if (platform::IsLoneSurrogateAt(text, i) || !Convert(codePage, text.data() + i, length, one, usedDefault) ||
            usedDefault) {
            firstLost = i;
            return false;
        }
    }
    firstLost = 0;
    return false;
}

std::string ToAnsi(const std::wstring& text) {
    // Without best fit: a character the code page lacks becomes its default character
    // rather than a look-alike that names another file (C:\Users\Łukasz as C:\Users\Lukasz).
    std::string out;
    bool usedDefault = false;
    if (!Convert(VmCodePage(), text.data(), static_cast<int>(text.size()), out, usedDefault)) return {};
    return out;
}

bool LosesCharactersInAnsi(const std::wstring& text) {
    std::string bytes;
    size_t lost = 0;
    return !ToAnsiExact(text, bytes, lost);
}

std::wstring FromAnsi(const std::string& text) {
    if (text.empty()) return {};
    // The system's code page (UTF-8 under that manifest choice) on every thread: the VM's own
    // threads run in the user's locale, whose code page may be another.
    const UINT codePage = GetACP();
    int size = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (size <= 0) return {};
    std::wstring out(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), out.data(), size);
    return out;
}

}  // namespace kestran::config
