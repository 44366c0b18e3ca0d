"""The launcher as a Windows service under Wine's service control manager, driven by
tests/tools/service_driver.exe. A service gets neither the test's environment nor a console, so
the test runtime's script and log come as VM options. Driver lines: "state" 1 stopped, 2 start
pending, 3 stop pending, 4 running; "exit" the Win32 exit code reported, "specific" the
service-specific one; "hint" the wait hint. The driver also records every status the service
showed ("seen" lines), which every scenario checks against the rules of a well-behaved service."""
import re
import uuid

import pytest

from conftest import TOOLS_DIR, win_path

DRIVER = TOOLS_DIR / "service_driver.exe"
FAILED = "exit=1066 specific=4294967295"  # ERROR_SERVICE_SPECIFIC_ERROR with the launcher's -1
ACCEPTS_WHEN_RUNNING = 0x105  # stop, shutdown, pre-shutdown

# name: (script and VM options (after "variant.dll@": that test runtime), [Application] lines ({log}: the log), start parameters, steps, driver lines in
#        order, states seen (collapsed, as a pattern), least checkpoints seen while starting and
#        while stopping,
#        log records in order (or a record that must be absent, after "!"))
SCENARIOS = {
    # Image arguments, service name, start parameters, "Cmd"; main returns: stopped with 0.
    "arguments": ("return", "Cmd=c1", "a|b c", ["wait=1", "exit"], ["wait state=1 exit=0 specific=0 hint=0", "exit code=0"],
                  "2?4?1", (0, 0),
                  ["args 5", "arg 0 units=0069006d00670031", "arg 1 units={name} ", "arg 2 units=0061 ",
                   "arg 3 units=006200200063", "arg 4 units=00630031", "destroy-result 0"]),
    "Omit Service Name": ("return", "Omit Service Name=no", "a", ["wait=1"], ["wait state=1 exit=0 specific=0 hint=0"],
                          "2?4?1", (0, 0), ["args 2", "arg 0 units=0069006d00670031", "arg 1 units=0061 "]),
    # Interrogation changes nothing; stop() on a thread attached before main; stop pending until
    # main's threads (one of a second here) have ended.
    "stop()": ("stop,thread:1000", "", "", ["interrogate", "stop", "wait=1", "exit"],
               ["start state=4 exit=0 specific=0 hint=0", "interrogate state=4 exit=0 specific=0 hint=0",
                "stop state=3 exit=0 specific=0 hint=2000", "wait state=1 exit=0 specific=0 hint=0", "exit code=0"],
               "2?431", (0, 0), ["AttachCurrentThreadAsDaemon Thread-", "stop-called", "destroy-after-thread"]),
    # Checkpoints advance while the program takes five seconds to stop.
    "5-second stop": ("stop,thread:5000", "", "", ["stop", "wait=1", "exit"],
                      ["wait state=1 exit=0 specific=0 hint=0", "exit code=0"], "2?431", (0, 4),
                      ["stop-called", "destroy-after-thread"]),
    # No stop(): System.exit(0) ends the process at once, stopped through the exit hook.
    "System.exit(0)": ("thread:30000", "", "", ["stop", "wait=1", "exit"],
                       ["wait state=1 exit=0 specific=0 hint=0", "exit code=0"], "2?43?1", (0, 0),
                       ["AttachCurrentThreadAsDaemon Thread-", "System.exit 0", "exit-hook 0", "!thread-end"]),
    # Another code: no "stopped", the process ends with it.
    "System.exit(2)": ("exit:2", "", "", ["exit"], ["exit code=2"], "2?4?", (0, 0), ["exit-hook 2"]),
    # A stop() that never returns: System.exit(0) once "Stop Timeout" has passed.
    "stop() never returns": ("stuckstop", "Stop Timeout=2", "", ["stop", "wait=1", "exit"],
                             ["wait state=1 exit=0 specific=0 hint=0", "exit code=0"], "2?431", (0, 2),
                             ["stop-called", "System.exit 0", "exit-hook 0"]),
    # A stop while DestroyJavaVM runs a shutdown hook: the stop thread, attached before main,
    # blocks in the ending VM; the run still ends and reports stopped.
    "stop during the VM's shutdown": ("hook:3000", "", "", ["stop", "wait=1", "exit"],
                                      ["wait state=1 exit=0 specific=0 hint=0", "exit code=0"], "2?431", (0, 1),
                                      ["shutdown-hook 3000", "blocked-after-exit", "destroy-result 0"]),
    # A launch that fails reports "start pending", never "running", then stopped with its code.
    "launch fails": ("return -Dtestjvm.create=-1", "", "", ["wait=1", "exit"],
                     [f"wait state=1 {FAILED} hint=0", "exit code=0"], "2?1", (0, 0), ["create-result -1"]),
    # Start pending, with progress, while the VM is created (no control is accepted then);
    # "running" only once main has started, or never when the launch fails.
    "slow start": ("slowcreate:1500,stop", "", "", ["wait=4", "stop", "wait=1", "exit"],
                   ["wait state=4 exit=0 specific=0 hint=0", "stop state=3 exit=0 specific=0 hint=2000",
                    "wait state=1 exit=0 specific=0 hint=0", "exit code=0"], "2431", (2, 0),
                   ["create-result 0", "stop-called", "main-end"]),
    # No desktop to show a splash on.
    "no splash": ("return", "Splash Image=app.jar", "", ["wait=1"], ["wait state=1 exit=0 specific=0 hint=0"], "2?4?1",
                  (0, 0), ["main-end", "!splash "]),
    "slow start, launch fails": ("slowcreate:1500,stop -Dtestjvm.create=-1", "", "", ["wait=1", "exit"],
                                 [f"wait state=1 {FAILED} hint=0", "exit code=0"], "21", (2, 0), ["create-result -1"]),
    # main returned, stop() leaves the threads running: System.exit(0) reaches the VM in its
    # teardown, its shutdown hook runs, stopped with 0.
    "main returned, stop() ignored": ("idlestop,thread:30000,hook:100", "Stop Timeout=2", "", ["stop", "wait=1", "exit"],
                                      ["wait state=1 exit=0 specific=0 hint=0", "exit code=0"], "2?431", (0, 2),
                                      ["main-end", "stop-called", "System.exit 0", "shutdown-hook 100", "exit-hook 0"]),
    # The process ends before main: a failed start with the VM's code, reported before it ends.
    "System.exit(3) in the initialiser": ("initexit:3", "", "", ["wait=1", "exit"],
                                          ["wait state=1 exit=1066 specific=3 hint=0", "exit code=3"], "2?1", (0, 0),
                                          ["exit-hook 3", "!main-end"]),
    "missing class, launcher helper": ("missing", "", "", ["wait=1", "exit"],
                                       ["wait state=1 exit=1066 specific=1 hint=0", "exit code=1"], "2?1", (0, 0),
                                       ["checkAndLoadMain", "exit-hook 1"]),
    # A VM log file of the UCRT's gets its records through the hook.
    "VM log file": ("jvm_ucrt.dll@vmlog,vmlines:3", "", "", ["wait=1", "exit"],
                    ["wait state=1 exit=0 specific=0 hint=0", "exit code=0"], "2?4?1", (0, 0),
                    ["vm-log 1", "vm-log 2", "create-result 0"]),
    # After main the VM's text goes to "Error File" (here the log), appended beside System.err;
    # what it printed before a successful start goes nowhere.
    "VM text after main": ("jvm_msvcr120.dll@vmlines:2,vmprint:late-vm-text,return", "Error File={log}\nError Append=yes",
                           "", ["wait=1", "exit"], ["wait state=1 exit=0 specific=0 hint=0", "exit code=0"], "2?4?1",
                           (0, 0), ["create-result 0", "main-vmprint", "late-vm-text", "!vm line"]),
}


