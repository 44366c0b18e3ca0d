#!/bin/bash
# Runs each fuzz target of build/sanitize for SECONDS (CI: a short smoke run; by hand: minutes).
# The seed corpora in tests/fuzz/corpus are only read; what a run finds stays in a scratch folder.
set -u
REPO="$(cd "$(dirname "$0")/../.." && pwd)"
SCRATCH="$(mktemp -d)"
trap 'rm -rf "$SCRATCH"' EXIT
passed=0 failed=0
for name in text bytes stamp; do
    mkdir -p "$SCRATCH/$name"
    echo "--- fuzz_$name, ${1:-10} s"
    if "$REPO/build/sanitize/tests/fuzz/fuzz_$name" -max_total_time="${1:-10}" -timeout=10 -rss_limit_mb=2048 \
            -artifact_prefix="$SCRATCH/" "$SCRATCH/$name" "$REPO/tests/fuzz/corpus/$name" >"$SCRATCH/log" 2>&1; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1)) && grep -v '^#' "$SCRATCH/log" | tail -40
    fi
done
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
