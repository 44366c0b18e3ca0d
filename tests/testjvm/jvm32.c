/* A 32-bit (machine 0x014C) jvm.dll look-alike: a 64-bit launcher must recognise and refuse it.
   Built with the i686 compiler; it is never loaded into a test process. */
#include <windows.h>

__declspec(dllexport) int __stdcall JNI_CreateJavaVM(void** vm, void** env, void* args) {
    (void)vm;
    (void)env;
    (void)args;
    return -1;
}

__declspec(dllexport) int __stdcall JNI_GetDefaultJavaVMInitArgs(void* args) {
    (void)args;
    return -1;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    (void)instance;
    (void)reason;
    (void)reserved;
    return TRUE;
}
