"""Single instance: a first launcher runs the application, later starts of the same exe hand
their arguments to its secondaryMain and exit with the reply.

The first instance runs in the background on the test runtime; main returns at once and a
script thread keeps the VM (and so the process) alive while later instances come in.
"""
import re
import shutil
import subprocess
import time
from concurrent.futures import ThreadPoolExecutor

import pytest

from conftest import RUNNER_EXE, win_path

MINUS_ONE = 0xFFFFFFFF


class FirstInstance:
    def __init__(self, launch, tmp_path, script):
        self.launch = launch
        self.exit_file = tmp_path / "first-exit.txt"
        wine = launch.app.wine
        env = wine.base_environment({
            "TESTJVM_LOG": win_path(launch.log_path), "TESTJVM_MAIN": script,
            "KESTRAN_TEST_COMMAND_LINE": launch.app.command_line("first"),
            "KESTRAN_TEST_EXITCODE_FILE": win_path(self.exit_file), "KESTRAN_TEST_TIMEOUT_MS": "90000"})
        launch.log_path.unlink(missing_ok=True)
        self.process = subprocess.Popen([wine.loader, str(RUNNER_EXE)], env=env, cwd=tmp_path,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def log(self):
        path = self.launch.log_path
        return path.read_text(encoding="utf-8").splitlines() if path.exists() else []

    def wait_for(self, marker):
        deadline = time.monotonic() + 60
        while not any(line.startswith(marker) for line in self.log()):
            assert self.process.poll() is None and time.monotonic() < deadline, f"no {marker!r}: {self.log()}"
            time.sleep(0.05)

    def finish(self):
        self.process.wait(timeout=120)
        return int(self.exit_file.read_text().strip())

    def forwarded(self):
        """The argument lists secondaryMain received, as text."""
        lists, log = [], self.log()
        for i, line in enumerate(log):
            match = re.match(r"secondaryMain args (\d+)", line)
            if match:
                items = log[i + 1:i + 1 + int(match.group(1))]
                lists.append([re.match(r"arg \d+ units=\S* text=(.*)", item).group(1) for item in items])
        assert not any(line.startswith("fatal") for line in log), log
        return lists


WAIT_FOR_MAIN = "main-end"
WAIT_FOR_CREATE = "create version"
TOO_LONG = "Error: The arguments are too long to forward to the running application (1042 bytes, at most 1040). "

SCENARIOS = {
    # name: ("Single Instance" value, first script, wait for, later arguments, later exit code,
    #        lists secondaryMain received, runs of main, first instance's exit code)
    "void form: arguments reach secondaryMain, exit 0": (
        "yes", "secondary:void,thread:5000", WAIT_FOR_MAIN, ["a", "b c"], 0, [["a", "b c"]], 1, 0),
    "int form: all 32 bits of its value are the exit code": (
        "yes", "secondary:int:-7,thread:5000", WAIT_FOR_MAIN, ["x"], 0xFFFFFFF9, [["x"]], 1, 0),
    "no arguments arrive as one empty string": (
        "yes", "secondary:void,thread:5000", WAIT_FOR_MAIN, [], 0, [[""]], 1, 0),
    "an empty argument ends the list": (
        "yes", "secondary:void,thread:5000", WAIT_FOR_MAIN, ["a", "", "b"], 0, [["a"]], 1, 0),
    "518 characters fit": (
        "yes", "secondary:void,thread:5000", WAIT_FOR_MAIN, ["x" * 518], 0, [["x" * 518]], 1, 0),
    "519 characters are refused with a message": (
        "yes", "secondary:void,thread:5000", WAIT_FOR_MAIN, ["x" * 519], MINUS_ONE, [], 1, 0),
    "no secondaryMain: the first instance's exit code": (
        "yes", "thread:3000,throw", WAIT_FOR_MAIN, ["a"], 1, [], 1, 1),
    "first instance still creating its VM: served once main starts": (
        "yes", "slowcreate:3000,secondary:int:9,thread:3000", WAIT_FOR_CREATE, ["a"], 9, [["a"]], 1, 0),
    "Yes with a capital leaves the mode off": (
        "Yes", "secondary:void,thread:5000", WAIT_FOR_MAIN, ["a"], 0, [], 2, 0),
}


@pytest.mark.parametrize("name", SCENARIOS)
def test_later_start(launch, tmp_path, name):
    setting, script, marker, arguments, code, lists, mains, first_code = SCENARIOS[name]
    launch.settings(application=f"Single Instance={setting}\n")
    first = FirstInstance(launch, tmp_path, script)
    try:
        first.wait_for(marker)
        later = launch.app.run(arguments, env={"TESTJVM_LOG": win_path(launch.log_path), "TESTJVM_MAIN": script})
        assert later.exit_code == code, later
        assert later.stdout_lines == ([TOO_LONG] if code == MINUS_ONE else []), later
    finally:
        assert first.finish() == first_code, first.log()
    log = first.log()
    assert first.forwarded() == lists, log
    assert log.count("CallStaticVoidMethod com/example/Main.main") == mains, log
    if lists:  # never before main
        assert log.index("CallStaticVoidMethod com/example/Main.main") < log.index(f"secondaryMain args {len(lists[0])}")


def test_copy_at_another_path_is_another_instance(launch, tmp_path):
    launch.settings(application="Single Instance=yes\n")
    copy = tmp_path / "copy"
    shutil.copytree(launch.app.dir, copy)
    first = FirstInstance(launch, tmp_path, "secondary:void,thread:5000")
    try:
        first.wait_for(WAIT_FOR_MAIN)
        env = {"TESTJVM_LOG": win_path(launch.log_path), "TESTJVM_MAIN": "secondary:void"}
        later = launch.app.wine.run(f'"{win_path(copy / launch.app.exe.name)}" other', env=env)
        assert later.exit_code == 0, later
    finally:
        assert first.finish() == 0, first.log()
    # The copy ran main in a VM of its own (same log file), nothing was forwarded.
    assert first.forwarded() == [], first.log()
    assert first.log().count("CallStaticVoidMethod com/example/Main.main") == 2, first.log()


def test_ten_later_starts_at_once_each_get_their_own_reply(launch, tmp_path):
    """secondaryMain echoes its first argument as the reply: a list delivered to the wrong
    caller, or one lost or delivered twice, shows as a wrong exit code or a wrong log. They
    arrive while the first instance is still creating its VM, so all requests wait together."""
    launch.settings(application="Single Instance=yes\n")
    first = FirstInstance(launch, tmp_path, "slowcreate:6000,secondary:int:echo,thread:8000")
    try:
        first.wait_for(WAIT_FOR_CREATE)
        values = [str(100 + i) for i in range(10)]
        with ThreadPoolExecutor(len(values)) as pool:
            results = list(pool.map(lambda value: launch.app.run([value], timeout=60), values))
        assert [r.exit_code for r in results] == [int(v) for v in values], results
        assert first.process.poll() is None, "the first instance ended early"
    finally:
        assert first.finish() == 0, first.log()
    assert sorted(first.forwarded()) == [[v] for v in values], first.log()
