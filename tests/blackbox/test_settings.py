"""Reading the settings file: the missing main class in three languages, bad input of every
kind, the base settings resource, the per-user file and long paths."""
import subprocess

import pytest

from conftest import TOOLS_DIR, unique_product_code, win_path

ERROR_EXIT = 0xFFFFFFFF
NO_MAIN_CLASS = {
    None: "Error: Main class was not specified in INI file. ",
    "de_DE.UTF-8": "Error: Main class in der INI-Datei nicht spezifiziert. ",
    "fr_FR.UTF-8": "Error: Classe principale non sp\u00e9cifi\u00e9e dans le fichier INI. ",
}
JRE_NOT_FOUND = ("Error: The Java Runtime Environment (JRE) was not found. "
                 "Please  download and install a JRE ({}) from: https://adoptium.net/ ")
JRE_NOT_FOUND_SERVER = ("Error: The Java Runtime Environment (JRE) was not found. "
                        "Please  download and install a JRE with a server JVM ({}) from: https://adoptium.net/ ")


def trace_value(result, prefix):
    lines = [l for l in result.trace() if l.startswith(prefix)]
    assert lines, f"no trace line starting with {prefix!r}: {result.trace()}"
    return lines[0][len(prefix):]


@pytest.mark.parametrize("language", list(NO_MAIN_CLASS))
def test_missing_main_class_is_reported_in_the_system_language(app, language):
    app.write_ini("[Java Runtime Environment]\nJRE Path=jre\n")
    result = app.run(language=language)
    assert result.stdout_lines == [NO_MAIN_CLASS[language]]
    assert result.exit_code == ERROR_EXIT


@pytest.mark.parametrize("content", [
    None,                                   # no settings file at all
    "folder",                               # a folder of that name
    b"",                                    # empty
    bytes(range(256)) * 64,                 # binary
    b"\xff\xfe" + "[Java Runtime Environment]\r\n".encode("utf-16-le"),  # UTF-16 without keys
    b"[Application+]\r\nCmd=x\r\n",        # only an append section
    b"[Java Runtime Environment]\r\nMain Class=   \r\n",  # present but blank
    b"[Application]\r\nMain Class=com.example.Main\r\n",  # in the wrong section
], ids=["missing", "folder", "empty", "binary", "utf16-no-keys", "plus-section-only", "blank", "wrong-section"])
def test_unusable_settings_give_the_main_class_error(app, content):
    why = {None: "was not found", "folder": "is a folder, not a file"}.get(content)
    explained = [f"Error: The settings file {app.win(app.ini)} {why}. "] if why else []
    if content == "folder":
        app.ini.mkdir()
    elif content is not None:
        app.write_ini(content)
    result = app.run()
    assert result.stdout_lines == explained + [NO_MAIN_CLASS[None]]
    assert result.exit_code == ERROR_EXIT


def test_without_a_runtime_the_required_version_is_named(app):
    app.write_ini("[Java Runtime Environment]\nMain Class=com.example.Main\n")
    result = app.run()
    assert result.stdout_lines == [JRE_NOT_FOUND.format("latest version")]
    assert result.exit_code == ERROR_EXIT


@pytest.mark.parametrize("settings, expected", [
    ("Minimum Version=1.8\n", JRE_NOT_FOUND.format("minimum version 1.8")),
    ("Maximum Version=11.0.2\n", JRE_NOT_FOUND.format("maximum version 11.0.2")),
    ("Minimum Version=1.8\nMaximum Version=1.8\n", JRE_NOT_FOUND.format("version between 1.8 and 1.8")),
    ("Minimum Version=17.0.2\nMaximum Version=17.0.2.0\n", JRE_NOT_FOUND.format("version 17.0.2 is required")),
    ("JVM Type=server\n", JRE_NOT_FOUND_SERVER.format("latest version")),
    ("JVM Type=Server\n", JRE_NOT_FOUND.format("latest version")),
])
def test_version_range_wording(app, settings, expected):
    app.write_ini("[Java Runtime Environment]\nMain Class=a.B\n" + settings)
    assert app.run().stdout_lines == [expected]


def test_version_range_in_german(app):
    app.write_ini("[Java Runtime Environment]\nMain Class=a.B\nMinimum Version=1.8\nMaximum Version=11\n")
    result = app.run(language="de_DE.UTF-8")
    assert result.stdout_lines == [
        "Error: Die Java-Laufzeitumgebung (JRE) wurde nicht gefunden. Bitte downloaden und installieren "
        "Sie eine JRE (Version zwischen 1.8 und 11.65535) von: https://adoptium.net/ "]


@pytest.mark.parametrize("length", [255, 256, 257, 300, 100_000])
def test_long_values_are_read_whole(app, length):
    main_class = "c" * (length - 1) + "Z"
    app.write_ini(f"[Java Runtime Environment]\nMain Class={main_class}\n")
    result = app.run(trace=True)
    assert trace_value(result, "main class ").split(",")[0] == main_class
    assert result.exit_code == ERROR_EXIT


