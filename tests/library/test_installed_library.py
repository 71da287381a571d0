"""liblookup_psl installed into a prefix of its own: its examples built from there (C through
pkg-config, C++ through find_package, shared and static) under AddressSanitizer answer as the
module does over the corpus, and the shared library exports exactly its header's functions."""

import os
import pathlib
import re
import subprocess
import sys

import pytest

BUILD_DIR = pathlib.Path(os.environ["LOOKUP_BUILD_DIR"])
REPO_DIR = pathlib.Path(__file__).resolve().parents[2]
CORPUS = REPO_DIR / "data" / "bench" / "domains.txt"


def run(*command, **options):
    completed = subprocess.run([str(part) for part in command], capture_output=True, text=True, **options)
    assert completed.returncode == 0, f"{command}\n{completed.stdout}\n{completed.stderr}"
    return completed.stdout


@pytest.fixture(scope="module")
def prefix(tmp_path_factory):
    installed = tmp_path_factory.mktemp("prefix")
    run("cmake", "--install", BUILD_DIR, "--prefix", installed)
    return installed


@pytest.fixture(scope="module")
def examples(prefix, tmp_path_factory):
    build = tmp_path_factory.mktemp("examples")
    (pc_file,) = prefix.rglob("lookup-psl.pc")
    environment = dict(os.environ, PKG_CONFIG_PATH=str(pc_file.parent))
    asan = "-fsanitize=address -fno-omit-frame-pointer -g"
    run("cmake", "-S", REPO_DIR / "examples", "-B", build, f"-DCMAKE_PREFIX_PATH={prefix}",
        f"-DCMAKE_C_FLAGS={asan}", f"-DCMAKE_CXX_FLAGS={asan}", "-DCMAKE_EXE_LINKER_FLAGS=-fsanitize=address",
        env=environment)
    run("cmake", "--build", build, "-j2", env=environment)
    return build


@pytest.mark.parametrize("example", ["private_suffix_c", "private_suffix_cpp", "private_suffix_cpp_static"])
def test_examples_answer_as_the_module_over_the_corpus(examples, example):
    sys.path.insert(0, os.environ["LOOKUP_MODULE_DIR"])
    import _lookup

    names = CORPUS.read_text(encoding="utf-8").splitlines()
    expected = "".join(f"{_lookup.privatesuffix(name) or '-'}\n" for name in names)
    environment = dict(os.environ, ASAN_OPTIONS="detect_leaks=1:halt_on_error=1")
    environment.pop("LD_PRELOAD", None)
    assert run(examples / example, input="\n".join(names) + "\n", env=environment) == expected


def test_shared_library_exports_exactly_the_api(prefix):
    header = (prefix / "include" / "lookup_psl" / "lookup_psl.h").read_text()
    declared = set(re.findall(r"LOOKUP_PSL_API [^;]*?\b(lookup_psl_\w+)\(", header))
    (library,) = [path for path in prefix.rglob("liblookup_psl.so.*") if not path.is_symlink()]
    symbols = run("nm", "-D", "--defined-only", library).split()
    exported = {name for kind, name in zip(symbols[1::3], symbols[2::3]) if kind not in "UVvw"}
    assert len(declared) > 15
    assert exported == declared
    soname = re.search(r"\(SONAME\)\s+Library soname: \[(.+)\]", run("readelf", "-d", library)).group(1)
    assert (library.parent / soname).resolve() == library.resolve()
