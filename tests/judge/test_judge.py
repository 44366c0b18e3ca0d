"""The real JDK judges the launcher's JNI code.

Each scenario runs judge_host (tests/judge/judge_host.cpp) in a process of its own: it loads the
machine's libjvm.so through the launcher's LoadVmLibrary and runs the Java thread as the launcher
does. The build directory is KESTRAN_HOST_BUILD (default: build/host beside this repository).
"""
import datetime
import os
import pathlib
import re
import struct
import subprocess
import time
import zipfile
import zlib

import pytest

REPO = pathlib.Path(__file__).resolve().parents[2]
BUILD = pathlib.Path(os.environ.get("KESTRAN_HOST_BUILD", REPO / "build" / "host"))
JUDGE_DIR = BUILD / "tests" / "judge"
HOST = JUDGE_DIR / "judge_host"
CLASSES = JUDGE_DIR / "classes"
TIMEOUT = 120  # a safety net against a hang, not an assertion about speed


class Run:
    def __init__(self, completed):
        self.code = completed.returncode
        self.out = completed.stdout.decode("utf-8", errors="replace")
        self.err = completed.stderr.decode("utf-8", errors="replace")

    def __repr__(self):
        return f"exit {self.code}\n--- stdout\n{self.out}\n--- stderr\n{self.err[-3000:]}"


def judge(main, *arguments, options=(), trace=False, env_extra=None):
    if not HOST.exists():
        pytest.fail(f"{HOST} is missing: build the host preset first (cmake --build build/host)")
    env = dict(os.environ)
    env.pop("KESTRAN_TRACE", None)
    # The VM takes its console and option encoding from the locale.
    env.update({"LC_ALL": "C.UTF-8", "TZ": "UTC"})
    if trace:
        env["KESTRAN_TRACE"] = "1"
    if env_extra:
        env.update(env_extra)
    command = [str(HOST), "--class-path", str(CLASSES), *options, "--main", main, "--", *arguments]
    return Run(subprocess.run(command, env=env, capture_output=True, timeout=TIMEOUT, check=False))


def utf16_hex(text):
    return text.encode("utf-16-be").hex()


def ordered(text, *markers):
    """True when every marker occurs in text, in this order."""
    position = -1
    for marker in markers:
        found = text.find(marker, position + 1)
        if found < 0:
            return False
        position = found
    return True


# ---- arguments ----

ARGUMENT_CASES = {
    "ascii": ["report.txt", "--verbose"],
    "umlauts": ["Grüße", "ÄÖÜäöüß"],
    "cyrillic": ["Привет", "мир"],
    "surrogate pair": ["😀", "a😀b"],
    "empty string": ["", "x", ""],
    "none": [],
    "spaces and quotes": ["a b", '"quoted"', "tab\there"],
    "long": ["x" * 100_000],
    "many": [str(i) for i in range(1000)],
}


@pytest.mark.parametrize("case", ARGUMENT_CASES)
def test_main_receives_arguments_intact(case):
    arguments = ARGUMENT_CASES[case]
    run = judge("judge/PrintArgs", *arguments)
    assert run.code == 0, run
    lines = run.out.splitlines()
    assert lines[0] == f"count={len(arguments)}", run  # an empty array, never null
    for index, argument in enumerate(arguments):
        assert lines[1 + index] == f"arg{index}={utf16_hex(argument)}", f"{case}: argument {index}"


# ---- finding the main class ----

@pytest.mark.parametrize("main", ["judge/PrintArgs", "judge/Grüße"])
@pytest.mark.parametrize("helper", [True, False], ids=["launcher helper", "FindClass"])
def test_main_class_is_found_through_either_road(main, helper):
    run = judge(main, options=() if helper else ("--no-launcher-helper",), trace=True)
    assert run.code == 0, run
    road = "sun.launcher.LauncherHelper" if helper else "FindClass"
    assert f"kestran: main class {main} loaded through {road}" in run.err, run


def test_missing_class_through_find_class_prints_215_and_does_not_hang():
    run = judge("judge/Missing", options=("--no-launcher-helper",))
    assert run.code == 255, run  # -1
    assert "Error: Could not find the main class judge/Missing." in run.out, run
    assert "java.lang.NoClassDefFoundError: judge/Missing" in run.err, run
    # The Java thread detached, so DestroyJavaVM in the teardown did not wait for it for ever.
    assert "judge: vm destroyed" in run.out, run


