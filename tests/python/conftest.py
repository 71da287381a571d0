"""Fixtures and fakes of the _lookup suite, and what its markers mean.

Importing support fails loudly when the module under test cannot be found
in LOOKUP_MODULE_DIR.
"""

import functools
import inspect
import subprocess
import sys
import textwrap

import pytest

import support


@pytest.fixture(scope="session")
def lookup():
    """The module under test, imported from LOOKUP_MODULE_DIR and nowhere else."""
    return support._lookup


@pytest.fixture(scope="session")
def corrupt_module_dir():
    """The test-only build of the module over a deliberately corrupt table."""
    if support.CORRUPT_MODULE_DIR is None:
        pytest.fail("LOOKUP_CORRUPT_MODULE_DIR is not set: point it at the corrupt-table build")
    if not support.CORRUPT_MODULE_DIR.is_dir():
        pytest.fail(f"LOOKUP_CORRUPT_MODULE_DIR={support.CORRUPT_MODULE_DIR} is not a directory")
    return support.CORRUPT_MODULE_DIR


@pytest.fixture(scope="session")
def lookup_psl():
    """The lookup_psl package built beside the module under test."""
    return support.import_package()


@pytest.fixture(scope="module", params=["compiled", "suffix_list"])
def owner(request, lookup_psl, lookup):
    """(per-call functions, their batch and Arrow forms): the module's and the
    package's over the list compiled in, or a SuffixList's over the same list
    built at run time."""
    if request.param == "compiled":
        return lookup, lookup_psl
    built = lookup_psl.SuffixList.from_file(support.require_file(support.LIST_FILE))
    return built, built


@pytest.fixture(scope="session")
def numpy():
    """The real numpy; the test is skipped where it is missing, or built for
    another interpreter (Debian's, seen from pyenv's)."""
    return pytest.importorskip("numpy")


def numpy_bool_class(truth=None, *, name="bool_", module="numpy", bases=()):
    """A class that the module takes for numpy's boolean, which it knows by the
    class's module and name alone; `truth` is its __bool__ (None: it has none)."""
    namespace = {"__module__": module}
    if truth is not None:
        namespace["__bool__"] = truth
    return type(name, bases, namespace)


@pytest.fixture(scope="session")
def fake_numpy_bool():
    return numpy_bool_class


@pytest.fixture(scope="session")
def run_python():
    """Runs a script in a fresh interpreter that has imported _lookup from
    `module_dir` (the module under test by default).

    The script sees MODULE_DIR, _lookup and numpy_bool_class; it returns the
    completed process, for the caller to check.
    """
    prologue = textwrap.dedent(
        """\
        import sys, pathlib
        sys.path.insert(0, MODULE_DIR)
        import _lookup
        assert pathlib.Path(_lookup.__file__).resolve().parent == pathlib.Path(MODULE_DIR), _lookup.__file__
        """
    ) + inspect.getsource(numpy_bool_class)

    def run(script, module_dir=support.MODULE_DIR, timeout=120):
        source = f"MODULE_DIR = {str(module_dir)!r}\n" + prologue + textwrap.dedent(script)
        return subprocess.run(
            [sys.executable, "-c", source], capture_output=True, text=True, timeout=timeout
        )

    return run


@functools.lru_cache(maxsize=None)
def under_address_sanitizer():
    """Whether AddressSanitizer is loaded (the sanitized build preloads it)."""
    with open("/proc/self/maps") as maps:
        return "libasan" in maps.read()


def pytest_runtest_setup(item):
    if item.get_closest_marker("refcount") and not hasattr(sys, "gettotalrefcount"):
        pytest.skip("counts references: needs a debug interpreter")
    if item.get_closest_marker("process_memory") and under_address_sanitizer():
        pytest.skip("AddressSanitizer's quarantine and allocator change the process's memory")
