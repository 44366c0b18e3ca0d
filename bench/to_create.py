"""Times programs under Wine from their start to the test runtime's JNI_CreateJavaVM.

    python3 bench/to_create.py RUNS LABEL EXE [ARG...] ::: LABEL EXE [ARG...] [::: ...]

The test runtime is given a script word it does not know, so its JNI_CreateJavaVM says so on
standard error at once: the time to that line is the figure. The programs run in turn (one
warm-up run each first); prints each median and minimum, then the first program's ratio to and
difference from each of the others.
"""
import os
import selectors
import statistics
import subprocess
import sys
import time

runs = int(sys.argv[1])
programs = [[]]
for word in sys.argv[2:]:
    if word == ":::":
        programs.append([])
    else:
        programs[-1].append(word)
env = {k: v for k, v in os.environ.items() if not k.startswith(("KESTRAN_", "TESTJVM_")) and k != "JAVA_HOME"}
env["TESTJVM_MAIN"] = "benchmark-mark"


def to_create(command, limit=60):
    start = time.perf_counter()
    p = subprocess.Popen([os.environ["WINE_LOADER"]] + command, env=env, stdout=subprocess.DEVNULL,
                         stderr=subprocess.PIPE, cwd=os.path.dirname(command[0]))
    # Wine's own service processes may inherit the pipe and keep it open after the program
    # ends, so the output is read only until the line shows up, with a deadline.
    watch = selectors.DefaultSelector()
    watch.register(p.stderr, selectors.EVENT_READ)
    seen, output = None, b""
    while seen is None and time.perf_counter() - start < limit:
        if not watch.select(timeout=0.5):
            continue
        chunk = os.read(p.stderr.fileno(), 4096)
        if not chunk:
            break
        output += chunk
        if b"testjvm: " in output:
            seen = time.perf_counter() - start
    p.wait(timeout=limit)
    p.stderr.close()
    if seen is None:
        sys.exit(f"{command[0]}: JNI_CreateJavaVM was not reached (exit {p.returncode})")
    return seen


times = [[] for _ in programs]
for program in programs:
    to_create(program[1:])
for _ in range(runs):
    for i, program in enumerate(programs):
        times[i].append(to_create(program[1:]))
medians = [statistics.median(t) for t in times]
for program, median, t in zip(programs, medians, times):
    print(f"{program[0]}: median {median * 1000:.1f} ms, min {min(t) * 1000:.1f} ms")
for program, median in zip(programs[1:], medians[1:]):
    print(f"against {program[0]}: ratio {medians[0] / median:.2f}, difference {(medians[0] - median) * 1000:.1f} ms "
          f"({runs} runs each, in turn)")
