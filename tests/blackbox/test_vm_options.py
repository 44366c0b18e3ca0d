"""What reaches JNI_CreateJavaVM: the VM option list in its order, the class path built on disk,
percentage sizes, the environment published for the VM, the Java thread's stack size, and every
failure of loading the library or creating the VM with its console line and exit code -1.

The runtime is the test runtime (tests/testjvm) in "<app>\\jre64", found beside the launcher; it
logs the options it received to the file named by TESTJVM_LOG.
"""
import re
import shutil
import subprocess

import pytest

from conftest import TOOLS_DIR, win_path

MINUS_ONE = 0xFFFFFFFF
TESTJVM = TOOLS_DIR / "testjvm"


class Runtime:
    """The test runtime installed as <app>\\jre64 (found beside the launcher)."""

    def __init__(self, folder):
        self.folder = folder
        self.library = folder / "bin" / "server" / "jvm.dll"
        shutil.copytree(TESTJVM / "runtime", folder)

    def use(self, variant):
        """Puts a variant (a name in the test runtime's folder, or a path) in place of jvm.dll."""
        self.library.unlink()
        shutil.copyfile(TESTJVM / variant if isinstance(variant, str) else variant, self.library)
        return self.library


@pytest.fixture
def runtime(app):
    if not (TESTJVM / "runtime").exists():
        pytest.skip("the test runtime is not built")
    return Runtime(app.dir / "jre64")


class Launch:
    """One run of the launcher with the test runtime's log read back."""

    def __init__(self, app, tmp_path):
        self.app = app
        self.log_path = tmp_path / "testjvm.log"

    def run(self, args="", env=None, trace=True):
        full_env = {"TESTJVM_LOG": win_path(self.log_path)}
        full_env.update(env or {})
        self.result = self.app.run(args, env=full_env, trace=trace)
        self.log = self.log_path.read_text(encoding="utf-8").splitlines() if self.log_path.exists() else []
        return self.result

    def options(self):
        """(option string, has extraInfo) in the order JNI_CreateJavaVM received them."""
        found = []
        for line in self.log:
            match = re.fullmatch(r"option (\d+) (.*) extraInfo=(yes|no)", line)
            if match:
                assert int(match.group(1)) == len(found), self.log
                found.append((match.group(2), match.group(3) == "yes"))
        return found

    def option_strings(self):
        return [text for text, _ in self.options()]

    def record(self, prefix):
        return [line[len(prefix):] for line in self.log if line.startswith(prefix)]


@pytest.fixture
def launch(app, runtime, tmp_path):
    return Launch(app, tmp_path)


def settings(class_path="lib\\*.jar", parameters=None, jre="", application="", extra=""):
    text = "[Java Runtime Environment]\nMain Class=com.example.Main\n"
    if parameters is not None:
        text += f"Virtual Machine Parameters={parameters}\n"
    text += jre
    text += "[Application]\n" + application
    if class_path is not None:
        text += f"[Class Path]\nClass Path={class_path}\n"
    return text + extra


def make_files(folder, *names):
    folder.mkdir(parents=True, exist_ok=True)
    for name in names:
        (folder / name).write_bytes(b"PK")


def test_options_reach_the_vm_in_order_library_path_first(app, launch):
    make_files(app.dir / "lib", "a.jar")
    app.write_ini(settings(class_path="lib\\*.jar;C:\\shared\\x.jar",
                           parameters='-Xmx512m  -Dname="a b" "-Dx=1 2" -Dlast=1',
                           jre="Library Path=C:\\native\n"))
    result = launch.run()
    assert result.exit_code == 0, result
    options = launch.options()
    home = app.win()
    library = options[0][0]
    assert library.startswith(f"-Djava.library.path=C:\\native;{home}\\;.;"), library
    assert library.endswith(f";{home}\\jre64\\lib"), library
    # Expanded with the Path from before the runtime's bin folder was added.
    assert f"{home}\\jre64\\bin" not in library
    assert options[1:] == [
        (f"-Djava.class.path={home}\\lib\\a.jar;C:\\shared\\x.jar", False),
        ("-Xmx512m", False),
        ("-Dname=a b", False),
        ("-Dx=1 2", False),
        ("-Dlast=1", False),
        ("abort", True),
        ("exit", True),
    ]
    assert launch.record("create ") == ["version=0x00010002 ignoreUnrecognized=0"]
    # The trace shows the same list as handed over.
    traced = [line for line in result.trace() if line.startswith("VM option ")]
    assert traced[1] == f"VM option 1: -Djava.class.path={home}\\lib\\a.jar;C:\\shared\\x.jar"
    assert traced[-2:] == ["VM option 6: abort (hook)", "VM option 7: exit (hook)"]
    assert "VM created" in result.trace()


