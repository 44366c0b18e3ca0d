"""Black-box launch tests: the real kestran.exe, renamed into a fresh folder, run under Wine.

Each test reads as a scenario: write the INI (and folders, registry, environment), run the
launcher, check the full 32-bit exit code and the exact console lines.

Fixtures:
  app       a fresh application folder with kestran.exe copied in as Tool.exe
  make_app  factory for more folders / other exe names: make_app("My App", exe="Other.exe")
  wine      the Wine session (registry helpers, path conversion, running any Windows program)
"""
import getpass
import os
import re
import shutil
import subprocess
import uuid
from pathlib import Path

import pytest

REPO = Path(__file__).resolve().parents[2]
BUILD = Path(os.environ.get("KESTRAN_BUILD_DIR", REPO / "build" / "windows"))
KESTRAN_EXE = BUILD / "kestran.exe"
KESTRANW_EXE = BUILD / "kestranw.exe"  # the windowed twin
RUNNER_EXE = BUILD / "tests" / "exitcode_runner.exe"
TOOLS_DIR = BUILD / "tests"
WINE_ENV = REPO / "tests" / "tools" / "wine-env.sh"
# The project version, written once in CMakeLists.txt.
KESTRAN_VERSION = re.search(r"project\(Kestran VERSION ([0-9.]+)", (REPO / "CMakeLists.txt").read_text()).group(1)

# Unix variables that Wine passes through and that would change what the launcher does.
_CLEARED_VARIABLES = ("JAVA_HOME", "APPDATA", "CLASSPATH", "JDK_JAVA_OPTIONS", "JAVA_TOOL_OPTIONS", "_JAVA_OPTIONS")
_CLEARED_PREFIXES = ("KESTRAN_", "TESTJVM_")


def win_path(path) -> str:
    """The Windows view of a Unix path (drive Z: maps the Unix root)."""
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


def _wine_environment():
    output = subprocess.run(
        ["bash", "-c", f'source "{WINE_ENV}"; env -0'], check=True, capture_output=True
    ).stdout.decode()
    env = dict(item.split("=", 1) for item in output.split("\0") if "=" in item)
    return {k: env[k] for k in ("WINEPREFIX", "WINEARCH", "WINEDEBUG", "WINEDLLOVERRIDES", "WINE_LOADER", "WINESERVER")}


def split_lines(data: bytes, encoding="cp1252"):
    """Console output as lines: CRLF line ends; a last line without its end is kept."""
    text = data.decode(encoding, errors="replace")
    lines = text.split("\r\n")
    if lines and lines[-1] == "":
        lines.pop()
    return lines


class Result:
    def __init__(self, exit_code, stdout: bytes, stderr: bytes):
        self.exit_code = exit_code
        self.stdout_bytes = stdout
        self.stderr_bytes = stderr
        self.stdout_lines = split_lines(stdout)
        self.stderr_lines = split_lines(stderr)

    @property
    def stdout(self):
        return self.stdout_bytes.decode("cp1252", errors="replace")

    @property
    def stderr(self):
        return self.stderr_bytes.decode("cp1252", errors="replace")

    def trace(self):
        """The launcher's trace lines (KESTRAN_TRACE set), without their prefix."""
        return [l[len("kestran: "):] for l in self.stderr_lines if l.startswith("kestran: ")]

    def __repr__(self):
        return f"Result(exit_code={self.exit_code}, stdout={self.stdout_lines!r}, stderr={self.stderr_lines!r})"


