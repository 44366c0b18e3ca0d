// Prints what Windows reads back from an executable's resources, one "name=value" line each:
// the fixed versions and the strings of the first translation (GetFileVersionInfoW), and the
// sizes of the application icon that LoadImageW can load.
//   version_reader.exe <exe>
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

void PrintUtf8(const std::wstring& text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(size, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), bytes.data(), size, nullptr, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) return 2;
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(argv[1], &ignored);
    std::vector<char> info(size);
    if (size == 0 || !GetFileVersionInfoW(argv[1], 0, size, info.data())) {
        std::printf("GetFileVersionInfoW failed: %lu\n", GetLastError());
        return 1;
    }
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length))
        std::printf("binary=%lu.%lu.%lu.%lu/%lu.%lu.%lu.%lu\n", fixed->dwFileVersionMS >> 16, fixed->dwFileVersionMS & 0xFFFF,
                    fixed->dwFileVersionLS >> 16, fixed->dwFileVersionLS & 0xFFFF, fixed->dwProductVersionMS >> 16,
                    fixed->dwProductVersionMS & 0xFFFF, fixed->dwProductVersionLS >> 16, fixed->dwProductVersionLS & 0xFFFF);
    WORD* translation = nullptr;
    if (!VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length) || length < 4)
        return 1;
    wchar_t table[64];
    swprintf(table, 64, L"\\StringFileInfo\\%04x%04x\\", translation[0], translation[1]);
    for (const wchar_t* key : {L"CompanyName", L"FileDescription", L"FileVersion", L"InternalName", L"LegalCopyright",
                               L"OriginalFilename", L"ProductName", L"ProductVersion"}) {
        wchar_t* value = nullptr;
        if (!VerQueryValueW(info.data(), (std::wstring(table) + key).c_str(), reinterpret_cast<void**>(&value), &length)) continue;
        PrintUtf8(std::wstring(key) + L"=" + std::wstring(value) + L"\n");
    }
    HMODULE module = LoadLibraryExW(argv[1], nullptr, LOAD_LIBRARY_AS_DATAFILE);
    for (int pixels : {16, 32, 256}) {
        HANDLE icon = module ? LoadImageW(module, MAKEINTRESOURCEW(1), IMAGE_ICON, pixels, pixels, 0) : nullptr;
        ICONINFO details{};
        BITMAP bitmap{};
        if (icon && GetIconInfo(static_cast<HICON>(icon), &details) &&
            GetObjectW(details.hbmColor ? details.hbmColor : details.hbmMask, sizeof bitmap, &bitmap))
            std::printf("icon%d=%ldx%ld\n", pixels, bitmap.bmWidth, bitmap.bmHeight);
        if (icon) DestroyIcon(static_cast<HICON>(icon));
    }
    return 0;
}
