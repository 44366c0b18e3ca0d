"""The launcher as a Windows service under Wine's service control manager, driven by
tests/tools/service_driver.exe. A service gets neither the test's environment nor a console, so
the test runtime's script and log come as VM options. Driver lines: "state" 1 stopped, 3 stop
pending, 4 running; "exit" the Win32 exit code reported; "hint" the wait hint."""
import uuid

import pytest

from conftest import TOOLS_DIR, win_path

DRIVER = TOOLS_DIR / "service_driver.exe"

# name: (script and VM options, [Application] lines, start parameters, steps, driver lines in
#        order, log records in order (or a record that must be absent, after "!"))
SCENARIOS = {
    # Image arguments, service name, start parameters, "Cmd"; main returns: stopped with 0.
    "arguments": ("return", "Cmd=c1", "a|b c", ["wait=1", "exit"], ["wait state=1 exit=0 hint=0", "exit code=0"],
                  ["args 5", "arg 0 units=0069006d00670031", "arg 1 units={name} ", "arg 2 units=0061 ",
                   "arg 3 units=006200200063", "arg 4 units=00630031", "destroy-result 0"]),
    "Omit Service Name": ("return", "Omit Service Name=no", "a", ["wait=1"], ["wait state=1 exit=0 hint=0"],
                          ["args 2", "arg 0 units=0069006d00670031", "arg 1 units=0061 "]),
    # Interrogation changes nothing; stop() on a thread of its own; stop pending until main's
    # threads (one of a second here) have ended.
    "stop()": ("stop,thread:1000", "", "", ["interrogate", "stop", "wait=1", "exit"],
               ["start state=4 exit=0 hint=0", "interrogate state=4 exit=0 hint=0", "stop state=3 exit=0 hint=3000",
                "wait state=1 exit=0 hint=3000", "exit code=0"],
               ["AttachCurrentThread Thread-", "stop-called", "DetachCurrentThread Thread-", "destroy-after-thread"]),
    # No stop(): System.exit(0) ends the process at once, stopped through the exit hook.
    "System.exit(0)": ("thread:30000", "", "", ["stop", "wait=1", "exit"],
                       ["wait state=1 exit=0 hint=3000", "exit code=0"],
                       ["AttachCurrentThread Thread-", "System.exit 0", "exit-hook 0", "!thread-end"]),
    # Another code: no "stopped" (Wine keeps the last state reported), the process ends with it.
    "System.exit(2)": ("exit:2", "", "", ["exit", "query"], ["exit code=2", "query state=4 exit=0 hint=0"],
                       ["exit-hook 2"]),
    # A stop during VM creation is kept until main has started, or dropped when the launch fails.
    "early stop": ("slowcreate:1500,stop", "", "", ["stop", "wait=1", "exit"],
                   ["stop state=3 exit=0 hint=3000", "wait state=1 exit=0 hint=3000", "exit code=0"],
                   ["create-result 0", "stop-called", "main-end"]),
    "early stop, launch fails": ("slowcreate:1500,stop -Dtestjvm.create=-1", "", "",
                                 ["stop", "wait=1", "exit"], ["wait state=1 exit=4294967295 hint=3000", "exit code=0"],
                                 ["create-result -1"]),
}


def quoted(argument):
    return '"' + argument.replace('"', '\\"') + '"'


def in_order(items, expected, matches):
    rest = iter(items)
    return all(any(matches(item, wanted) for item in rest) for wanted in expected)


@pytest.mark.parametrize("case", SCENARIOS)
def test_service_under_the_control_manager(case, launch, wine):
    script, application, parameters, steps, lines, records = SCENARIOS[case]
    name = "KestranTest" + uuid.uuid4().hex[:8]
    launch.app.write_ini(f"[Java Runtime Environment]\nMain Class=com.example.Main\nVirtual Machine Parameters="
                         f"-Dtestjvm.log={win_path(launch.log_path)} -Dtestjvm.main={script}\n"
                         f"[Application]\nApplication Type=service\n{application}\n[Class Path]\nClass Path=app.jar\n")
    steps = [f'create="{win_path(launch.app.exe)}" img1', f"start={parameters}", *steps, "delete"]
    result = wine.run(f"{quoted(win_path(DRIVER))} {name} " + " ".join(quoted(s) for s in steps), timeout=120)
    # Every service start moves this value; a console start needs it back to fail at once.
    wine.reg("add", r"HKLM\SYSTEM\CurrentControlSet\Control\ServiceCurrent", "/ve", "/t", "REG_DWORD", "/d", "99999",
             "/f")
    log = launch.log_path.read_text(encoding="utf-8").splitlines() if launch.log_path.exists() else []
    name_units = name.encode("utf-16-be").hex()
    records = [r.replace("{name}", name_units) for r in records]

    assert result.exit_code == 0 and in_order(result.stdout_lines, lines, str.__eq__), f"{case}: {result}"
    assert in_order(log, [r for r in records if r[0] != "!"], str.startswith), f"{case}: {log}"
    assert not any(line.startswith(r[1:]) for r in records if r[0] == "!" for line in log), f"{case}: {log}"


def test_service_without_runtime_reports_its_error_as_an_event(app, wine):
    # No runtime anywhere: the launch fails before the dispatcher starts, so the source is
    # the name the control manager knows the process by. Wine's event log cannot be read
    # back; the registered source shows that the event went to it, under that name.
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
    assert "start error=1053" in result.stdout_lines, result  # ended without reaching the dispatcher
    assert win_path(app.exe).lower() in registered.stdout.decode("cp1252").lower(), (result, registered)
