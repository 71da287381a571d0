"""Calls keep no references and no memory: successful and failing calls of
every function, repeated, leave the interpreter as they found it."""

import gc
import os
import sys
import tracemalloc
import types

import pytest

U64_MAX = 2**64 - 1
MIB = 1024 * 1024
LEAK_CALLS = int(os.environ.get("LOOKUP_LEAK_CALLS", "100000"))


class Index:
    def __index__(self):
        return 1


class Depth(int):
    pass


class FailingIndex:
    def __index__(self):
        raise ValueError("no index")


class Subclass(str):
    pass


def every_path(lookup, flags, domain):
    """Successful and failing calls of every function, by path: binding,
    conversion, the queries and each of their errors. `flags` holds the
    numpy-like flag classes."""
    return {
        "publicsuffix": lambda: lookup.publicsuffix(domain, keep_case=True),
        "privatesuffix": lambda: lookup.privatesuffix(domain, accept_unknown=False, icann_only=True),
        "is_public": lambda: lookup.is_public(domain, icann_only=True),
        "is_private": lambda: lookup.is_private(domain, accept_unknown=False),
        "privateparts": lambda: lookup.privateparts(domain, keep_case=True),
        "privateparts-lowered": lambda: lookup.privateparts(domain),
        "subdomain": lambda: lookup.subdomain(domain, 1, keep_case=True),
        "subdomain-index": lambda: lookup.subdomain(domain, Index()),
        "subdomain-max": lambda: lookup.subdomain(domain, U64_MAX),
        "str-subclass": lambda: lookup.privateparts(Subclass(domain)),
        "invalid": lambda: lookup.privateparts("example..com"),
        "no-suffix": lambda: lookup.publicsuffix("example", accept_unknown=False),
        "numpy-like-flag": lambda: lookup.publicsuffix(domain, keep_case=flags.true()),
        # error paths
        "missing-domain": lambda: lookup.publicsuffix(),
        "missing-depth": lambda: lookup.subdomain(domain),
        "multiple-values-domain": lambda: lookup.publicsuffix(domain, domain=domain),
        "multiple-values-depth": lambda: lookup.subdomain(domain, 1, depth=1),
        "too-many": lambda: lookup.privatesuffix(domain, True),
        "unexpected-keyword": lambda: lookup.is_public(domain, keep_case=True),
        "surrogate-keyword": lambda: lookup.is_private(domain, **{"\ud800": 1}),
        "bytes-domain": lambda: lookup.privateparts(b"example.com"),
        "none-domain": lambda: lookup.privatesuffix(None),
        "surrogate-domain": lambda: lookup.publicsuffix("a\udc00.com"),
        "negative-depth": lambda: lookup.subdomain(domain, -1),
        "huge-depth": lambda: lookup.subdomain(domain, 2**64),
        "float-depth": lambda: lookup.subdomain(domain, 1.5),
        "failing-index": lambda: lookup.subdomain(domain, FailingIndex()),
        "int-flag": lambda: lookup.publicsuffix(domain, accept_unknown=1),
        "none-flag": lambda: lookup.is_private(domain, icann_only=None),
        "raising-truth": lambda: lookup.privatesuffix(domain, keep_case=flags.raising()),
        "flag-without-truth": lambda: lookup.privateparts(domain, keep_case=flags.without_truth()),
    }


PATH_NAMES = sorted(every_path(None, None, ""))
EXPECTED_ERRORS = (TypeError, ValueError, OverflowError, UnicodeEncodeError, ZeroDivisionError)
DOMAINS = ["A.b.Example.CO.UK.", "ẞ.EXAMPLE.COM", "a.b.foo.ck", "example.test", "com"]


@pytest.fixture(scope="module")
def paths_for(lookup, fake_numpy_bool):
    """every_path over the module under test, for one domain."""
    flags = types.SimpleNamespace(
        true=fake_numpy_bool(lambda self: True),
        raising=fake_numpy_bool(lambda self: 1 / 0),
        without_truth=fake_numpy_bool(name="bool"),
    )
    return lambda domain: every_path(lookup, flags, domain)


def repeat(call, times):
    for _ in range(times):
        try:
            call()
        except EXPECTED_ERRORS:
            pass


def run_rounds(paths_by_domain, rounds):
    for paths in paths_by_domain:
        for call in paths.values():
            repeat(call, rounds)


def resident_bytes():
    with open("/proc/self/statm") as statm:
        return int(statm.read().split()[1]) * os.sysconf("SC_PAGE_SIZE")


