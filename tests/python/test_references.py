"""Calls keep no references and no memory: successful and failing calls of
every function, repeated, leave the interpreter as they found it."""

import gc
import sys
import tracemalloc

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


def named_calls(domain):
    """Successful and failing calls of every function, by name."""
    lookup = support._lookup
    return {
        "publicsuffix": lambda: lookup.publicsuffix(domain, keep_case=True),
        "privatesuffix": lambda: lookup.privatesuffix(domain, accept_unknown=False, icann_only=True),
        "is_public": lambda: lookup.is_public(domain, icann_only=True),
        "is_private": lambda: lookup.is_private(domain, accept_unknown=False),
        "privateparts": lambda: lookup.privateparts(domain, keep_case=True),
        "subdomain": lambda: lookup.subdomain(domain, 1, keep_case=True),
        "subdomain-index": lambda: lookup.subdomain(domain, Index()),
        "subdomain-max": lambda: lookup.subdomain(domain, U64_MAX),
        "invalid": lambda: lookup.privateparts("example..com"),
        "numpy-like-flag": lambda: lookup.publicsuffix(domain, keep_case=FakeNumpyBool()),
        "missing": lambda: lookup.publicsuffix(),
        "multiple-values": lambda: lookup.publicsuffix(domain, domain=domain),
        "too-many": lambda: lookup.privatesuffix(domain, True),
        "unexpected-keyword": lambda: lookup.is_public(domain, keep_case=True),
        "surrogate-keyword": lambda: lookup.is_private(domain, **{"\ud800": 1}),
        "bytes-domain": lambda: lookup.privateparts(b"example.com"),
        "none-domain": lambda: lookup.privateparts(None),
        "surrogate-domain": lambda: lookup.publicsuffix("a\udc00.com"),
        "negative-depth": lambda: lookup.subdomain(domain, -1),
        "huge-depth": lambda: lookup.subdomain(domain, 2**64),
        "float-depth": lambda: lookup.subdomain(domain, 1.5),
        "failing-index": lambda: lookup.subdomain(domain, FailingIndex()),
        "int-flag": lambda: lookup.publicsuffix(domain, accept_unknown=1),
        "none-flag": lambda: lookup.privatesuffix(domain, icann_only=None),
        "flag-without-truth": lambda: lookup.privateparts(domain, keep_case=FakeNumpyBoolWithoutTruth()),
    }


def repeat(call, times):
    for _ in range(times):
        try:
            call()
        except (TypeError, ValueError, OverflowError, UnicodeEncodeError):
            pass


DOMAINS = ["A.b.Example.CO.UK.", "ẞ.EXAMPLE.COM", "a.b.foo.ck", "example.test", "com"]


def run_rounds(rounds):
    for domain in DOMAINS:
        for call in named_calls(domain).values():
            repeat(call, rounds)


class Refused:
    pass


def test_argument_objects_keep_their_reference_counts():
    domain = "".join(["A.b.Example", ".CO.UK"])
    depth = Depth(1)
    flag = FakeNumpyBool()
    keyword = "".join(["keep_", "case"])
    unknown_keyword = "".join(["bo", "gus"])
    index = Index()
    refused = Refused()
    refused_bytes = bytes(bytearray(b"example.com"))
    broken_truth = FakeNumpyBoolWithoutTruth()
    failing_index = FailingIndex()
    lookup = support._lookup
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


def test_repeated_calls_do_not_grow_python_memory():
    run_rounds(20)
    gc.collect()
    tracemalloc.start()
    try:
        run_rounds(20)
        gc.collect()
        baseline, _ = tracemalloc.get_traced_memory()
        run_rounds(400)
        gc.collect()
        current, _ = tracemalloc.get_traced_memory()
    finally:
        tracemalloc.stop()
    # A result or an exception kept per call would add megabytes.
    assert current - baseline < 64 * 1024, current - baseline