def test_without_library_path_the_class_path_comes_first(app, launch):
    make_files(app.dir, "app.jar")
    app.write_ini(settings(class_path="app.jar"))
    result = launch.run()
    assert result.exit_code == 0, result
    assert launch.options() == [(f"-Djava.class.path={app.win()}\\app.jar", False), ("abort", True), ("exit", True)]


def test_class_path_items_resolve_on_disk(app, launch):
    make_files(app.dir / "lib", "a.jar", "b.jar", "C.JAR", "readme.txt", "old.jar_bak")
    (app.dir / "lib" / "classes.jar").mkdir()
    make_files(app.dir, "app.jar")
    app.write_ini(settings(
        class_path="lib\\*.jar;app.jar;missing.jar;nothing\\*.jar;C:\\shared\\absent.jar;%SHARED_JARS%\\y.jar;\\app.jar"))
    result = launch.run(env={"SHARED_JARS": "D:\\shared"})
    assert result.exit_code == 0, result
    home = app.win()
    class_path = launch.option_strings()[0]
    assert class_path.startswith("-Djava.class.path=") and not class_path.endswith(";")
    entries = class_path[len("-Djava.class.path="):].split(";")
    # Wildcards list the files whose names match, in directory order (compared as a set here);
    # not the folder classes.jar.
    matched = entries[:3]
    assert sorted(matched) == sorted(f"{home}\\lib\\{name}" for name in ("a.jar", "b.jar", "C.JAR"))
    assert entries[3:] == [
        f"{home}\\app.jar",                        # relative, exists
        "C:\\shared\\absent.jar",                  # absolute: taken without looking
        "D:\\shared\\y.jar",                      # expanded, then absolute
        f"{home}\\\\app.jar",                      # one backslash: relative
    ]


def test_embedded_jar_puts_the_launcher_first(app, launch):
    make_files(app.dir / "lib", "a.jar")
    app.write_ini(settings(application="Embedded Jar=YES\n"))
    launch.run()
    assert launch.option_strings()[0] == f"-Djava.class.path={app.win(app.exe)};{app.win()}\\lib\\a.jar"


def test_empty_class_path_prints_209_and_the_run_goes_on(app, launch):
    app.write_ini(settings(class_path=None, parameters="-Dnever=1 -Xss8m", application="Cmd=extra\n"))
    result = launch.run("first")
    assert result.stdout_lines == ["Error: Java Class Path was not specified in INI file. "]
    # Everything but the class path still reaches the VM and main.
    assert launch.option_strings()[:2] == ["-Dnever=1", "-Xss8m"]
    assert launch.record("args ") == ["2"]
    assert result.exit_code == 0, result


def test_cmd_arguments_follow_the_command_line(app, launch):
    make_files(app.dir / "lib", "a.jar")
    app.write_ini(settings(application='Cmd=a "b c"  "" d\n'))
    result = launch.run("first")
    assert result.exit_code == 0, result
    assert launch.record("args ") == ["4"]
    texts = [re.sub(r"^\d+ units=\S* text=", "", line) for line in launch.record("arg ")]
    assert texts == ["first", "a", "b c", "d"]


def test_percentage_sizes_are_rewritten(app, launch):
    make_files(app.dir / "lib", "a.jar")
    app.write_ini(settings(parameters="-Xmx0:512P -Xms100:0:1024P -Xmx50P -Xmx50%P -XMX50P -Xmx512m"))
    launch.run()
    options = launch.option_strings()
    assert options[1:3] == ["-Xmx524288K", "-Xms1048576K"]
    total_kb = int(re.search(r"MemTotal:\s+(\d+)", open("/proc/meminfo").read()).group(1))
    for option in options[3:5]:
        half = int(re.fullmatch(r"-Xmx(\d+)K", option).group(1))
        assert abs(half - total_kb / 2) < total_kb / 100, (option, total_kb)
    assert options[5:7] == ["-XMX50P", "-Xmx512m"]  # not percentage options: unchanged


def test_sizes_beyond_two_to_the_31_kilobytes_are_written_exactly(app, launch):
    make_files(app.dir / "lib", "a.jar")
    app.write_ini(settings(parameters="-Xmx50T"))
    launch.run()
    option = launch.option_strings()[1]
    size = int(re.fullmatch(r"-Xmx(\d+)K", option).group(1))
    # Half of a 64-bit process's free address space: terabytes, far above 2^31 KB.
    assert size >= 2 ** 31, option


