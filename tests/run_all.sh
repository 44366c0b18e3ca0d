#!/bin/bash
# Runs every test of an already built tree: native unit tests, the real-JDK judge, the
# Win32 unit tests and the black-box launch tests under Wine. Prints one summary line.
set -u
REPO="$(cd "$(dirname "$0")/.." && pwd)"
HOST_BUILD="$REPO/build/host"
WIN_BUILD="$REPO/build/windows"
RESULTS="$REPO/build/test-results"
rm -rf "$RESULTS"
mkdir -p "$RESULTS"

source "$REPO/tests/tools/wine-env.sh"
failures=0

step() { echo; echo "=== $*"; }

step "native unit tests"
"$HOST_BUILD/tests/kestran_unit_tests" --gtest_brief=1 --gtest_output="xml:$RESULTS/host-unit.xml" || failures=$((failures + 1))

step "native unit tests under AddressSanitizer and UndefinedBehaviorSanitizer, then the fuzz targets"
"$REPO/build/sanitize/tests/kestran_unit_tests" --gtest_brief=1 || failures=$((failures + 1))
bash "$REPO/tests/fuzz/run.sh" "${KESTRAN_FUZZ_SECONDS:-10}" || failures=$((failures + 1))

step "release archive (built twice by .ci/run)"
/usr/bin/python3 -m pytest -q -p no:cacheprovider "$REPO/tests/release" --junitxml="$RESULTS/release.xml" || failures=$((failures + 1))

step "real JDK judge"
KESTRAN_HOST_BUILD="$HOST_BUILD" timeout 900 /usr/bin/python3 -m pytest -q -p no:cacheprovider "$REPO/tests/judge" \
    --junitxml="$RESULTS/judge.xml" || failures=$((failures + 1))

step "Wine: starting the test prefix ($WINEPREFIX)"
wine_env_start
trap wine_env_stop EXIT

step "Win32 unit tests under Wine (ctest, with Wine as the cross-compiling emulator)"
GTEST_OUTPUT="xml:Z:${RESULTS//\//\\}\\wine-unit.xml" timeout 600 \
    ctest --test-dir "$WIN_BUILD" --output-on-failure || failures=$((failures + 1))

step "black-box launch tests under Wine"
timeout 1800 /usr/bin/python3 -m pytest -q -p no:cacheprovider "$REPO/tests/blackbox" --junitxml="$RESULTS/blackbox.xml" || failures=$((failures + 1))

/usr/bin/python3 "$REPO/tests/tools/summarize.py" "$RESULTS" "$failures"
