#!/bin/bash
# The start-up cache on a class-heavy program (javac compiling one file in-process, about 3,000
# classes), run through the launcher's own JNI code (tests/judge/judge_host) on the real JDK 17
# and, where installed, Temurin 25. Alternating runs: no cache, a first launch (which writes the
# archive, into an empty cache) and a second launch (which uses it). Prints the medians, the
# ratios to "no cache" and the exit codes, in wall time and in CPU time (user + system, which a
# machine shared with other work disturbs less; on 25 without the assembly, which a process of
# its own does after the first launch). Figures, not pass/fail.
#   bench/startup_cache.sh [runs]      (build first: cmake --build build/host)
set -euo pipefail
REPO="$(cd "$(dirname "$0")/.." && pwd)"
RUNS="${1:-7}"
HOST="${KESTRAN_HOST_BUILD:-$REPO/build/host}/tests/judge/judge_host"
JDK17="${KESTRAN_JDK_HOME:-/usr/lib/jvm/java-17-openjdk-amd64}"
JDK25="/usr/lib/jvm/temurin-25-jdk-amd64"
SCRATCH="$(mktemp -d)"
trap 'rm -rf "$SCRATCH"' EXIT
[ -x "$HOST" ] || { echo "build the host preset first ($HOST missing)"; exit 1; }

# Compiled for 11, so that one jar runs on both runtimes.
"$JDK17/bin/javac" --release 11 -d "$SCRATCH/classes" "$REPO/bench/java/CompileOne.java"
"$JDK17/bin/jar" cf "$SCRATCH/compile-one.jar" -C "$SCRATCH/classes" .

for jdk in "$JDK17" "$JDK25"; do
    [ -f "$jdk/lib/server/libjvm.so" ] || { echo "== $jdk: not installed, skipped"; continue; }
    echo "== $jdk ($(sed -n 's/^JAVA_VERSION="\(.*\)"/\1/p' "$jdk/release")), $RUNS runs each"
    python3 - "$RUNS" "$HOST" "$jdk/lib/server/libjvm.so" "$SCRATCH" <<'PY'
import glob, os, resource, shutil, statistics, subprocess, sys, time
runs, host, libjvm, scratch = int(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4]
local = os.path.join(scratch, "local")
env = dict(os.environ, LOCALAPPDATA=local)
env.pop("KESTRAN_TRACE", None)
base = [host, "--jvm", libjvm, "--class-path", os.path.join(scratch, "compile-one.jar")]

def cpu():
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    return usage.ru_utime + usage.ru_stime

def run(cache):
    command = base + (["--startup-cache"] if cache else []) + ["--main", "CompileOne"]
    start, start_cpu = time.perf_counter(), cpu()
    code = subprocess.run(command, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode
    return time.perf_counter() - start, cpu() - start_cpu, code

names = ("no cache", "first launch", "second launch")
wall, cpus, codes = ({name: [] for name in names}, {name: [] for name in names}, {name: set() for name in names})
for i in range(runs + 1):
    shutil.rmtree(local, ignore_errors=True)
    os.makedirs(local)
    for name in names:
        # On 25 the first launch leaves the assembly of its cache to a process that outlives it.
        deadline = time.monotonic() + 60
        while name == "second launch" and not glob.glob(os.path.join(local, "Kestran/StartupCache/*/*.jsa")) \
                and time.monotonic() < deadline:
            time.sleep(0.05)
        seconds, used, code = run(name != "no cache")
        if i:  # the first round warms the file cache
            wall[name].append(seconds)
            cpus[name].append(used)
            codes[name].add(code)
archives = glob.glob(os.path.join(local, "Kestran/StartupCache/*/*.jsa"))
none, none_cpu = statistics.median(wall["no cache"]), statistics.median(cpus["no cache"])
for name in names:
    median, median_cpu = statistics.median(wall[name]), statistics.median(cpus[name])
    print(f"{name:14s} wall {median * 1000:6.0f} ms ({median / none:.2f}x)  "
          f"cpu {median_cpu * 1000:6.0f} ms ({median_cpu / none_cpu:.2f}x)  exit codes {sorted(codes[name])}")
print(f"first launch - no cache: {(statistics.median(wall['first launch']) - none) * 1000:.0f} ms wall; "
      f"archive {os.path.getsize(archives[0]) // 1024 if archives else 0} KiB")
PY
done
