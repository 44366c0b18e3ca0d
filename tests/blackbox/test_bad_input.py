"""Hostile input that once ended in a runaway, a lost setting or a misleading error: each
scenario names the launch and what must come out of it."""
import re
import shutil
import subprocess

from conftest import TOOLS_DIR, win_path
from test_runtime_search import PE32, chosen, make_runtime

MINUS_ONE = 0xFFFFFFFF


def pair_settings(app, runtime, pair):
    app.write_ini(f"[Java Runtime Environment]\nMain Class=a.B\nJRE Path={win_path(runtime)}\n"
                  f"[Application]\nPair Product={win_path(pair)}\nPair Return Code=Yes\n")


def test_a_hand_over_never_loops(make_app, tmp_path):
    jre32 = make_runtime(tmp_path / "jre32", library=PE32)
    own = make_app("self")
    pair_settings(own, jre32, own.exe)
    result = own.run(env={"DISPLAY": None}, timeout=30)
    assert result.exit_code == MINUS_ONE, result
    assert result.stdout_lines == [f"Error: The setting Pair Product names this launcher itself: {own.win(own.exe)}. "]

    first, second = make_app("first"), make_app("second", exe="Other.exe")
    pair_settings(first, jre32, second.exe)
    pair_settings(second, jre32, first.exe)
    result = first.run(env={"DISPLAY": None}, timeout=30)
    assert result.exit_code == MINUS_ONE, result
    assert result.stdout_lines == ["Error: This launcher was started by a hand-over and does not hand over again "
                                   f"to {first.win(first.exe)}. "]


def test_quoted_list_values_keep_their_items(app, launch):
    (app.dir / "lib").mkdir()
    (app.dir / "lib" / "a b.jar").write_bytes(b"PK")
    app.write_ini('[Java Runtime Environment]\nMain Class=com.example.Main\n'
                  'Virtual Machine Parameters="-Dapp.home=C:\\Program Files\\App" -Xmx64m "-Dlog.dir=C:\\My Logs"\n'
                  '[Application]\nCmd="first arg" "second arg"\n'
                  '[Class Path]\nClass Path="C:\\x y\\z.jar";"lib\\a b.jar"\n')
    result = launch.run()
    assert result.exit_code == 0, result
    options = [re.sub(r"^\d+ (.*) extraInfo=\w+$", r"\1", line) for line in launch.record("option ")]
    assert options[:4] == [f"-Djava.class.path=C:\\x y\\z.jar;{app.win()}\\lib\\a b.jar;",
                           "-Dapp.home=C:\\Program Files\\App", "-Xmx64m", "-Dlog.dir=C:\\My Logs"]
    texts = [re.sub(r"^\d+ units=\S* text=", "", line) for line in launch.record("arg ")]
    assert texts == ["first arg", "second arg"]


def test_baked_settings_with_line_feeds_and_any_case(app, tmp_path):
    data = tmp_path / "base.ini"
    data.write_bytes(b"[java runtime environment] ; defaults\nmain class=baked.Main\nminimum version=11\n")
    stamp = subprocess.run([app.wine.loader, str(TOOLS_DIR / "resource_stamp.exe"), win_path(app.exe), "10",
                            "KESTRAN_SETTINGS", win_path(data)], env=app.wine.base_environment(), capture_output=True)
    assert stamp.returncode == 0, stamp.stderr
    result = app.run(trace=True)
    assert any(line.startswith("main class baked/Main,") for line in result.trace()), result


def test_no_per_user_file_without_product_names(app):
    stray = app.appdata / "Tool.ini"
    stray.parent.mkdir(parents=True, exist_ok=True)
    stray.write_bytes(b"[Java Runtime Environment]\r\nJRE Path=E:\\stray\r\n")
    try:
        app.write_ini("[Java Runtime Environment]\nMain Class=a.B\nJRE Path=D:\\configured\n")
        result = app.run(trace=True)
        assert "main class a/B, JRE path D:\\configured" in result.trace(), result
    finally:
        stray.unlink()


def test_relative_java_home_is_loaded_from_where_it_was_probed(app, tmp_path):
    make_runtime(tmp_path / "cwd" / "rel")
    app.write_ini("[Java Runtime Environment]\nMain Class=a.B\nJRE Path=C:\\none\n")
    result = app.run(env={"DISPLAY": None, "JAVA_HOME": "rel"}, trace=True, cwd=tmp_path / "cwd")
    assert chosen(result) == win_path(tmp_path / "cwd" / "rel") + "\\bin\\server\\jvm.dll", result


def test_settings_path_that_is_a_folder_is_named(app):
    app.ini.mkdir()
    result = app.run()
    assert result.stdout_lines == [f"Error: The settings file {app.win(app.ini)} is a folder, not a file. ",
                                   "Error: Main class was not specified in INI file. "]
    shutil.rmtree(app.ini)
