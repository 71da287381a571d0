"""Installing as the README says: every file under the prefix given (with DESTDIR too), the module,
package and command working from a private prefix, and the README's routes run as written on a copy of
the working tree (Debian 12's into a fresh venv, the library's with its C example via pkg-config)."""

import os
import pathlib
import re
import shutil
import subprocess
import sys
import sysconfig

import pytest

BUILD_DIR = pathlib.Path(os.environ["LOOKUP_BUILD_DIR"])
REPO_DIR = pathlib.Path(__file__).resolve().parents[2]


def run(*command, **options):
    completed = subprocess.run([str(part) for part in command], capture_output=True, text=True, **options)
    assert completed.returncode == 0, f"{command}\n{completed.stdout}\n{completed.stderr}"
    return completed.stdout


def check_installed_python(python, bin_dir, environment=None):
    """Imports and runs what was installed, from outside the tree."""
    script = """if True:
        import _lookup, lookup_psl
        listed = lookup_psl.SuffixList.from_bytes(
            b"// ===BEGIN ICANN DOMAINS===\\ncom\\n// ===END ICANN DOMAINS===\\n", extra_rules=["x.com"])
        print(lookup_psl.privatesuffix("www.Example.co.uk"), listed.privatesuffix("a.b.x.com"),
              lookup_psl.privatesuffix_batch(["a.github.io"])[0], _lookup.__file__)
    """
    answers = run(python, "-I" if environment is None else "-s", "-c", script, env=environment, cwd="/").split()
    assert answers[:3] == ["example.co.uk", "b.x.com", "a.github.io"]
    assert run(bin_dir / "lookup-psl", "www.example.co.uk").split("\t")[:3] == ["www.example.co.uk", "co.uk", "example.co.uk"]
    return pathlib.Path(answers[3])


def test_every_file_lies_under_the_prefix_with_destdir(tmp_path):
    stage = tmp_path / "stage"
    run("cmake", "--install", BUILD_DIR, "--prefix", "/opt/lookup", env=dict(os.environ, DESTDIR=str(stage)))
    files = [path for path in stage.rglob("*") if not path.is_dir()]
    assert len(files) > 10
    assert [str(path) for path in files if not path.is_relative_to(stage / "opt" / "lookup")] == []


def test_private_prefix_install_imports_and_runs(tmp_path):
    prefix = tmp_path / "opt"
    run("cmake", "--install", BUILD_DIR, "--prefix", prefix)
    site = sysconfig.get_path("platlib", "posix_prefix", vars={"base": str(prefix), "platbase": str(prefix)})
    assert check_installed_python(sys.executable, prefix / "bin", dict(os.environ, PYTHONPATH=site)).is_relative_to(prefix)


def readme_block(containing, language="sh"):
    text = (REPO_DIR / "README.md").read_text(encoding="utf-8")
    blocks = [block for block in re.findall(rf"```{language}\n(.*?)```", text, re.S) if containing in block]
    assert len(blocks) == 1, blocks
    return blocks[0]


def copy_of_the_tree(tmp_path):
    """The working tree's files (committed or not, less the ignored ones). Under ccache (the test command
    makes it the compiler launcher), builds in the copy see paths relative to tmp_path (route_environment)
    as the tree's own builds do, and compile from the cache."""
    tree = tmp_path / "tree"
    listed = run("git", "-C", REPO_DIR, "ls-files", "-z", "--cached", "--others", "--exclude-standard")
    for name in filter(None, listed.split("\0")):
        if (REPO_DIR / name).is_file():
            (tree / name).parent.mkdir(parents=True, exist_ok=True)
            shutil.copy2(REPO_DIR / name, tree / name)
    return tree


def route_environment(tmp_path, **extra):
    # python3: the suite's own (Debian's, the route's), which the tree's build compiled for: ccache serves it.
    path = os.pathsep.join([os.path.dirname(sys.executable), os.environ.get("PATH", "")])
    environment = dict(os.environ, CCACHE_BASEDIR=str(tmp_path), PATH=path)
    if "HOME" in extra and "ccache" in os.environ.get("CMAKE_CXX_COMPILER_LAUNCHER", ""):
        # ccache keeps its objects under HOME: a route given a HOME of its own still compiles from them.
        environment["CCACHE_DIR"] = run("ccache", "--get-config", "cache_dir").strip()
    return dict(environment, **extra)


@pytest.mark.slow
def test_readme_debian_venv_route_as_written(tmp_path):
    tree = copy_of_the_tree(tmp_path)
    run("bash", "-e", "-c", readme_block("cmake --install build/venv"), cwd=tree, env=route_environment(tmp_path))
    venv = tree / ".venv"
    assert check_installed_python(venv / "bin" / "python", venv / "bin").is_relative_to(venv)


@pytest.mark.slow
def test_readme_library_route_and_example_as_written(tmp_path):
    tree = copy_of_the_tree(tmp_path)
    environment = route_environment(tmp_path, HOME=str(tmp_path / "home"))
    run("bash", "-e", "-c", readme_block("cmake --install build/lib"), cwd=tree, env=environment)
    (program := tmp_path / "program").mkdir()
    (program / "my_program.c").write_text(readme_block("lookup_psl_builtin()", "c"))
    assert run("bash", "-e", "-c", readme_block("pkg-config --cflags"), cwd=program, env=environment) == "example.co.uk\n"
