"""Single instance: later starts of one exe hand their arguments to the first one's secondaryMain
and exit with the reply. The first instance runs in the background on the test runtime; its main
returns at once and a script thread keeps the VM, and so the process, alive."""
import re
import shutil
from pathlib import Path
import subprocess
import time
from concurrent.futures import ThreadPoolExecutor

import pytest

from conftest import RUNNER_EXE, TOOLS_DIR, App, win_path

MAIN, CREATE = "CallStaticVoidMethod com/example/Main.main", "create version"
READY = "GetStaticMethodID com/example/Main main ([Ljava/lang/String;)V"  # the ready event follows it
TOO_LONG = "Error: The arguments are too long to forward to the running application (1042 bytes, at most 1040). "


class FirstInstance:
    def __init__(self, launch, tmp_path, script, wait_for):
        app = launch.app
        self.log_path, self.exit_file = launch.log_path, tmp_path / "first-exit.txt"
        self.env = {"TESTJVM_LOG": win_path(launch.log_path), "TESTJVM_MAIN": script}
        env = app.wine.base_environment({**self.env, "KESTRAN_TEST_COMMAND_LINE": app.command_line("first"),
                                                "KESTRAN_TEST_EXITCODE_FILE": win_path(self.exit_file)})
        self.process = subprocess.Popen([app.wine.loader, str(RUNNER_EXE)], env=env, cwd=tmp_path)
        deadline = time.monotonic() + 60
        while not any(line.startswith(wait_for) for line in self.log()):
            assert self.process.poll() is None and time.monotonic() < deadline, self.log()
            time.sleep(0.05)

    def log(self):
        return self.log_path.read_text(encoding="utf-8").splitlines() if self.log_path.exists() else []

    def finish(self):
        self.process.wait(timeout=120)
        return int(self.exit_file.read_text())

    def forwarded(self):
        """The argument lists secondaryMain received, in the order of the log."""
        log = self.log()
        assert not any(line.startswith("fatal") for line in log), log
        counts = [(i, int(m.group(1))) for i, l in enumerate(log) if (m := re.match(r"secondaryMain args (\d+)", l))]
        return [[re.sub(r"arg \d+ units=\S* text=", "", l) for l in log[i + 1:i + 1 + n]] for i, n in counts]


SCENARIOS = {  # "Single Instance", first script, later start's folder and arguments, its exit code,
    #           lists secondaryMain got, runs of main, the first one's exit code
    "void form": ("yes", "secondary:void,thread:5000", "app", ["a", "b c"], 0, [["a", "b c"]], 1, 0),
    "int form: all 32 bits": ("yes", "secondary:int:-7,thread:5000", "app", ["x"], 0xFFFFFFF9, [["x"]], 1, 0),
    "no arguments: one empty string": ("yes", "secondary:void,thread:5000", "app", [], 0, [[""]], 1, 0),
    "an empty argument ends the list": ("yes", "secondary:void,thread:5000", "app", ["a", "", "b"], 0, [["a"]], 1, 0),
    "518 characters fit": ("yes", "secondary:void,thread:5000", "app", ["x" * 518], 0, [["x" * 518]], 1, 0),
    "519 are refused": ("yes", "secondary:void,thread:5000", "app", ["x" * 519], 0xFFFFFFFF, [], 1, 0),
    "no secondaryMain: runs itself once the first one ends": ("yes", "thread:3000,throw", "app", ["a"], 1, [], 2, 1),
    "a throwing int secondaryMain: 1": ("yes", "secondary:int:throw,thread:5000", "app", ["a"], 1, [["a"]], 1, 0),
    "a start during a slow shutdown runs": ("yes", "secondary:void,slowdestroy:4000", "app", ["a"], 0, [], 2, 0),
    "another spelling of the path forwards": ("yes", "secondary:void,thread:5000", "spelling", ["a"], 0, [["a"]], 1, 0),
    "first one still starting": ("yes", "slowcreate:3000,secondary:int:9,thread:3000", "app", ["a"], 9, [["a"]], 1, 0),
    "Yes leaves the mode off": ("Yes", "secondary:void,thread:5000", "app", ["a"], 0, [], 2, 0),
    "a copy elsewhere is another instance": ("yes", "secondary:void,thread:5000", "copy", ["a"], 0, [], 2, 0),
}


