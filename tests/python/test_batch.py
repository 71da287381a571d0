"""The batch forms (lookup_psl.privatesuffix_batch and the SuffixList
methods of the same names): the per-call answers and errors for every item,
with the failing item's index, and no reference kept."""

import gc
import itertools
import signal
import subprocess
import sys
import time

import pytest

import support

FLAG_COMBINATIONS = {
    name: [dict(zip(flags, values)) for values in itertools.product((False, True), repeat=len(flags))]
    for name, flags in support.FLAG_NAMES.items()
}


class Domain(str):
    pass


# Names that take every path of the batch: invalid ones, lowering that
# changes the text (kept apart from the caller's), lowered texts longer than
# the inline room, wildcards and exceptions, str subclasses.
EXTRA_NAMES = [
    "", ".", "a..b", "example.com..", "ẞ.EXAMPLE.COM.", "WWW.CK", "a.b.foo.ck", "İ.Example.CO.UK",
    "x." * 200 + "Example.COM", "a" * 300 + ".blogspot.com", "com", "unknown-tld", Domain("Sub.Example.COM"),
]


@pytest.fixture(scope="module")
def names():
    return support.load_corpus() + EXTRA_NAMES


def batch_call(owner, name, domains, *args, **kwargs):
    return getattr(owner[1], name + "_batch")(domains, *args, **kwargs)


# One sweep of per-call answers (most of the time taken) serves the batch on
# one thread and on two.
@pytest.mark.slow
def test_answers_equal_the_per_call_functions_over_the_corpus(owner, names):
    mismatches = []
    for name, combinations in FLAG_COMBINATIONS.items():
        per_call = getattr(owner[0], name)
        for flags, depths in itertools.product(combinations, [(0,), (1,), (3,)] if name == "subdomain" else [()]):
            expected = [per_call(domain, *depths, **flags) for domain in names]
            for threads in (1, 2):
                got = batch_call(owner, name, names, *depths, threads=threads, **flags)
                if got != expected or {type(answer) for answer in got} != {type(answer) for answer in expected}:
                    mismatches.append((name, depths, flags, threads))
    assert mismatches == []


# Ten rounds of lookups (16,384 names each), on one thread and on two (the
# rounds overlapping): each round answers its own names; answers that
# lowering changed live in the rounds' spills, and one str still serves each
# of the equal ones.
@pytest.mark.parametrize("threads", [1, 2])
def test_equal_answers_share_one_str_across_rounds(owner, threads):
    got = batch_call(owner, "privatesuffix", [f"W{i}.Example{i % 3}.COM" for i in range(150_000)], threads=threads)
    assert got == [f"example{i % 3}.com" for i in range(150_000)]
    assert all(answer is got[i % 3] for i, answer in enumerate(got))


# A thread reuses its round buffers from call to call; a batch called from a
# signal handler while one is running (its lookups look for signals between
# chunks) must not answer into the running one's buffers.
def test_a_batch_inside_a_signal_handler_keeps_to_its_own_answers(owner):
    outer = [f"W{i}.Outer{i % 7}.COM" for i in range(500_000)]
    inner = [f"x{i}.Inner{i}.org" for i in range(70_000)]
    running, inner_answers = [], []  # (whether the outer call was running, whether the answers were right)

    def handler(signum, frame):
        right = batch_call(owner, "privatesuffix", inner) == [f"inner{i}.org" for i in range(70_000)]
        inner_answers.append((bool(running), right))

    previous = signal.signal(signal.SIGALRM, handler)
    try:
        for _ in range(20):
            signal.setitimer(signal.ITIMER_REAL, 0.005)
            running.append(True)
            got = batch_call(owner, "privatesuffix", outer)
            running.clear()
            assert got == [f"outer{i % 7}.com" for i in range(500_000)]
            if any(inside for inside, _ in inner_answers):
                break
    finally:
        signal.setitimer(signal.ITIMER_REAL, 0)
        signal.signal(signal.SIGALRM, previous)
    assert any(inside for inside, _ in inner_answers)
    assert all(right for _, right in inner_answers)


