"""The dialogs under Xvfb, driven as a person would with keyboard and mouse: the runtime-not-found
dialog (browse, OK, Cancel, the link) and the uncaught-exception dialog (Ignore, Stop).

One screenshot per dialog and language is kept under the build tree (screenshots/)."""
import os
import shutil
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


def display():
    return os.environ.get("DISPLAY") or ":" + os.environ.get("KESTRAN_XVFB_DISPLAY", "97")


def x11(*command, timeout=10):
    return subprocess.run(list(command), env={**os.environ, "DISPLAY": display()},
                          capture_output=True, text=True, timeout=timeout)


class Session:
    """A launch in the background with a display, and the dialog it opens."""

    def __init__(self, app, env=None, language="en"):
        full_env = {"DISPLAY": display(), "LC_ALL": LANGUAGES[language]}
        full_env.update(env or {})
        self.wine = app.wine
        run_env, self.exit_file = app.wine.runner_environment(app.command_line(), full_env, 40, None)
        # Files, not pipes: a process that the dialog starts (the shell's browser) may inherit them.
        self.output = [self.exit_file.with_suffix(".out"), self.exit_file.with_suffix(".err")]
        with open(self.output[0], "wb") as out, open(self.output[1], "wb") as err:
            self.process = subprocess.Popen([app.wine.loader, str(RUNNER_EXE)], env=run_env, cwd=app.root,
                                            stdout=out, stderr=err)
        self.window = None

    def wait_window(self, title, timeout=20):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            # Window names reach X in a code page of Wine's choosing: match accents loosely.
            pattern = "".join(c if c.isascii() else "." for c in title)
            found = x11("xdotool", "search", "--onlyvisible", "--name", f"^{pattern}$").stdout.split()
            if found:
                self.window = found[-1]
                time.sleep(0.3)  # let it paint
                # A click on the title bar makes it Wine's foreground window, so keys reach it.
                self.click(60, 8)
                time.sleep(0.2)
                return self.window
            if self.process.poll() is not None:
                break
            time.sleep(0.1)
        raise AssertionError(f"no window {title!r}: {self.finish(timeout=1)!r}")

    def keys(self, *keys):
        for key in keys:
            x11("xdotool", "key", "--clearmodifiers", key)
            time.sleep(0.2)

    def click(self, x, y):
        """A click at x, y inside the window (its frame included)."""
        x11("xdotool", "mousemove", "--window", self.window, str(x), str(y), "click", "1")

    def size(self):
        geometry = x11("xdotool", "getwindowgeometry", "--shell", self.window).stdout
        values = dict(line.split("=") for line in geometry.split())
        return int(values["WIDTH"]), int(values["HEIGHT"])

    def screenshot(self, name):
        SCREENSHOTS.mkdir(parents=True, exist_ok=True)
        path = SCREENSHOTS / f"{name}.png"
        for attempt in range(20):  # until the window has painted (more than one colour)
            x11("import", "-window", self.window, str(path))
            if x11("identify", "-format", "%k", str(path)).stdout.strip() not in ("", "1"):
                break
            time.sleep(0.2)
        return path

    def finish(self, timeout=30) -> Result:
        try:
            self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            # Left to the runner, which ends the launcher at its own time limit: a dialog left
            # open would confuse the tests after this one.
            self.process.wait(timeout=60)
        stdout, stderr = (path.read_bytes() for path in self.output)
        text = self.exit_file.read_text().strip() if self.exit_file.exists() else "missing"
        return Result(int(text) if text.isdigit() else text, stdout, stderr)