class Refused:
    pass


def test_argument_objects_keep_their_reference_counts(lookup, fake_numpy_bool):
    domain = "".join(["A.b.Example", ".CO.UK"])
    depth = Depth(1)
    flag = fake_numpy_bool(lambda self: True)()
    keyword = "".join(["keep_", "case"])
    unknown_keyword = "".join(["bo", "gus"])
    index = Index()
    refused = Refused()
    refused_bytes = bytes(bytearray(b"example.com"))
    broken_truth = fake_numpy_bool(name="bool")()
    failing_index = FailingIndex()
    objects = {
        "domain": domain, "depth": depth, "flag": flag, "keyword": keyword,
        "unknown keyword": unknown_keyword, "index": index, "refused": refused,
        "refused bytes": refused_bytes, "flag without truth": broken_truth,
        "failing index": failing_index, "refused class": Refused,
    }
    counts = {name: sys.getrefcount(obj) for name, obj in objects.items()}
    failing_calls = [
        lambda: lookup.subdomain(domain, depth, accept_unknown=flag, **{unknown_keyword: flag}),
        lambda: lookup.publicsuffix(domain, **{keyword: refused}),
        lambda: lookup.publicsuffix(refused, **{keyword: flag}),
        lambda: lookup.privateparts(refused_bytes),
        lambda: lookup.subdomain(domain, refused),
        lambda: lookup.subdomain(domain, failing_index),
        lambda: lookup.is_public(domain, icann_only=broken_truth),
        lambda: lookup.privatesuffix(domain, domain=domain),
        lambda: lookup.privatesuffix(domain, flag),
    ]
    for _ in range(1000):
        lookup.publicsuffix(domain, **{keyword: flag})
        lookup.subdomain(domain, depth, keep_case=flag)
        lookup.subdomain(domain, index)
        lookup.privateparts(domain, **{keyword: flag})
        for failing in failing_calls:
            try:
                failing()
            except (TypeError, ValueError):
                pass
            else:
                raise AssertionError("call did not fail")
    changes = {name: sys.getrefcount(obj) - counts[name] for name, obj in objects.items()}
    assert {name: change for name, change in changes.items() if change} == {}


@pytest.mark.slow
def test_repeated_calls_do_not_grow_python_memory(paths_for):
    paths_by_domain = [paths_for(domain) for domain in DOMAINS]
    run_rounds(paths_by_domain, 20)
    gc.collect()
    tracemalloc.start()
    try:
        run_rounds(paths_by_domain, 20)
        gc.collect()
        baseline, _ = tracemalloc.get_traced_memory()
        run_rounds(paths_by_domain, 400)
        gc.collect()
        current, _ = tracemalloc.get_traced_memory()
    finally:
        tracemalloc.stop()
    # A result or an exception kept per call would add megabytes.
    assert current - baseline < 64 * 1024, current - baseline


@pytest.mark.refcount
@pytest.mark.parametrize("path", PATH_NAMES)
def test_reference_count_flat_over_many_calls(paths_for, path):
    call = paths_for("A.b.Example.CO.UK.")[path]
    repeat(call, 1000)
    gc.collect()
    before = sys.gettotalrefcount()
    # A path does the same on every call after the first thousand: one
    # reference kept per call (or per hundred) shows in a tenth of the count
    # that the resident-memory test needs.
    repeat(call, max(LEAK_CALLS // 10, 5000))
    gc.collect()
    assert abs(sys.gettotalrefcount() - before) < 50


@pytest.mark.slow
@pytest.mark.process_memory
@pytest.mark.skipif(not sys.platform.startswith("linux"), reason="reads /proc/self/statm")
def test_resident_memory_flat_over_many_calls(lookup, paths_for):
    paths = paths_for("İ.A.b.Example.CO.UK.")
    # The full count on the debug interpreter's run; a tenth elsewhere.
    calls = LEAK_CALLS if hasattr(sys, "gettotalrefcount") else max(LEAK_CALLS // 10, 1000)
    for call in paths.values():
        repeat(call, 2000)
    gc.collect()
    before = resident_bytes()
    for call in paths.values():
        repeat(call, calls)
    huge = "A" * (4 * MIB) + ".Example.COM"
    for _ in range(50):
        lookup.publicsuffix(huge)
        lookup.privateparts(huge)
    del huge
    gc.collect()
    grown = resident_bytes() - before
    # A leak of one small block per call, or of one lowered huge name per
    # call, would show as many megabytes.
    assert grown < 8 * MIB, grown
