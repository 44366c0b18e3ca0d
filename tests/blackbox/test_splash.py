"""The splash screen under Xvfb, with the test runtime's stand-in bin\\splashscreen.dll, which logs
each call ("splash <call> <argument>") and shows a window on a thread of its own, as the real one."""
import re

import pytest

from conftest import win_path
from test_dialogs import Session, desktop  # noqa: F401 (the desktop fixture)

JA = "\u0416"

# name: ([Application] lines, VM parameters, script, exit code, log records in this order
#        (patterns; "stdout:" for standard output lines), a pattern no record may match)
SCENARIOS = {
    # Before the VM exists; its own window (the launch lives on a second) does not close it.
    "shown before the VM starts": ("Splash Image=splash.png", "", "thread:1000", 0,
                                   [r"splash SplashInit$", r"splash SplashLoadFile {dir}\\splash\.png$",
                                    r"splash SplashSetFileJarName {dir}\\splash\.png$", r"create "], r"splash SplashClose"),
    # The parameter wins over the setting, and the VM never sees it.
    "-splash: in the VM parameters": ("Splash Image=none.png", "-splash:splash.png", "return", 0,
                                      [r"splash SplashLoadFile {dir}\\splash\.png$", r"create "], r"option \d+ -splash"),
    # The library reads a narrow name: the short one for a folder outside the code page.
    "non-ANSI folder": (f"Splash Image={JA}\\splash.png", "", "return", 0,
                        [r"(?i)splash SplashLoadFile .*~.*\\splash\.png$", r"splash SplashSetFileJarName"], None),
    # A runtime image without java.desktop: the launch goes on.
    "no splash library": ("Splash Image=splash.png", "", "return", 0, [r"main-end"], r"splash "),
    # A program whose first window is not AWT's (SWT, JavaFX) closes it when it shows.
    "first window": ("Splash Image=splash.png", "", "window:1500", 0,
                     [r"window-shown", r"splash SplashClose", r"main-end"], None),
    "Splash Timeout": ("Splash Image=splash.png\nSplash Timeout=1", "", "thread:3000", 0,
                       [r"splash SplashSetFileJarName", r"splash SplashClose", r"thread-end"], None),
    # Never in front of a failure: closed before the launcher's line.
    "failed launch": ("Splash Image=splash.png", "", "missing", 0xFFFFFFFF,
                      [r"stdout:^splash SplashClose$", r"stdout:^Error: "], None),
}


@pytest.mark.parametrize("case", SCENARIOS)
def test_splash_screen(case, launch):
    application, parameters, script, code, records, absent = SCENARIOS[case]
    folder = launch.app.dir / (JA if case == "non-ANSI folder" else "")
    folder.mkdir(exist_ok=True)
    (folder / "splash.png").write_bytes(b"\x89PNG")
    if case == "no splash library":
        (launch.runtime / "bin" / "splashscreen.dll").unlink()
    launch.use("jvm_noboot.dll")  # a missing class reaches the launcher's own line
    launch.settings(application + "\n", main_class="com.example.Main\nVirtual Machine Parameters=" + parameters)
    result = Session(launch.app, env={"TESTJVM_LOG": win_path(launch.log_path), "TESTJVM_MAIN": script}).finish()
    log = launch.log_path.read_text(encoding="utf-8", errors="replace").splitlines()
    records = [r.replace("{dir}", re.escape(win_path(launch.app.dir))) for r in records]
    assert result.exit_code == code, (result, log)
    for lines, patterns in ((log, [r for r in records if not r.startswith("stdout:")]),
                            (result.stdout_lines, [r[7:] for r in records if r.startswith("stdout:")])):
        rest = iter(lines)
        assert all(any(re.search(p, line) for line in rest) for p in patterns), (case, result, log)
    assert absent is None or not any(re.search(absent, line) for line in log), (case, log)
