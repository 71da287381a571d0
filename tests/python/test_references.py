"""Calls keep no references and no memory: successful and failing calls of
every function, repeated, leave the interpreter as they found it."""

import gc
import sys
import tracemalloc

import pytest

import support

U64_MAX = 2**64 - 1


class Index:
    def __index__(self):
        return 1


class Depth(int):
    pass


class FailingIndex:
    def __index__(self):
        raise ValueError("no index")


FakeNumpyBool = type("bool_", (), {"__module__": "numpy", "__bool__": lambda self: True})
FakeNumpyBoolWithoutTruth = type("bool", (), {"__module__": "numpy"})


def call_mix(domain, flag, depth):
    """One round of successful and failing calls of every function."""
    lookup = support._lookup
    lookup.publicsuffix(domain, keep_case=flag)
    lookup.privatesuffix(domain, accept_unknown=flag, icann_only=flag)
    lookup.is_public(domain, icann_only=flag)
    lookup.is_private(domain, accept_unknown=flag)
    lookup.privateparts(domain, keep_case=flag)
    lookup.privateparts(domain)
    lookup.subdomain(domain, depth, keep_case=flag)
    lookup.subdomain(domain, Index())
    lookup.subdomain(domain, U64_MAX)
    lookup.publicsuffix("", keep_case=flag)
    lookup.privateparts("example..com")
    failures = [
        lambda: lookup.publicsuffix(),
        lambda: lookup.publicsuffix(domain, domain=domain),
        lambda: lookup.privatesuffix(domain, True),
        lambda: lookup.is_public(domain, keep_case=flag),
        lambda: lookup.is_private(domain, **{"\ud800": 1}),
        lambda: lookup.privateparts(b"example.com"),
        lambda: lookup.privateparts(None),
        lambda: lookup.publicsuffix("a\udc00.com"),
        lambda: lookup.subdomain(domain, -1),
        lambda: lookup.subdomain(domain, 2**64),
        lambda: lookup.subdomain(domain, 1.5),
        lambda: lookup.subdomain(domain, FailingIndex()),
        lambda: lookup.subdomain(domain),
        lambda: lookup.publicsuffix(domain, accept_unknown=1),
        lambda: lookup.privatesuffix(domain, icann_only=None),
        lambda: lookup.privateparts(domain, keep_case=FakeNumpyBoolWithoutTruth()),
    ]
    for failure in failures:
        try:
            failure()
        except Exception:
            pass
        else:
            raise AssertionError("call did not fail")
    lookup.publicsuffix(domain, keep_case=FakeNumpyBool())


DOMAINS = ["A.b.Example.CO.UK.", "ẞ.EXAMPLE.COM", "a.b.foo.ck", "example.test", "com"]


def run_rounds(rounds):
    for _ in range(rounds):
        for domain in DOMAINS:
            call_mix(domain, True, 1)
            call_mix(domain, False, 0)


@pytest.mark.skipif(not hasattr(sys, "gettotalrefcount"), reason="needs a debug interpreter")
def test_total_reference_count_stays_flat():
    run_rounds(20)
    gc.collect()
    before = sys.gettotalrefcount()
    run_rounds(200)
    gc.collect()
    after = sys.gettotalrefcount()
    # 200 rounds of about 150 calls each: a leak of one reference per call
    # would show as tens of thousands.
    assert abs(after - before) < 50, after - before


def test_argument_objects_keep_their_reference_counts():
    domain = "".join(["A.b.Example", ".CO.UK"])
    depth = Depth(1)
    flag = FakeNumpyBool()
    keyword = "".join(["keep_", "case"])
    index = Index()
    lookup = support._lookup
    objects = [domain, depth, flag, keyword, index]
    counts = [sys.getrefcount(obj) for obj in objects]
    for _ in range(1000):
        lookup.publicsuffix(domain, **{keyword: flag})
        lookup.subdomain(domain, depth, keep_case=flag)
        lookup.subdomain(domain, index)
        lookup.privateparts(domain, **{keyword: flag})
        try:
            lookup.subdomain(domain, depth, accept_unknown=flag, bogus=flag)
        except TypeError:
            pass
        try:
            lookup.publicsuffix(domain, **{keyword: 1})
        except TypeError:
            pass
    assert [sys.getrefcount(obj) for obj in objects] == counts


def test_repeated_calls_do_not_grow_python_memory():
    run_rounds(20)
    gc.collect()
    tracemalloc.start()
    try:
        run_rounds(20)
        gc.collect()
        baseline, _ = tracemalloc.get_traced_memory()
        run_rounds(200)
        gc.collect()
        current, _ = tracemalloc.get_traced_memory()
    finally:
        tracemalloc.stop()
    # A result or an exception kept per call would add megabytes.
    assert current - baseline < 64 * 1024, current - baseline
