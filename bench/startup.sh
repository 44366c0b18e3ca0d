#!/bin/bash
# Start-up cost of kestran.exe under Wine up to the moment it calls JNI_CreateJavaVM, against the
# floor: a program that only loads the same jvm.dll and calls JNI_CreateJavaVM.
#   bench/startup.sh [runs]        (default 31 runs of each, alternating)
# The application has the test runtime in "jre64\" and a class path wildcard over 20 jars
# (bench/to_create.py says how the moment is seen).
# Uses the test run's Wine prefix and the windows build (bench/wine_bench_env.sh).
# Prints the medians and kestran.exe's ratio to the floor, and to the floor that makes its call on
# a thread of its own (as kestran.exe runs the Java program).
set -euo pipefail

RUNS="${1:-31}"
source "$(dirname "$0")/wine_bench_env.sh"

trap 'rm -rf "$WORK"' EXIT

APP="$WORK/app"
mkdir -p "$APP/lib"
cp "$BUILD/kestran.exe" "$APP/Tool.exe"
cp -r "$BUILD/tests/testjvm/runtime" "$APP/jre64"
for i in $(seq 1 20); do printf 'PK' >"$APP/lib/part$i.jar"; done
printf '[Java Runtime Environment]\r\nMain Class=com.example.Main\r\n[Class Path]\r\nClass Path=lib\\*.jar\r\n' >"$APP/Tool.ini"
x86_64-w64-mingw32-gcc -O2 -s -static -municode "$ROOT/bench/create_vm_floor.c" -o "$WORK/floor.exe"

VM="$(winpath "$APP/jre64/bin/server/jvm.dll")"
python3 "$ROOT/bench/to_create.py" "$RUNS" "kestran.exe up to JNI_CreateJavaVM" "$APP/Tool.exe" ::: \
    "floor (load jvm.dll, JNI_CreateJavaVM)" "$WORK/floor.exe" "$VM" ::: \
    "floor on a thread of its own" "$WORK/floor.exe" --thread "$VM"
