"""The package as pip builds and installs it: the sdist, the wheel and the
stub installed with the module.

Runs on the venv's interpreter, over the directory that
scripts/packaging-check.sh fills (LOOKUP_PACKAGE_CHECK_DIR): venv/ and
wheel/, with the sdist in ../dist/ and ../tracked-files.txt, the files git
tracks.
"""

import os
import pathlib
import re
import subprocess
import sys
import tarfile
import tomllib
import zipfile

import pytest

CHECK_DIR = pathlib.Path(os.environ["LOOKUP_PACKAGE_CHECK_DIR"])
REPO_DIR = pathlib.Path(__file__).resolve().parents[2]
TAG = f"{sys.version_info.major}{sys.version_info.minor}"
WHEEL_MEMBERS = [
    rf"_lookup\.cpython-{TAG}-[^/]+\.so", r"_lookup\.pyi", r"_lookup-stubs/__init__\.pyi",
    r".*\.dist-info/licenses/LICENSE", r".*\.dist-info/licenses/LICENSES/MPL-2\.0\.txt",
    r".*\.dist-info/licenses/NOTICE", r"lookup_psl-[^/]+\.data/scripts/lookup-psl",
    r"lookup_psl/__init__\.py", r"lookup_psl/__main__\.py", r"lookup_psl/py\.typed",
    r"lookup_psl/_suffix_list\.pyi", rf"lookup_psl/_suffix_list\.cpython-{TAG}-[^/]+\.so",
    r"lookup_psl/_version\.py", r"lookup_psl-[^/]+\.data/data/share/man/man1/lookup-psl\.1",
]


def the_wheel():
    wheels = sorted((CHECK_DIR / "wheel").glob("*.whl"))
    assert len(wheels) == 1, f"wheel: expected one wheel, found {[w.name for w in wheels]}"
    return wheels[0]


def members(wheel):
    with zipfile.ZipFile(wheel) as archive:
        return sorted(archive.namelist())


def test_wheel_is_tagged_for_this_interpreter():
    assert f"-cp{TAG}-cp{TAG}-" in the_wheel().name


def test_wheel_holds_the_module_stubs_command_and_licenses():
    names = members(the_wheel())
    missing = [pattern for pattern in WHEEL_MEMBERS if not any(re.fullmatch(pattern, n) for n in names)]
    assert missing == [], names


def test_sdist_holds_every_tracked_file_but_the_excluded():
    # With every file of the tree, the sdist builds the very wheel tested here.
    excluded = tomllib.loads((REPO_DIR / "pyproject.toml").read_text())["tool"]["scikit-build"]["sdist"]["exclude"]
    tracked = (CHECK_DIR.parent / "tracked-files.txt").read_text().splitlines()
    # Dot files (.gitignore, .ci/) are the repository's, not the build's.
    wanted = {name for name in tracked if not name.startswith(".")
              and not any(name == e or name.startswith(e + "/") for e in excluded)}
    sdists = sorted((CHECK_DIR.parent / "dist").glob("*.tar.gz"), key=os.path.getmtime)
    with tarfile.open(sdists[-1]) as sdist:
        held = {name.split("/", 1)[1] for name in sdist.getnames() if "/" in name}
    assert sorted(wanted - held) == []


def test_installed_stubs_type_the_module_and_the_package(tmp_path):
    # stubtest passes silently when mypy cannot find the stub of a module with
    # a private name, so mypy must first resolve _lookup to the installed
    # stub: the usage file fails with import-not-found otherwise. stubtest
    # takes the package's submodules (lookup_psl._suffix_list) with the
    # package itself; naming them again makes mypy see each twice.
    typing_dir = REPO_DIR / "tests" / "typing"
    for command in (
        [sys.executable, "-m", "mypy", "--strict", "--warn-unused-ignores", "--no-incremental",
         str(typing_dir / "stub_usage.py"), str(typing_dir / "package_usage.py")],
        [sys.executable, "-m", "mypy.stubtest", "_lookup", "lookup_psl"],
    ):
        completed = subprocess.run(command, cwd=tmp_path, capture_output=True, text=True, timeout=600)
        assert completed.returncode == 0, completed.stdout + completed.stderr


def test_manual_page_is_found_in_the_venv():
    # What a user types after pip install into a venv.
    venv = CHECK_DIR / "venv"
    shown = subprocess.run(["man", "-M", str(venv / "share" / "man"), "lookup-psl"], capture_output=True,
                           text=True, env={**os.environ, "MANPAGER": "cat", "MANWIDTH": "80"}, timeout=60)
    assert shown.returncode == 0, shown.stderr
    assert "--progress" in shown.stdout.replace("\u2010", "-")
