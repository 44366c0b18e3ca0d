// Adds or removes a resource in an executable, as a vendor's resource editor would.
//   resource_stamp.exe <exe> <type number> <name> <data file>   add or replace
//   resource_stamp.exe <exe> <type number> <name> -             remove
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <vector>

int wmain(int argc, wchar_t** argv) {
    if (argc != 5) {
        std::fwprintf(stderr, L"usage: resource_stamp <exe> <type> <name> <file|->\n");
        return 2;
    }
    WORD type = static_cast<WORD>(std::wcstoul(argv[2], nullptr, 10));
    std::vector<char> data;
    bool remove = std::wcscmp(argv[4], L"-") == 0;
    if (!remove) {
        FILE* file = _wfopen(argv[4], L"rb");
        if (!file) {
            std::fwprintf(stderr, L"cannot open %ls\n", argv[4]);
            return 1;
        }
        char chunk[4096];
        size_t n;
        while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) data.insert(data.end(), chunk, chunk + n);
        std::fclose(file);
    }
    HANDLE update = BeginUpdateResourceW(argv[1], FALSE);
    if (!update) {
        std::fwprintf(stderr, L"BeginUpdateResource failed: %lu\n", GetLastError());
        return 1;
    }
    if (!UpdateResourceW(update, MAKEINTRESOURCEW(type), argv[3], MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL),
                         remove ? nullptr : data.data(), static_cast<DWORD>(data.size()))) {
        std::fwprintf(stderr, L"UpdateResource failed: %lu\n", GetLastError());
        EndUpdateResourceW(update, TRUE);
        return 1;
    }
    if (!EndUpdateResourceW(update, FALSE)) {
        std::fwprintf(stderr, L"EndUpdateResource failed: %lu\n", GetLastError());
        return 1;
    }
    return 0;
}
