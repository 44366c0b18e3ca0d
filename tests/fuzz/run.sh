#!/bin/bash
# Runs every fuzz target of build/sanitize for SECONDS each (CI: a short smoke run; by hand:
# minutes). The small seed corpora in tests/fuzz/corpus are read, never written: what a run
# discovers stays in a scratch folder. With REPORT, writes a JUnit-style report there.
# Usage: tests/fuzz/run.sh [SECONDS] [REPORT.xml]
set -u
REPO="$(cd "$(dirname "$0")/../.." && pwd)"
SECONDS_EACH="${1:-10}"
REPORT="${2:-}"
BIN="$REPO/build/sanitize/tests/fuzz"
SCRATCH="$(mktemp -d)"
trap 'rm -rf "$SCRATCH"' EXIT

cases=""
failed=0
passed=0
for target in "$BIN"/fuzz_*; do
    [ -x "$target" ] || continue
    name="$(basename "$target")"
    seeds="$REPO/tests/fuzz/corpus/${name#fuzz_}"
    mkdir -p "$SCRATCH/$name"
    echo "--- $name, ${SECONDS_EACH}s"
    if "$target" -max_total_time="$SECONDS_EACH" -timeout=10 -rss_limit_mb=2048 -print_final_stats=0 \
            -artifact_prefix="$SCRATCH/" "$SCRATCH/$name" $( [ -d "$seeds" ] && echo "$seeds" ) \
            >"$SCRATCH/$name.log" 2>&1; then
        passed=$((passed + 1))
        cases+="<testcase classname=\"fuzz\" name=\"$name\"/>"
    else
        failed=$((failed + 1))
        tail -40 "$SCRATCH/$name.log"
        for crash in "$SCRATCH"/crash-* "$SCRATCH"/timeout-* "$SCRATCH"/oom-*; do
            [ -f "$crash" ] && echo "input: $(od -An -c "$crash" | head -5)"
        done
        cases+="<testcase classname=\"fuzz\" name=\"$name\"><failure message=\"see the log\"/></testcase>"
    fi
done
if [ $((passed + failed)) -eq 0 ]; then
    echo "no fuzz target in $BIN: build the sanitize preset first"
    failed=1
fi
[ -n "$REPORT" ] && echo "<testsuite name=\"fuzz\">$cases</testsuite>" > "$REPORT"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
