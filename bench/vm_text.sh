#!/bin/bash
# Memory of kestranw.exe started without a standard output while the VM prints many lines through
# the vfprintf hook before main (as -XX:+PrintFlagsFinal or -verbose:gc do), with the test runtime,
# which reports the process's private memory once it has printed them.
#   bench/vm_text.sh [lines...]      (default 1000 100000 400000)
# What is kept for a failure report is bounded, so the figures stay flat as the count grows.
set -euo pipefail

COUNTS=("$@")
[ $# -eq 0 ] && COUNTS=(1000 100000 400000)
source "$(dirname "$0")/wine_bench_env.sh"
trap 'rm -rf "$WORK"' EXIT

APP="$WORK/app"
mkdir -p "$APP"
cp "$BUILD/kestranw.exe" "$APP/Tool.exe"
cp -r "$BUILD/tests/testjvm/runtime" "$APP/jre64"
printf 'PK' >"$APP/app.jar"
RUNNER="${KESTRAN_RUNNER:-$BUILD/tests/exitcode_runner.exe}"

for count in "${COUNTS[@]}"; do
    printf '[Java Runtime Environment]\r\nMain Class=com.example.Main\r\nVirtual Machine Parameters=-Dtestjvm.main=vmlines:%s,return -Dtestjvm.log=%s\r\n[Class Path]\r\nClass Path=app.jar\r\n' \
        "$count" "$(winpath "$WORK")\\log.txt" >"$APP/Tool.ini"
    rm -f "$WORK/log.txt"
    start=$(date +%s.%N)
    # Without a standard output, as from Explorer (the test rig's runner starts it so).
    KESTRAN_TEST_NO_STDOUT=1 KESTRAN_TEST_EXITCODE_FILE="$(winpath "$WORK")\\code.txt" KESTRAN_TEST_TIMEOUT_MS=600000 \
        "$WINE_LOADER" "$RUNNER" "$(winpath "$APP/Tool.exe")" >/dev/null 2>&1 </dev/null
    end=$(date +%s.%N)
    printf '%8s VM lines: %s, %.2f s\n' "$count" "$(grep -o 'private_kb=[0-9]*' "$WORK/log.txt")" "$(echo "$end - $start" | bc)"
done
