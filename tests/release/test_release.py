"""The release archive as a vendor receives it: the same bytes from two builds in two folders,
SHA256SUMS that verifies, and kestran.exe within its size budget with its two imports.

.ci/run builds it twice: build/release from this checkout, build/release-check/source/build/release
from a copy of it.
"""
import re
import stat
import subprocess
import zipfile
from pathlib import Path

import pytest

REPO = Path(__file__).resolve().parents[2]
VERSION = re.search(r"project\(Kestran VERSION ([0-9.]+)", (REPO / "CMakeLists.txt").read_text()).group(1)
NAME = f"kestran-{VERSION}-windows-x64"
ARCHIVES = [REPO / "build" / "release" / f"{NAME}.zip",
            REPO / "build" / "release-check" / "source" / "build" / "release" / f"{NAME}.zip"]
SIZE_BUDGET = 409_600
FILES = ["kestran.exe", "kestranw.exe", "kestran-stamp.exe", "kestran-stamp", "README.md", "example.ini", "SHA256SUMS"]

pytestmark = pytest.mark.skipif(not all(a.exists() for a in ARCHIVES), reason="the release is built twice by .ci/run")


def test_two_builds_in_two_folders_give_the_same_archive():
    assert ARCHIVES[0].read_bytes() == ARCHIVES[1].read_bytes()


def test_the_archive_verifies_and_its_launcher_keeps_its_budget(tmp_path):
    with zipfile.ZipFile(ARCHIVES[0]) as archive:
        entries = archive.infolist()
        archive.extractall(tmp_path)
    assert [e.filename for e in entries] == [f"{NAME}/"] + [f"{NAME}/{f}" for f in FILES]
    assert len({e.date_time for e in entries}) == 1
    modes = {e.filename.split("/")[1]: stat.S_IMODE(e.external_attr >> 16) for e in entries}
    assert modes["kestran-stamp"] == 0o755 and modes["README.md"] == 0o644, modes
    folder = tmp_path / NAME
    (folder / "kestran-stamp").chmod(0o755)
    checked = subprocess.run(["sha256sum", "-c", "SHA256SUMS"], cwd=folder, capture_output=True, text=True)
    assert checked.returncode == 0 and checked.stdout.count(": OK") == len(FILES) - 1, checked
    assert subprocess.run([folder / "kestran-stamp", "--version"], capture_output=True,
                          text=True).stdout == f"kestran-stamp {VERSION}\n"
    for exe in ("kestran.exe", "kestranw.exe"):
        data = (folder / exe).read_bytes()
        assert len(data) <= SIZE_BUDGET, f"{exe}: {len(data)} bytes"
        headers = subprocess.run(["x86_64-w64-mingw32-objdump", "-p", folder / exe], capture_output=True, text=True).stdout
        assert re.findall(r"DLL Name: (\S+)", headers) == ["KERNEL32.dll", "msvcrt.dll"], exe
        quad = ".".join((VERSION.split(".") + ["0"] * 4)[:4]).encode("utf-16-le")
        assert re.search("FileVersion".encode("utf-16-le") + rb"(?:\0\0)+" + re.escape(quad), data), exe
