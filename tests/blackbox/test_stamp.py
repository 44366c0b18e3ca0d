"""kestran-stamp: branding a copy of kestran.exe, checked with tools that are not ours.

The tool runs natively (Linux) and as kestran-stamp.exe under Wine; both must write the same
bytes. wrestool/icotool (icoutils) and osslsigncode read the result, GetFileVersionInfoW and
LoadImageW read it back under Wine (tests/tools/version_reader.cpp), and the stamped launcher runs.
"""
import os
import shutil
import struct
import subprocess
from pathlib import Path

import pytest

from conftest import BUILD, KESTRAN_EXE, KESTRANW_EXE, REPO, TOOLS_DIR, win_path
from test_settings import ERROR_EXIT, JRE_NOT_FOUND, trace_value

HOST_BUILD = Path(os.environ.get("KESTRAN_HOST_BUILD", REPO / "build" / "host"))
NATIVE_STAMP = HOST_BUILD / "tools" / "stamp" / "kestran-stamp"
WINDOWS_STAMP = BUILD / "tools" / "stamp" / "kestran-stamp.exe"

STRINGS = {"CompanyName": "Acme Ltd", "FileDescription": "My App – reports", "InternalName": "myapp",
           "LegalCopyright": "© 2026 Acme", "OriginalFilename": "MyApp.exe", "ProductName": "My Äpp"}
OPTIONS = {"CompanyName": "--company", "FileDescription": "--description", "InternalName": "--internal-name",
           "LegalCopyright": "--copyright", "OriginalFilename": "--original-filename", "ProductName": "--product-name"}


def run_stamp(wine, how, args):
    """Runs the tool natively or under Wine with paths converted; returns (exit code, stderr text)."""
    if how == "native":
        completed = subprocess.run([str(NATIVE_STAMP), *map(str, args)], capture_output=True)
    else:
        converted = [win_path(a) if isinstance(a, Path) else a for a in args]
        completed = subprocess.run([wine.loader, str(WINDOWS_STAMP), *converted], capture_output=True,
                                   env=wine.base_environment())
    return completed.returncode, completed.stderr.decode("utf-8", errors="replace")


@pytest.fixture
def icon(tmp_path):
    """An .ico of three sizes made with icotool, the 256-pixel one PNG-compressed."""
    pngs = []
    for size, colour in ((16, "red"), (32, "blue"), (256, "green")):
        png = tmp_path / f"{size}.png"
        subprocess.run(["convert", "-size", f"{size}x{size}", f"xc:{colour}", f"PNG32:{png}"], check=True)
        pngs.append(png)
    ico = tmp_path / "app.ico"
    subprocess.run(["icotool", "-c", "-o", ico, pngs[0], pngs[1], "-r", pngs[2]], check=True)
    return ico


def every_option(tmp_path, icon, out, level="highestAvailable", source=KESTRAN_EXE):
    settings = tmp_path / "defaults.ini"
    # A lone CR ends the first line: the launcher reads only LF and CRLF, so the tool writes CRLF.
    settings.write_bytes(b"\xff\xfe" + "[Java Runtime Environment]\rMain Class=baked.Main\r\n".encode("utf-16-le"))
    args = ["--in", source, "--out", out, "--icon", icon, "--version", "1.2.3.40000", "--settings", settings,
            "--execution-level", level, "--utf8-code-page"]
    for key, value in STRINGS.items():
        args += [OPTIONS[key], value]
    return args


def pe_checksum(data: bytes) -> int:
    checksum_at = struct.unpack_from("<I", data, 0x3C)[0] + 24 + 64
    total = 0
    for i in range(0, len(data), 2):
        if i in (checksum_at, checksum_at + 2):
            continue
        total += int.from_bytes(data[i:i + 2], "little")
        total = (total & 0xFFFF) + (total >> 16)
    return ((total & 0xFFFF) + (total >> 16)) + len(data)