def seen_records(lines):
    pattern = re.compile(r"seen state=(\d+) accepts=(\d+) exit=(\d+) specific=(\d+) checkpoint=(\d+) hint=(\d+)")
    return [tuple(int(g) for g in m.groups()) for m in map(pattern.fullmatch, lines) if m]


def report_problems(seen):
    """What a well-behaved service never shows: no controls while pending or stopped, falling
    checkpoints, a second "stopped" or anything after it, the launcher's own codes as Win32 codes."""
    problems = []
    for previous, record in zip([None] + seen, seen):
        state, accepts, exit_code, specific, checkpoint, _ = record
        if accepts != (ACCEPTS_WHEN_RUNNING if state == 4 else 0):
            problems.append(f"controls {accepts:#x} accepted in state {state}")
        if previous and previous[0] == state and state in (2, 3) and checkpoint <= previous[4]:
            problems.append(f"checkpoint {checkpoint} after {previous[4]} in state {state}")
        if previous and previous[0] == 1:
            problems.append(f"{record} after stopped")
        if state == 1 and not ((exit_code, specific) == (0, 0) or (exit_code == 1066 and specific != 0)):
            problems.append(f"stopped with exit {exit_code}, specific {specific}")
    return problems


def quoted(argument):
    return '"' + argument.replace('"', '\\"') + '"'