class Wine:
    def __init__(self, env, scratch: Path):
        self.env = env
        self.loader = env["WINE_LOADER"]
        self.scratch = scratch

    def base_environment(self, extra=None):
        env = {k: v for k, v in os.environ.items()
               if k not in _CLEARED_VARIABLES and not k.startswith(_CLEARED_PREFIXES)}
        env.update(self.env)
        # English (United States) unless a test asks for another system language. C.UTF-8
        # always exists, so Wine converts non-ASCII arguments and variables faithfully.
        env["LC_ALL"] = "C.UTF-8"
        env.pop("LANG", None)
        env.pop("LANGUAGE", None)
        # No display unless a test asks for one: a launch that would open a dialog prints its
        # text instead of waiting for an answer nobody gives.
        env.pop("DISPLAY", None)
        if extra:
            for key, value in extra.items():
                if value is None:
                    env.pop(key, None)
                else:
                    env[key] = value
        return env

    def runner_environment(self, command_line: str, env, timeout, application):
        """The environment of the exit-code runner for one command line, and its exit file."""
        exit_file = self.scratch / f"exit-{uuid.uuid4().hex}.txt"
        full_env = self.base_environment(env)
        if application:
            full_env["KESTRAN_TEST_APPLICATION"] = application
        full_env["KESTRAN_TEST_COMMAND_LINE"] = command_line
        full_env["KESTRAN_TEST_EXITCODE_FILE"] = win_path(exit_file)
        full_env["KESTRAN_TEST_TIMEOUT_MS"] = str(int(timeout * 1000))
        return full_env, exit_file

    def run(self, command_line: str, env=None, cwd=None, timeout=60, application=None) -> Result:
        """Runs a Windows command line exactly as written, through the exit-code runner."""
        full_env, exit_file = self.runner_environment(command_line, env, timeout, application)
        # Now and then (about once in 2,000 launches here) the Wine loader ends with status 1,
        # no output and no exit code written by the runner, which always writes one when it
        # runs; more rarely the runner's CreateProcessW fails with an internal error (1359)
        # before the program exists. That is the rig failing, not the launcher, so the run is
        # repeated; anything the program did report counts.
        for attempt in range(3):
            completed = subprocess.run([self.loader, str(RUNNER_EXE)], env=full_env, cwd=cwd,
                                       capture_output=True, timeout=timeout + 30)
            text = exit_file.read_text().strip() if exit_file.exists() else "missing"
            exit_file.unlink(missing_ok=True)
            rig_failed = text == "missing" or text == "start-failed 1359"
            if not rig_failed or completed.stdout or completed.stderr:
                break
        if not text.isdigit():
            raise AssertionError(f"runner could not report an exit code: {text!r}; wine status "
                                 f"{completed.returncode}; stdout={completed.stdout!r}; stderr={completed.stderr!r}")
        return Result(int(text), completed.stdout, completed.stderr)

    def reg(self, *args, check=True):
        """Runs Wine's reg.exe, e.g. wine.reg("add", r"HKLM\\Software\\X", "/v", "A", "/d", "1", "/f")."""
        completed = subprocess.run([self.loader, "reg", *args], env=self.base_environment(), capture_output=True)
        if check and completed.returncode != 0:
            raise AssertionError(f"reg {args} failed: {completed.stdout!r} {completed.stderr!r}")
        return completed

    def import_reg(self, text: str):
        """Imports a REGEDIT4 text (many keys at once: one Wine process instead of one per value).

        reg.exe, not regedit: regedit is a windowed program whose Wine process may return
        before the import is done, so a test could run against the previous test's keys.
        """
        path = self.scratch / f"import-{uuid.uuid4().hex}.reg"
        body = text if text.startswith("REGEDIT4") else "REGEDIT4\r\n\r\n" + text
        path.write_bytes(body.replace("\r\n", "\n").replace("\n", "\r\n").encode("cp1252"))
        # An import is idempotent; under load Wine's reg.exe now and then fails once for no
        # reason of the file's, so it gets two more tries before the test is failed.
        for _ in range(3):
            completed = subprocess.run([self.loader, "reg", "import", win_path(path)],
                                       env=self.base_environment(), capture_output=True)
            if completed.returncode == 0:
                break
        path.unlink(missing_ok=True)
        if completed.returncode != 0:
            raise AssertionError(f"reg import failed: {completed.stdout!r} {completed.stderr!r}")

    def delete_key(self, key: str, view=64):
        args = ["delete", key, "/f"]
        if view == 32:
            args.append("/reg:32")
        self.reg(*args, check=False)