def image_end(data: bytes) -> int:
    nt = struct.unpack_from("<I", data, 0x3C)[0]
    count, optional_size = struct.unpack_from("<H", data, nt + 6)[0], struct.unpack_from("<H", data, nt + 20)[0]
    table = nt + 24 + optional_size
    return max(sum(struct.unpack_from("<II", data, table + i * 40 + 16)) for i in range(count))


def wrestool(*args):
    return subprocess.run(["wrestool", *map(str, args)], check=True, capture_output=True).stdout


# The windowed twin is stamped the same way; with its output a pipe it prints like the console one.
@pytest.mark.parametrize("how,source", [("native", KESTRAN_EXE), ("wine", KESTRAN_EXE), ("native", KESTRANW_EXE)],
                         ids=["native", "wine", "windowed"])
def test_stamped_executable_reads_back_everywhere(wine, make_app, tmp_path, icon, how, source):
    app = make_app("branded", exe="MyApp.exe")
    code, err = run_stamp(wine, how, every_option(tmp_path, icon, app.exe, source=source))
    assert (code, err) == (0, "")
    data = app.exe.read_bytes()
    assert struct.unpack_from("<I", data, struct.unpack_from("<I", data, 0x3C)[0] + 24 + 64)[0] == pe_checksum(data)
    assert len(data) == image_end(data), "nothing may follow the image"

    listing = wrestool("-l", app.exe).decode()
    assert "--type=14 --name=1 --language=0" in listing and "--type=16 --name=1" in listing
    extracted = tmp_path / "back.ico"
    extracted.write_bytes(wrestool("-x", "-t14", app.exe))
    sizes = subprocess.run(["icotool", "-l", extracted], check=True, capture_output=True).stdout.decode()
    assert [l.split()[2:4] for l in sizes.splitlines()] == [["--width=16", "--height=16"], ["--width=32", "--height=32"],
                                                            ["--width=256", "--height=256"]]
    manifest = wrestool("-x", "--raw", "-t24", app.exe).decode()
    for kept in ("PerMonitorV2", "<longPathAware", "Microsoft.Windows.Common-Controls", "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a"):
        assert kept in manifest
    assert 'level="highestAvailable"' in manifest and ">UTF-8</activeCodePage>" in manifest
    assert 'name="MyApp" version="1.2.3.40000"' in manifest and "<description>My App – reports</description>" in manifest

    shown = subprocess.run([wine.loader, str(TOOLS_DIR / "version_reader.exe"), win_path(app.exe)],
                           env=wine.base_environment(), capture_output=True)
    expected = ["binary=1.2.3.40000/1.2.3.40000"] + sorted(
        f"{k}={v}" for k, v in {**STRINGS, "FileVersion": "1.2.3.40000", "ProductVersion": "1.2.3.40000"}.items())
    assert shown.stdout.decode("utf-8").splitlines() == expected + ["icon16=16x16", "icon32=32x32", "icon256=256x256"]

    result = app.run(trace=True)  # no settings file: the baked-in ones are read
    assert trace_value(result, "main class ").startswith("baked/Main,")
    assert (result.exit_code, result.stdout_lines) == (ERROR_EXIT, [JRE_NOT_FOUND.format("latest version")])

    key, cert = tmp_path / "key.pem", tmp_path / "cert.pem"
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cert,
                    "-days", "2", "-subj", "/CN=Throwaway"], check=True, capture_output=True)
    signed = tmp_path / "signed.exe"
    subprocess.run(["osslsigncode", "sign", "-certs", cert, "-key", key, "-n", "My App", "-in", app.exe, "-out", signed],
                   check=True, capture_output=True)
    verified = subprocess.run(["osslsigncode", "verify", "-CAfile", cert, "-in", signed], capture_output=True)
    assert verified.returncode == 0, verified.stdout


def test_same_inputs_give_the_same_bytes_natively_and_under_wine(wine, tmp_path, icon):
    # One output name (the manifest is named after it), as long as a file system allows.
    outputs = [tmp_path / folder / ("n" * 251 + ".exe") for folder in ("native1", "native2", "wine")]
    for out, how in zip(outputs, ["native", "native", "wine"]):
        out.parent.mkdir()
        assert run_stamp(wine, how, every_option(tmp_path, icon, out)) == (0, "")
    assert outputs[0].read_bytes() == outputs[1].read_bytes() == outputs[2].read_bytes()


