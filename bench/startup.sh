#!/bin/bash
# Start-up cost of kestran.exe under Wine up to the moment it calls JNI_CreateJavaVM, against the
# floor: a program that only loads the same jvm.dll and calls JNI_CreateJavaVM.
#   bench/startup.sh [runs]        (default 31 runs of each, alternating)
# The application has the test runtime in "jre64\" and a class path wildcard over 20 jars. The
# test runtime is given a script word it does not know, so its JNI_CreateJavaVM prints one
# "testjvm: ..." line on standard error at once: the time to that line is the figure.
# Uses the test run's Wine prefix (tests/tools/wine-env.sh) and the windows build
# (KESTRAN_BUILD_DIR, default build/windows). Prints both medians and the ratio.
set -euo pipefail

ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${KESTRAN_BUILD_DIR:-$ROOT/build/windows}"
RUNS="${1:-31}"
source "$ROOT/tests/tools/wine-env.sh"
[ -f "$WINEPREFIX/system.reg" ] || wine_env_start
"$WINESERVER" -p 2>/dev/null || true  # keep a persistent server (already running is fine)

WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT
winpath() { echo "Z:$(realpath "$1" | sed 's|/|\\|g')"; }

APP="$WORK/app"
mkdir -p "$APP/lib"
cp "$BUILD/kestran.exe" "$APP/Tool.exe"
cp -r "$BUILD/tests/testjvm/runtime" "$APP/jre64"
for i in $(seq 1 20); do printf 'PK' >"$APP/lib/part$i.jar"; done
printf '[Java Runtime Environment]\r\nMain Class=com.example.Main\r\n[Class Path]\r\nClass Path=lib\\*.jar\r\n' >"$APP/Tool.ini"
x86_64-w64-mingw32-gcc -O2 -s -static -municode "$ROOT/bench/create_vm_floor.c" -o "$WORK/floor.exe"

python3 - "$RUNS" "$APP/Tool.exe" "$WORK/floor.exe" "$(winpath "$APP/jre64/bin/server/jvm.dll")" <<'PY'
import os, statistics, subprocess, sys, time
runs, tool, floor, jvm = int(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4]
env = {k: v for k, v in os.environ.items() if not k.startswith(("KESTRAN_", "TESTJVM_")) and k != "JAVA_HOME"}
env["TESTJVM_MAIN"] = "benchmark-mark"  # unknown word: JNI_CreateJavaVM says so at once
loader = os.environ["WINE_LOADER"]

def to_create(command):
    start = time.perf_counter()
    p = subprocess.Popen([loader] + command, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                         cwd=os.path.dirname(command[0]))
    seen = None
    for raw in p.stderr:
        if raw.startswith(b"testjvm: "):
            seen = time.perf_counter() - start
            break
    p.stderr.read()
    p.wait()
    if seen is None:
        sys.exit(f"{command[0]}: JNI_CreateJavaVM was not reached (exit {p.returncode})")
    return seen

ours, base = [], []
to_create([tool]), to_create([floor, jvm])  # warm the file cache
for _ in range(runs):
    ours.append(to_create([tool]))
    base.append(to_create([floor, jvm]))
o, b = statistics.median(ours), statistics.median(base)
print(f"floor (load jvm.dll, JNI_CreateJavaVM): median {b * 1000:.1f} ms, min {min(base) * 1000:.1f} ms")
print(f"kestran.exe up to JNI_CreateJavaVM:      median {o * 1000:.1f} ms, min {min(ours) * 1000:.1f} ms")
print(f"ratio kestran.exe / floor: {o / b:.2f} ({runs} runs each, alternating)")
PY