@pytest.mark.parametrize("name", SCENARIOS)
def test_later_start(launch, tmp_path, name):
    setting, script, folder, arguments, code, lists, mains, first_code = SCENARIOS[name]
    launch.settings(application=f"Single Instance={setting}\n")
    later_app = launch.app
    if folder == "copy":
        shutil.copytree(launch.app.dir, tmp_path / folder)
        later_app = App(launch.app.wine, tmp_path / folder, root=tmp_path)
    elif folder == "spelling":  # the same file, upper case (Wine finds files in any case)
        later_app = App(launch.app.wine, launch.app.dir, root=tmp_path)
        later_app.exe = Path(str(launch.app.exe).upper())
    wait_for = CREATE if "slowcreate" in script else "destroy-shutting-down" if "slowdestroy" in script else "main-end"
    first = FirstInstance(launch, tmp_path, script, wait_for)
    try:
        later = later_app.run(arguments, env=first.env)
        assert later.exit_code == code and later.stdout_lines == ([TOO_LONG] if code == 0xFFFFFFFF else []), later
    finally:
        assert first.finish() == first_code, first.log()
    log = first.log()
    assert first.forwarded() == lists and log.count(MAIN) == mains, log
    assert not lists or log.index(READY) < log.index(f"secondaryMain args {len(lists[0])}"), log


def test_ten_later_starts_at_once_each_get_their_own_reply(launch, tmp_path):
    """secondaryMain echoes its first argument: a list lost, doubled or delivered to the wrong
    caller shows in the exit codes. All arrive while the first one still creates its VM."""
    launch.settings(application="Single Instance=yes\n")
    first = FirstInstance(launch, tmp_path, "slowcreate:6000,secondary:int:echo,thread:12000", CREATE)
    try:
        values = [str(100 + i) for i in range(10)]
        with ThreadPoolExecutor(len(values)) as pool:
            results = list(pool.map(lambda value: launch.app.run([value], timeout=60), values))
        assert [r.exit_code for r in results] == [int(v) for v in values], results
        assert first.process.poll() is None, "the first instance ended early"
    finally:
        assert first.finish() == 0, first.log()
    assert sorted(first.forwarded()) == [[v] for v in values], first.log()


def test_a_slow_secondary_main_does_not_hold_up_the_next_start(launch, tmp_path):
    launch.settings(application="Single Instance=yes\n")
    first = FirstInstance(launch, tmp_path, "secondary:int:echo,slowsecondary:8000,thread:12000", "main-end")
    try:
        slow = subprocess.Popen([launch.app.wine.loader, str(RUNNER_EXE)], cwd=tmp_path, env=launch.app.wine.base_environment(
            {**first.env, "KESTRAN_TEST_COMMAND_LINE": launch.app.command_line("slow"),
             "KESTRAN_TEST_EXITCODE_FILE": win_path(tmp_path / "slow-exit.txt")}))
        deadline = time.monotonic() + 30
        while first.forwarded() != [["slow"]]:
            assert time.monotonic() < deadline, first.log()
            time.sleep(0.05)
        # Its turn ended with the hand-over: this start is answered while the slow call still runs.
        assert launch.app.run(["7"], env=first.env, timeout=60).exit_code == 7
        assert slow.poll() is None, first.log()
        assert slow.wait(timeout=60) == 0 and (tmp_path / "slow-exit.txt").read_text() == "0"
    finally:
        assert first.finish() == 0, first.log()


def test_an_object_taken_first_by_another_program_gets_no_arguments(launch, tmp_path):
    """A program that creates the block under our name first, owned by another account and open
    to all, poses as the first instance: the start must run the application itself."""
    launch.settings(application="Single Instance=yes\n")
    env = {"TESTJVM_LOG": win_path(launch.log_path), "TESTJVM_MAIN": "return"}
    names = [l[len("single instance: first instance of "):] for l in launch.app.run(["x"], env=env, trace=True).trace()
             if l.startswith("single instance: first instance of ")]
    assert len(names) == 1, names
    squatter = subprocess.Popen([launch.app.wine.loader, str(TOOLS_DIR / "instance_squatter.exe"), names[0]],
                                env=launch.app.wine.base_environment(), stdin=subprocess.PIPE, stdout=subprocess.PIPE)
    try:
        assert squatter.stdout.readline().strip() == b"ready"
        later = launch.app.run(["a"], env=env, trace=True)
    finally:
        squatter.stdin.close()
        captured = squatter.wait(timeout=60)
    assert captured == 0 and later.exit_code == 0, later
    assert any("not trusted" in line for line in later.trace()), later
    assert launch.log_path.read_text(encoding="utf-8").splitlines().count(MAIN) == 2
