"""Finding the Java runtime: each place of the search, the registry selection rules, the
machine check and the hand-over to the paired program, observed through the launch trace.

The runtimes are fake folders (bin\\java.dll and jvm.dll files); the launch stops when the
chosen jvm.dll cannot be loaded, after the trace has named it ("chosen <path>").
"""
import shutil
import struct

import pytest

from conftest import TOOLS_DIR, win_path

MINUS_ONE = 0xFFFFFFFF

KEYS = {
    1: r"Software\JavaSoft\JDK",
    2: r"Software\JavaSoft\JRE",
    3: r"Software\JavaSoft\Java Development Kit",
    4: r"Software\JavaSoft\Java Runtime Environment",
    5: r"Software\JRockit\Java Runtime Environment",
    6: r"Software\JRockit\Java Development Kit",
    7: r"Software\IBM\Java2 Runtime Environment",
}

PE64 = TOOLS_DIR / "pe_sample64.dll"
PE32 = TOOLS_DIR / "pe_sample32.dll"
PAIR = TOOLS_DIR / "pair_recorder.exe"


def make_runtime(folder, vms=("server",), java_dll=True, library=None):
    """A runtime folder: bin\\java.dll and bin\\<vm>\\jvm.dll (empty files, or a copy of `library`)."""
    bin_dir = folder / "bin"
    bin_dir.mkdir(parents=True, exist_ok=True)
    if java_dll:
        (bin_dir / "java.dll").write_bytes(b"")
    for vm in vms:
        (bin_dir / vm).mkdir(exist_ok=True)
        target = bin_dir / vm / "jvm.dll"
        if library is not None:
            shutil.copyfile(library, target)
        else:
            target.write_bytes(b"")
    return folder


def lib(folder, vm="server"):
    return win_path(folder) + "\\bin\\" + vm + "\\jvm.dll"