def test_missing_class_through_launcher_helper_is_reported_by_the_jdk():
    run = judge("judge/Missing", options=("--exit-listener",))
    assert run.code == 1, run  # the helper reports and calls System.exit(1)
    assert "Could not find or load main class judge.Missing" in run.err, run
    assert "judge: exit hook 1" in run.out, run


def test_class_without_main_through_find_class():
    run = judge("judge/NoMain", options=("--no-launcher-helper",))
    assert run.code == 255, run
    # HotSpot's GetStaticMethodID always throws, so the VM's description stands in for message 216.
    assert "java.lang.NoSuchMethodError" in run.err, run
    assert "No main method found" not in run.out, run
    assert "run, not main" not in run.out, run


def test_class_without_main_through_launcher_helper():
    run = judge("judge/NoMain")
    assert run.code == 1, run
    assert "Main method not found in class judge.NoMain" in run.err, run


# ---- exit codes ----

@pytest.mark.parametrize("code", [5, 42, 0])
def test_system_exit_ends_the_process_with_its_code_after_the_exit_hook(code):
    run = judge("judge/Exit", str(code), options=("--exit-listener",))
    assert run.code == code, run
    assert ordered(run.out, f"exiting with {code}", f"judge: exit hook {code}"), run
    assert "judge: java thread ended" not in run.out, run


def test_normal_return_gives_zero():
    run = judge("judge/Streams")
    assert run.code == 0, run
    assert "to out" in run.out and "to err" in run.err, run


def test_uncaught_exception_gives_one_after_the_vm_described_it():
    run = judge("judge/Throw", trace=True)
    assert run.code == 1, run
    assert 'Exception in thread "main" java.lang.IllegalStateException: judge boom äöü 😀' in run.err, run
    assert "at judge.Throw.main" in run.err, run
    assert "main ended by an uncaught exception\n" in run.err, run  # no text without Failure Check


def test_failure_check_renders_the_stack_trace_and_keeps_the_exception_for_the_vm():
    run = judge("judge/Throw", options=("--failure-check",), trace=True)
    assert run.code == 1, run
    assert "kestran: main ended by an uncaught exception: java.lang.IllegalStateException: judge boom äöü 😀" in run.err, run
    # The exception was put back, so the detach still describes it as main's.
    assert 'Exception in thread "main" java.lang.IllegalStateException' in run.err, run
    # No dialog here, and the stack trace is on standard error once: the VM's report only.
    assert run.err.count("java.lang.IllegalStateException: judge boom") == 2, run  # trace line, VM's report
    assert run.err.count("at judge.Throw.main") == 1, run


def described_text(run):
    match = re.search(r"judge: described begin\n(.*)judge: described end", run.out, re.S)
    assert match, run
    return match.group(1)


def test_describe_throwable_returns_the_stack_trace_text():
    run = judge("judge/Throw", options=("--describe-throwable",))
    assert run.code == 0, run
    text = described_text(run)
    assert text.startswith("java.lang.IllegalStateException: judge boom äöü 😀\n"), run
    assert "\tat judge.Throw.main(Throw.java:" in text, run
    assert "judge: still pending same" in run.out, run


def test_describe_throwable_with_a_failing_print_stack_trace():
    run = judge("judge/BadTrace", options=("--describe-throwable",))
    assert run.code == 0, run
    assert described_text(run).strip() == "partial trace line", run
    assert "java.lang.UnsupportedOperationException: printStackTrace failed" in run.err, run
    assert "judge: still pending same" in run.out, run


def test_bad_vm_option_fails_the_launch_with_203():
    run = judge("judge/PrintArgs", options=("--option", "-Xbogus-option"))
    assert run.code == 255, run
    assert "Error: JNI exception: " in run.out, run
    assert "count=" not in run.out, run


@pytest.mark.parametrize("option, mode, code, message", [
    ("-XX:+KestranNoSuchFlag", (), 255, None),
    ("-XX:+KestranNoSuchFlag", ("--service",), 255, "Unrecognized VM option 'KestranNoSuchFlag'"),
    # The VM ends the process itself after this one (through the abort hook).
    ("-Xmx1k", ("--service",), 1, "Error occurred during initialization of VM"),
    # About 700 lines before main of a start that succeeds: no failure report.
    ("-XX:+PrintFlagsFinal", ("--service",), 0, "[Global flags]"),
], ids=["console", "service", "service, VM start fails", "service, flags printed"])
def test_vm_messages_reach_the_vfprintf_hook_only_where_nobody_reads_the_console(option, mode, code, message):
    run = judge("judge/PrintArgs", options=("--vm-messages", "--option", option, *mode))
    assert run.code == code, run
    # HotSpot's own text, whole; on standard error either way.
    assert ("judge: vm message " in run.out) == (message is not None), run
    if message:
        assert f"judge: vm message {message}" in run.out and message in run.err, run
    # The report of a failed start only, with the VM's text in it.
    assert ("judge: box " in run.out) == (code != 0 and message is not None), run


