"""The dialogs under Xvfb, driven as a person would with keyboard and mouse: the runtime-not-found
dialog (browse, OK, Cancel, the link) and the uncaught-exception dialog (Ignore, Stop).

One screenshot per dialog and language is kept under the build tree (screenshots/)."""
import os
import shutil
import subprocess
import time

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
        run_env, self.exit_file = app.wine.runner_environment(app.command_line(), full_env, 60, None)
        self.process = subprocess.Popen([app.wine.loader, str(RUNNER_EXE)], env=run_env, cwd=app.root,
                                        stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        self.window = None

    def wait_window(self, title, timeout=20):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            found = x11("xdotool", "search", "--name", f"^{title}$").stdout.split()
            if found:
                self.window = found[-1]
                time.sleep(0.3)  # let it paint
                x11("xdotool", "windowfocus", "--sync", self.window)
                return self.window
            if self.process.poll() is not None:
                break
            time.sleep(0.1)
        self.process.kill()
        raise AssertionError(f"no window {title!r}: {self.finish()!r}")

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
        x11("import", "-window", self.window, str(path))
        return path

    def finish(self, timeout=30) -> Result:
        try:
            stdout, stderr = self.process.communicate(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.process.kill()
            stdout, stderr = self.process.communicate()
        text = self.exit_file.read_text().strip() if self.exit_file.exists() else "missing"
        return Result(int(text) if text.isdigit() else text, stdout, stderr)


@pytest.fixture
def no_runtime(app):
    app.write_ini("[Product Information]\nProduct Name=Kestran Dialog Tests\n"
                  f"Product Code={unique_product_code()}\n"
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


@pytest.mark.parametrize("language", LANGUAGES)
def test_ignore_goes_on_until_the_other_threads_end(launch, language):
    session = throwing_session(launch, "thread:1500,throw", language)
    session.screenshot(f"exception-{language}")
    session.keys("Return")  # Ignore has the focus
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
