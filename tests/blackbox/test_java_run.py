"""Running the application: arguments reaching main, exit codes, the uncaught-exception text,
System.out/System.err redirected into files with date and time stamps, a missing main class.

The runtime is the test runtime (tests/testjvm) in "<app>\\jre64"; it logs what the launcher did
to the file named by TESTJVM_LOG and plays the application class given by TESTJVM_MAIN.
"""
import datetime
import re
import subprocess
import time
import zoneinfo

import pytest

from conftest import RUNNER_EXE, win_path

MINUS_ONE = 0xFFFFFFFF


def units(text):
    return text.encode("utf-16-be").hex()


def ordered(lines, *markers):
    position = -1
    for marker in markers:
        try:
            position = lines.index(marker, position + 1)
        except ValueError:
            return False
    return True


# ---- arguments ----

def test_command_line_then_cmd_tokens_reach_main_as_utf16(launch):
    launch.settings(application='Cmd=cmd1 "Grüße aus Köln" Привет\n')
    # Wine decodes the Unix command line and environment with the locale's charset: en_US.UTF-8
    # is not generated on the test machines (Wine then mangles non-ASCII text), C.UTF-8 always is.
    result = launch.run('plain "two words" Здравствуйте 😀 ""', env={"LC_ALL": "C.UTF-8"})
    assert result.exit_code == 0, result
    expected = ["plain", "two words", "Здравствуйте", "😀", "", "cmd1", "Grüße aus Köln", "Привет"]
    assert launch.main_arguments() == [units(a) for a in expected]


def test_no_arguments_give_an_empty_array(launch):
    launch.settings()
    result = launch.run()
    assert result.exit_code == 0, result
    assert launch.record("args ") == ["0"]


# ---- exit codes ----

@pytest.mark.parametrize("script, code", [
    ("print:hi", 0),
    ("throw", 1),
    ("exit:7", 7),
    ("exit:0", 0),
    ("exit:-2", 0xFFFFFFFE),
], ids=["return", "uncaught exception", "System.exit(7)", "System.exit(0)", "System.exit(-2)"])
def test_exit_codes(launch, script, code):
    launch.settings()
    result = launch.run(script=script)
    assert result.exit_code == code, (result, launch.log)


def test_uncaught_exception_is_described_by_the_vm_and_exits_with_1(launch):
    launch.settings()
    result = launch.run(script="throw")
    assert result.exit_code == 1, result
    assert 'Exception in thread "main" java.lang.RuntimeException: boom' in result.stderr, result
    assert "uncaught java.lang.RuntimeException: boom" in launch.log
    assert "Java thread exit code 1" in result.trace()


def test_failure_check_renders_the_exception_text(launch):
    launch.settings(application="Failure Check=YES\n")
    result = launch.run(script="throw")
    assert result.exit_code == 1, result
    assert "main ended by an uncaught exception: java.lang.RuntimeException: boom" in result.trace(), result
    # The exception is still main's when the thread detaches, so the VM reports it.
    assert "uncaught java.lang.RuntimeException: boom" in launch.log
    # No display for the dialog: the stack trace is on standard error once, the VM's report.
    text = [line for line in result.stderr_lines if not line.startswith("kestran: ")]
    assert text.count("\tat com.example.Main.main(Main.java)") == 1, result
    assert 'Exception in thread "main" java.lang.RuntimeException: boom' in text, result


def test_missing_main_class_prints_215_and_exits_with_minus_one(launch):
    launch.use("jvm_noboot.dll")
    launch.settings()
    result = launch.run(script="missing")
    assert result.exit_code == MINUS_ONE, result
    # The message text ends with its own line feed, so the line's closing space stands alone.
    assert result.stdout_lines == ["Error: Could not find the main class com/example/Main.", " "], result
    assert "main class com/example/Main loaded through FindClass" not in result.trace()
    assert "DetachCurrentThread main" in launch.log  # no wait for ever in DestroyJavaVM


def test_missing_main_class_through_the_launcher_helper(launch):
    launch.settings()
    result = launch.run(script="missing")
    assert result.exit_code == 1, result
    assert "Could not find or load main class com.example.Main" in result.stderr, result


def test_class_without_main_exits_with_minus_one(launch):
    launch.use("jvm_noboot.dll")
    launch.settings()
    result = launch.run(script="nomain")
    assert result.exit_code == MINUS_ONE, result
    assert "java.lang.NoSuchMethodError" in result.stderr, result
    assert "CallStaticVoidMethod com/example/Main.main" not in launch.log


def test_main_class_roads_in_the_trace(launch):
    launch.settings(main_class="com.example.App")
    launch.run()
    assert "main class com/example/App loaded through sun.launcher.LauncherHelper" in launch.result.trace()
    assert "checkAndLoadMain printToStderr=1 mode=1 name=com.example.App" in launch.log
    launch.use("jvm_noboot.dll")
    launch.run()
    assert "main class com/example/App loaded through FindClass" in launch.result.trace()
    assert "FindClass com/example/App" in launch.log


def test_non_daemon_thread_is_waited_for(launch):
    launch.settings()
    result = launch.run(script="thread:300,print:main done")
    assert result.exit_code == 0, result
    assert ordered(launch.log, "main-end", "DetachCurrentThread main", "DestroyJavaVM", "destroy-result 0"), launch.log
    assert ordered(launch.log, "thread-end", "destroy-result 0"), launch.log


# ---- output redirection ----

