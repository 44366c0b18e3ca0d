/* The floor for the start-up benchmark: a program that does nothing but load the given jvm.dll
 * and call its JNI_CreateJavaVM, the least any launcher must do. Imports kernel32 and the C
 * runtime only, like kestran.exe. Usage: create_vm_floor.exe <full path of jvm.dll> */
#include <windows.h>
#include <stdio.h>

typedef struct {
    char* optionString;
    void* extraInfo;
} Option;
typedef struct {
    int version;
    int nOptions;
    Option* options;
    unsigned char ignoreUnrecognized;
} InitArgs;
typedef int(__stdcall* CreateVm)(void**, void**, void*);

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return 2;
    HMODULE jvm = LoadLibraryExW(argv[1], NULL, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (jvm == NULL) return 3;
    CreateVm create = (CreateVm)(void*)GetProcAddress(jvm, "JNI_CreateJavaVM");
    if (create == NULL) return 4;
    InitArgs args = {0x00010008, 0, NULL, 0};
    void* vm = NULL;
    void* env = NULL;
    return create(&vm, &env, &args) == 0 ? 0 : 1;
}