def test_a_stamped_executable_stamps_again_without_piling_up_icons(wine, tmp_path, icon):
    first, second = tmp_path / "first.exe", tmp_path / "second.exe"
    assert run_stamp(wine, "native", every_option(tmp_path, icon, first)) == (0, "")
    signed_first = tmp_path / "signed.exe"  # its signature is dropped
    signed_first.write_bytes(signed(first.read_bytes(), b""))
    args = every_option(tmp_path, icon, second, level="asInvoker")
    args[1] = signed_first
    assert run_stamp(wine, "native", args) == (0, "")
    assert len(second.read_bytes()) == image_end(second.read_bytes())
    listing = wrestool("-l", second).decode()
    assert listing.count("--type=3 ") == 3 and listing.count("--type=14 ") == 1
    assert listing.count("KESTRAN_SETTINGS") == 1
    manifest = wrestool("-x", "--raw", "-t24", second).decode()
    assert 'level="asInvoker"' in manifest and manifest.count("<activeCodePage") == 1


def test_version_information_and_manifest_carry_only_what_the_vendor_gives(wine, tmp_path):
    out = tmp_path / "MyApp.exe"
    args = ["--in", KESTRAN_EXE, "--out", out, "--version", "1.2.3.4", "--product-version", "2026.1.0.0"]
    assert run_stamp(wine, "native", args) == (0, "")
    assert "kestran" not in wrestool("-x", "--raw", "-t16", out).decode("utf-16-le", errors="replace").lower()
    manifest = wrestool("-x", "--raw", "-t24", out).decode()
    assert "kestran" not in manifest.lower() and "<description" not in manifest and 'name="MyApp"' in manifest
    shown = subprocess.run([wine.loader, str(TOOLS_DIR / "version_reader.exe"), win_path(out)],
                           env=wine.base_environment(), capture_output=True).stdout.decode("utf-8").splitlines()
    assert shown[:9] == ["binary=1.2.3.4/2026.1.0.0", "CompanyName=", "FileDescription=", "FileVersion=1.2.3.4",
                         "InternalName=MyApp", "LegalCopyright=", "OriginalFilename=MyApp.exe", "ProductName=",
                         "ProductVersion=2026.1.0.0"]


def signed(data: bytes, appended: bytes) -> bytes:
    """`data` and `appended` followed by a (meaningless) certificate table its directory names."""
    body = data + appended + b"\0" * (-(len(data) + len(appended)) % 8)
    certificate = struct.pack("<IHH", 16, 0x200, 2) + b"\0" * 8
    directory = struct.unpack_from("<I", data, 0x3C)[0] + 24 + 112 + 4 * 8
    return body[:directory] + struct.pack("<II", len(body), len(certificate)) + body[directory + 8:] + certificate


