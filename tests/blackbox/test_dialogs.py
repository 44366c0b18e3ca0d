"""The dialogs under Xvfb, driven with keyboard and mouse as a person would. One screenshot per
dialog and language is kept in the build tree (screenshots/)."""
import os
import shutil
import struct
import subprocess
import tempfile
import time
from pathlib import Path

import pytest

from conftest import BUILD, RUNNER_EXE, TESTJVM, Result, unique_product_code, win_path

MINUS_ONE = 0xFFFFFFFF
SCREENSHOTS = BUILD / "screenshots"
LANGUAGES = {"en": "C.UTF-8", "de": "de_DE.UTF-8", "fr": "fr_FR.UTF-8"}
RUNTIME_TITLES = {"en": "JRE Not Found", "de": "JRE nicht gefunden", "fr": "JRE non trouvé"}
EXCEPTION_TITLES = {"en": "Java Exception", "de": "Java Fehler", "fr": "Exception Java"}
DISPLAY = os.environ.get("DISPLAY") or ":" + os.environ.get("KESTRAN_XVFB_DISPLAY", "97")


def x11(*command):
    return subprocess.run(command, env={**os.environ, "DISPLAY": DISPLAY}, capture_output=True, text=True, timeout=10)


def find_window(title):
    # Window names reach X in a code page of Wine's choosing: accents match loosely.
    pattern = "".join(c if c.isascii() else "." for c in title)
    found = x11("xdotool", "search", "--onlyvisible", "--name", f"^{pattern}$").stdout.split()
    return found[-1] if found else None


class Session:
    """A launch in the background with a display, and its dialog."""

    def __init__(self, app, env=None, language="en"):
        full_env = {"DISPLAY": DISPLAY, "LC_ALL": LANGUAGES[language], **(env or {})}
        run_env, self.exit_file = app.wine.runner_environment(app.command_line(), full_env, 40, None)
        # Files, not pipes: a process the dialog starts (the shell's browser) may inherit them.
        self.output = [self.exit_file.with_suffix(".out"), self.exit_file.with_suffix(".err")]
        with open(self.output[0], "wb") as out, open(self.output[1], "wb") as err:
            self.process = subprocess.Popen([app.wine.loader, str(RUNNER_EXE)], env=run_env, cwd=app.root,
                                            stdout=out, stderr=err)

    def wait_window(self, title, timeout=20):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline and self.process.poll() is None:
            self.window = find_window(title)
            if self.window:
                time.sleep(0.3)
                self.click(60, 8)  # on the title bar: Wine's foreground window gets the keys
                time.sleep(0.2)
                return
            time.sleep(0.1)
        raise AssertionError(f"no window {title!r}: {self.finish(timeout=1)!r}")

    def keys(self, *keys):
        for key in keys:
            x11("xdotool", "key", "--clearmodifiers", key)
            time.sleep(0.2)

    def click(self, x, y):
        x11("xdotool", "mousemove", "--window", self.window, str(x), str(y), "click", "1")

    def screenshot(self, name):
        SCREENSHOTS.mkdir(parents=True, exist_ok=True)
        path = SCREENSHOTS / f"{name}.png"
        for _ in range(20):  # until the window has painted (more than one colour)
            x11("import", "-window", self.window, str(path))
            if x11("identify", "-format", "%k", str(path)).stdout.strip() not in ("", "1"):
                break
            time.sleep(0.2)
        return path

    def finish(self, timeout=30) -> Result:
        try:
            self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.process.wait(timeout=60)  # the runner ends the launcher at its time limit
        text = self.exit_file.read_text().strip() if self.exit_file.exists() else "missing"
        return Result(int(text) if text.isdigit() else text, *(path.read_bytes() for path in self.output))


