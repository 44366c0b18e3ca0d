/* The floor for the start-up benchmark: a program that does nothing but load the given jvm.dll
 * and call its JNI_CreateJavaVM, the least any launcher must do. Imports kernel32 and the C
 * runtime only, like kestran.exe. With --thread the call is made on a new thread, as a launcher
 * that honours -Xss must: the difference is what starting a thread costs.
 * Usage: create_vm_floor.exe [--thread] <full path of jvm.dll> */
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

static CreateVm create;

static DWORD WINAPI CreateVmThread(LPVOID unused) {
    (void)unused;
    InitArgs args = {0x00010008, 0, NULL, 0};
    void* vm = NULL;
    void* env = NULL;
    return create(&vm, &env, &args) == 0 ? 0 : 1;
}

int wmain(int argc, wchar_t** argv) {
    int onThread = argc > 2 && wcscmp(argv[1], L"--thread") == 0;
    if (argc < 2 + onThread) return 2;
    HMODULE jvm = LoadLibraryExW(argv[1 + onThread], NULL, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (jvm == NULL) return 3;
    create = (CreateVm)(void*)GetProcAddress(jvm, "JNI_CreateJavaVM");
    if (create == NULL) return 4;
    if (!onThread) return (int)CreateVmThread(NULL);
    HANDLE thread = CreateThread(NULL, 0, CreateVmThread, NULL, STACK_SIZE_PARAM_IS_A_RESERVATION, NULL);
    if (thread == NULL) return 5;
    WaitForSingleObject(thread, INFINITE);
    DWORD code = 1;
    GetExitCodeThread(thread, &code);
    return (int)code;
}