def test_output_and_error_files_created_with_their_folders(launch, tmp_path):
    out_file = tmp_path / "logs" / "deep" / "out.log"
    err_file = tmp_path / "logs" / "err.log"
    launch.settings(application=f"Output File={win_path(out_file)}\nError File={win_path(err_file)}\n")
    result = launch.run(script="print:hello file,throw")
    assert result.exit_code == 1, result
    assert out_file.read_bytes() == b"hello file\r\n"
    assert "java.lang.RuntimeException: boom" in err_file.read_text(encoding="cp1252")
    assert "hello file" not in result.stdout


def test_append_and_truncate(launch, tmp_path):
    out_file = tmp_path / "out.log"
    err_file = tmp_path / "err.log"
    out_file.write_bytes(b"old out\r\n")
    err_file.write_bytes(b"old err\r\n")
    launch.settings(application=f"Output File={win_path(out_file)}\nError File={win_path(err_file)}\n"
                                "Error Append=yes\n")
    assert launch.run(script="print:new").exit_code == 0
    assert out_file.read_bytes() == b"new\r\n"
    assert err_file.read_bytes() == b"old err\r\n"
    assert "FileOutputStream " + win_path(err_file) + " append=1 opened" in launch.log


def test_output_file_that_cannot_be_opened_leaves_the_stream(launch, tmp_path):
    (tmp_path / "blocker").write_text("")
    launch.settings(application=f"Output File={win_path(tmp_path / 'blocker' / 'out.log')}\n")
    result = launch.run(script="print:still here")
    assert result.exit_code == 0, result
    assert "java.io.FileNotFoundException" in result.stderr, result
    assert "still here" in result.stdout_lines, result


TOKYO = zoneinfo.ZoneInfo("Asia/Tokyo")


def stamped_run(launch, tmp_path, output, error=None):
    tmp_path = tmp_path / "stamped"
    tmp_path.mkdir()
    application = f"Output File={win_path(tmp_path)}\\{output}\n"
    if error:
        application += f"Error File={win_path(tmp_path)}\\{error}\n"
    launch.settings(application=application)
    before = datetime.datetime.now(TOKYO).replace(microsecond=0)
    result = launch.run(script="print:x", env={"TZ": "Asia/Tokyo"})
    after = datetime.datetime.now(TOKYO)
    assert result.exit_code == 0, result
    names = sorted(p.name for p in tmp_path.iterdir())
    return names, before, after


def test_stamp_follows_the_local_time(launch, tmp_path):
    names, before, after = stamped_run(launch, tmp_path, "out_%yyyyMMdd-HHmmss%.log")
    assert len(names) == 1, names
    stamp = re.fullmatch(r"out_(\d{8}-\d{6})\.log", names[0])
    assert stamp, names
    when = datetime.datetime.strptime(stamp.group(1), "%Y%m%d-%H%M%S").replace(tzinfo=TOKYO)
    assert before <= when <= after, (names, before, after)


def test_stamp_with_milliseconds_is_the_same_for_both_files(launch, tmp_path):
    names, _, _ = stamped_run(launch, tmp_path, "out_%HH.mm.ss.L%.log", "err_%HH.mm.ss.L%.log")
    assert len(names) == 2, names
    stamps = [re.fullmatch(r"(?:err|out)_(\d\d\.\d\d\.\d\d\.\d{1,3})\.log", n) for n in names]
    assert all(stamps), names
    assert stamps[0].group(1) == stamps[1].group(1)
    milliseconds = stamps[0].group(1).split(".")[-1]
    assert milliseconds == "0" or not milliseconds.startswith("0"), names  # no leading zeros


def test_two_stamps_are_one_picture(launch, tmp_path):
    names, before, _ = stamped_run(launch, tmp_path, "a_%yyyy%_b_%MM%.log")
    assert names == [f"a_{before:%Y}%_b_%{before:%m}.log"], names


def test_name_without_stamp_is_kept(launch, tmp_path):
    names, _, _ = stamped_run(launch, tmp_path, "plain.log")
    assert names == ["plain.log"]
    target = win_path(tmp_path / "stamped" / "plain.log")
    assert f"System.out redirected to {target} (truncate)" in launch.result.trace()


# ---- the ready event ----

def test_ready_event_lets_a_second_instance_in_once_main_runs(launch, tmp_path):
    """A later instance is served only after the first one's ready event: here main has returned
    while a non-daemon thread keeps the first instance alive, so the reply comes from
    secondaryMain (5), not from the first instance's exit (0)."""
    launch.settings(application="Single Instance=yes\n")
    wine = launch.app.wine
    exit_file = tmp_path / "first-exit.txt"
    env = wine.base_environment({
        "TESTJVM_LOG": win_path(launch.log_path), "TESTJVM_MAIN": "secondary:int:5,thread:8000",
        "KESTRAN_TEST_COMMAND_LINE": launch.app.command_line("first"),
        "KESTRAN_TEST_EXITCODE_FILE": win_path(exit_file), "KESTRAN_TEST_TIMEOUT_MS": "60000"})
    first = subprocess.Popen([wine.loader, str(RUNNER_EXE)], env=env, cwd=tmp_path,
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        deadline = time.monotonic() + 60
        while "main-end" not in (launch.log_path.read_text(encoding="utf-8").splitlines()
                                 if launch.log_path.exists() else []):
            assert first.poll() is None and time.monotonic() < deadline, "the first instance never ran main"
            time.sleep(0.05)
        second = launch.app.run("second", env={"TESTJVM_MAIN": "secondary:int:5,thread:8000"})
        assert second.exit_code == 5, second
    finally:
        first.wait(timeout=90)
    log = launch.log_path.read_text(encoding="utf-8").splitlines()
    assert ordered(log, "CallStaticVoidMethod com/example/Main.main", "secondaryMain args 1"), log
    assert exit_file.read_text().strip() == "0"
