"""Hostile input that once ended in a runaway process or lost settings."""
import re

import pytest

from conftest import win_path
from test_runtime_search import PE32, make_runtime

MINUS_ONE = 0xFFFFFFFF


def pair_settings(app, runtime, pair):
    app.write_ini(f"[Java Runtime Environment]\nMain Class=a.B\nJRE Path={win_path(runtime)}\n"
                  f"[Application]\nPair Product={win_path(pair)}\nPair Return Code=Yes\n")


@pytest.mark.parametrize("loop", ["itself", "each other"])
def test_a_hand_over_never_loops(make_app, tmp_path, loop):
    jre32 = make_runtime(tmp_path / "jre32", library=PE32)
    first = make_app("first")
    second = first if loop == "itself" else make_app("second", exe="Other.exe")
    pair_settings(first, jre32, second.exe)
    pair_settings(second, jre32, first.exe)
    result = first.run(env={"DISPLAY": None}, timeout=30)
    error = (f"The setting Pair Product names this launcher itself: {first.win(first.exe)}. " if loop == "itself" else
             f"This launcher was started by a hand-over and does not hand over again to {first.win(first.exe)}. ")
    assert (result.exit_code, result.stdout_lines) == (MINUS_ONE, ["Error: " + error]), result


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
    assert options[:4] == [f"-Djava.class.path=C:\\x y\\z.jar;{app.win()}\\lib\\a b.jar",
                           "-Dapp.home=C:\\Program Files\\App", "-Xmx64m", "-Dlog.dir=C:\\My Logs"]
    texts = [re.sub(r"^\d+ units=\S* text=", "", line) for line in launch.record("arg ")]
    assert texts == ["first arg", "second arg"]
