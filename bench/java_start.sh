#!/bin/bash
# Start-up cost of the launcher, as time from process start to the first line printed by main.
#   1. Linux, real JDK: our JNI host (tests/judge/judge_host, the launcher's own JNI code) versus
#      `java -cp` running the same class.
#   2. Wine, test runtime: kestran.exe up to main versus a trivial exe printing one line.
# Prints medians over RUNS runs (default 20) and the ratios. Figures, not pass/fail.
#   bench/java_start.sh [runs]      (build first: cmake --build build/host, and build/windows for the Wine figures)
set -euo pipefail
REPO="$(cd "$(dirname "$0")/.." && pwd)"
RUNS="${1:-20}"
HOST_BUILD="${KESTRAN_HOST_BUILD:-$REPO/build/host}"
WIN_BUILD="${KESTRAN_BUILD_DIR:-$REPO/build/windows}"
JDK="${KESTRAN_JDK_HOME:-/usr/lib/jvm/java-17-openjdk-amd64}"
SCRATCH="$(mktemp -d)"
STARTED_WINESERVER=0
cleanup() {
    if [ "$STARTED_WINESERVER" = 1 ]; then "$WINESERVER" -k >/dev/null 2>&1 || true; fi
    rm -rf "$SCRATCH"
}
trap cleanup EXIT

# time_to_first_line RUNS CMD...: median seconds from spawn to the first stdout line, and the
# median of the whole run, over RUNS runs (one warm-up run first).
time_to_first_line() {
    python3 - "$@" <<'EOF'
import statistics, subprocess, sys, time
runs, command = int(sys.argv[1]), sys.argv[2:]
first, total = [], []
for i in range(runs + 1):
    start = time.perf_counter()
    process = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    line = process.stdout.readline()
    seen = time.perf_counter()
    process.stdout.read()
    process.wait()
    end = time.perf_counter()
    if not line:
        sys.exit(f"no output from {command}")
    if i:  # the first run warms the caches
        first.append(seen - start)
        total.append(end - start)
print(f"{statistics.median(first):.4f} {statistics.median(total):.4f}")
EOF
}

ratio() { python3 -c "import sys; print(f'{float(sys.argv[1]) / float(sys.argv[2]):.2f}')" "$1" "$2"; }

echo "== Linux, real JDK ($JDK), $RUNS runs each"
HOST="$HOST_BUILD/tests/judge/judge_host"
CLASSES="$HOST_BUILD/tests/judge/classes"
if [ -x "$HOST" ] && [ -d "$CLASSES" ]; then
    read -r ours ours_total < <(time_to_first_line "$RUNS" "$HOST" --class-path "$CLASSES" --main judge/Hello)
    read -r java java_total < <(time_to_first_line "$RUNS" "$JDK/bin/java" -cp "$CLASSES" judge.Hello)
    echo "JNI host:  first line after ${ours} s (whole run ${ours_total} s)"
    echo "java -cp:  first line after ${java} s (whole run ${java_total} s)"
    echo "ratio JNI host / java -cp: $(ratio "$ours" "$java") (first line), $(ratio "$ours_total" "$java_total") (whole run)"
else
    echo "skipped: $HOST not built"
fi

echo "== Wine, test runtime, $RUNS runs each"
KESTRAN_EXE="$WIN_BUILD/kestran.exe"
TESTJVM="$WIN_BUILD/tests/testjvm/runtime"
if [ -f "$KESTRAN_EXE" ] && [ -d "$TESTJVM" ] && command -v x86_64-w64-mingw32-gcc >/dev/null; then
    source "$REPO/tests/tools/wine-env.sh"
    mkdir -p "$WINEPREFIX"
    # A persistent server keeps each start cheap; exit status 2 means one runs for this prefix.
    if "$WINESERVER" -p 2>/dev/null; then STARTED_WINESERVER=1; fi
    [ -f "$WINEPREFIX/system.reg" ] || "$WINE_LOADER" wineboot -i >/dev/null 2>&1
    APP="$SCRATCH/app"
    mkdir -p "$APP"
    cp "$KESTRAN_EXE" "$APP/Bench.exe"
    cp -r "$TESTJVM" "$APP/jre64"
    printf 'PK' >"$APP/app.jar"
    printf '[Java Runtime Environment]\r\nMain Class=com.example.Main\r\n[Class Path]\r\nClass Path=app.jar\r\n' >"$APP/Bench.ini"
    printf '#include <stdio.h>\nint main(void) { puts("hello"); return 0; }\n' >"$SCRATCH/trivial.c"
    x86_64-w64-mingw32-gcc -O2 -s -static "$SCRATCH/trivial.c" -o "$SCRATCH/trivial.exe"
    export TESTJVM_MAIN="print:hello from main"
    read -r ours ours_total < <(time_to_first_line "$RUNS" "$WINE_LOADER" "$APP/Bench.exe")
    read -r trivial trivial_total < <(time_to_first_line "$RUNS" "$WINE_LOADER" "$SCRATCH/trivial.exe")
    echo "kestran.exe: main's first line after ${ours} s (whole run ${ours_total} s)"
    echo "trivial exe: first line after ${trivial} s (whole run ${trivial_total} s)"
    echo "ratio kestran.exe / trivial exe: $(ratio "$ours" "$trivial") (first line), $(ratio "$ours_total" "$trivial_total") (whole run)"
else
    echo "skipped: kestran.exe or the test runtime not built"
fi