class App:
    """An application folder holding the launcher under a chosen name."""

    def __init__(self, wine: Wine, folder: Path, exe: str = "Tool.exe", root: Path = None):
        self.wine = wine
        self.root = root or folder.parent
        self.dir = folder
        self.dir.mkdir(parents=True, exist_ok=True)
        self.exe = folder / exe
        shutil.copyfile(KESTRAN_EXE, self.exe)
        # Wine sets APPDATA itself (a Unix value does not get through): the prefix's profile
        # is shared by all tests, so tests that write per-user files use a product code of
        # their own (see unique_product_code()).
        self.appdata = Path(wine.env["WINEPREFIX"]) / "drive_c" / "users" / getpass.getuser() / "AppData" / "Roaming"

    @property
    def ini(self) -> Path:
        return self.exe.with_suffix(".ini")

    def write_ini(self, text, encoding="cp1252", bom=False):
        """Writes the settings file; '\\n' becomes CRLF. bytes are written as they are."""
        if isinstance(text, bytes):
            self.ini.write_bytes(text)
            return self.ini
        data = text.replace("\r\n", "\n").replace("\n", "\r\n")
        raw = data.encode(encoding)
        if bom and encoding.lower().replace("-", "") == "utf8":
            raw = b"\xef\xbb\xbf" + raw
        elif bom and encoding.lower().replace("-", "") in ("utf16le", "utf16"):
            raw = b"\xff\xfe" + data.encode("utf-16-le")
        self.ini.write_bytes(raw)
        return self.ini

    def win(self, path=None) -> str:
        return win_path(path if path is not None else self.dir)

    def command_line(self, args="") -> str:
        if isinstance(args, (list, tuple)):
            args = " ".join(f'"{a}"' if (" " in a or a == "") else a for a in args)
        exe = f'"{win_path(self.exe)}"'
        return exe + (" " + args if args else "")

    def run(self, args="", env=None, trace=False, timeout=60, cwd=None, language=None) -> Result:
        """Runs the launcher with `args` (a raw string, or a list quoted simply)."""
        full_env = {}
        if trace:
            full_env["KESTRAN_TRACE"] = "1"
        if language:
            # Wine takes each process's system locale from LC_ALL.
            full_env["LC_ALL"] = language
        full_env.update(env or {})
        # A program name without ".exe" must be named explicitly; others come from the command line.
        application = None if self.exe.suffix.lower() == ".exe" else win_path(self.exe)
        return self.wine.run(self.command_line(args), env=full_env, cwd=cwd or self.root, timeout=timeout,
                             application=application)


def unique_product_code() -> str:
    """A "Product Code" no other test uses, so that per-user settings files stay apart."""
    return "test-" + uuid.uuid4().hex[:12]


@pytest.fixture(scope="session")
def wine(tmp_path_factory):
    if not KESTRAN_EXE.exists():
        pytest.fail(f"{KESTRAN_EXE} is not built")
    env = _wine_environment()
    # Always: without a persistent wineserver every launch costs seconds instead of milliseconds.
    subprocess.run(["bash", "-c", f'source "{WINE_ENV}"; wine_env_start'], check=True, capture_output=True)
    return Wine(env, tmp_path_factory.mktemp("wine-scratch"))


@pytest.fixture
def make_app(wine, tmp_path):
    def factory(folder="app", exe="Tool.exe"):
        return App(wine, tmp_path / folder, exe, root=tmp_path)
    return factory


@pytest.fixture
def app(make_app):
    return make_app()


# ---- the launcher with the test runtime beside it ----

TESTJVM = TOOLS_DIR / "testjvm"


class Launch:
    """The application folder with the test runtime beside the launcher, and its log."""

    def __init__(self, app, tmp_path):
        self.app = app
        self.log_path = tmp_path / "testjvm.log"
        self.runtime = app.dir / "jre64"
        shutil.copytree(TESTJVM / "runtime", self.runtime)
        (app.dir / "app.jar").write_bytes(b"PK")
        self.log = []

    def use(self, variant):
        library = self.runtime / "bin" / "server" / "jvm.dll"
        library.unlink()
        shutil.copyfile(TESTJVM / variant, library)

    def settings(self, application="", main_class="com.example.Main"):
        self.app.write_ini(
            f"[Java Runtime Environment]\nMain Class={main_class}\n"
            f"[Application]\n{application}"
            "[Class Path]\nClass Path=app.jar\n",
            encoding="utf-16-le", bom=True)

    def run(self, args="", script="return", env=None, trace=True):
        full_env = {"TESTJVM_LOG": win_path(self.log_path), "TESTJVM_MAIN": script}
        full_env.update(env or {})
        if self.log_path.exists():
            self.log_path.unlink()
        self.result = self.app.run(args, env=full_env, trace=trace)
        self.log = self.log_path.read_text(encoding="utf-8").splitlines() if self.log_path.exists() else []
        assert not any(line.startswith("fatal") for line in self.log), (self.log, self.result)
        return self.result

    def record(self, prefix):
        return [line[len(prefix):] for line in self.log if line.startswith(prefix)]

    def main_arguments(self):
        """The UTF-16 units (hex) of each argument main received."""
        count = self.record("args ")
        assert count and count[0] != "null", self.log
        units = [re.match(r"\d+ units=(\S*)", line).group(1) for line in self.record("arg ")]
        assert len(units) == int(count[0]), self.log
        return units


@pytest.fixture
def launch(app, tmp_path):
    if not (TESTJVM / "runtime").exists():
        pytest.fail(f"the test runtime is not built ({TESTJVM})")
    return Launch(app, tmp_path)