@pytest.mark.parametrize("encoding, bom", [("utf-16-le", True), ("utf-8", True), ("cp1252", False)])
def test_settings_file_encodings_keep_umlauts(app, encoding, bom):
    app.write_ini("[Java Runtime Environment]\nMain Class=com.b\u00e4cker.Gr\u00fc\u00dfe\n", encoding=encoding, bom=bom)
    result = app.run(trace=True)
    assert trace_value(result, "main class ").split(",")[0] == "com/b\u00e4cker/Gr\u00fc\u00dfe"


def test_characters_outside_the_code_page_do_not_cut_the_line(app):
    app.write_ini("[Java Runtime Environment]\nMain Class=app.\u0416\u0443\u043a\nJRE Path=D:\\jre\n",
                  encoding="utf-16-le", bom=True)
    result = app.run(trace=True)
    # Cyrillic has no place in code page 1252: replaced, and the rest of the line still arrives.
    assert trace_value(result, "main class ") == "app/???, JRE path D:\\jre"


def test_section_and_key_names_ignore_case(app):
    app.write_ini("[java runtime environment]\nmain class=x.Y\n")
    result = app.run(trace=True)
    assert trace_value(result, "main class ").startswith("x/Y,")


def test_relative_jre_path_is_under_the_launcher_folder(app):
    app.write_ini("[Java Runtime Environment]\nMain Class=a.B\nJRE Path=%JAVA_HOME%\\jre\n")
    result = app.run(trace=True, env={"JAVA_HOME": "C:\\java"})
    assert trace_value(result, "main class a/B, JRE path ") == app.win() + "\\%JAVA_HOME%\\jre"


def test_per_user_jre_path_wins_over_the_settings_file(app):
    code = unique_product_code()
    app.write_ini(f"[Product Information]\nProduct Name=My:App*\nProduct Code={code}\n"
                  "[Java Runtime Environment]\nMain Class=a.B\nJRE Path=D:\\configured\n")
    user_file = app.appdata / "MyApp" / code / "Tool.ini"
    user_file.parent.mkdir(parents=True)
    user_file.write_bytes(b"[Java Runtime Environment]\r\nJRE Path=E:\\picked\r\n")
    result = app.run(trace=True)
    assert trace_value(result, "main class a/B, JRE path ") == "E:\\picked"
    assert trace_value(result, "per-user settings file ").endswith(f"\\AppData\\Roaming\\MyApp\\{code}\\Tool.ini")


def test_launcher_path_without_a_dot_has_no_settings_file(make_app, tmp_path):
    app = make_app("nodot", exe="Tool")
    app.ini.with_name("Tool.ini")  # would never be read: there is no dot to replace
    (app.dir / "Tool.ini").write_bytes(b"[Java Runtime Environment]\r\nMain Class=a.B\r\n")
    if "." in str(app.exe):
        pytest.skip("the temporary folder holds a dot")
    result = app.run(trace=True)
    assert result.exit_code == ERROR_EXIT
    assert result.stdout_lines == [f"Error: The launcher's path {app.win(app.exe)} holds no '.', "
                                   "so no settings file can be named after it. "]


def stamp_base_settings(app, text: str, tmp_path):
    data = tmp_path / "base.ini"
    data.write_bytes(text.replace("\n", "\r\n").encode("utf-8"))
    stamp = subprocess.run([app.wine.loader, str(TOOLS_DIR / "resource_stamp.exe"), win_path(app.exe), "10",
                            "KESTRAN_SETTINGS", win_path(data)],
                           env=app.wine.base_environment(), capture_output=True)
    assert stamp.returncode == 0, stamp.stderr


def test_base_settings_baked_into_the_executable(app, tmp_path):
    stamp_base_settings(app, "[Java Runtime Environment]\nMain Class=baked.Main\nMinimum Version=11\n", tmp_path)
    result = app.run(trace=True)  # no settings file at all
    assert trace_value(result, "main class ").startswith("baked/Main,")
    assert result.stdout_lines == [JRE_NOT_FOUND.format("minimum version 11.0")]


def test_settings_file_replaces_and_extends_the_baked_settings(app, tmp_path):
    stamp_base_settings(app, "[Java Runtime Environment]\nMain Class=baked.Main\nMinimum Version=11\n", tmp_path)
    app.write_ini("[Java Runtime Environment]\nMain Class=file.Main\n"
                  "[Java Runtime Environment+]\nMinimum Version=.2\n")
    result = app.run(trace=True)
    assert trace_value(result, "main class ").startswith("file/Main,")
    # "11" extended by " .2" reads as 11.2.
    assert result.stdout_lines == [JRE_NOT_FOUND.format("minimum version 11.2")]
