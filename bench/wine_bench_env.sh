# Set-up shared by the Wine benchmarks (source it): ROOT, BUILD (KESTRAN_BUILD_DIR, default
# build/windows), the test run's Wine prefix with a persistent server, a scratch folder WORK (the
# caller removes it) and winpath, the Windows view of a Unix path.
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${KESTRAN_BUILD_DIR:-$ROOT/build/windows}"
source "$ROOT/tests/tools/wine-env.sh"
wine_env_start  # a persistent server and a booted prefix, as the tests have them
WORK="$(mktemp -d)"
winpath() { echo "Z:$(realpath "$1" | sed 's|/|\\|g')"; }
