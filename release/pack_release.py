"""Packs the release archive: the same files in, the same bytes out, on any machine.

usage: pack_release.py ARCHIVE DATE NAME=FILE...

ARCHIVE is written as <folder>/<stem>.zip with every entry under <stem>/, in the order given,
then SHA256SUMS for them all. DATE (seconds since 1970, the commit's date) is every entry's
time; programs get mode 755, other files 644; no owner, no extra fields.
"""
import hashlib
import os
import sys
import time
import zipfile
from pathlib import Path

PROGRAMS = (".exe", "")  # the Windows executables and the Linux tool, which has no suffix
EARLIEST_ZIP_TIME = (1980, 1, 1, 0, 0, 0)


def entry(name: str, stamp, mode: int) -> zipfile.ZipInfo:
    info = zipfile.ZipInfo(name, stamp)
    info.create_system = 3  # Unix, so that the mode below is what unzip applies
    folder = name.endswith("/")
    info.external_attr = mode << 16 | (0x10 if folder else 0)  # 0x10: the MS-DOS folder flag
    info.compress_type = zipfile.ZIP_STORED if folder else zipfile.ZIP_DEFLATED
    return info


def pack(archive: Path, date: int, files):
    stem = archive.name[:-len(".zip")]
    stamp = max(time.gmtime(date)[:6], EARLIEST_ZIP_TIME)
    sums = []
    # Written beside the result and renamed, so an interrupted run leaves no archive that looks whole.
    partial = archive.with_name(archive.name + ".partial")
    try:
        with zipfile.ZipFile(partial, "w", compresslevel=9) as out:
            out.writestr(entry(stem + "/", stamp, 0o40755), b"")
            for name, source in files:
                data = Path(source).read_bytes()
                mode = 0o100755 if Path(name).suffix in PROGRAMS else 0o100644
                out.writestr(entry(f"{stem}/{name}", stamp, mode), data)
                sums.append(f"{hashlib.sha256(data).hexdigest()}  {name}\n")
            out.writestr(entry(f"{stem}/SHA256SUMS", stamp, 0o100644), "".join(sums).encode("ascii"))
        os.replace(partial, archive)
    except (OSError, ValueError) as error:  # a file missing or unreadable, a date past 2107
        partial.unlink(missing_ok=True)
        sys.exit(f"pack_release: {archive.name} not written: {error}")


def main(argv):
    if len(argv) < 3 or not argv[1].isdigit() or not argv[0].endswith(".zip") or any("=" not in a for a in argv[2:]):
        sys.exit(__doc__)
    files = [tuple(a.split("=", 1)) for a in argv[2:]]
    pack(Path(argv[0]), int(argv[1]), files)


if __name__ == "__main__":
    main(sys.argv[1:])
