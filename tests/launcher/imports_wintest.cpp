#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

namespace {

// The names in the import directory of the PE file `path`; "<...>" entries for a file that
// cannot be read as one.
std::vector<std::string> ImportedLibraries(const std::wstring& path) {
    std::vector<uint8_t> bytes(1 << 20);
    DWORD got = 0;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
        CloseHandle(file);
    }
    bytes.resize(got);
    if (bytes.size() < sizeof(IMAGE_DOS_HEADER)) return {"<unreadable>"};
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(bytes.data());
    if (static_cast<size_t>(dos->e_lfanew) + sizeof(IMAGE_NT_HEADERS64) > bytes.size()) return {"<no PE header>"};
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(bytes.data() + dos->e_lfanew);
    const IMAGE_SECTION_HEADER* sections = IMAGE_FIRST_SECTION(nt);
    auto offsetOf = [&](DWORD rva) -> size_t {
        for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i) {
            const IMAGE_SECTION_HEADER& s = sections[i];
            if (rva >= s.VirtualAddress && rva < s.VirtualAddress + s.SizeOfRawData)
                return rva - s.VirtualAddress + s.PointerToRawData;
        }
        return bytes.size();
    };
    std::vector<std::string> names;
    const DWORD importRva = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
    for (size_t at = offsetOf(importRva); at + sizeof(IMAGE_IMPORT_DESCRIPTOR) <= bytes.size();
         at += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        const auto* entry = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(bytes.data() + at);
        if (entry->Name == 0) return names;
        size_t name = offsetOf(entry->Name);
        std::string text;
        while (name < bytes.size() && bytes[name] != 0) text.push_back(static_cast<char>(std::tolower(bytes[name++])));
        names.push_back(text);
    }
    names.push_back("<unterminated import directory>");
    return names;
}

// Every other system library costs each launch its mapping and initialisation (user32 most),
// so the launcher loads them only on the code paths that use them.
TEST(ImportTable, LauncherImportsOnlyKernel32AndTheCRuntime) {
    std::wstring self(MAX_PATH, L'\0');
    self.resize(GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size())));
    const std::wstring tests = self.substr(0, self.rfind(L'\\'));
    const std::wstring exe = tests.substr(0, tests.rfind(L'\\')) + L"\\kestran.exe";
    std::vector<std::string> imports = ImportedLibraries(exe);
    std::sort(imports.begin(), imports.end());
    EXPECT_EQ(imports, (std::vector<std::string>{"kernel32.dll", "msvcrt.dll"}));
}

}  // namespace
