"""Runtimes registered by today's installers (Temurin, Microsoft, Semeru, SapMachine, Zulu),
for every user and per user, observed through the launch trace as in test_runtime_search."""
import shutil

import pytest

from conftest import TOOLS_DIR, win_path
from test_runtime_search import KEYS, chosen, launch, lib, make_runtime, pair_program, reg_string, write_ini

TEMURIN = r"SOFTWARE\Eclipse Adoptium\JDK"
SEMERU = r"SOFTWARE\Semeru\JDK"
ZULU = r"SOFTWARE\Azul Systems\Zulu"
INSTALLER_KEYS = (TEMURIN, r"SOFTWARE\Eclipse Adoptium\JRE", r"SOFTWARE\AdoptOpenJDK\JDK",
                  r"SOFTWARE\AdoptOpenJDK\JRE", SEMERU, r"SOFTWARE\Semeru\JRE", r"SOFTWARE\Microsoft\JDK",
                  r"SOFTWARE\SapMachine\JDK", r"SOFTWARE\SapMachine\JRE", ZULU)
ROOTS = {("HKLM", 64): r"HKEY_LOCAL_MACHINE\SOFTWARE", ("HKLM", 32): r"HKEY_LOCAL_MACHINE\SOFTWARE\Wow6432Node",
         ("HKCU", 64): r"HKEY_CURRENT_USER\SOFTWARE"}


def full_key(root, view, key_path):
    return ROOTS[(root, view)] + key_path[key_path.index("\\"):]


class InstallerRegistry:
    """Registrations under the installer keys and the JavaSoft keys, in both roots."""

    def __init__(self, wine):
        self.wine = wine
        self.entries = []

    def clear(self):
        keys = INSTALLER_KEYS + tuple(KEYS.values())
        self.wine.import_reg("".join(f"[-{full_key(root, view, k)}]\n" for k in keys for root, view in ROOTS))

    def add(self, key, subkey, values, root="HKLM", view=64):
        """`values`: name -> REGEDIT4 value text, under key\\subkey."""
        body = "".join(f'"{name}"={value}\n' for name, value in values.items())
        self.entries.append(f"[{full_key(root, view, key)}\\{subkey}]\n{body}")

    def temurin(self, version, folder, root="HKLM", view=64, key=TEMURIN, layout=r"hotspot\MSI"):
        # The installer keeps DWORD flags beside "Path"; one of them is named "JavaHome".
        self.add(key, f"{version}\\{layout}", {"Path": reg_string(win_path(folder) + "\\"),
                                               "JavaHome": "dword:00000001", "Main": "dword:00000001"}, root, view)

    def apply(self):
        self.wine.import_reg("\n".join(self.entries))


@pytest.fixture
def installers(wine):
    registry = InstallerRegistry(wine)
    registry.clear()
    yield registry
    registry.clear()


def setup_case(case, installers, tmp_path):
    """Registers the runtimes of one scenario; gives the folder of each by name."""
    rt = {name: make_runtime(tmp_path / name) for name in ("t17", "t21", "ms17", "sem17", "sap21", "zulu17")}
    rt["jdk8"] = tmp_path / "jdk8"
    make_runtime(rt["jdk8"] / "jre")
    if case in ("temurin", "dedup", "bounds"):
        installers.temurin("17.0.9.9", rt["t17"])
    if case == "per-user":
        installers.temurin("17.0.9.9", rt["t17"], root="HKCU", layout=r"hotspot\EXE")
    if case in ("jdk8", "bounds"):
        installers.temurin("8.0.392.8", rt["jdk8"])
    if case == "microsoft":
        installers.temurin("17.0.9.8", rt["ms17"], key=r"SOFTWARE\Microsoft\JDK")
    if case == "semeru":
        installers.temurin("17.0.9.9", rt["sem17"], key=SEMERU, layout=r"openj9\MSI")
    if case == "sapmachine":
        installers.add(r"SOFTWARE\SapMachine\JDK", "21.0.1", {"JavaHome": reg_string(win_path(rt["sap21"]))})
    if case == "zulu":
        installers.add(ZULU, "zulu-17", {"InstallationPath": reg_string(win_path(rt["zulu17"]))})
        installers.temurin("21.0.1.12", rt["t21"])
    if case == "dedup":
        installers.add(KEYS[1], "17.0.9", {"JavaHome": reg_string(win_path(rt["t17"]))})
    installers.apply()
    return rt