@pytest.mark.parametrize("libjvm", [None, "/usr/lib/jvm/temurin-25-jdk-amd64/lib/server/libjvm.so"], ids=["17", "25"])
def test_vm_log_files_keep_their_lines_with_the_vfprintf_hook(libjvm, tmp_path):
    if libjvm and not pathlib.Path(libjvm).exists():
        pytest.skip(f"{libjvm} is not installed")
    log = tmp_path / "gc.log"
    jvm = ("--jvm", libjvm) if libjvm else ()
    run = judge("judge/PrintArgs", options=("--service", "--vm-messages", "--option", f"-Xlog:gc:file={log}", *jvm))
    assert run.code == 0 and "Using " in log.read_text(), (run, log.read_text())


def test_missing_vm_library_fails_the_launch_with_222():
    run = judge("judge/PrintArgs", options=("--jvm", "/nonexistent/libjvm.so"))
    assert run.code == 255, run
    assert "/nonexistent/libjvm.so" in run.out, run


# ---- threads ----

def test_non_daemon_thread_keeps_the_process_alive():
    run = judge("judge/Worker", "300")
    assert run.code == 0, run
    # The worker prints only after the main thread has ended, i.e. after the launcher detached it.
    assert ordered(run.out, "main returned", "worker finished", "judge: vm destroyed"), run


def test_service_mode_destroys_the_vm_on_the_java_thread():
    run = judge("judge/Worker", "300", options=("--service",))
    assert run.code == 0, run
    assert ordered(run.out, "main returned", "worker finished", "judge: java thread ended with 0"), run


def test_hotspot_with_ibm_settings_does_not_keep_the_java_thread_asleep_after_main():
    # The IBM-specific wait follows the runtime loaded: HotSpot with "VM Provider" = ibm (a
    # "JRE Path" runtime) would otherwise never end.
    run = judge("judge/ExitLater", options=("--ibm",))
    assert run.code == 0, run
    assert ordered(run.out, "main returned", "judge: java thread ended with 0"), run


def test_running_on_the_entry_thread():
    run = judge("judge/PrintArgs", "y", options=("--entry-thread",))
    assert run.code == 0, run
    assert f"arg0={utf16_hex('y')}" in run.out, run


def test_ready_event_is_signalled_once_before_main():
    run = judge("judge/PrintArgs", "x", options=("--ready-event",))
    assert run.code == 0, run
    assert ordered(run.out, "judge: ready event signalled (1)", "count=1", "judge: ready signals 1"), run


def test_ready_event_is_not_signalled_when_the_class_is_missing():
    run = judge("judge/Missing", options=("--ready-event", "--no-launcher-helper"))
    assert run.code == 255, run
    assert "judge: ready signals 0" in run.out, run


# ---- forwarded starts: secondaryMain on another thread, attached while main runs ----

FORWARD_CASES = {  # class: markers in this order; served; the call returned normally
    "void form replies 0 first": ("judge/SecondaryVoid", ["reply 0", "secondaryMain on Thread-", "[a|b c|Grüße]"], True, True),
    "int form replies after": ("judge/SecondaryInt", ["secondaryMain on Thread-", "[a|b c|Grüße]", "reply 7"], True, True),
    # The exception is the request thread's uncaught one, described by the detach.
    "int form that throws replies 1": ("judge/SecondaryThrows", ["secondaryMain on Thread-", "[a|b c|Grüße]", "reply 1"],
                                       True, False),
    "no secondaryMain": ("judge/Hello", ["hello from main"], False, False),
}


@pytest.mark.parametrize("case", FORWARD_CASES)
def test_forwarded_start_reaches_secondary_main(case):
    main, markers, served, returned = FORWARD_CASES[case]
    run = judge(main, options=("--forward", "a", "--forward", "b c", "--forward", "Grüße"))
    # "vm destroyed": the request thread detached, or DestroyJavaVM would wait for it for ever.
    assert run.code == 0 and ordered(run.out, *markers, "judge: vm destroyed"), run
    assert (f"judge: forwarded {str(returned).lower()}" in run.out) and ("main saw secondaryMain" in run.out) == served, run
    assert ('Exception in thread "Thread-0" java.lang.IllegalStateException' in run.err) == (served and not returned), run
    assert ("judge: reply" in run.out) == served and ("NoSuchMethodError" in run.err) != served, run