def in_order(items, expected, matches):
    rest = iter(items)
    return all(any(matches(item, wanted) for item in rest) for wanted in expected)


@pytest.mark.parametrize("case", SCENARIOS)
def test_service_under_the_control_manager(case, launch, wine):
    # On a loaded machine Wine's control manager now and then hands a state over late: a
    # scenario that fails runs once more, as a new service, before it counts as failed.
    try:
        run_service_scenario(case, launch, wine)
    except AssertionError:
        for record in (launch.log_path, launch.runtime / "bin" / "splash.log"):
            record.unlink(missing_ok=True)
        run_service_scenario(case, launch, wine)


def run_service_scenario(case, launch, wine):
    script, application, parameters, steps, lines, states, progress, records = SCENARIOS[case]
    variant, _, script = script.rpartition("@")
    if variant:
        launch.use(variant)
    application = application.replace("{log}", win_path(launch.log_path))
    name = "KestranTest" + uuid.uuid4().hex[:8]
    launch.app.write_ini(f"[Java Runtime Environment]\nMain Class=com.example.Main\nVirtual Machine Parameters="
                         f"-Dtestjvm.log={win_path(launch.log_path)} -Dtestjvm.main={script}\n"
                         f"[Application]\nApplication Type=service\n{application}\n[Class Path]\nClass Path=app.jar\n")
    # Only the scenarios that stop a running service wait for "running" first.
    first = "start" if "4" in states and "stop" in steps and "wait=4" not in steps else "begin"
    steps = [f'create="{win_path(launch.app.exe)}" img1', f"{first}={parameters}", *steps, "report", "delete"]
    result = wine.run(f"{quoted(win_path(DRIVER))} {name} " + " ".join(quoted(s) for s in steps), timeout=120)
    # Every service start moves this value; a console start needs it back to fail at once.
    wine.reg("add", r"HKLM\SYSTEM\CurrentControlSet\Control\ServiceCurrent", "/ve", "/t", "REG_DWORD", "/d", "99999",
             "/f")
    log = launch.log_path.read_text(encoding="utf-8").splitlines() if launch.log_path.exists() else []
    splash_log = launch.runtime / "bin" / "splash.log"  # the splash stand-in's, without TESTJVM_LOG
    log += splash_log.read_text(encoding="utf-8").splitlines() if splash_log.exists() else []
    name_units = name.encode("utf-16-be").hex()
    records = [r.replace("{name}", name_units) for r in records]
    seen = seen_records(result.stdout_lines)
    collapsed = re.sub(r"(\d)\1+", r"\1", "".join(str(record[0]) for record in seen))
    checkpoints = [{record[4] for record in seen if record[0] == state} for state in (2, 3)]

    assert result.exit_code == 0 and in_order(result.stdout_lines, lines, str.__eq__), f"{case}: {result}"
    assert re.fullmatch(states, collapsed) and not report_problems(seen), f"{case}: {report_problems(seen)} {result}"
    assert all(len(c) >= least for c, least in zip(checkpoints, progress)), f"{case}: {checkpoints}"
    assert in_order(log, [r for r in records if r[0] != "!"], str.startswith), f"{case}: {log}"
    assert not any(line.startswith(r[1:]) for r in records if r[0] == "!" for line in log), f"{case}: {log}"


def test_service_without_runtime_reports_its_error_as_an_event(app, wine):
    # No runtime anywhere: the search fails on the service thread, so the control manager hears
    # the launcher's code and the event goes to the service's own source. Wine's event log
    # cannot be read back; the registered source shows that the event went to it.
    name = "KestranTest" + uuid.uuid4().hex[:8]
    key = r"HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application" + "\\" + name
    app.write_ini("[Java Runtime Environment]\nMain Class=com.example.Main\nJRE Path=no-such-runtime\n"
                  "[Application]\nApplication Type=service\n[Class Path]\nClass Path=app.jar\n")
    steps = [f'create="{win_path(app.exe)}"', "start=", "delete"]
    result = wine.run(f"{quoted(win_path(DRIVER))} {name} " + " ".join(quoted(s) for s in steps), timeout=120)
    wine.reg("add", r"HKLM\SYSTEM\CurrentControlSet\Control\ServiceCurrent", "/ve", "/t", "REG_DWORD", "/d", "99999",
             "/f")
    registered = wine.reg("query", key, "/v", "EventMessageFile", check=False)
    wine.delete_key(key)
    assert "start state=1 exit=1066 specific=4294967295 hint=0" in result.stdout_lines, result
    assert win_path(app.exe).lower() in registered.stdout.decode("cp1252").lower(), (result, registered)