# One row per bad input: the arguments that replace or follow the good ones (file names are in
# the test's folder), the error, and where they differ, the exit code and the tool's build.
BAD_INPUTS = {
    "missing icon": ({"--icon": "absent.ico"}, "--icon "),
    "text as icon": ({"--icon": "text.txt"}, "not an icon file: no icon header"),
    "cut-short icon": ({"--icon": "truncated.ico"}, "not an icon file: image 1 lies outside the file"),
    "icon with a cut PNG": ({"--icon": "cut-png.ico"}, "image 1 is a PNG image cut short"),
    "three-part version": ({"--version": "1.2.3"}, "is not four numbers from 0 to 65535"),
    "version part above 65535": ({"--version": "1.2.3.65536"}, "is not four numbers from 0 to 65535"),
    "version with a letter": ({"--version": "1.2.3.4a"}, "is not four numbers from 0 to 65535"),
    "description too long": ({"--description": "x" * 40000}, "text too long for the version information"),
    "UTF-16 settings without a mark": ({"--settings": "nomark.ini"}, "not UTF-8 or UTF-16LE text"),
    "UTF-32 settings": ({"--settings": "utf32.ini"}, "with its byte order mark: it is UTF-32"),
    "unknown execution level": ({"--execution-level": "admin"}, "is not asInvoker, highestAvailable"),
    "unknown option": ({"--colour": "red"}, "unknown option --colour"),
    "not a PE file": ({"--in": "text.txt"}, "not a usable executable: not a PE image (no MZ header)"),
    "a PE file that is not Kestran": ({"--in": TOOLS_DIR / "pe_sample64.dll"}, "not a Kestran executable"),
    "data before a signature": ({"--in": "signed.exe"}, "not a usable executable: data appended after the image"),
    "output is the input": ({"--out": "in.exe"}, "in.exe is the input (--in "),
    "output is a hard link to the input": ({"--out": "hard.exe"}, "hard.exe is the input (--in "),
    "output is the input with a trailing dot": ({"--out": "in.exe."}, "in.exe. is the input (--in ", 2, "wine"),
    "output is the icon": ({"--icon": "app.ico", "--out": "app.ico"}, "app.ico is the input (--icon "),
    "output is a folder": ({"--out": "folder"}, "folder exists and is not a regular file"),
    "output is a FIFO": ({"--out": "fifo"}, "fifo exists and is not a regular file"),
    "output cannot be replaced": ({"--out": "immutable.exe"}, "cannot write --out ", 1),
}


@pytest.fixture
def immutable(tmp_path):
    """A file not even root may replace, as Windows keeps a running executable."""
    path = tmp_path / "immutable.exe"
    path.write_bytes(b"old")
    subprocess.run(["chattr", "+i", path], check=True)
    yield path
    subprocess.run(["chattr", "-i", path], check=True)


def snapshot(path: Path):
    """What stands at `path`: a FIFO, a folder's entries, a file's bytes, or nothing."""
    if path.is_fifo() or path.is_dir():
        return path.is_fifo(), sorted(path.iterdir()) if path.is_dir() else None
    return path.read_bytes() if path.exists() else None


@pytest.mark.parametrize("case", BAD_INPUTS)
def test_bad_input_is_refused_and_harms_nothing(wine, tmp_path, icon, immutable, case):
    original = KESTRAN_EXE.read_bytes()
    (tmp_path / "in.exe").write_bytes(original)
    os.link(tmp_path / "in.exe", tmp_path / "hard.exe")
    (tmp_path / "signed.exe").write_bytes(signed(original, b"appended"))
    (tmp_path / "folder").mkdir()
    os.mkfifo(tmp_path / "fifo")
    (tmp_path / "text.txt").write_bytes(b"not an executable at all, just some words\n" * 4)
    (tmp_path / "truncated.ico").write_bytes(icon.read_bytes()[:60])
    png = (tmp_path / "256.png").read_bytes()[:-12]  # no IEND
    (tmp_path / "cut-png.ico").write_bytes(struct.pack("<HHHBBBBHHII", 0, 1, 1, 0, 0, 0, 0, 1, 32, len(png), 22) + png)
    (tmp_path / "nomark.ini").write_bytes("[Java Runtime Environment]\r\n".encode("utf-16-le"))
    (tmp_path / "utf32.ini").write_bytes(b"\xff\xfe\0\0" + "[Java Runtime Environment]\r\n".encode("utf-32-le"))
    changes, message, code, how = (*BAD_INPUTS[case], *(2, "native")[len(BAD_INPUTS[case]) - 2:])
    options = {"--in": "in.exe", "--out": "MyApp.exe", **changes}
    options = {k: tmp_path / v if k in ("--in", "--out", "--icon", "--settings") and isinstance(v, str) else v
               for k, v in options.items()}
    before = snapshot(options["--out"])
    result = run_stamp(wine, how, [item for pair in options.items() for item in pair])
    assert result[0] == code and message in result[1] and result[1].count("\n") == 1, result
    assert snapshot(options["--out"]) == before and not list(tmp_path.rglob("*.stamping"))
    assert (tmp_path / "in.exe").read_bytes() == original