@pytest.fixture(scope="module", autouse=True)
def desktop(wine):
    """One window open throughout: without it each launch starts Wine's desktop process anew,
    which waits 10 s for an RPC service that the rig's service set-up keeps from starting."""
    keeper = subprocess.Popen([wine.loader, "notepad.exe"], env=wine.base_environment({"DISPLAY": DISPLAY}),
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    for _ in range(200):
        notepad = x11("xdotool", "search", "--name", "Notepad$").stdout.split()
        if notepad:
            x11("xdotool", "windowmove", notepad[-1], "700", "600")  # out of the dialogs' way
            break
        time.sleep(0.2)
    yield
    keeper.kill()
    keeper.wait()


@pytest.fixture
def no_runtime(app):
    app.product_code = unique_product_code()
    app.write_ini(f"[Product Information]\nProduct Name=Kestran Dialog Tests\nProduct Code={app.product_code}\n"
                  "[Java Runtime Environment]\nMain Class=com.example.Main\nJRE Path=nowhere\n"
                  "[Class Path]\nClass Path=app.jar\n")
    return app


@pytest.mark.parametrize("language, way_out", [("en", "Escape"), ("de", "close box"), ("fr", "Escape")])
def test_runtime_dialog_title_and_cancel(no_runtime, language, way_out):
    session = Session(no_runtime, language=language)
    session.wait_window(RUNTIME_TITLES[language])
    session.screenshot(f"runtime-not-found-{language}")
    if way_out == "close box":
        width = int(x11("xdotool", "getwindowgeometry", "--shell", session.window).stdout.split()[3].split("=")[1])
        session.click(width - 12, 10)  # the close box Wine draws at the title bar's right end
    else:
        session.keys(way_out)
    result = session.finish()
    assert (result.exit_code, result.stdout_lines) == (MINUS_ONE, []), result


def test_link_colour_and_keys(no_runtime, wine, tmp_path):
    record = tmp_path / "opened.txt"
    (tmp_path / "xdg-open").write_text(f'#!/bin/sh\necho "$@" >> "{record}"\n')
    (tmp_path / "xdg-open").chmod(0o755)
    key = r"HKCU\Software\Microsoft\Internet Explorer\Settings"
    wine.reg("add", key, "/v", "Anchor Color", "/t", "REG_SZ", "/d", "255,0,0", "/f")
    try:
        session = Session(no_runtime, env={"PATH": f"{tmp_path}:{os.environ['PATH']}"})
        session.wait_window(RUNTIME_TITLES["en"])
        shot = session.screenshot("runtime-not-found-red-link")
        session.keys("Tab", "space", "Return")  # from Browse onto the link, then open it twice
        for _ in range(100):
            if record.exists() and len(record.read_text().split()) == 2:
                break
            time.sleep(0.1)
        session.keys("Escape")
        result = session.finish()
    finally:
        wine.reg("delete", key, "/v", "Anchor Color", "/f", check=False)
    assert "#FF0000" in x11("convert", str(shot), "-format", "%c", "histogram:info:-").stdout, "link not red"
    assert record.read_text().split() == ["https://adoptium.net/"] * 2, result


@pytest.mark.parametrize("language, keys", [("en", ["Return"]), ("de", ["Escape"]), ("fr", ["Tab", "space"])])
def test_exception_dialog_ignore_or_stop(launch, language, keys):
    launch.settings(application="Failure Check=Yes\n")
    env = {"TESTJVM_LOG": win_path(launch.log_path), "TESTJVM_MAIN": "thread:3000,throw", "KESTRAN_TRACE": "1"}
    session = Session(launch.app, env=env, language=language)
    session.wait_window(EXCEPTION_TITLES[language])
    session.screenshot(f"exception-{language}")
    session.keys(*keys)  # Return: Ignore; Escape only dismisses the question; Tab: onto Stop
    result = session.finish()
    log = launch.log_path.read_text(encoding="utf-8").splitlines()
    stopped = keys[-1] == "space"
    assert result.exit_code == 1, result
    # Ignore waits for the program's other thread; Stop ends it at once through System.exit.
    assert ("System.exit 1" in log, "thread-end" in log) == (stopped, not stopped), (result, log)


def browse_to(session, folder):
    """Browse, then walk the folder tree from "/" (drive Z:) down to `folder` by keyboard."""
    dialog = session.window
    session.keys("Return")  # Browse has the focus
    session.wait_window("Browse for Folder", timeout=40)
    session.keys("Down", "Right")  # from Desktop to "/", opened
    for part in folder.parts[1:]:
        time.sleep(1)  # a large folder takes a moment to list
        x11("xdotool", "type", "--delay", "60", part)
        session.keys("Right")
    session.keys("Return")
    session.window = dialog
    time.sleep(0.5)


@pytest.fixture
def folders():
    """A runtime folder, one built for ARM64 and a folder without one, at a short path below /tmp."""
    root = Path(tempfile.mkdtemp(prefix="kdlg", dir="/tmp")).resolve()
    shutil.copytree(TESTJVM / "runtime", root / "rt")
    shutil.copytree(TESTJVM / "runtime", root / "arm")
    library = root / "arm" / "bin" / "server" / "jvm.dll"
    data = bytearray(library.read_bytes())
    struct.pack_into("<H", data, struct.unpack_from("<I", data, 0x3C)[0] + 4, 0xAA64)
    library.write_bytes(data)
    (root / "empty").mkdir()
    yield root
    shutil.rmtree(root, ignore_errors=True)


# A folder without a runtime picked after a good one takes OK away again (Return lands on Cancel),
# and so does one whose runtime is of another architecture; a good folder picked last is used and
# remembered for the next start.
@pytest.mark.parametrize("picks, code", [(["rt", "empty"], MINUS_ONE), (["arm"], MINUS_ONE), (["rt"], 0)])
def test_picked_runtime(no_runtime, folders, picks, code):
    (no_runtime.dir / "app.jar").write_bytes(b"PK")
    session = Session(no_runtime, env={"TESTJVM_MAIN": "return"})
    session.wait_window(RUNTIME_TITLES["en"])
    for pick in picks:
        browse_to(session, folders / pick)
    if code == 0:
        session.screenshot("runtime-not-found-picked")
    session.keys("Tab", "Tab", "Return")  # past the link: onto OK if enabled, else Cancel
    result = session.finish()
    assert (result.exit_code, result.stdout_lines) == (code, []), result
    if code != 0:
        return
    user_file = no_runtime.appdata / "Kestran Dialog Tests" / no_runtime.product_code / "Tool.ini"
    assert f"JRE Path={win_path(folders / 'rt')}\\" in user_file.read_bytes().decode("cp1252"), result
    again = no_runtime.run(env={"TESTJVM_MAIN": "return"})  # no display: no dialog could open
    assert (again.exit_code, again.stdout_lines) == (0, []), again
