"""The launch sequence around the run: service mode started from a console, the order of
the steps, and the exit code of each outcome."""

import os
from collections import Counter
from concurrent.futures import ThreadPoolExecutor

import pytest

from conftest import KESTRAN_VERSION, win_path

ERROR_EXIT = 0xFFFFFFFF
ERROR_FAILED_SERVICE_CONTROLLER_CONNECT = 1063


def test_service_started_from_a_console_exits_with_1063_before_the_runtime_search(launch, wine):
    # Without this value Wine's dispatcher waits 10 s before it fails.
    wine.reg("add", r"HKLM\SYSTEM\CurrentControlSet\Control\ServiceCurrent", "/ve", "/t", "REG_DWORD",
             "/d", "99999", "/f")
    launch.settings(application="Application Type=service\n")
    result = launch.run()
    assert result.exit_code == ERROR_FAILED_SERVICE_CONTROLLER_CONNECT
    # The search runs under the control manager, once the dispatcher has connected.
    assert not any(line.startswith("chosen ") for line in result.trace())
    assert launch.log == []  # no VM was created
    assert result.stdout_lines == ["Error: This program is configured to run as a Windows service and must be "
                                   "started by the service control manager. "]


def test_service_without_a_runtime_opens_no_window(app):
    # With a display, a dialog would open and wait for an answer: the run would time out. From a
    # console the dispatcher fails first; under the control manager the search fails without one.
    app.write_ini("[Java Runtime Environment]\nMain Class=com.example.Main\nMinimum Version=11\n"
                  "[Application]\nApplication Type=service\n")
    result = app.run(timeout=20, env={"DISPLAY": os.environ.get("DISPLAY") or ":" + os.environ.get(
        "KESTRAN_XVFB_DISPLAY", "97")})
    assert result.exit_code == ERROR_FAILED_SERVICE_CONTROLLER_CONNECT, result
    assert result.stdout_lines == ["Error: This program is configured to run as a Windows service and must be "
                                   "started by the service control manager. "], result


def test_service_type_is_compared_exactly(launch):
    launch.settings(application="Application Type=Service\n")
    result = launch.run()
    assert result.exit_code == 0


def test_settings_are_read_before_the_runtime_is_searched(app):
    app.write_ini("[Application]\nApplication Type=service\n")
    result = app.run(trace=True)
    assert result.exit_code == ERROR_EXIT
    assert result.stdout_lines == ["Error: Main class was not specified in INI file. "]
    assert result.trace()[0] == f"Kestran {KESTRAN_VERSION}", result
    assert not any("registry" in line for line in result.trace())


@pytest.mark.parametrize("vendor, trace", [("IBM", "IBM runtime: threads stay attached"),
                                           ("", "not an IBM runtime")])
def test_ibm_thread_handling_follows_the_runtime_loaded(launch, vendor, trace):
    # System.exit from main ends the run either way; the trace tells what the launcher decided.
    option = f"-Djava.vm.vendor={vendor}" if vendor else "-Dother=1"
    launch.app.write_ini("[Java Runtime Environment]\nMain Class=com.example.Main\nVM Provider=ibm\n"
                         f"JRE Path={win_path(launch.runtime)}\nVirtual Machine Parameters={option}\n"
                         "[Class Path]\nClass Path=app.jar\n")
    result = launch.run(script="exit:4")
    assert result.exit_code == 4 and trace in result.trace(), result


def test_a_provider_setting_that_merely_allows_ibm_does_not_keep_the_process_alive(launch):
    # "any" allows IBM runtimes, but the runtime beside the launcher behaves like a Sun one:
    # main returning must end the launch, not leave the Java thread waiting for System.exit.
    launch.app.write_ini("[Java Runtime Environment]\nMain Class=com.example.Main\nVM Provider=any\n"
                         "[Class Path]\nClass Path=app.jar\n")
    result = launch.run(script="return")
    assert result.exit_code == 0, result


def test_concurrent_launches_append_every_trace_line_whole(launch, tmp_path):
    launch.settings()
    alone, shared = tmp_path / "alone.txt", tmp_path / "shared.txt"
    env = {"TESTJVM_MAIN": "return", "KESTRAN_TRACE": win_path(alone)}
    assert launch.app.run(env=env).exit_code == 0
    once = Counter(alone.read_text(encoding="utf-8").splitlines())
    env["KESTRAN_TRACE"] = win_path(shared)
    with ThreadPoolExecutor(8) as pool:
        codes = list(pool.map(lambda _: launch.app.run(env=env).exit_code, range(8)))
    assert codes == [0] * 8
    lines = Counter(shared.read_text(encoding="utf-8").splitlines())
    assert lines == Counter({line: count * 8 for line, count in once.items()}), lines - once
