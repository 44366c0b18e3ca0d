#include <windows.h>

#include "config/messages.h"

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

class ResourceMessageCatalog : public MessageCatalog {
public:
    bool LoadMessage(unsigned id, std::wstring& out) const override {
        HMODULE module = GetModuleHandleW(nullptr);
        // The language-neutral request lets the platform pick the table of the thread's language.
        HRSRC block = FindResourceW(module, MAKEINTRESOURCEW(id / 16 + 1), RT_STRING);
        return block != nullptr && ReadStringTableEntry(module, block, id, out);
    }
};

// Not a local static: see platform/trace.cpp.
const ResourceMessageCatalog resourceCatalog;

}  // namespace

const MessageCatalog& DefaultMessageCatalog() { return resourceCatalog; }

std::string ToAnsi(const std::wstring& text) {
    if (text.empty()) return {};
    int size = WideCharToMultiByte(CP_THREAD_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    if (size <= 0) return {};
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_THREAD_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr, nullptr);
    return out;
}

bool LosesCharactersInAnsi(const std::wstring& text) {
    // The round trip catches default characters and best-fit mappings alike, and works with
    // a UTF-8 ANSI code page, where WideCharToMultiByte refuses to report default characters.
    return !text.empty() && FromAnsi(ToAnsi(text)) != text;
}

std::wstring FromAnsi(const std::string& text) {
    if (text.empty()) return {};
    int size = MultiByteToWideChar(CP_THREAD_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (size <= 0) return {};
    std::wstring out(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_THREAD_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(), size);
    return out;
}

}  // namespace kestran::config
