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
SERVICE_ONLY = ("Error: This program is configured to run as a Windows service and must be started by the "
                "service control manager.")
EVENT_SOURCE = r"HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\Tool"

# name: (standard output, VM parameters, [Application] settings, lines the box (or the output)
# must hold, exit code, most lines in the box)
SCENARIOS = {
    # Started from Explorer: one box with the line, the exit code once it is closed.
    "no output, missing class": (False, "", "", [MISSING_CLASS], MINUS_ONE, 1),
    # The VM's complaint comes through the vfprintf hook into the same box as the launcher's line.
    "no output, VM message": (False, "bogus", "", ["Unrecognized option: bogus", "Error: JNI exception: "], MINUS_ONE, 2),
    # A VM that prints without end: a screenful, its first and last lines, and the launcher's.
    "no output, many VM lines": (False, "-Dtestjvm.main=missing,vmlines:20000", "",
                                 ["vm line 1\n", "\n(19977 more lines)\n", "vm line 20000\n", MISSING_CLASS],
                                 MINUS_ONE, 26),
    # "Toolw.exe > log.txt": the lines in the file as from the console exe, and no box.
    "redirected output": (True, "", "", [MISSING_CLASS], MINUS_ONE, 0),
    "redirected output, VM message": (True, "bogus", "", ["Unrecognized option: bogus"], MINUS_ONE, 0),
    # The VM ends the process before main: the box says so, with the program's code.
    "no output, exit in the initialiser": (False, "-Dtestjvm.main=initexit:3", "", [
        "Error: The Java program ended with exit code 3 before its main method was called."], 3, 1),
    # A service's exe started from Explorer is no service: its line in the box, no event source.
    "no output, service started by hand": (False, "", "Application Type=service\n", [SERVICE_ONLY], 1063, 1),
}


@pytest.mark.parametrize("case", SCENARIOS)
def test_windowed_failure_reaches_a_box_or_the_output(case, launch, tmp_path):
    output, vm_parameters, application, expected, code, most_lines = SCENARIOS[case]
    shutil.copyfile(KESTRANW_EXE, launch.app.exe)
    launch.use("jvm_noboot.dll")
    launch.settings(application, main_class="com.example.Main\nVirtual Machine Parameters=" + vm_parameters)
    launch.app.wine.reg("delete", EVENT_SOURCE, "/f", check=False)
    if application:  # without this value Wine's dispatcher waits 10 s before it fails
        launch.app.wine.reg("add", r"HKLM\SYSTEM\CurrentControlSet\Control\ServiceCurrent", "/ve", "/t", "REG_DWORD",
                            "/d", "99999", "/f")
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
    assert result.exit_code == code, (result, lines)
    assert launch.app.wine.reg("query", EVENT_SOURCE, check=False).returncode != 0, "an event source was registered"
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
