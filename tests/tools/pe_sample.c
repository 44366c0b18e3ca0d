/* A DLL with one export: a real PE image for the machine check, built for x64 and for x86. */
__declspec(dllexport) int PeSampleValue(void) { return 42; }