@pytest.mark.parametrize("parameters, env, stack_size, reserve", [
    ("-Xss8m", {}, 8388608, 8388608),
    ("-Xss0:8P", {}, 8388608, 8388608),                        # rewritten to -Xss8192K, then read
    ("-Xss1088k", {}, 1114112, 1114112),                       # reserved as asked, not committed
    ("", {"TESTJVM_STACK_SIZE": "16777216"}, 16777216, 16777216),  # the VM's default
    ("", {"TESTJVM_STACK_SIZE": "0"}, 0, None),                 # the executable's default
    ("", {"TESTJVM_STACK_SIZE": "-1"}, 0, None),
])
def test_java_thread_stack_size(app, launch, parameters, env, stack_size, reserve):
    make_files(app.dir / "lib", "a.jar")
    app.write_ini(settings(parameters=parameters))
    result = launch.run(env=env)
    assert result.exit_code == 0, result
    traced = [line for line in result.trace() if line.startswith("Java thread stack size ")]
    assert traced and traced[0].split()[4] == str(stack_size), traced
    reserved = int(launch.record("thread-stack-reserve ")[0])
    if reserve is not None:
        assert reserved == reserve
    if parameters.startswith("-Xss"):
        assert launch.option_strings()[1].startswith("-Xss")  # the option stays for the VM


def test_environment_is_published_before_options_are_expanded(app, launch):
    make_files(app.dir / "lib", "a.jar")
    app.write_ini(settings(
        parameters="-Dhome=%KESTRAN_JVM_HOME% -Djvm=%KESTRAN_JVM_PATH% -Dpath=%Path%",
        jre="System Path=C:\\sys\n"))
    result = launch.run(env={"KESTRAN_JVM_HOME": "stale"})
    assert result.exit_code == 0, result
    home = app.win()
    options = launch.option_strings()
    assert options[1] == f"-Dhome={home}\\jre64"
    assert options[2] == f"-Djvm={home}\\jre64\\bin\\server\\jvm.dll"
    path = options[3]
    # The runtime's bin folder right after "System Path", ahead of the previous Path.
    assert path.startswith(f"-Dpath=C:\\sys;{home}\\jre64\\bin;C:\\windows"), path
    assert launch.record("dll-directory ") == [f"{home}\\jre64\\bin"]
    assert "%" not in path


LUKASZ = "\u0141ukasz \u0418\u0432\u0430\u043d"
LONG_FOLDER = "r" * 120 + "\\" + "t" * 120 + "\\" + "u" * 60


@pytest.mark.parametrize("case, folder, parameters, jre, application, error, option", [
    # A folder the code page cannot represent: its short name (Wine makes them too), never L or ?.
    ("folder", LUKASZ, None, "", "", None, None),
    ("value", "app", "-Dcity=K\u00f8benhavn -Dname=\u0416", "", "", ("-Dname", "U+0416"), None),
    ("kept", "app", "-Dcity=K\u00f8benhavn", "", "", None, "-Dcity=K\u00f8benhavn"),
    # A runtime beyond 260 characters is loaded through the form its probe used.
    ("long runtime", "app", None, f"JRE Path={LONG_FOLDER}\n", "", None, None),
    # A relative output file lands beside the launcher, not in the working directory.
    ("output", "app", "-Dtestjvm.main=print:hi", "", "Output File=out\\run.log\n", None, None),
])
def test_options_and_paths_reach_the_vm_intact(make_app, tmp_path, case, folder, parameters, jre, application, error,
                                                option):
    app = make_app(folder)
    Runtime(app.dir / (LONG_FOLDER.replace("\\", "/") if jre else "jre64"))
    launch = Launch(app, tmp_path)
    make_files(app.dir / "lib", "a.jar")
    app.write_ini(settings(parameters=parameters, jre=jre, application=application), encoding="utf-16-le", bom=True)
    result = launch.run()
    if error:
        name, code = error
        assert len(result.stdout_lines) == 1, result
        line = result.stdout_lines[0]
        assert line.startswith(f"Error: The VM option {name} holds the character ") and f"({code})" in line, line
        assert result.exit_code == MINUS_ONE
        assert launch.record("create ") == []
        return
    assert result.exit_code == 0, result
    assert result.stdout_lines == []
    if option:
        assert option in launch.option_strings()
    if case == "folder":
        class_path = launch.option_strings()[0]
        assert class_path.isascii() and "~" in class_path and "?" not in class_path, class_path
        assert class_path.endswith("\\lib\\a.jar") and "Lukasz" not in class_path, class_path
    if case == "output":
        assert (app.dir / "out" / "run.log").read_text().splitlines() == ["hi"]