# An exception raised at the recursion limit is passed on as it is: telling
# it apart from an internal fault must not need anything made (a fresh
# process, where nothing has been). Every depth up to the limit makes a batch
# call whose names recurse to the limit, so a low limit keeps the run short
# (0.07 s against 3 s at the default 1000; it aborted at either before the fix).
def test_an_error_at_the_recursion_limit_stays_that_error():
    script = f"""if True:
        import sys
        sys.path.insert(0, {str(support.MODULE_DIR)!r})
        import lookup_psl
        sys.setrecursionlimit(200)
        def recurse():
            recurse()
        def names():
            recurse()
            yield "example.com"
        def deepest():
            try:
                return deepest()
            except RecursionError:
                return lookup_psl.privatesuffix_batch(names())
        try:
            deepest()
        except RecursionError:
            print("RecursionError")
        """
    done = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True, timeout=60)
    assert (done.returncode, done.stdout) == (0, "RecursionError\n"), done.stderr


@pytest.mark.memcheck
def test_iterables_of_str(owner):
    domains = ["www.Example.com", "a.b.co.uk"]
    expected = ["example.com", "b.co.uk"]
    for given in (domains, tuple(domains), iter(domains), (domain for domain in domains), dict.fromkeys(domains)):
        assert batch_call(owner, "privatesuffix", given) == expected
    assert batch_call(owner, "privatesuffix", []) == []
    assert batch_call(owner, "subdomain", (), 1, threads=64) == []
    for single in ("example.com", b"example.com", bytearray(b"example.com")):
        with pytest.raises(TypeError) as caught:
            batch_call(owner, "publicsuffix", single)
        assert str(caught.value) == f"expected an iterable of str, not a single '{type(single).__name__}'"
    with pytest.raises(TypeError) as caught:
        batch_call(owner, "publicsuffix", 5)
    assert caught.value.__notes__ == ["while processing 'domains'"]


# (items, index of the failing item, the per-call call that fails alike)
ITEM_ERRORS = [
    (["a.com", 3], 1, lambda call: call(3)),
    (["a.com", "b.com", b"c.com"], 2, lambda call: call(b"c.com")),
    ([None], 0, lambda call: call(None)),
    (["ok.com", "a\udc00.com", 7], 1, lambda call: call("a\udc00.com")),
    ([Domain("x\ud800")], 0, lambda call: call(Domain("x\ud800"))),
]


@pytest.mark.memcheck
@pytest.mark.parametrize("items, index, per_call", ITEM_ERRORS)
def test_item_errors_are_the_per_call_errors_with_the_index(owner, items, index, per_call):
    with pytest.raises(Exception) as expected:
        per_call(owner[0].privateparts)
    with pytest.raises(type(expected.value)) as caught:
        batch_call(owner, "privateparts", items, threads=2)
    assert str(caught.value) == str(expected.value)
    assert caught.value.__notes__ == [*expected.value.__notes__, f"while processing item {index} of 'domains'"]


class Index:
    def __init__(self, value):
        self.value = value

    def __index__(self):
        return self.value


# threads: accepted values, and refused ones with their error and message.
THREADS_ACCEPTED = [1, 2, 3, 64, 65, 2**70, Index(2)]
THREADS_REFUSED = [
    (True, TypeError, "threads must be an int, not 'bool'"),
    (0, ValueError, "threads must be at least 1"),
    (-1, ValueError, "threads must be at least 1"),
    (-(2**70), ValueError, "threads must be at least 1"),
    (1.5, TypeError, "'float' object cannot be interpreted as an integer"),
    ("2", TypeError, "'str' object cannot be interpreted as an integer"),
    (None, TypeError, "'NoneType' object cannot be interpreted as an integer"),
]


@pytest.mark.parametrize("real", [False, True], ids=["fake", "numpy"])
def test_numpy_booleans_are_refused_as_threads_like_bool(owner, fake_numpy_bool, request, real):
    # numpy's boolean has __index__, but threads=numpy.True_ is a switch too.
    if real:
        truth = request.getfixturevalue("numpy").bool_(True)
    else:
        truth = fake_numpy_bool(lambda self: True, bases=(Index,))(1)
    with pytest.raises(TypeError, match=r"^threads must be an int, not '(numpy\.)?bool_?'(\n|$)"):
        batch_call(owner, "publicsuffix", ["a.example.com"], threads=truth)


def test_threads_argument(owner, names):
    domains = names[:5000]
    expected = batch_call(owner, "publicsuffix", domains)
    for threads in THREADS_ACCEPTED:
        assert batch_call(owner, "publicsuffix", domains, threads=threads) == expected
    for threads, error, message in THREADS_REFUSED:
        with pytest.raises(error) as caught:
            batch_call(owner, "publicsuffix", domains, threads=threads)
        assert str(caught.value) == message
        assert caught.value.__notes__ == ["while processing 'threads'"]