# ---- output redirection ----

def test_streams_go_to_files_truncated_and_appended_with_folders_created(tmp_path):
    out_file = tmp_path / "new" / "deeper" / "out.log"
    err_file = tmp_path / "err.log"
    err_file.write_text("earlier line\n")
    for _ in range(2):  # the second run truncates out.log again
        run = judge("judge/Streams", options=("--out", str(out_file), "--err", str(err_file), "--err-append"))
        assert run.code == 0, run
        assert "to out" not in run.out and "to err" not in run.err, run
    assert out_file.read_text() == "to out\n"
    assert err_file.read_text() == "earlier line\nto err\nto err\n"


@pytest.mark.parametrize("error_name", ["both.log", "BOTH.LOG"])
def test_one_file_for_both_streams_keeps_both(tmp_path, error_name):
    run = judge("judge/Streams", options=("--out", str(tmp_path / "both.log"), "--err", str(tmp_path / error_name)))
    assert run.code == 0, run
    assert (tmp_path / "both.log").read_text() == "to out\nto err\n"


def test_output_file_that_cannot_be_opened_leaves_the_stream_unchanged(tmp_path):
    err_file = tmp_path / "err.log"
    run = judge("judge/Streams", options=("--out", str(tmp_path), "--err", str(err_file)), trace=True)
    assert run.code == 0, run
    assert "java.io.FileNotFoundException" in run.err, run
    assert "to out" in run.out, run
    assert err_file.read_text() == "to err\n"  # the failure for System.out did not stop System.err


def test_output_file_in_a_folder_that_cannot_be_made(tmp_path):
    blocker = tmp_path / "file"
    blocker.write_text("")
    run = judge("judge/Streams", options=("--out", str(blocker / "sub" / "out.log")))
    assert run.code == 0, run
    assert "java.io.FileNotFoundException" in run.err, run
    assert "to out" in run.out, run


def test_date_stamp_is_the_same_in_both_names(tmp_path):
    before = datetime.datetime.now(datetime.timezone.utc)
    run = judge("judge/Streams", options=(
        "--out", str(tmp_path / "out_%yyyyMMdd-HHmmss.L%.log"),
        "--err", str(tmp_path / "err_%yyyyMMdd-HHmmss.L%.log")), trace=True)
    after = datetime.datetime.now(datetime.timezone.utc)
    assert run.code == 0, run
    names = sorted(p.name for p in tmp_path.iterdir())
    assert len(names) == 2, names
    stamps = [re.fullmatch(r"(?:err|out)_(\d{8}-\d{6}\.\d{1,3})\.log", name) for name in names]
    assert all(stamps), names
    assert stamps[0].group(1) == stamps[1].group(1), names
    day = stamps[0].group(1)[:8]
    assert day in (before.strftime("%Y%m%d"), after.strftime("%Y%m%d")), names
    assert (tmp_path / names[1]).read_text() == "to out\n"


# ---- VM options ----

def test_system_property_reaches_the_program():
    run = judge("judge/Property", "kestran.judge", options=("--option", "-Dkestran.judge=Wert mit Grüßen"))
    assert run.code == 0, run
    assert "kestran.judge=Wert mit Grüßen" in run.out, run


@pytest.mark.parametrize("xss, expect_ok", [("-Xss512m", True), (None, False)], ids=["with -Xss", "default stack"])
def test_thread_stack_size_follows_xss(xss, expect_ok):
    options = ("--option", xss) if xss else ()
    run = judge("judge/Deep", "200000", options=options)
    if expect_ok:
        assert run.code == 0, run
        assert "depth ok true" in run.out, run
    else:
        assert run.code == 1, run
        assert "java.lang.StackOverflowError" in run.err, run


# ---- a stop request from a thread of its own, once main has started ----

