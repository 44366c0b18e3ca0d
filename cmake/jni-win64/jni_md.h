/* Machine-dependent JNI types for 64-bit Windows (LLP64: long is 32 bits). */
#ifndef KESTRAN_JNI_MD_WIN64_H
#define KESTRAN_JNI_MD_WIN64_H

#define JNIEXPORT __declspec(dllexport)
#define JNIIMPORT __declspec(dllimport)
#define JNICALL __stdcall

typedef int jint;
typedef long long jlong;
typedef signed char jbyte;

#endif