@pytest.mark.parametrize(
    "args, kwargs",
    [
        ((), {"accept_unknown": 1}),
        ((), {"icann_only": None}),
        ((), {"keep_case": "yes"}),
        ((), {"bogus": True}),
        (("extra",), {}),
    ],
)
def test_argument_errors_are_the_per_call_ones(owner, args, kwargs):
    with pytest.raises(Exception) as expected:
        owner[0].publicsuffix("a.com", *args, **kwargs)
    with pytest.raises(type(expected.value)) as caught:
        batch_call(owner, "publicsuffix", ["a.com"], *args, **kwargs)
    assert str(caught.value) == str(expected.value).replace("publicsuffix()", "publicsuffix_batch()")
    assert getattr(caught.value, "__notes__", None) == getattr(expected.value, "__notes__", None)


def test_depth_errors_are_the_per_call_ones(owner):
    for depth in (-1, 2**64, 1.5, None):
        with pytest.raises(Exception) as expected:
            owner[0].subdomain("a.b.com", depth)
        with pytest.raises(type(expected.value)) as caught:
            batch_call(owner, "subdomain", ["a.b.com"], depth)
        assert (str(caught.value), caught.value.__notes__) == (str(expected.value), expected.value.__notes__)


def test_items_and_arguments_keep_their_reference_counts(owner):
    domains = ["".join(["Sub.Example", ".COM"]), "".join(["example", ".com"]), Domain("a.b.co.uk")]
    given = list(domains)
    refused = Index(0)
    objects = [*domains, given, refused]
    before = [sys.getrefcount(item) for item in objects]
    calls = [
        lambda: batch_call(owner, "privatesuffix", given),
        lambda: batch_call(owner, "privateparts", given, keep_case=True),
        lambda: batch_call(owner, "subdomain", iter(given), 1, threads=2),
        lambda: batch_call(owner, "publicsuffix", [*given, refused]),
        lambda: batch_call(owner, "is_public", given, threads=refused),
    ]
    for call in calls * 200:
        try:
            call()
        except (TypeError, ValueError):
            pass
    gc.collect()
    assert [sys.getrefcount(item) for item in objects] == before


@pytest.mark.refcount
def test_total_reference_count_flat(owner, names):
    domains = names[:2048]  # two threads' worth
    failing = (["a.com", 3], ["a\udc00.com"])

    def calls():
        for name in support.FUNCTION_NAMES:
            for threads in (1, 2):
                batch_call(owner, name, domains, *([1] if name == "subdomain" else []), threads=threads)
        for items in failing:
            try:
                batch_call(owner, "privatesuffix", items)
            except (TypeError, UnicodeEncodeError):
                pass

    for _ in range(3):
        calls()
    gc.collect()
    before = sys.gettotalrefcount()
    for _ in range(50):
        calls()
    gc.collect()
    # The interpreter's own caches move the count by up to about a hundred,
    # whatever the number of calls; one reference kept per call would show
    # as 700, one per item as a hundred thousand.
    assert abs(sys.gettotalrefcount() - before) < 300


@pytest.mark.parametrize("form", ["module", "suffix_list"])
@pytest.mark.parametrize("threads", [1, 2])
def test_ctrl_c_interrupts_a_long_batch(form, threads):
    # Names whose lowering is slow (long, not ASCII): the batch takes
    # seconds. The child times a small batch first, then tells how much of
    # the whole batch's time had passed when KeyboardInterrupt came; a call
    # that let the signal wait for its end would have all of it.
    owner = "lookup_psl" if form == "module" else f"lookup_psl.SuffixList.from_file({str(support.LIST_FILE)!r})"
    script = f"""if True:
        import sys, time
        sys.path.insert(0, {str(support.MODULE_DIR)!r})
        import lookup_psl
        owner, names = {owner}, ["İx." * 1000 + "example.com"] * 500_000
        start = time.perf_counter()
        owner.privatesuffix_batch(names[:5_000], threads={threads})
        whole = (time.perf_counter() - start) * 100
        print("ready", flush=True)
        start = time.perf_counter()
        try:
            owner.privatesuffix_batch(names, threads={threads})
        except KeyboardInterrupt:
            print((time.perf_counter() - start) / whole, flush=True)
        """
    child = subprocess.Popen([sys.executable, "-c", script], stdout=subprocess.PIPE, text=True)
    try:
        assert child.stdout.readline() == "ready\n"
        time.sleep(0.2)
        child.send_signal(signal.SIGINT)
        assert float(child.stdout.readline()) < 0.5
        assert child.wait(timeout=60) == 0
    finally:
        child.kill()
        child.wait()