@pytest.mark.parametrize("main, arguments, markers", [
    # stop() on a newly attached thread; main ends and the run with it.
    ("judge/Dienst\U0001D538", [], ["stop called on Thread-", "main returned", "judge: java thread ended with 0"]),
    # No stop(): System.exit(0) through the exit hook, although a worker would have run a minute.
    ("judge/Worker", ["60000"], ["judge: exit hook 0"]),
], ids=["stop()", "System.exit(0)"])
def test_stop_request_reaches_the_program(main, arguments, markers):
    run = judge(main, *arguments, options=("--request-stop", "--service", "--exit-listener"))
    assert run.code == 0 and ordered(run.out, *markers), run
    assert "worker finished" not in run.out, run
    assert ("java.lang.NoSuchMethodError" in run.err) == (main == "judge/Worker"), run


# ---- the VM session: who may attach, and when the attachment ends ----

SESSION_CASES = {  # options: markers in this order
    # A thread that attaches while DestroyJavaVM waits for the program's threads may never return.
    "attach refused once the teardown began": (
        ("--service", "--attach-in-teardown"), ["main returned", "judge: attach in teardown refused", "worker finished"]),
    # An exception out of the attached call must still detach, or DestroyJavaVM waits for ever.
    "detached when the call throws": (
        ("--throw-in-call",), ["judge: injected exception caught", "judge: detached after the exception yes",
                               "judge: vm destroyed"]),
}


@pytest.mark.parametrize("case", SESSION_CASES)
def test_vm_session_guards_attachments(case):
    options, markers = SESSION_CASES[case]
    run = judge("judge/Worker", "1000", options=options)
    assert run.code == 0 and ordered(run.out, *markers), run


# ---- the start-up cache ----

JDK25_LIBJVM = pathlib.Path("/usr/lib/jvm/temurin-25-jdk-amd64/lib/server/libjvm.so")
RUNTIMES = [pytest.param((), id="17"),
            pytest.param(("--jvm", str(JDK25_LIBJVM)), id="25",
                         marks=pytest.mark.skipif(not JDK25_LIBJVM.exists(), reason="no Temurin 25 here"))]


def touch_jar(jar, archive):
    os.utime(jar, (1, 1))