def reg_string(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


def reg_key(key_path, view):
    root = r"HKEY_LOCAL_MACHINE\Software\Wow6432Node" if view == 32 else r"HKEY_LOCAL_MACHINE\Software"
    return root + key_path[len("Software"):]


class JavaRegistry:
    """Runtime registrations in the test prefix; every test starts and ends with none."""

    def __init__(self, wine):
        self.wine = wine
        self.entries = []

    def clear_text(self):
        return "".join(f"[-{reg_key(path, view)}]\n" for path in KEYS.values() for view in (64, 32))

    def add(self, key, subkey, home=None, view=64, raw=None):
        """Registers `subkey` under key number `key`; `raw` is a REGEDIT4 value text for JavaHome."""
        value = raw if raw is not None else reg_string(home)
        self.entries.append(f"[{reg_key(KEYS[key], view)}\\{subkey}]\n\"JavaHome\"={value}\n")

    def apply(self):
        self.wine.import_reg(self.clear_text() + "\n" + "\n".join(self.entries))

    def clear(self):
        self.wine.import_reg(self.clear_text())


@pytest.fixture
def registry(wine):
    java = JavaRegistry(wine)
    java.clear()
    yield java
    java.clear()


def write_ini(app, runtime="", application=""):
    app.write_ini("[Java Runtime Environment]\nMain Class=com.example.Main\n" + runtime +
                  "\n[Application]\n" + application + "\n")


def launch(app, env=None):
    # Without a display the not-found dialog cannot open, so its text is printed instead.
    full_env = {"DISPLAY": None}
    full_env.update(env or {})
    return app.run(env=full_env, trace=True, timeout=30)


def chosen(result):
    lines = [line[len("chosen "):] for line in result.trace() if line.startswith("chosen ")]
    assert len(lines) <= 1, result
    return lines[0] if lines else None


# --- the places, in order -------------------------------------------------------------------

@pytest.mark.parametrize("jvm_type, vm", [("", "client"), ("server", "server"), ("favor_server", "server")])
def test_configured_folder_with_client_and_server(app, tmp_path, registry, jvm_type, vm):
    rt = make_runtime(tmp_path / "rt", vms=("client", "server"))
    write_ini(app, f"JRE Path={win_path(rt)}\nJVM Type={jvm_type}\n")
    assert chosen(launch(app)) == lib(rt, vm)


def test_server_only_refuses_a_client_runtime_everywhere(app, tmp_path, registry):
    rt = make_runtime(tmp_path / "rt", vms=("client",))
    registry.add(2, "17.0.2", win_path(rt))
    registry.apply()
    write_ini(app, f"JRE Path={win_path(rt)}\nJVM Type=server\n")
    result = launch(app, env={"JAVA_HOME": win_path(rt)})
    assert chosen(result) is None
    assert result.exit_code == MINUS_ONE
    assert result.stdout_lines == ["Error: The Java Runtime Environment (JRE) was not found. Please  download and "
                                   "install a JRE with a server JVM (latest version) from: https://adoptium.net/ "], result


def test_configured_folder_wins_over_java_home(app, tmp_path, registry):
    configured = make_runtime(tmp_path / "configured")
    home = make_runtime(tmp_path / "home")
    write_ini(app, f"JRE Path={win_path(configured)}\n")
    assert chosen(launch(app, env={"JAVA_HOME": win_path(home)})) == lib(configured)


def test_launcher_inside_a_runtime_folder(app, registry):
    make_runtime(app.dir, vms=("server",))
    make_runtime(app.dir / "jre64", vms=("client",))
    write_ini(app)
    assert chosen(launch(app)) == lib(app.dir)


def test_jre64_beside_the_launcher(app, tmp_path, registry):
    make_runtime(app.dir / "jre64", vms=("server",))
    write_ini(app)
    result = launch(app)
    assert chosen(result) == lib(app.dir / "jre64")


@pytest.mark.parametrize("library", [None, "folder"])  # none, or a folder named jvm.dll
def test_jre64_without_library_falls_through_to_the_registry(app, tmp_path, registry, library):
    make_runtime(app.dir / "jre64", vms=())
    if library == "folder":
        (app.dir / "jre64" / "bin" / "server" / "jvm.dll").mkdir(parents=True)
    jdk = make_runtime(tmp_path / "jdk17")
    registry.add(1, "17.0.2", win_path(jdk))
    registry.apply()
    write_ini(app)
    assert chosen(launch(app)) == lib(jdk)


def test_java_dll_in_launcher_folder_hides_jre64(app, tmp_path, registry):
    make_runtime(app.dir, vms=())
    make_runtime(app.dir / "jre64", vms=("server",))
    write_ini(app)
    result = launch(app)
    assert chosen(result) is None
    assert result.exit_code == MINUS_ONE
    assert "no Java runtime found" in result.trace()
    assert result.stdout_lines == ["Error: The Java Runtime Environment (JRE) was not found. Please  download and "
                                   "install a JRE (latest version) from: https://adoptium.net/ "], result


def test_registry_wins_over_java_home(app, tmp_path, registry):
    jre = make_runtime(tmp_path / "jre")
    home = make_runtime(tmp_path / "home")
    registry.add(2, "1.8.0_301", win_path(jre))
    registry.apply()
    write_ini(app)
    assert chosen(launch(app, env={"JAVA_HOME": win_path(home)})) == lib(jre)


@pytest.mark.parametrize("with_slash", [False, True])
def test_java_home_is_the_last_place(app, tmp_path, registry, with_slash):
    home = make_runtime(tmp_path / "home", vms=("hotspot",))
    write_ini(app)
    value = win_path(home) + ("\\" if with_slash else "")
    assert chosen(launch(app, env={"JAVA_HOME": value})) == lib(home, "hotspot")


@pytest.mark.parametrize("value", ["", "Z:\\no\\such\\folder", "%UNSET_VARIABLE_XYZ%"])
def test_java_home_without_a_runtime_is_skipped(app, tmp_path, registry, value):
    write_ini(app)
    result = launch(app, env={"JAVA_HOME": value})
    assert chosen(result) is None
    assert result.exit_code == MINUS_ONE
    assert len(result.stdout_lines) == 1 and result.stdout_lines[0].startswith("Error: "), result


# --- the registry selection rules -----------------------------------------------------------

@pytest.fixture
def jdk17_jre8(tmp_path, registry):
    jdk = make_runtime(tmp_path / "jdk17")
    jre = make_runtime(tmp_path / "jre8")
    registry.add(1, "17.0.2", win_path(jdk))
    registry.add(2, "1.8.0_301", win_path(jre))
    registry.apply()
    return jdk, jre


@pytest.mark.parametrize("source, provider, expected", [
    ("", "", "jdk"),                 # both favoured: the highest version
    ("favor_JRE", "", "jre"),        # the favoured JRE before the newer JDK
    ("favor_JRE", "any", "jdk"),     # nothing favoured: the highest version
    ("favor_JDK", "", "jdk"),
    ("only_JRE", "", "jre"),
    ("only_JDK", "favor_jrockit", "jdk"),
])
def test_kind_and_provider(app, jdk17_jre8, source, provider, expected):
    jdk, jre = jdk17_jre8
    write_ini(app, f"JVM Source={source}\nVM Provider={provider}\n")
    assert chosen(launch(app)) == lib(jdk if expected == "jdk" else jre)


def test_unknown_jvm_source_searches_no_registry_key(app, jdk17_jre8):
    write_ini(app, "JVM Source=JRE\n")
    result = launch(app)
    assert chosen(result) is None
    assert any("not searched under the JVM Source" in line for line in result.trace())


def test_favor_server_prefers_an_older_server_vm(app, tmp_path, registry):
    client17 = make_runtime(tmp_path / "client17", vms=("client",))
    server11 = make_runtime(tmp_path / "server11", vms=("server",))
    registry.add(1, "17.0.2", win_path(client17))
    registry.add(1, "11.0.12", win_path(server11))
    registry.apply()
    write_ini(app, "JVM Type=favor_server\n")
    assert chosen(launch(app)) == lib(server11)
    write_ini(app)
    assert chosen(launch(app)) == lib(client17, "client")


def test_public_jre_key_ranks_by_client_under_favor_server_but_loads_server(app, tmp_path, registry):
    both = make_runtime(tmp_path / "both", vms=("client", "server"))
    registry.add(4, "17", win_path(both))
    registry.apply()
    write_ini(app, "JVM Type=favor_server\n")
    result = launch(app)
    assert any(line.endswith(r"\bin\client\jvm.dll, favoured") for line in result.trace()), result
    assert chosen(result) == lib(both, "server")


@pytest.mark.parametrize("preferred, expected", [
    ("11;1.8", "11"),
    ("1.7", "17"),
    ("1.6;;1.8", "17"),   # the empty item matches every runtime
    ("1.8", "8"),
])
def test_preferred_versions(app, tmp_path, registry, preferred, expected):
    folders = {}
    for name, key, version in (("17", 1, "17.0.2"), ("11", 1, "11.0.12"), ("8", 2, "1.8.0_301")):
        folders[name] = make_runtime(tmp_path / f"rt{name}")
        registry.add(key, version, win_path(folders[name]))
    registry.apply()
    write_ini(app, f"Preferred versions={preferred}\n")
    assert chosen(launch(app)) == lib(folders[expected])


def test_version_range_filters_before_reading_java_home(app, tmp_path, registry):
    rt11 = make_runtime(tmp_path / "rt11")
    rt17 = make_runtime(tmp_path / "rt17")
    registry.add(1, "17.0.2", win_path(rt17))
    registry.add(1, "11.0.12", win_path(rt11))
    registry.add(1, "21", raw="hex:41")  # out of range: never read
    registry.apply()
    write_ini(app, "Minimum Version=11\nMaximum Version=11\n")
    result = launch(app)
    assert chosen(result) == lib(rt11)
    assert any("17.0.2.0 skipped, outside" in line for line in result.trace())


def test_duplicate_subkeys_and_old_jdk_key(app, tmp_path, registry):
    jdk = tmp_path / "jdk8"
    make_runtime(jdk / "jre")
    registry.add(3, "1.8", win_path(jdk))
    registry.add(3, "1.8.0_281", win_path(jdk))
    registry.apply()
    write_ini(app, "Preferred versions=1.8\n")
    result = launch(app)
    assert chosen(result) == lib(jdk / "jre")
    assert any("selected 1.8.0.281" in line for line in result.trace()), result


def test_providers_jrockit_and_ibm(app, tmp_path, registry):
    sun = make_runtime(tmp_path / "sun17")
    ibm = make_runtime(tmp_path / "ibm8", vms=("classic",))
    jrockit = tmp_path / "jrockit"
    make_runtime(jrockit / "jre", vms=("jrockit",))
    registry.add(1, "17", win_path(sun))
    registry.add(7, "1.8.0", win_path(ibm))
    registry.add(6, "1.6.0_20", win_path(jrockit))
    registry.apply()
    write_ini(app, "VM Provider=favor_ibm\n")
    assert chosen(launch(app)) == lib(ibm, "classic")
    write_ini(app, "VM Provider=jrockit\n")
    assert chosen(launch(app)) == lib(jrockit / "jre", "jrockit")
    write_ini(app, "VM Provider=ibm\nJVM Source=only_JDK\n")
    assert chosen(launch(app)) is None


def test_unusable_java_home_data_is_skipped(app, tmp_path, registry):
    good = make_runtime(tmp_path / "good")
    bad = make_runtime(tmp_path / "C")  # what a misread "C:" could turn into
    registry.add(1, "30", raw="hex:43,00,3a,00,00")           # odd byte length
    registry.add(1, "29", raw="hex:43,00,3a,00")              # no terminating NUL
    registry.add(1, "28", raw='""')                           # empty
    registry.add(1, "27", raw='dword:00000000')               # nothing before the NUL
    registry.add(1, "11", win_path(good))
    registry.apply()
    write_ini(app)
    result = launch(app)
    assert chosen(result) == lib(good)
    trace = "\n".join(result.trace())
    assert "30.0.0.0 skipped, JavaHome data odd byte length" in trace
    assert "29.0.0.0 skipped, JavaHome data no terminating NUL" in trace
    assert "28.0.0.0 skipped, JavaHome data empty" in trace
    assert "27.0.0.0 skipped, JavaHome data empty" in trace
    assert win_path(bad) not in trace


def test_registry_home_without_library_falls_through(app, tmp_path, registry):
    nolib = make_runtime(tmp_path / "nolib", vms=())
    home = make_runtime(tmp_path / "home")
    registry.add(1, "17", win_path(nolib))
    registry.apply()
    write_ini(app)
    result = launch(app, env={"JAVA_HOME": win_path(home)})
    assert chosen(result) == lib(home)
    assert any("17.0.0.0 skipped, no usable jvm.dll" in line for line in result.trace())


# --- the 32-bit view, the machine check and the hand-over --------------------------------------

def pair_program(app, name="Tool32.exe"):
    target = app.dir / name
    shutil.copyfile(PAIR, target)
    return target


def recorded_command_line(pair):
    record = pair.with_name(pair.name + ".cmdline")
    return record.read_text(encoding="utf-8") if record.exists() else None


def test_32bit_view_needs_a_pair_product(app, tmp_path, registry):
    jre32 = make_runtime(tmp_path / "jre32", vms=("client",))
    registry.add(2, "1.8.0_301", win_path(jre32), view=32)
    registry.apply()
    write_ini(app)
    result = launch(app)
    assert chosen(result) is None
    assert "registry 32-bit view: not searched, no Pair Product" in result.trace()


@pytest.mark.parametrize("return_code, expected", [("", 0), ("Yes", 3), ("yes", 3)])
def test_hand_over_from_the_32bit_view(app, tmp_path, registry, return_code, expected):
    jre32 = make_runtime(tmp_path / "jre32", vms=("client",))
    registry.add(2, "1.8.0_301", win_path(jre32), view=32)
    registry.apply()
    pair = pair_program(app)
    write_ini(app, application=f"Pair Product={win_path(pair)}\nPair Return Code={return_code}\n")
    args = 'first "second arg" third'
    result = app.run(args, env={"DISPLAY": None}, trace=True, timeout=30)
    assert chosen(result) == lib(jre32, "client")
    assert result.exit_code == expected, result
    # The pair program writes to the launcher's own (here redirected) standard output.
    assert result.stdout_lines == ["pair standard output (handles passed)"], result
    if expected == 3:
        assert recorded_command_line(pair) == app.command_line(args)


def test_native_view_runtime_is_not_handed_over(app, tmp_path, registry):
    jre64 = make_runtime(tmp_path / "jre64")
    jre32 = make_runtime(tmp_path / "jre32", vms=("client",))
    registry.add(2, "11", win_path(jre64))
    registry.add(2, "17", win_path(jre32), view=32)
    registry.apply()
    pair = pair_program(app)
    write_ini(app, application=f"Pair Product={win_path(pair)}\nPair Return Code=Yes\n")
    result = launch(app)
    assert chosen(result) == lib(jre64)
    assert "hand-over: no, this process loads it" in result.trace()
    assert recorded_command_line(pair) is None


def test_missing_pair_program_is_an_error(app, tmp_path, registry):
    jre32 = make_runtime(tmp_path / "jre32", vms=("client",))
    registry.add(2, "1.8", win_path(jre32), view=32)
    registry.apply()
    missing = win_path(app.dir / "Missing32.exe")
    write_ini(app, application=f"Pair Product={missing}\n")
    result = launch(app)
    assert result.exit_code == MINUS_ONE
    # Message 202 ends with its own line feed, before the error line's closing space.
    assert result.stdout_lines == [f"Error: Windows exception: {missing} (errno = 2).", " "], result


@pytest.mark.parametrize("image, handed_over, reason", [
    ("pe32", True, "machine 0x014C"),
    ("pe64", False, "machine 0x8664"),
    ("text", False, "no MZ header"),
    ("truncated", False, "NT headers outside the file"),
    ("lfanew_outside", False, "NT headers outside the file"),
    ("empty", False, "too small"),
])
def test_machine_check_of_the_configured_library(app, tmp_path, registry, image, handed_over, reason):
    rt = make_runtime(tmp_path / "rt")
    target = rt / "bin" / "server" / "jvm.dll"
    if image == "pe32":
        shutil.copyfile(PE32, target)
    elif image == "pe64":
        shutil.copyfile(PE64, target)
    elif image == "text":
        target.write_text("this is not a DLL\n" * 20)
    elif image == "truncated":
        data = PE64.read_bytes()
        lfanew = struct.unpack_from("<I", data, 0x3C)[0]
        target.write_bytes(data[:lfanew + 10])
    elif image == "lfanew_outside":
        data = bytearray(PE64.read_bytes())
        struct.pack_into("<I", data, 0x3C, len(data) + 0x1000)
        target.write_bytes(bytes(data))
    pair = pair_program(app)
    write_ini(app, f"JRE Path={win_path(rt)}\n", f"Pair Product={win_path(pair)}\nPair Return Code=Yes\n")
    result = launch(app)
    assert chosen(result) == lib(rt)
    check = [line for line in result.trace() if line.startswith("machine check ")]
    assert len(check) == 1 and reason in check[0], result
    if handed_over:
        assert result.exit_code == 3, result
        assert recorded_command_line(pair) == app.command_line()
    else:
        assert result.exit_code == MINUS_ONE  # the fake runtime cannot be loaded
        assert recorded_command_line(pair) is None


@pytest.mark.parametrize("place", [
    "registry",    # registered as the newest, an x64 one second: the x64 one runs
    "configured",  # alone: the line names the architecture
])
def test_arm64_runtime(app, tmp_path, registry, place):
    foreign = make_runtime(tmp_path / "foreign")
    data = bytearray(PE64.read_bytes())
    struct.pack_into("<H", data, struct.unpack_from("<I", data, 0x3C)[0] + 4, 0xAA64)
    (foreign / "bin" / "server" / "jvm.dll").write_bytes(data)
    if place == "registry":
        x64 = make_runtime(tmp_path / "x64", library=PE64)
        registry.add(1, "21", win_path(foreign))
        registry.add(1, "17", win_path(x64))
        registry.apply()
        write_ini(app)
    else:
        write_ini(app, f"JRE Path={win_path(foreign)}\n")
    result = launch(app)
    skipped = [line for line in result.trace() if f"{lib(foreign)} is a runtime for ARM64" in line]
    assert len(skipped) == 1, result
    assert result.exit_code == MINUS_ONE
    if place == "registry":
        assert chosen(result) == lib(x64)
    else:
        assert chosen(result) is None
        assert result.stdout_lines == [
            f"Error: {lib(foreign)} is a runtime for ARM64; this launcher needs an x64 runtime. "], result


def test_override_working_dir(app, tmp_path, registry):
    elsewhere = tmp_path / "elsewhere"
    elsewhere.mkdir()
    rt = make_runtime(tmp_path / "rt")
    write_ini(app, f"JRE Path={win_path(rt)}\n", "Override WorkingDir=yes\n")
    result = app.run(env={"DISPLAY": None}, trace=True, cwd=elsewhere)
    assert f"working directory {win_path(app.dir)}: set" in result.trace()
    assert chosen(result) == lib(rt)
