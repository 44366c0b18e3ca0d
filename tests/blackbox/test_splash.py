"""The splash screen under Xvfb, with the stand-in bin\\splashscreen.dll of the test runtime, which
records each call in the test runtime's log ("splash <call> <argument>") and shows a window of
its own thread, as the real library does."""
import re
import shutil

import pytest

from conftest import KESTRANW_EXE, win_path
from test_dialogs import Session, desktop  # noqa: F401 (the desktop fixture)

MINUS_ONE = 0xFFFFFFFF
JA = "\u0416"

# name: ([Application] lines, VM parameters, script, set-up, exit code, log records in this order
#        (patterns; "stdout:" for standard output lines), patterns no record may match)
SCENARIOS = {
    # Before the VM exists; its own window (the launch lives on a second) does not close it.
    "shown before the VM starts": ("Splash Image=splash.png", "", "thread:1000", None, 0,
                                   [r"splash SplashInit$", r"splash SplashLoadFile {dir}\\splash\.png$",
                                    r"splash SplashSetFileJarName {dir}\\splash\.png$", r"create "],
                                   [r"splash SplashClose"]),
    # The parameter wins over the setting, and the VM never sees it.
    "-splash: in the VM parameters": ("Splash Image=none.png", "-splash:splash.png", "return", None, 0,
                                      [r"splash SplashLoadFile {dir}\\splash\.png$", r"create "], [r"option \d+ -splash"]),
    # The library reads a narrow name: the short one for a folder outside the code page.
    "non-ANSI folder": (f"Splash Image={JA}\\splash.png", "", "return", "non-ANSI", 0,
                        [r"(?i)splash SplashLoadFile .*~.*\\splash\.png$", r"splash SplashSetFileJarName"], []),
    # A runtime image without java.desktop: the launch goes on.
    "no splash library": ("Splash Image=splash.png", "", "return", "no library", 0, [r"main-end"], [r"splash "]),
    # A program whose first window is not AWT's (SWT, JavaFX): closed when it shows.
    "first window": ("Splash Image=splash.png", "", "window:1500", None, 0,
                     [r"window-shown", r"splash SplashClose", r"main-end"], []),
    "Splash Timeout": ("Splash Image=splash.png\nSplash Timeout=1", "", "thread:3000", None, 0,
                       [r"splash SplashSetFileJarName", r"splash SplashClose", r"thread-end"], []),
    # Never in front of a failure: closed before the line, and before the windowed twin's box.
    "failed launch": ("Splash Image=splash.png", "", "missing", None, MINUS_ONE,
                      [r"splash SplashSetFileJarName", r"stdout:^splash SplashClose$", r"stdout:^Error: "], []),
    "failure box": ("Splash Image=splash.png", "", "missing", "box", MINUS_ONE,
                    [r"splash SplashClose", r"kestran: error box shown"], []),
}


@pytest.mark.parametrize("case", SCENARIOS)
def test_splash_screen(case, launch):
    application, parameters, script, setup, code, records, absent = SCENARIOS[case]
    folder = launch.app.dir / JA if setup == "non-ANSI" else launch.app.dir
    folder.mkdir(exist_ok=True)
    (folder / "splash.png").write_bytes(b"\x89PNG")
    if setup == "no library":
        (launch.runtime / "bin" / "splashscreen.dll").unlink()
    launch.use("jvm_noboot.dll")  # a missing class reaches the launcher's own line
    launch.settings(application + "\n", main_class="com.example.Main\nVirtual Machine Parameters=" + parameters)
    env = {"TESTJVM_LOG": win_path(launch.log_path), "TESTJVM_MAIN": script, "KESTRAN_TRACE": "1"}
    if setup == "box":
        shutil.copyfile(KESTRANW_EXE, launch.app.exe)
        env.update({"KESTRAN_TEST_NO_STDOUT": "1", "KESTRAN_TRACE": win_path(launch.log_path)})
    session = Session(launch.app, env=env)
    if setup == "box":
        session.wait_window("Tool.exe")
        session.keys("Return")
    result = session.finish()
    log = launch.log_path.read_text(encoding="utf-8", errors="replace").splitlines()
    records = [r.replace("{dir}", re.escape(win_path(launch.app.dir))) for r in records]
    assert result.exit_code == code, (result, log)
    for lines, patterns in ((log, [r for r in records if not r.startswith("stdout:")]),
                            (result.stdout_lines, [r[7:] for r in records if r.startswith("stdout:")])):
        rest = iter(lines)
        assert all(any(re.search(p, line) for line in rest) for p in patterns), (case, result, log)
    assert not any(re.search(a, line) for a in absent for line in log), (case, log)
    if setup == "no library":
        assert any(line.startswith("no splash screen: ") for line in result.trace()), result
