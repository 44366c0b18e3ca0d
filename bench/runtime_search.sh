#!/bin/bash
# Times the runtime search under Wine: the launcher's time from start to its trace line
# "chosen <path>", against the time a trivial program takes to start and end.
#   bench/runtime_search.sh [runs]        (default 15 runs per scenario)
# Scenarios: 200 registry subkeys spread over the seven runtime keys; a configured folder hit.
# Uses the test run's Wine prefix (tests/tools/wine-env.sh) and the windows build
# (KESTRAN_BUILD_DIR, default build/windows). Registry keys are removed afterwards.
set -euo pipefail

ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${KESTRAN_BUILD_DIR:-$ROOT/build/windows}"
RUNS="${1:-15}"
source "$ROOT/tests/tools/wine-env.sh"
[ -f "$WINEPREFIX/system.reg" ] || wine_env_start
"$WINESERVER" -p 2>/dev/null || true  # keep a persistent server (already running is fine)

WORK="$(mktemp -d)"
KEYS=("JavaSoft\\JDK" "JavaSoft\\JRE" "JavaSoft\\Java Development Kit" "JavaSoft\\Java Runtime Environment"
      "JRockit\\Java Runtime Environment" "JRockit\\Java Development Kit" "IBM\\Java2 Runtime Environment")

clear_registry() {
    {
        echo "REGEDIT4"
        for key in "${KEYS[@]}"; do echo "[-HKEY_LOCAL_MACHINE\\Software\\$key]"; done
    } | sed 's/$/\r/' >"$WORK/clear.reg"
    "$WINE_LOADER" reg import "$(winpath "$WORK/clear.reg")" >/dev/null 2>&1 || true
}
winpath() { echo "Z:$(realpath "$1" | sed 's|/|\\|g')"; }
cleanup() { clear_registry; rm -rf "$WORK"; }
trap cleanup EXIT

mkdir -p "$WORK/app" "$WORK/trivial"
cp "$BUILD/kestran.exe" "$WORK/app/Tool.exe"
cp "$BUILD/tests/pair_recorder.exe" "$WORK/trivial/Trivial.exe"

# Runtime folders: one in ten holds a server VM, the others only bin\java.dll, so most
# subkeys cost a full probe of the five library locations.
{
    echo "REGEDIT4"
    for i in $(seq 0 199); do
        key="${KEYS[$((i % 7))]}"
        folder="$WORK/rt/$i"
        mkdir -p "$folder/bin"
        : >"$folder/bin/java.dll"
        if [ $((i % 10)) = 0 ]; then mkdir -p "$folder/bin/server"; : >"$folder/bin/server/jvm.dll"; fi
        if [ "$key" = "${KEYS[2]}" ] || [ "$key" = "${KEYS[5]}" ]; then  # "jre\" is appended for these keys
            mkdir -p "$folder/jre/bin/server"
            : >"$folder/jre/bin/server/jvm.dll"
        fi
        home="$(winpath "$folder" | sed 's|\\|\\\\|g')"
        echo "[HKEY_LOCAL_MACHINE\\Software\\$key\\1.$((i / 7)).0_$i]"
        echo "\"JavaHome\"=\"$home\""
    done
} | sed 's/$/\r/' >"$WORK/runtimes.reg"
clear_registry
"$WINE_LOADER" reg import "$(winpath "$WORK/runtimes.reg")"

mkdir -p "$WORK/configured/bin/server"
: >"$WORK/configured/bin/java.dll"
: >"$WORK/configured/bin/server/jvm.dll"

ini() { printf '[Java Runtime Environment]\r\nMain Class=bench.Main\r\n%s\r\n' "$1" >"$WORK/app/Tool.ini"; }

measure() {  # measure <label> <exe> <wait for "chosen": 1/0>
    python3 - "$@" "$RUNS" <<'PY'
import os, statistics, subprocess, sys, time
label, exe, wait_chosen, runs = sys.argv[1], sys.argv[2], sys.argv[3] == "1", int(sys.argv[4])
env = dict(os.environ, KESTRAN_TRACE="1")
env.pop("JAVA_HOME", None)
times = []
for _ in range(runs + 1):
    start = time.perf_counter()
    p = subprocess.Popen([os.environ["WINE_LOADER"], exe], env=env, stdout=subprocess.DEVNULL,
                         stderr=subprocess.PIPE, cwd=os.path.dirname(exe))
    found = None
    if wait_chosen:
        for raw in p.stderr:
            if raw.startswith(b"kestran: chosen "):
                found = time.perf_counter() - start
                break
    p.stderr.read()
    p.wait()
    end = time.perf_counter() - start
    if wait_chosen and found is None:
        sys.exit(f"{label}: no 'chosen' line")
    times.append(found if wait_chosen else end)
times = times[1:]  # the first run warms the file cache
print(f"{label}: median {statistics.median(times) * 1000:.1f} ms, min {min(times) * 1000:.1f} ms over {runs} runs")
with open(os.environ["BENCH_OUT"], "a") as out:
    out.write(f"{label} {statistics.median(times)}\n")
PY
}

export BENCH_OUT="$WORK/figures"
: >"$BENCH_OUT"
measure "trivial exe, start to end" "$WORK/trivial/Trivial.exe" 0
ini "JRE Path=$(winpath "$WORK/none")
VM Provider=any"
measure "200 registry subkeys, start to chosen" "$WORK/app/Tool.exe" 1
ini "JRE Path=$(winpath "$WORK/configured")"
measure "configured folder hit, start to chosen" "$WORK/app/Tool.exe" 1
python3 - "$BENCH_OUT" <<'PY'
import sys
rows = [line.rsplit(" ", 1) for line in open(sys.argv[1]).read().splitlines()]
base = float(rows[0][1])
for label, value in rows[1:]:
    print(f"ratio to the trivial exe, {label.split(',')[0]}: {float(value) / base:.2f}")
PY
