"""The start-up cache as the VM sees it: which options it receives, and the archive it leaves
put in place under the user's local application data (Wine's own, which a Unix variable does
not replace; each test's executable has a folder of its own there)."""
import getpass
import os
import re
import shutil
import time
from pathlib import Path

import pytest

from conftest import KESTRANW_EXE, TESTJVM, win_path

RELEASE_17 = 'IMPLEMENTOR="Eclipse Adoptium"\nJAVA_VERSION="17.0.9"\nJAVA_RUNTIME_VERSION="17.0.9+9"\n'
RELEASE_25 = 'IMPLEMENTOR="Eclipse Adoptium"\nJAVA_VERSION="25.0.1"\nJAVA_RUNTIME_VERSION="25.0.1+8"\n'
CACHE = r"C:\users\%s\AppData\Local\Kestran\StartupCache\Tool-" % getpass.getuser()

# name: (release file or None, VM parameters, script, exit code, whether the cache applies,
#        whether the VM's archive messages go to standard error for the trace)
CASES = {
    "17 with its base archive": (RELEASE_17, "", "return", 0, True, True),
    "renamed after the exit hook": (RELEASE_17, "", "exit:3", 3, True, True),
    # Its classes listed in-process, the cache assembled by the runtime's java.exe after the exit hook.
    "25: the AOT cache": (RELEASE_25, "", "exit:3", 3, True, True),
    # A jar that a jar's manifest names changed: the VM runs without the cache, which goes.
    "25: the AOT cache refused": (RELEASE_25, "-Djava.vm.info=mixed", "exit:3", 3, True, True),
    # Its assembler ended long ago; processes started since have numbers its job file carries.
    "25: the jobs of ended assemblers": (RELEASE_25, "", "exit:3", 3, True, True),
    # Its vfprintf hook would take them to the program's output.
    "windowed": (RELEASE_17, "", "return", 0, True, False),
    # Standard error is the program's then, not the trace's.
    "trace in a file": (RELEASE_17, "", "return", 0, True, False),
    "Java 8": ('JAVA_VERSION="1.8.0_392"\n', "", "return", 0, False, False),
    "no release file": (None, "", "return", 0, False, False),
    "the vendor's -Xshare:off": (RELEASE_17, "-Xshare:off", "return", 0, False, False),
}


def cache_option(launch, name):
    """The folder named by the VM option `name`, or None when the VM did not receive it."""
    for line in launch.record("option "):
        match = re.fullmatch(r"\d+ %s=(.*)\\[0-9a-f]{32}\.\d+\.(tmp|jsa|classlist) extraInfo=no" % re.escape(name), line)
        if match:
            return match.group(1)
    return None


def wait_for_archive(local):
    """Until the assembler that outlives a launch has left only the archive (a minute at most)."""
    deadline = time.monotonic() + 60
    while [p.suffix for p in local.iterdir()] != [".jsa"] and time.monotonic() < deadline:
        time.sleep(0.2)


def plant_ended_jobs(launch, wine):
    """After a first launch's cache is made, leaves in its place a year-2000 job file of each
    number up to 996: some are numbers of processes running now."""
    launch.run()
    listing = cache_option(launch, "-XX:DumpLoadedClassList") + "\\"
    key = next(line for line in launch.log if listing in line).split(listing)[1][:32]
    local = Path(wine.env["WINEPREFIX"], "drive_c", *listing[3:-1].split("\\"))
    wait_for_archive(local)
    for made in local.iterdir():
        made.unlink()
    for number in range(4, 1000, 4):
        (local / f"{key}.{number}.aotjob").write_bytes(b"")
        os.utime(local / f"{key}.{number}.aotjob", (946684800, 946684800))


@pytest.mark.parametrize("case", CASES)
def test_startup_cache_options_and_archive(launch, wine, tmp_path, case):
    release, parameters, script, code, applies, to_stderr = CASES[case]
    if case == "windowed":
        shutil.copyfile(KESTRANW_EXE, launch.app.exe)
    env = {"KESTRAN_TRACE": win_path(tmp_path / "trace.txt")} if case == "trace in a file" else None
    if release is not None:
        (launch.runtime / "release").write_text(release)
    (launch.runtime / "bin" / "server" / "classes.jsa").write_bytes(b"\xa2\xab\x0b\xf0")
    aot = release == RELEASE_25
    if aot:
        shutil.copyfile(TESTJVM / "java_aot.exe", launch.runtime / "bin" / "java.exe")
    launch.app.write_ini(
        "[Java Runtime Environment]\nMain Class=com.example.Main\nStartup Cache=Auto\n"
        f"Virtual Machine Parameters={parameters}\n[Class Path]\nClass Path=app.jar\n")

    if case == "25: the jobs of ended assemblers":
        plant_ended_jobs(launch, wine)
    result = launch.run(script=script, env=env)
    assert result.exit_code == code, (case, result)
    folder = cache_option(launch, "-XX:DumpLoadedClassList" if aot else "-XX:ArchiveClassesAtExit")
    assert "Shared file" not in result.stdout, (case, result)
    if not applies:
        assert folder is None and not any("-Xlog:cds" in line for line in launch.log), (case, launch.log)
        return
    assert folder and folder.startswith(CACHE), (case, launch.log)
    assert any("-Xlog:cds*=warning:stderr" in line for line in launch.log) == to_stderr, (case, launch.log)
    local = Path(wine.env["WINEPREFIX"], "drive_c", *folder[3:].split("\\"))
    # 25 assembles its cache in a copy of the launcher that outlives the launch.
    assert any("being assembled" in line for line in result.trace()) == aot, (case, result.trace())
    if aot:
        wait_for_archive(local)
    assert [p.name[33:] for p in local.iterdir()] == ["8192.jsa"], (case, result.trace())

    result = launch.run(script=script)
    assert result.exit_code == code and cache_option(launch, "-XX:AOTCache" if aot else "-XX:SharedArchiveFile") == folder, (case, launch.log)
    assert len(list(local.iterdir())) == (case != "25: the AOT cache refused"), (case, result.trace())
