"""Runtimes registered by today's installers, for every user and per user (see test_runtime_search)."""
import pytest

from conftest import win_path
from test_runtime_search import KEYS, chosen, launch, lib, make_runtime, reg_string, write_ini

ROOTS = {"LM": r"HKEY_LOCAL_MACHINE\SOFTWARE", "LM32": r"HKEY_LOCAL_MACHINE\SOFTWARE\Wow6432Node",
         "CU": r"HKEY_CURRENT_USER\SOFTWARE"}
VENDORS = ("Eclipse Adoptium", "AdoptOpenJDK", "Semeru", r"Microsoft\JDK", "SapMachine", "Azul Systems")
TEMURIN17 = ("LM", r"Eclipse Adoptium\JDK\17.0.9.9\hotspot\MSI", "Path", "t17")
PAIR = "Pair Product=Z:\\no\\Tool32.exe\n"


@pytest.fixture
def install(wine):
    keys = VENDORS + tuple(k[len("Software\\"):] for k in KEYS.values())
    clear = "".join(f"[-{root}\\{key}]\n" for root in ROOTS.values() for key in keys)
    wine.import_reg(clear)
    yield lambda text: wine.import_reg(clear + text)
    wine.import_reg(clear)


@pytest.mark.parametrize("registrations, settings, expected, trace", [
    # The DWORD flag named JavaHome beside Path is no folder.
    ([TEMURIN17, ("LM", r"Eclipse Adoptium\JDK\17.0.9.9\hotspot\MSI", "JavaHome", "dword")], "", "t17",
     r"HKLM\SOFTWARE\Eclipse Adoptium\JDK\17.0.9.9\hotspot\MSI (64-bit view): version 17.0.9.9 kept"),
    ([("CU", r"Eclipse Adoptium\JRE\17.0.9.9\hotspot\EXE", "Path", "t17")], "", "t17",
     r"HKCU\SOFTWARE\Eclipse Adoptium\JRE\17.0.9.9\hotspot\EXE (64-bit view): version 17.0.9.9 kept"),
    ([TEMURIN17, ("LM", r"Eclipse Adoptium\JDK\8.0.392.8\hotspot\MSI", "Path", "jdk8")], "Maximum Version=1.8\n",
     "jdk8/jre", "version 17.0.9.9 skipped, outside"),
    ([("LM", r"Microsoft\JDK\17.0.9.8\hotspot\MSI", "Path", "t17")], "", "t17", "kept"),
    ([("LM", r"Semeru\JDK\17.0.9.9\openj9\MSI", "Path", "t17")], "", None,
     r"Semeru\JDK\*\openj9\MSI (64-bit view): not searched"),
    ([("LM", r"Semeru\JDK\17.0.9.9\openj9\MSI", "Path", "t17")], "VM Provider=ibm\n", "t17", "kept"),
    ([("LM", r"Semeru\JDK\17.0.9.9\openj9\MSI", "Path", "t17")], "VM Provider=any\n", "t17", "kept"),
    ([("LM", r"SapMachine\JDK\21.0.1", "JavaHome", "t17")], "", "t17", "version 21.0.1.0 kept"),
    ([("LM", r"Azul Systems\Zulu\zulu-17", "InstallationPath", "zulu"),
      ("LM", r"Eclipse Adoptium\JDK\21.0.1.12\hotspot\MSI", "Path", "t17")], "Preferred versions=17\n", "zulu",
     "selected 17.0.0.0"),
    ([("LM32", r"Eclipse Adoptium\JRE\17.0.9.9\hotspot\MSI", "Path", "t17")], PAIR, "t17", "hand-over: the pair"),
    ([("LM", r"Eclipse Adoptium\JDK\17.0.9.9\hotspot\MSI", "Path", "dword")], "", None, "Path is a DWORD, not a"),
    ([("LM", r"Eclipse Adoptium\JDK\17.0.9.9\hotspot\MSI", "Path", "long")], "", None, "Path longer than"),
    ([("LM", r"Eclipse Adoptium\JDK\17.0.9.9\hotspot\MSI", "Path", "expand")], "", "t17", "kept"),
    ([("LM", r"JavaSoft\JDK\17", "JavaHome", "expand")], "", "t17", "kept"),
    # Among equal versions the JavaSoft keys, also per user, come first; one folder is one candidate.
    ([("LM", r"Azul Systems\Zulu\zulu-17", "InstallationPath", "zulu"), ("CU", r"JavaSoft\JDK\17", "JavaHome", "t17")],
     "", "t17", "2 candidate(s)"),
    ([("LM", r"JavaSoft\JDK\17.0.9", "JavaHome", "t17"), ("LM", TEMURIN17[1], "Path", "T17")],
     "Preferred versions=17.0.9.9\n", "t17", "1 candidate(s)"),
])
def test_installer_registrations(app, tmp_path, install, registrations, settings, expected, trace):
    for name in ("t17", "zulu", "jdk8/jre"):
        make_runtime(tmp_path / name)
    text = ""
    special = {"dword": "dword:00000001", "long": reg_string("C:\\" + "x" * 33000),
               "T17": reg_string(win_path(tmp_path / "t17").upper()),
               "expand": "hex(2):" + ",".join(f"{b:02x}" for b in b"%KESTRAN_TEST_DIR%\\t17\0")}
    for root, key, value, folder in registrations:
        data = special.get(folder) or reg_string(win_path(tmp_path / folder))
        text += f"[{ROOTS[root]}\\{key}]\n\"{value}\"={data}\n"
    install(text)
    write_ini(app, "" if settings == PAIR else settings, PAIR if settings == PAIR else "")
    result = launch(app, env={"KESTRAN_TEST_DIR": win_path(tmp_path)})
    assert chosen(result) == (lib(tmp_path / expected) if expected else None), result
    assert any(trace in line for line in result.trace()), result