@pytest.mark.parametrize("case, settings, expected, trace", [
    ("temurin", "", "t17", r"HKLM\SOFTWARE\Eclipse Adoptium\JDK\17.0.9.9\hotspot\MSI (64-bit view): version "
                           r"17.0.9.9 kept"),
    ("per-user", "", "t17", r"HKCU\SOFTWARE\Eclipse Adoptium\JDK\17.0.9.9\hotspot\EXE (64-bit view): version "
                            r"17.0.9.9 kept"),
    ("jdk8", "", "jdk8", "version 1.8.0.392 kept"),
    ("microsoft", "", "ms17", r"HKLM\SOFTWARE\Microsoft\JDK\17.0.9.8\hotspot\MSI"),
    ("semeru", "", None, r"HKLM\SOFTWARE\Semeru\JDK\*\openj9\MSI (64-bit view): not searched"),
    ("semeru", "VM Provider=ibm\n", "sem17", "kept"),
    ("semeru", "VM Provider=any\n", "sem17", "kept"),
    ("sapmachine", "", "sap21", r"HKLM\SOFTWARE\SapMachine\JDK\21.0.1 (64-bit view)"),
    ("zulu", "Preferred versions=17\n", "zulu17", r'selected 17.0.0.0 '),
    ("dedup", "", "t17", "1 candidate(s) after sorting"),
    ("bounds", "Maximum Version=1.8\n", "jdk8", "version 17.0.9.9 skipped, outside"),
])
def test_installer_registrations(app, tmp_path, installers, case, settings, expected, trace):
    rt = setup_case(case, installers, tmp_path)
    write_ini(app, settings)
    result = launch(app)
    if expected is None:
        assert chosen(result) is None, result
    else:
        folder = rt[expected] / "jre" if expected == "jdk8" else rt[expected]
        assert chosen(result) == lib(folder), result
    assert any(trace in line for line in result.trace()), result


def test_32bit_view_installer_is_handed_over(app, tmp_path, installers):
    rt = make_runtime(tmp_path / "t8x86", vms=("client",))
    installers.temurin("8.0.392.8", rt, view=32, key=r"SOFTWARE\Eclipse Adoptium\JRE")
    installers.apply()
    write_ini(app)
    assert chosen(launch(app)) is None
    pair = pair_program(app)
    write_ini(app, application=f"Pair Product={win_path(pair)}\nPair Return Code=Yes\n")
    result = launch(app)
    assert chosen(result) == lib(rt, "client")
    assert result.exit_code == 3, result


def test_expandable_java_home_is_expanded(app, tmp_path, installers, wine):
    rt = make_runtime(tmp_path / "jdk17")
    wine.reg("add", r"HKLM\Software\JavaSoft\JDK\17", "/v", "JavaHome", "/t", "REG_EXPAND_SZ",
             "/d", "%KESTRAN_TEST_JDKS%\\jdk17", "/f")
    write_ini(app)
    result = launch(app, env={"KESTRAN_TEST_JDKS": win_path(tmp_path)})
    assert chosen(result) == lib(rt), result


def test_per_user_temurin_starts_the_program(app, tmp_path, installers):
    runtime = tmp_path / "Eclipse Adoptium" / "jdk-21.0.1.12-hotspot"
    shutil.copytree(TOOLS_DIR / "testjvm" / "runtime", runtime)
    installers.temurin("21.0.1.12", runtime, root="HKCU")
    installers.apply()
    (app.dir / "app.jar").write_bytes(b"PK")
    write_ini(app, application="[Class Path]\nClass Path=app.jar\n")
    result = app.run(env={"TESTJVM_MAIN": "return"}, trace=True)
    assert result.exit_code == 0, result
    assert chosen(result) == lib(runtime), result