@pytest.fixture(scope="module", autouse=True)
def desktop(wine):
    """One window open throughout: without it, each launch would start Wine's desktop process
    anew, which waits 10 s for an RPC service that the rig's service set-up keeps from starting."""
    env = wine.base_environment({"DISPLAY": display()})
    keeper = subprocess.Popen([wine.loader, "notepad.exe"], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    deadline = time.monotonic() + 40
    while time.monotonic() < deadline:
        found = x11("xdotool", "search", "--name", "Notepad$").stdout.split()
        if found:
            x11("xdotool", "windowmove", found[-1], "700", "600")  # out of the dialogs' way
            break
        time.sleep(0.2)
    yield
    keeper.kill()
    keeper.wait()


@pytest.fixture
def no_runtime(app):
    app.product_code = unique_product_code()
    app.write_ini("[Product Information]\nProduct Name=Kestran Dialog Tests\n"
                  f"Product Code={app.product_code}\n"
                  "[Java Runtime Environment]\nMain Class=com.example.Main\nJRE Path=nowhere\n"
                  "[Class Path]\nClass Path=app.jar\n")
    return app


# ---- the runtime-not-found dialog ----

@pytest.mark.parametrize("language", LANGUAGES)
def test_runtime_dialog_title_and_escape(no_runtime, language):
    session = Session(no_runtime, language=language)
    session.wait_window(RUNTIME_TITLES[language])
    session.screenshot(f"runtime-not-found-{language}")
    session.keys("Escape")
    result = session.finish()
    assert (result.exit_code, result.stdout_lines) == (MINUS_ONE, []), result


def test_close_box_cancels(no_runtime):
    session = Session(no_runtime)
    session.wait_window(RUNTIME_TITLES["en"])
    width, _ = session.size()
    session.click(width - 12, 10)  # the close box Wine draws at the title bar's right end
    result = session.finish()
    assert (result.exit_code, result.stdout_lines) == (MINUS_ONE, []), result


def test_link_opens_the_download_page_with_space_and_enter(no_runtime, tmp_path):
    bin_dir = tmp_path / "fakebin"
    bin_dir.mkdir()
    record = tmp_path / "opened.txt"
    fake = bin_dir / "xdg-open"
    fake.write_text(f'#!/bin/sh\necho "$@" >> "{record}"\n')
    fake.chmod(0o755)
    session = Session(no_runtime, env={"PATH": f"{bin_dir}:{os.environ['PATH']}"})
    session.wait_window(RUNTIME_TITLES["en"])
    session.keys("Tab", "space", "Return")  # Browse has the focus; Tab moves it onto the link
    deadline = time.monotonic() + 10
    while time.monotonic() < deadline and len(record.read_text().split() if record.exists() else []) < 2:
        time.sleep(0.1)
    session.keys("Escape")
    result = session.finish()
    assert record.read_text().split() == ["https://adoptium.net/"] * 2, result
    assert result.exit_code == MINUS_ONE, result


def test_anchor_colour_paints_the_link(no_runtime, wine):
    key = r"HKCU\Software\Microsoft\Internet Explorer\Settings"
    wine.reg("add", key, "/v", "Anchor Color", "/t", "REG_SZ", "/d", "255,0,0", "/f")
    try:
        session = Session(no_runtime)
        session.wait_window(RUNTIME_TITLES["en"])
        shot = session.screenshot("runtime-not-found-red-link")
        session.keys("Escape")
        session.finish()
    finally:
        wine.reg("delete", key, "/v", "Anchor Color", "/f", check=False)
    histogram = x11("convert", str(shot), "-format", "%c", "histogram:info:-").stdout
    assert "#FF0000" in histogram, "no pure red pixel in the link"


# ---- the uncaught-exception dialog ----

def throwing_session(launch, script, language="en"):
    launch.settings(application="Failure Check=Yes\n")
    env = {"TESTJVM_LOG": win_path(launch.log_path), "TESTJVM_MAIN": script, "KESTRAN_TRACE": "1"}
    session = Session(launch.app, env=env, language=language)
    session.wait_window(EXCEPTION_TITLES[language])
    return session


@pytest.mark.parametrize("language, key", [("en", "Return"), ("de", "Escape"), ("fr", "Return")])
def test_ignore_goes_on_until_the_other_threads_end(launch, language, key):
    session = throwing_session(launch, "thread:1500,throw", language)
    session.screenshot(f"exception-{language}")
    session.keys(key)  # Ignore has the focus; Escape only dismisses the question
    result = session.finish()
    log = launch.log_path.read_text(encoding="utf-8").splitlines()
    assert result.exit_code == 1, result
    assert "thread-end" in log and "System.exit 1" not in log, (result, log)


def test_stop_ends_the_application_at_once(launch):
    session = throwing_session(launch, "thread:20000,throw")
    session.keys("Tab", "space")  # onto Stop, and press it
    result = session.finish(timeout=10)
    log = launch.log_path.read_text(encoding="utf-8").splitlines()
    assert result.exit_code == 1, result
    assert "System.exit 1" in log and "thread-end" not in log, (result, log)


# ---- browsing for a runtime ----

def browse_to(session, folder):
    """Browse, then walk the folder tree from "/" (drive Z:) down to `folder` by keyboard."""
    dialog = session.window
    session.keys("Return")  # Browse has the focus
    session.wait_window("Browse for Folder", timeout=40)
    session.keys("Down", "Right")  # from Desktop to "/" and open it
    for part in folder.resolve().parts[1:]:
        time.sleep(1)  # a large folder takes a moment to list
        x11("xdotool", "type", "--delay", "60", part)
        session.keys("Right")
    session.keys("Return")
    session.window = dialog
    time.sleep(0.5)


@pytest.fixture
def folders(tmp_path):
    """A runtime folder and a folder without one, at a short path below /tmp."""
    root = Path(tempfile.mkdtemp(prefix="kdlg", dir="/tmp"))
    shutil.copytree(TESTJVM / "runtime", root / "rt")
    (root / "empty").mkdir()
    yield root
    shutil.rmtree(root, ignore_errors=True)


def test_a_folder_without_a_runtime_after_a_good_one_takes_ok_away(no_runtime, folders):
    session = Session(no_runtime)
    session.wait_window(RUNTIME_TITLES["en"])
    browse_to(session, folders / "rt")
    browse_to(session, folders / "empty")
    session.keys("Tab", "Tab", "Return")  # past the link: onto OK if enabled, else Cancel
    result = session.finish()
    assert (result.exit_code, result.stdout_lines) == (MINUS_ONE, []), result


def test_picked_runtime_is_used_and_remembered(no_runtime, folders):
    (no_runtime.dir / "app.jar").write_bytes(b"PK")
    session = Session(no_runtime, env={"TESTJVM_MAIN": "return"})
    session.wait_window(RUNTIME_TITLES["en"])
    browse_to(session, folders / "rt")
    session.screenshot("runtime-not-found-picked")
    session.keys("Tab", "Tab", "Return")
    result = session.finish()
    assert (result.exit_code, result.stdout_lines) == (0, []), result
    user_file = no_runtime.appdata / "Kestran Dialog Tests" / no_runtime.product_code / "Tool.ini"
    assert f"JRE Path={win_path(folders / 'rt')}\\" in user_file.read_bytes().decode("cp1252"), result
    again = no_runtime.run(env={"TESTJVM_MAIN": "return"})  # no display: a dialog could not open
    assert (again.exit_code, again.stdout_lines) == (0, []), again
