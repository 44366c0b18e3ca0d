#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

// Every other system library costs each launch its mapping and initialisation (user32 most),
// so the launcher loads them only on the code paths that use them. The windowed twin must
// differ in its subsystem alone: linked as a console program it would open a console window.
TEST(ImportTable, LauncherImportsOnlyKernel32AndTheCRuntime) {
    const struct {
        const wchar_t* file;
        WORD subsystem;
    } executables[] = {{L"kestran.exe", IMAGE_SUBSYSTEM_WINDOWS_CUI}, {L"kestranw.exe", IMAGE_SUBSYSTEM_WINDOWS_GUI}};
    std::wstring self(MAX_PATH, L'\0');
    self.resize(GetModuleFileNameW(nullptr, self.data(), MAX_PATH));
    const std::wstring folder = self.substr(0, self.rfind(L'\\', self.rfind(L'\\') - 1) + 1);  // the folder above tests
    for (const auto& executable : executables) {
        const std::string name(executable.file, executable.file + wcslen(executable.file));
        // Mapped as an image (not run), so addresses inside it are its own relative addresses.
        HMODULE image = LoadLibraryExW((folder + executable.file).c_str(), nullptr, LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        ASSERT_NE(image, nullptr) << name << " " << GetLastError();
        const auto* base = reinterpret_cast<const uint8_t*>(reinterpret_cast<uintptr_t>(image) & ~uintptr_t{3});
        const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
        EXPECT_EQ(nt->OptionalHeader.Subsystem, executable.subsystem) << name;
        const auto* entry = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(
            base + nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress);
        std::vector<std::string> imports;
        for (; entry->Name != 0; ++entry) {
            std::string import(reinterpret_cast<const char*>(base + entry->Name));
            std::transform(import.begin(), import.end(), import.begin(), [](char c) { return std::tolower(c); });
            imports.push_back(import);
        }
        FreeLibrary(image);
        std::sort(imports.begin(), imports.end());
        EXPECT_EQ(imports, (std::vector<std::string>{"kernel32.dll", "msvcrt.dll"})) << name;
    }
}
