#!/bin/bash
# Times the runtime search under Wine, as a launch sees it (no trace): the launcher's time from
# start to the test runtime's JNI_CreateJavaVM (bench/to_create.py).
#   bench/runtime_search.sh [runs]        (default 15 runs per scenario)
# Scenarios: 200 registry subkeys spread over the seven runtime keys; a configured folder hit.
# Their difference is the cost of the registry pass.
# Uses the test run's Wine prefix and the windows build (bench/wine_bench_env.sh).
# Registry keys are removed afterwards.
set -euo pipefail

RUNS="${1:-15}"
source "$(dirname "$0")/wine_bench_env.sh"

KEYS=("JavaSoft\\JDK" "JavaSoft\\JRE" "JavaSoft\\Java Development Kit" "JavaSoft\\Java Runtime Environment"
      "JRockit\\Java Runtime Environment" "JRockit\\Java Development Kit" "IBM\\Java2 Runtime Environment")

clear_registry() {
    {
        echo "REGEDIT4"
        for key in "${KEYS[@]}"; do echo "[-HKEY_LOCAL_MACHINE\\Software\\$key]"; done
    } | sed 's/$/\r/' >"$WORK/clear.reg"
    "$WINE_LOADER" reg import "$(winpath "$WORK/clear.reg")" >/dev/null 2>&1 || true
}
cleanup() { clear_registry; rm -rf "$WORK"; }
trap cleanup EXIT

mkdir -p "$WORK/registry" "$WORK/configured_app"
cp "$BUILD/kestran.exe" "$WORK/registry/Tool.exe"
cp "$BUILD/kestran.exe" "$WORK/configured_app/Tool.exe"
vm() { ln "$BUILD/tests/testjvm/jvm.dll" "$1" 2>/dev/null || cp "$BUILD/tests/testjvm/jvm.dll" "$1"; }

# Runtime folders: one in ten holds a server VM, the others only bin\java.dll, so most
# subkeys cost a full probe of the five library locations.
{
    echo "REGEDIT4"
    for i in $(seq 0 199); do
        key="${KEYS[$((i % 7))]}"
        folder="$WORK/rt/$i"
        mkdir -p "$folder/bin"
        : >"$folder/bin/java.dll"
        if [ $((i % 10)) = 0 ]; then mkdir -p "$folder/bin/server"; vm "$folder/bin/server/jvm.dll"; fi
        if [ "$key" = "${KEYS[2]}" ] || [ "$key" = "${KEYS[5]}" ]; then  # "jre\" is appended for these keys
            mkdir -p "$folder/jre/bin/server"
            vm "$folder/jre/bin/server/jvm.dll"
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
vm "$WORK/configured/bin/server/jvm.dll"

ini() { printf '[Java Runtime Environment]\r\nMain Class=bench.Main\r\n%s\r\n' "$2" >"$WORK/$1/Tool.ini"; }

ini registry "JRE Path=$(winpath "$WORK/none")
VM Provider=any"
ini configured_app "JRE Path=$(winpath "$WORK/configured")"
python3 "$ROOT/bench/to_create.py" "$RUNS" "200 registry subkeys" "$WORK/registry/Tool.exe" ::: \
    "configured folder hit" "$WORK/configured_app/Tool.exe"
echo "(the difference is the cost of the registry pass)"
