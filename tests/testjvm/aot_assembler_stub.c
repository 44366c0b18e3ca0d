/* Stands in for a Java 25 runtime's bin\java.exe assembling an AOT cache: it needs the training
   configuration and the class path, writes a whole cache, and says so on its output, which must
   reach nobody. */
#include <stdio.h>
#include <string.h>

int main(int argc, char** argv) {
    const char* configuration = NULL;
    const char* cache = NULL;
    const char* classPath = NULL;
    int create = 0;
    for (int i = 1; i < argc; i++) {
        if (strcmp(argv[i], "-XX:AOTMode=create") == 0) create = 1;
        if (strncmp(argv[i], "-XX:AOTConfiguration=", 21) == 0) configuration = argv[i] + 21;
        if (strncmp(argv[i], "-XX:AOTCache=", 13) == 0) cache = argv[i] + 13;
        if (strcmp(argv[i], "-cp") == 0 && i + 1 < argc) classPath = argv[i + 1];
    }
    FILE* configurationFile = configuration ? fopen(configuration, "rb") : NULL;
    FILE* classPathFile = classPath ? fopen(classPath, "rb") : NULL;
    if (!create || !cache || !configurationFile || !classPathFile) {
        puts("Error: an AOT cache needs -XX:AOTMode=create, its configuration and the class path");
        return 1;
    }
    fclose(configurationFile);
    fclose(classPathFile);
    static unsigned char bytes[8192] = {0xa2, 0xab, 0x0b, 0xf0};
    FILE* out = fopen(cache, "wb");
    if (!out || fwrite(bytes, 1, sizeof bytes, out) != sizeof bytes || fclose(out) != 0) return 1;
    printf("AOTCache creation is complete: %s 8192 bytes\n", cache);
    return 0;
}
