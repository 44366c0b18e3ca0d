#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

// Every other system library costs each launch its mapping and initialisation (user32 most),
// so the launcher loads them only on the code paths that use them.
TEST(ImportTable, LauncherImportsOnlyKernel32AndTheCRuntime) {
    std::wstring exe(MAX_PATH, L'\0');
    exe.resize(GetModuleFileNameW(nullptr, exe.data(), MAX_PATH));
    exe = exe.substr(0, exe.rfind(L'\\', exe.rfind(L'\\') - 1)) + L"\\kestran.exe";  // the folder above tests
    // Mapped as an image (not run), so addresses inside it are its own relative addresses.
    HMODULE image = LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(image, nullptr) << GetLastError();
    const auto* base = reinterpret_cast<const uint8_t*>(reinterpret_cast<uintptr_t>(image) & ~uintptr_t{3});
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const auto* entry = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(
        base + nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress);
    std::vector<std::string> imports;
    for (; entry->Name != 0; ++entry) {
        std::string name(reinterpret_cast<const char*>(base + entry->Name));
        std::transform(name.begin(), name.end(), name.begin(), [](char c) { return std::tolower(c); });
        imports.push_back(name);
    }
    FreeLibrary(image);
    std::sort(imports.begin(), imports.end());
    EXPECT_EQ(imports, (std::vector<std::string>{"kernel32.dll", "msvcrt.dll"}));
}
