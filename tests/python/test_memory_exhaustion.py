"""Exhausted memory while a domain is lowered raises MemoryError; the process
survives and goes on answering. An answer object that cannot be made is an
internal fault of _lookup, and MemoryError in the package's own forms."""

import sys

import pytest

pytestmark = [
    pytest.mark.slow,
    pytest.mark.process_memory,
    pytest.mark.skipif(not sys.platform.startswith("linux"), reason="reads /proc/self/status"),
]

# The child builds its huge name and warms up, then limits its address space
# to 96 MiB more than it uses, and runs the calls that must fail.
LIMITED = """
import resource

def address_space():
    with open("/proc/self/status") as status:
        for line in status:
            if line.startswith("VmSize:"):
                return int(line.split()[1]) * 1024
    raise RuntimeError("no VmSize")

MIB = 1024 * 1024
huge = {build}
_ = _lookup.publicsuffix("warm.up.example.com")
{warm}
limit = address_space() + 96 * MIB
resource.setrlimit(resource.RLIMIT_AS, (limit, resource.getrlimit(resource.RLIMIT_AS)[1]))
{calls}
print("DONE")
"""

LOWERING_FAILS = """
for attempt in range(3):
    for call in (
        lambda: _lookup.publicsuffix(huge),
        lambda: _lookup.privateparts(huge, keep_case=True),
        lambda: _lookup.subdomain(huge, 1),
        lambda: _lookup.is_public(huge),
    ):
        try:
            call()
        except MemoryError:
            pass
        else:
            raise AssertionError("lowering a huge domain did not fail")
    assert _lookup.publicsuffix("Mail.Example.CO.UK", keep_case=True) == "CO.UK"
    assert _lookup.privateparts("a.b.example.com") == ("a", "b", "example.com")
"""

RESULT_FAILS = """
for keep_case in (False, True):
    try:
        _lookup.privateparts(huge, keep_case=keep_case)
    except Exception as exc:
        raise AssertionError(f"caught as Exception: {exc!r}")
    except BaseException as exc:
        assert type(exc).__name__ == "PanicException", type(exc)
        assert exc.args == ("PyObject pointer is null",), exc.args
    else:
        raise AssertionError("a tuple of 16 Mi items was made under the limit")
# The one-string answers still fit.
assert _lookup.subdomain(huge, 2) == "a.a.a.com"
assert _lookup.privatesuffix(huge) == "a.com"
assert _lookup.privateparts("x.Example.COM", keep_case=True) == ("x", "Example.COM")
"""


def run_limited(run_python, build, calls, warm=""):
    completed = run_python(LIMITED.format(build=build, warm=warm, calls=calls), timeout=300)
    assert completed.returncode == 0, completed.stdout + completed.stderr[-3000:]
    assert "DONE" in completed.stdout
    return completed


@pytest.mark.parametrize(
    "build, warm",
    [
        # ASCII: the str's own bytes are the UTF-8 view, only lowering allocates.
        ('"A." * (160 * MIB) + "COM"', ""),
        # Non-ASCII: the UTF-8 form is made before the limit, lowering grows it.
        ('"\\u0130." * (40 * MIB) + "COM"', "assert _lookup.is_private(huge) is True"),
    ],
    ids=["ascii", "growing"],
)
def test_memory_error_instead_of_abort(run_python, build, warm):
    completed = run_limited(run_python, build, LOWERING_FAILS, warm)
    assert "memory allocation of" not in completed.stderr


def test_result_object_that_cannot_be_made_is_an_internal_fault(run_python):
    # 16 Mi labels: lowering needs 32 MiB, the result tuple alone 128 MiB.
    completed = run_limited(run_python, '"a." * (16 * MIB) + "com"', RESULT_FAILS)
    # The interpreter's own MemoryError is reported as unraisable first.
    assert "MemoryError" in completed.stderr


PACKAGE_RESULT_FAILS = """
import lookup_psl
listed = lookup_psl.SuffixList.from_bytes(b"// ===BEGIN ICANN DOMAINS===\\ncom\\n// ===END ICANN DOMAINS===\\n")
for call in (lambda: listed.privateparts(huge), lambda: lookup_psl.privateparts_batch([huge]),
             lambda: listed.privateparts_batch([huge], keep_case=True)):
    try:
        call()
    except MemoryError:
        pass
    else:
        raise AssertionError("a tuple of 16 Mi items was made under the limit")
assert listed.privateparts("x.Example.COM", keep_case=True) == ("x", "Example.COM")
"""


def test_package_answers_that_cannot_be_made_are_memory_errors(run_python):
    # The package's own forms raise what `except Exception` catches.
    completed = run_limited(run_python, '"a." * (16 * MIB) + "com"', PACKAGE_RESULT_FAILS)
    assert "PanicException" not in completed.stderr