def truncate_archive(jar, archive):
    os.chmod(archive, 0o644)
    with open(archive, "r+b") as file:
        file.truncate(archive.stat().st_size // 2)


def touch_manifest_jar(jar, archive):
    os.utime(jar.parent / "lib.jar", (1, 1))


def make_unwritable(jar, archive):
    archive.unlink()
    if subprocess.run(["chattr", "+i", str(archive.parent)], capture_output=True).returncode != 0:
        pytest.skip("the folder cannot be made immutable here (chattr needs root on ext4)")


# name: (main, arguments, cache root below tmp_path, done between the launches, second launch's trace, exit code,
#        VM options of both launches...)
CACHE_CASES = {
    "main returns": ("judge/Digest", [], "local", None, "startup cache: using", 0),
    "System.exit, renamed in the exit hook": ("judge/Digest", ["7"], "local", None, "startup cache: using", 7),
    "jar touched": ("judge/Digest", [], "local", touch_jar, "startup cache: being written", 0),
    "archive cut short": ("judge/Digest", [], "local", truncate_archive, "startup cache: being written", 0),
    "no folder can be made": ("judge/Digest", [], "/proc/kestran", None, "startup cache: not possible", 0),
    "folder cannot be written": ("judge/Digest", ["3"], "local", make_unwritable, "startup cache: not written", 3),
    # The key knows app.jar, not the lib.jar its manifest names: the VM refuses the cache itself.
    "a jar the manifest names touched": ("judge/Digest", [], "local", touch_manifest_jar,
                                         "startup cache: not taken by the VM", 0),
    # Without compressed object pointers: a cache assembled with another heap goes unused.
    "heap of 40 GB": ("judge/Digest", [], "local", None, "startup cache: using", 0, "-XX:MaxHeapSize=40g"),
}


@pytest.mark.parametrize("case", CACHE_CASES)
@pytest.mark.parametrize("runtime", RUNTIMES)
def test_startup_cache_is_written_once_complete_and_used_next(case, runtime, tmp_path):
    main, arguments, root, between, second_trace, code, *vm_options = CACHE_CASES[case]
    jar = tmp_path / "app.jar"
    jar.write_bytes((JUDGE_DIR / "judge.jar").read_bytes())
    if between is touch_manifest_jar:
        if not runtime:
            pytest.skip("17 keeps its base archive when it refuses the dynamic one: the launcher cannot tell")
        jar.rename(tmp_path / "lib.jar")
        with zipfile.ZipFile(jar, "w") as app:
            app.writestr("META-INF/MANIFEST.MF", "Manifest-Version: 1.0\r\nClass-Path: lib.jar\r\n\r\n")
    env = {"LOCALAPPDATA": str(tmp_path / root)}
    if not root.startswith("/"):
        (tmp_path / root).mkdir()
    options = (*runtime, "--class-path", str(jar), "--startup-cache", "--option", "-Xlog:class+load=info",
               *(word for option in vm_options for word in ("--option", option)))
    first = judge(main, *arguments, options=options, trace=True, env_extra=env)
    # 25 assembles its cache in a process that outlives the launch.
    deadline = time.monotonic() + 60
    while not (archives := list((tmp_path / root).glob("Kestran/StartupCache/*/*.jsa"))) and \
            "startup cache: being assembled" in first.err and time.monotonic() < deadline:
        time.sleep(0.1)
    configurations = archives and list(archives[0].parent.glob("*.classlist"))
    if between:
        between(jar, archives[0])
    try:
        second = judge(main, *arguments, options=options, trace=True, env_extra=env)
    finally:
        if between is make_unwritable:
            subprocess.run(["chattr", "-i", str(archives[0].parent)], check=True)
    # 17 writes the dynamic archive; 25 lists the classes it loads, and the AOT cache is assembled from the list.
    writing = re.compile(r"ArchiveClassesAtExit|DumpLoadedClassList")
    for run in (first, second):
        assert run.code == code, f"{case}: {run}"
        # The VM's archive messages belong to the trace, never to the program's output.
        assert "[warning]" not in run.out and "[error]" not in run.out, f"{case}: {run}"
    if root.startswith("/"):
        assert not writing.search(first.err + second.err), f"{case}: {first}"
        return
    assert re.search("startup cache: (written:|being assembled)", first.err) and len(archives) == 1, f"{case}: {first}"
    assert not configurations, f"{case}: the class list stayed"
    if not runtime:  # the dynamic archive is made in-process, with the VM's messages
        assert re.search(r"\[warning\]\[cds\] Skipping", first.err), f"{case}: the trace lacks the VM's messages: {first}"
    assert second_trace in second.err, f"{case}: {second}"
    from_archive = "judge.Digest source: shared objects file" in second.out
    assert from_archive == (second_trace == "startup cache: using"), f"{case}: {second}"
    if second_trace == "startup cache: being written":
        assert f"startup cache: removed {archives[0]}" in second.err, f"{case}: {second}"
    assert bool(writing.search(second.err)) == (second_trace == "startup cache: being written"), f"{case}: {second}"


# ---- the splash screen through the runtime's own splash library, under a display of its own ----

def png(path, width, height):
    """A one-colour PNG of that size."""
    chunk = lambda kind, data: struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    pixels = zlib.compress((b"\x00" + b"\x80\x20\x20" * width) * height)
    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    path.write_bytes(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", pixels) + chunk(b"IEND", b""))


@pytest.fixture(scope="module")
def display():
    read, write = os.pipe()  # Xvfb picks a free display and names it here
    server = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-nolisten", "tcp"], pass_fds=(write,),
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write)
    with os.fdopen(read) as numbers:
        yield ":" + numbers.readline().strip()
    server.terminate()
    server.wait(timeout=10)


SPLASH_CASES = {  # picture, arguments, environment: the program's lines in this order
    "seen by java.awt.SplashScreen": ("splash.png", [], {}, ["splash visible=true size=120x80 url=file:"]),
    "closed by the first frame": ("splash.png", ["frame"], {}, ["splash visible=true", "after the frame closed"]),
    # The library's name@2x variant with its scale: the splash keeps the picture's size in user space.
    "scaled variant": ("splash.png", [], {"GDK_SCALE": "2"}, ["splash visible=true size=120x80"]),
    # The launch goes on without one, the library closed again.
    "not a picture": ("bogus.png", [], {}, ["splash none"]),
}


@pytest.mark.parametrize("case", SPLASH_CASES)
def test_splash_through_the_runtime_library(case, display, tmp_path):
    picture, arguments, env, markers = SPLASH_CASES[case]
    png(tmp_path / "splash.png", 120, 80)
    png(tmp_path / "splash@2x.png", 240, 160)
    (tmp_path / "bogus.png").write_text("not a picture")
    run = judge("judge/Splash", *arguments, options=("--splash", str(tmp_path / picture)),
                env_extra={"DISPLAY": display, **env})
    assert run.code == 0 and ordered(run.out, *markers), run
