/* Stands in for a Java 25 runtime's bin\java.exe assembling an AOT cache: it needs the class list
   of the training run and the class path, writes a whole cache, and says so on its output, which
   must reach nobody. */
#include <stdio.h>
#include <string.h>

int main(int argc, char** argv) {
    const char* classList = NULL;
    const char* cache = NULL;
    const char* classPath = NULL;
    int dump = 0;
    for (int i = 1; i < argc; i++) {
        if (strcmp(argv[i], "-Xshare:dump") == 0) dump = 1;
        if (strncmp(argv[i], "-XX:SharedClassListFile=", 24) == 0) classList = argv[i] + 24;
        if (strncmp(argv[i], "-XX:SharedArchiveFile=", 22) == 0) cache = argv[i] + 22;
        if (strcmp(argv[i], "-cp") == 0 && i + 1 < argc) classPath = argv[i + 1];
    }
    FILE* classListFile = classList ? fopen(classList, "rb") : NULL;
    FILE* classPathFile = classPath ? fopen(classPath, "rb") : NULL;
    if (!dump || !cache || !classListFile || !classPathFile) {
        puts("Error: an AOT cache needs -Xshare:dump, the class list and the class path");
        return 1;
    }
    fclose(classListFile);
    fclose(classPathFile);
    static unsigned char bytes[8192] = {0xa2, 0xab, 0x0b, 0xf0};
    FILE* out = fopen(cache, "wb");
    if (!out || fwrite(bytes, 1, sizeof bytes, out) != sizeof bytes || fclose(out) != 0) return 1;
    printf("Shared file region (rw) 0: written to %s, 8192 bytes\n", cache);
    return 0;
}
