"""The windowed twin (kestranw.exe) under Xvfb: where the lines of a failed launch go when it has a
standard output, and the one message box when it has none. The trace goes to a file, which is
what a windowed launch is diagnosed with."""
import shutil
import time

import pytest

from conftest import KESTRANW_EXE, win_path
from test_dialogs import Session, desktop, find_window  # noqa: F401 (the desktop fixture)

MINUS_ONE = 0xFFFFFFFF
MISSING_CLASS = "Error: Could not find the main class com/example/Main."

# name: (standard output, VM parameters, lines the box (or the output) must hold, most lines in the box)
SCENARIOS = {
    # Started from Explorer: one box with the line, the exit code once it is closed.
    "no output, missing class": (False, "", [MISSING_CLASS], 1),
    # The VM's complaint comes through the vfprintf hook into the same box as the launcher's line.
    "no output, VM message": (False, "bogus", ["Unrecognized option: bogus", "Error: JNI exception: "], 2),
    # A VM that prints without end: a screenful, its first and last lines, and the launcher's.
    "no output, many VM lines": (False, "-Dtestjvm.main=missing,vmlines:20000",
                                 ["vm line 1\n", "\n(19977 more lines)\n", "vm line 20000\n", MISSING_CLASS], 26),
    # "Toolw.exe > log.txt": the lines in the file as from the console exe, and no box.
    "redirected output": (True, "", [MISSING_CLASS], 0),
    "redirected output, VM message": (True, "bogus", ["Unrecognized option: bogus"], 0),
}


@pytest.mark.parametrize("case", SCENARIOS)
def test_windowed_failure_reaches_a_box_or_the_output(case, launch, tmp_path):
    output, vm_parameters, expected, most_lines = SCENARIOS[case]
    shutil.copyfile(KESTRANW_EXE, launch.app.exe)
    launch.use("jvm_noboot.dll")
    launch.settings(main_class="com.example.Main\nVirtual Machine Parameters=" + vm_parameters)
    trace = tmp_path / "trace.txt"
    env = {"TESTJVM_LOG": win_path(launch.log_path), "TESTJVM_MAIN": "missing", "KESTRAN_TRACE": win_path(trace)}
    if not output:
        env["KESTRAN_TEST_NO_STDOUT"] = "1"
    session = Session(launch.app, env=env)
    if not output:
        session.wait_window("Tool.exe")
        session.keys("Return")
    result = session.finish()
    lines = trace.read_text(encoding="utf-8").splitlines()
    boxes = [i for i, line in enumerate(lines) if line.startswith("kestran: error box")]
    assert result.exit_code == MINUS_ONE, (result, lines)
    assert lines[0].startswith("kestran: "), lines  # the trace went to its file
    if output:
        assert boxes == [] and all(any(e in l for l in result.stdout_lines) for e in expected), (result, lines)
    else:
        # One box, whose text holds every line, and no second once it is closed.
        assert len(boxes) == 1 and lines[boxes[0]].startswith("kestran: error box shown: "), lines
        box_text = "\n".join(lines[boxes[0]:])
        box_text = box_text.split("kestran: failure report in full: ")[0]
        assert all(e in box_text for e in expected) and box_text.count("\n") <= most_lines, "\n".join(lines)[-1500:]
        assert result.stdout == "" and find_window("Tool.exe") is None, result
