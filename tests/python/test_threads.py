"""Calls from several threads at once give the single-thread answers."""

import sys
import threading

import support

THREADS = 8
ROUNDS = 3


def workload():
    names = support.load_corpus()[:3000] + [
        "Mail.Example.CO.UK.", "a.b.foo.ck", "www.ck", "ẞ.EXAMPLE.COM", "", "..", "example.test",
    ]
    calls = []
    for i, domain in enumerate(names):
        flags = {"accept_unknown": i % 3 != 0, "icann_only": i % 5 == 0}
        calls.append(("publicsuffix", (domain,), dict(flags, keep_case=i % 2 == 0)))
        calls.append(("privatesuffix", (domain,), flags))
        calls.append(("is_public", (domain,), flags))
        calls.append(("is_private", (domain,), flags))
        calls.append(("privateparts", (domain,), dict(flags, keep_case=i % 4 == 0)))
        calls.append(("subdomain", (domain, i % 3), flags))
        if i % 97 == 0:
            calls.append(("subdomain", (domain, -1), {}))
            calls.append(("publicsuffix", (b"bytes",), {}))
    return calls


def run(call):
    name, args, kwargs = call
    try:
        return ("ok", getattr(support._lookup, name)(*args, **kwargs))
    except Exception as exc:
        return ("error", type(exc), str(exc), getattr(exc, "__notes__", None))


def test_threads_match_sequential_answers():
    calls = workload()
    expected = [run(c) for c in calls]
    assert any(r[0] == "error" for r in expected)
    results = [None] * THREADS
    barrier = threading.Barrier(THREADS)

    def worker(index):
        barrier.wait()
        # Each thread walks the calls from a different starting point.
        offset = index * len(calls) // THREADS
        order = list(range(offset, len(calls))) + list(range(offset))
        got = [None] * len(calls)
        for _ in range(ROUNDS):
            for j in order:
                got[j] = run(calls[j])
        results[index] = got

    old_interval = sys.getswitchinterval()
    sys.setswitchinterval(1e-5)
    try:
        threads = [threading.Thread(target=worker, args=(i,)) for i in range(THREADS)]
        for t in threads:
            t.start()
        for t in threads:
            t.join()
    finally:
        sys.setswitchinterval(old_interval)
    for index, got in enumerate(results):
        assert got is not None, f"thread {index} did not finish"
        mismatches = [(calls[j], got[j], expected[j]) for j in range(len(calls)) if got[j] != expected[j]]
        assert mismatches == [], f"thread {index}"