@pytest.mark.parametrize("variant, error", [("jvm32.dll", None), ("text", 193)])
def test_unloadable_library_prints_222(app, runtime, launch, variant, error):
    make_files(app.dir / "lib", "a.jar")
    app.write_ini(settings())
    target = runtime.library
    if variant == "text":
        target.write_text("not a library")
    else:
        runtime.use(variant)
    result = launch.run()
    # A 32-bit runtime is not even loaded: without a pair program to run it, the search skips it.
    explained = [f"Error: {win_path(target)} is a 32-bit Java runtime; this launcher needs a 64-bit one. "]
    assert result.stdout_lines == (explained if variant == "jvm32.dll" else
                                   [f"Error: Failed to load Java VM library: {win_path(target)} (errno = {error}).", " "])
    assert result.exit_code == MINUS_ONE
    assert launch.log == []


@pytest.fixture(scope="session")
def dependent_library(tmp_path_factory):
    """A jvm.dll that imports vmdep.dll, and that vmdep.dll; creation answers JNI_ENOMEM."""
    gcc = shutil.which("x86_64-w64-mingw32-gcc-posix") or shutil.which("x86_64-w64-mingw32-gcc")
    if gcc is None:
        pytest.skip("no mingw compiler")
    folder = tmp_path_factory.mktemp("dependent")
    (folder / "vmdep.c").write_text("__declspec(dllexport) int vmdep_answer(void) { return -4; }\n")
    (folder / "jvm.c").write_text(
        "__declspec(dllimport) int vmdep_answer(void);\n"
        "__declspec(dllexport) int JNI_CreateJavaVM(void **vm, void **env, void *args)"
        " { (void)vm; (void)env; (void)args; return vmdep_answer(); }\n"
        "__declspec(dllexport) int JNI_GetDefaultJavaVMInitArgs(void *args) { (void)args; return -1; }\n")
    subprocess.run([gcc, "-shared", "-o", str(folder / "vmdep.dll"), str(folder / "vmdep.c"),
                    f"-Wl,--out-implib,{folder / 'libvmdep.a'}"], check=True)
    subprocess.run([gcc, "-shared", "-o", str(folder / "jvm.dll"), str(folder / "jvm.c"),
                    "-L", str(folder), "-lvmdep"], check=True)
    return folder


def test_dependencies_are_found_in_the_runtimes_bin_folder(app, runtime, launch, dependent_library):
    make_files(app.dir / "lib", "a.jar")
    app.write_ini(settings())
    target = runtime.use(dependent_library / "jvm.dll")
    result = launch.run()
    assert result.stdout_lines == [f"Error: Failed to load Java VM library: {win_path(target)} (errno = 126).", " "]
    assert result.exit_code == MINUS_ONE

    shutil.copyfile(dependent_library / "vmdep.dll", runtime.folder / "bin" / "vmdep.dll")
    result = launch.run()
    assert result.stdout_lines == ["Error: JNI exception: failed to create the Java VM",
                                   "Reason: not enough memory.", " "]
    assert result.exit_code == MINUS_ONE


@pytest.mark.parametrize("variant, missing", [("jvm_nocreate.dll", "JNI_CreateJavaVM"),
                                              ("jvm_nodefaults.dll", "JNI_GetDefaultJavaVMInitArgs")])
def test_library_without_entry_points_prints_212(app, runtime, launch, variant, missing):
    make_files(app.dir / "lib", "a.jar")
    app.write_ini(settings())
    runtime.use(variant)
    result = launch.run()
    assert result.stdout_lines == ["Error: Windows exception: cannot find CreateJavaVM JNI (errno = 127).", " ",
                                   f"Error: The Java VM library does not export {missing}. "]
    assert result.exit_code == MINUS_ONE
    assert launch.log == []


def test_library_without_boot_loader_lookup_still_runs(app, runtime, launch):
    make_files(app.dir / "lib", "a.jar")
    app.write_ini(settings())
    runtime.use("jvm_noboot.dll")
    result = launch.run()
    assert result.exit_code == 0, result
    assert any(line.endswith("(no JVM_FindClassFromBootLoader)") for line in result.trace())


@pytest.mark.parametrize("code, reason", [
    (-1, "unknown"),
    (-4, "not enough memory"),
    (-6, "invalid arguments"),
    (-7, ""),  # not a JNI error code: no reason text
])
def test_failed_creation_prints_203_with_the_reason(app, launch, code, reason):
    make_files(app.dir / "lib", "a.jar")
    app.write_ini(settings(parameters=f"-Dtestjvm.create={code}"))
    result = launch.run()
    assert result.stdout_lines == ["Error: JNI exception: failed to create the Java VM", f"Reason: {reason}.", " "]
    assert result.exit_code == MINUS_ONE
    assert launch.record("create-result ") == [str(code)]
    assert f"VM creation failed with {code}" in result.trace()
