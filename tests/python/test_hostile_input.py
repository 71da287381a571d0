"""Huge and hostile input: enormous names, every kind of character, lone
surrogates, str subclasses that lie about themselves, argument methods that
call the module again, and many threads."""

import os
import random
import sys
import threading

import pytest

import support

U64_MAX = 2**64 - 1
MIB = 1024 * 1024

# Quick in-process calls through every path are worth running under valgrind.
pytestmark = pytest.mark.memcheck


# --- Huge names ------------------------------------------------------------


@pytest.mark.slow
def test_ten_mib_label(lookup):
    label = "Ab" * (5 * MIB)
    domain = label + ".Example.CO.UK."
    assert lookup.publicsuffix(domain) == "co.uk"
    assert lookup.publicsuffix(domain, keep_case=True) == "CO.UK"
    assert lookup.privatesuffix(domain) == "example.co.uk"
    assert lookup.is_private(domain) is True
    assert lookup.is_public(domain) is False
    parts = lookup.privateparts(domain, keep_case=True)
    assert parts == (label, "Example.CO.UK")
    assert lookup.privateparts(domain)[0] == label.lower()
    assert lookup.subdomain(domain, 1, keep_case=True) == domain[:-1]
    assert lookup.subdomain(domain, 2) is None


@pytest.mark.slow
def test_ten_mib_non_ascii_name(lookup):
    # Lowering changes byte lengths (İ grows, K shrinks) across the whole text.
    label = "İK" * (MIB)
    domain = "x" * (8 * MIB) + "." + label + ".COM"
    lowered = "x" * (8 * MIB) + "." + "i\u0307k" * MIB + ".com"
    assert lookup.privatesuffix(domain) == lowered[8 * MIB + 1:]
    assert lookup.privateparts(domain) == ("x" * (8 * MIB), lowered[8 * MIB + 1:])
    assert lookup.privateparts(domain, keep_case=True) == ("x" * (8 * MIB), label + ".COM")
    assert lookup.subdomain(domain, 1) == lowered


@pytest.mark.slow
def test_million_labels(lookup):
    count = 1_000_000
    domain = "a." * count + "Example.com"
    assert lookup.publicsuffix(domain) == "com"
    assert lookup.privatesuffix(domain, keep_case=True) == "Example.com"
    parts = lookup.privateparts(domain)
    assert len(parts) == count + 1
    assert parts[0] == "a" and parts[-2] == "a" and parts[-1] == "example.com"
    assert lookup.subdomain(domain, count, keep_case=True) == domain
    assert lookup.subdomain(domain, count - 1) == domain[2:].lower()
    assert lookup.subdomain(domain, count + 1) is None
    assert lookup.subdomain(domain, U64_MAX) is None
    # A million labels that the walk follows: wildcard and rule paths stop it
    # early, but the label count still covers the whole name.
    deep = "b." * count + "foo.ck"
    assert lookup.privatesuffix(deep) == "b.foo.ck"
    assert lookup.is_public(deep) is False


@pytest.mark.slow
@pytest.mark.parametrize(
    "domain",
    ["." * 1_000_000, "a" + "." * 1_000_000 + "com", "com" + "." * 1_000_000, "." * 1_000_000 + "com",
     "a." * 500_000 + "." + "b." * 500_000 + "com"],
    ids=["dots", "dots-inside", "dots-after", "dots-before", "one-empty-label-in-the-middle"],
)
def test_million_dots_are_invalid(domain, lookup):
    for flags in ({}, {"accept_unknown": False}, {"icann_only": True}):
        assert lookup.publicsuffix(domain, **flags) is None
        assert lookup.privatesuffix(domain, **flags) is None
        assert lookup.is_public(domain, **flags) is False
        assert lookup.is_private(domain, **flags) is False
        assert lookup.privateparts(domain, **flags) is None
        assert lookup.subdomain(domain, 0, **flags) is None


@pytest.mark.slow
def test_one_trailing_dot_of_a_million_labels_is_dropped(lookup):
    domain = "X." * 1_000_000 + "co.uk."
    assert lookup.privatesuffix(domain, keep_case=True) == "X.co.uk"
    assert lookup.subdomain(domain, 999_999, keep_case=True) == domain[:-1]


# --- Characters --------------------------------------------------------------


def test_nul_characters_are_ordinary_label_characters(lookup):
    assert lookup.publicsuffix("a\x00b.example.com") == "com"
    assert lookup.privateparts("a\x00b.Ex\x00ample.com", keep_case=True) == ("a\x00b", "Ex\x00ample.com")
    # "com\0" is not the rule "com": an unlisted top-level label.
    assert lookup.publicsuffix("example.com\x00") == "com\x00"
    assert lookup.publicsuffix("example.com\x00", accept_unknown=False) is None
    assert lookup.is_public("\x00") is True
    assert lookup.privatesuffix("\x00.\x00") == "\x00.\x00"
    assert lookup.privatesuffix("\x00" * 1000 + ".com") == "\x00" * 1000 + ".com"
    assert lookup.subdomain("\x00.\x00.co.uk", 1) == "\x00.\x00.co.uk"


# One character of every general category (surrogates apart, below).
CATEGORY_SAMPLES = {
    "Lu": "Q", "Ll": "q", "Lt": "\u01c5", "Lm": "\u02b0", "Lo": "\u05d0",
    "Mn": "\u0301", "Mc": "\u0903", "Me": "\u20dd",
    "Nd": "\u0663", "Nl": "\u2160", "No": "\u00b2",
    "Pc": "_", "Pd": "-", "Ps": "(", "Pe": ")", "Pi": "\u00ab", "Pf": "\u00bb", "Po": "!",
    "Sm": "+", "Sc": "$", "Sk": "^", "So": "\u00a9",
    "Zs": "\u3000", "Zl": "\u2028", "Zp": "\u2029",
    "Cc": "\x7f", "Cf": "\u200b", "Co": "\ue000", "Cn": "\U0010ffff",
    "Cn-unassigned": "\u0378",
}


@pytest.mark.parametrize("category", sorted(CATEGORY_SAMPLES))
def test_every_general_category(category, lookup):
    ch = CATEGORY_SAMPLES[category]
    label = f"x{ch}Y{ch}"
    domain = f"{ch}.{label}.Example.CO.UK"
    lowered = support.reference_lower(domain)
    assert lowered.split(".")[:2] == [support.reference_lower(ch), support.reference_lower(label)]
    assert lookup.publicsuffix(domain) == "co.uk"
    assert lookup.privateparts(domain) == tuple(lowered.split(".")[:2]) + ("example.co.uk",)
    assert lookup.privateparts(domain, keep_case=True) == (ch, label, "Example.CO.UK")
    assert lookup.subdomain(domain, 2) == lowered
    # The character alone, and as a top-level label.
    assert lookup.publicsuffix(ch, keep_case=True) == ch
    assert lookup.privatesuffix(f"a.{ch}") == f"a.{support.reference_lower(ch)}"
    assert lookup.publicsuffix(f"a.{ch}", accept_unknown=False) is None


@pytest.mark.parametrize(
    "domain",
    ["\ud800", "\udfff.com", "example.\udc00", "a.\ud83d\ude00.com", "x" * MIB + "\ud800"],
    ids=["high", "low-label", "top-level", "split-pair", "after-a-mib"],
)
@pytest.mark.parametrize("name", support.FUNCTION_NAMES)
def test_lone_surrogates_raise_unicode_encode_error(name, domain):
    with pytest.raises(UnicodeEncodeError) as info:
        support.call(name, *support.positional_args(name, domain))
    assert info.value.__notes__ == ["while processing 'domain'"]


def test_astral_characters_and_the_largest_code_point(lookup):
    assert lookup.privateparts("\U0001F600.\U0010FFFF.example.com") == ("\U0001F600", "\U0010FFFF", "example.com")
    # Capitals new in Unicode 17.0 lower by its data.
    for capital in ("\U00016EA0", "\U00016EB8", "\ua7ce"):
        assert lookup.privatesuffix(capital + ".com") == support.reference_lower(capital) + ".com"
        assert support.reference_lower(capital) != capital


# --- str subclasses that lie -----------------------------------------------


class Liar(str):
    """Every method a Python-level reader might consult tells another story."""

    def __str__(self):
        return "liar.example.org"

    def __repr__(self):
        return "Liar()"

    def __eq__(self, other):
        return True

    def __ne__(self, other):
        return False

    def __hash__(self):
        return 0

    def __len__(self):
        return 1

    def __getitem__(self, index):
        return "z"

    def __iter__(self):
        return iter("z")

    def lower(self):
        return "lower.example.org"

    def encode(self, *args, **kwargs):
        return b"encode.example.org"

    def split(self, *args, **kwargs):
        return ["split"]

    def endswith(self, *args):
        return False


class Raiser(str):
    def __str__(self):
        raise RuntimeError("__str__ must not be called")

    def __hash__(self):
        raise RuntimeError("__hash__ must not be called")

    def __eq__(self, other):
        raise RuntimeError("__eq__ must not be called")


@pytest.mark.parametrize("cls", [Liar, Raiser])
def test_str_subclasses_answer_from_their_own_text(cls, lookup):
    domain = cls("A.b.Example.CO.UK.")
    assert lookup.publicsuffix(domain, keep_case=True) == "CO.UK"
    assert type(lookup.publicsuffix(domain)) is str
    assert lookup.privatesuffix(domain) == "example.co.uk"
    assert lookup.is_private(domain) is True
    assert lookup.is_public(cls("co.uk")) is True
    parts = lookup.privateparts(domain, keep_case=True)
    assert parts == ("A", "b", "Example.CO.UK")
    assert [type(p) for p in parts] == [str, str, str]
    assert lookup.subdomain(domain, 2, keep_case=True) == "A.b.Example.CO.UK"
    assert lookup.publicsuffix(cls("a..b")) is None


def test_str_subclass_keyword_names_match_by_text(lookup):
    class Keyword(str):
        def __eq__(self, other):
            return False

        def __hash__(self):
            return 1

    assert lookup.publicsuffix("A.COM", **{Keyword("keep_case"): True}) == "COM"


# --- Argument methods that call the module again ---------------------------


class ReentrantIndex:
    def __init__(self, lookup):
        self.lookup = lookup
        self.seen = []

    def __index__(self):
        self.seen.append(self.lookup.privateparts("a.b.Example.CO.UK", keep_case=True))
        self.seen.append(self.lookup.subdomain("x.y.example.com", ReentrantLeaf(self.lookup)))
        self.seen.append(self.lookup.is_private("example.com"))
        return 1


class ReentrantLeaf:
    def __init__(self, lookup):
        self.lookup = lookup

    def __index__(self):
        return self.lookup.is_public("com") + 0  # True -> 1


def test_reentrant_index(lookup):
    depth = ReentrantIndex(lookup)
    assert lookup.subdomain("a.b.example.co.uk", depth) == "b.example.co.uk"
    assert depth.seen == [("a", "b", "Example.CO.UK"), "y.example.com", True]


def test_reentrant_index_that_raises_from_an_inner_error(lookup):
    class Inner:
        def __index__(self):
            lookup.publicsuffix(b"bytes")

    with pytest.raises(TypeError) as info:
        lookup.subdomain("a.example.com", Inner())
    assert str(info.value) == "'bytes' object is not an instance of 'str'"
    assert info.value.__notes__ == ["while processing 'domain'", "while processing 'depth'"]


def test_reentrant_numpy_truth_slot(lookup, fake_numpy_bool):
    calls = []

    def truth(self):
        calls.append(lookup.publicsuffix("Mail.Example.CO.UK", keep_case=fake_numpy_bool(lambda s: True)()))
        calls.append(lookup.privateparts("a.example.com"))
        return True

    Flag = fake_numpy_bool(truth)
    assert lookup.publicsuffix("A.Example.COM", keep_case=Flag()) == "COM"
    assert lookup.privateparts("A.Example.COM", keep_case=Flag(), icann_only=Flag()) == ("A", "Example.COM")
    assert calls[:2] == ["CO.UK", ("a", "example.com")]
    assert len(calls) == 6


def test_real_numpy_bool_calls_back_safely(lookup, numpy):
    assert lookup.publicsuffix("A.COM", keep_case=numpy.bool_(True)) == "COM"
    assert lookup.publicsuffix("A.COM", keep_case=numpy.bool_(False)) == "com"


# --- Threads -----------------------------------------------------------------

THREADS = 16


def mixed_calls(count):
    corpus = support.load_corpus()
    extra = ["Mail.Example.CO.UK.", "a.b.foo.ck", "www.ck", "ẞ.EXAMPLE.COM", "", "..", "ΟΔΟΣ.Example.com",
             "a\x00.com", "\ud800.com", "İ" * 300 + ".com"]
    names = (corpus * (count // (6 * len(corpus)) + 1))[: count // 6 - len(extra)] + extra
    calls = []
    for i, domain in enumerate(names):
        flags = {"accept_unknown": i % 3 != 0, "icann_only": i % 5 == 0}
        calls.append(("publicsuffix", (domain,), dict(flags, keep_case=i % 2 == 0)))
        calls.append(("privatesuffix", (domain,), flags))
        calls.append(("is_public", (domain,), flags))
        calls.append(("is_private", (domain,), flags))
        calls.append(("privateparts", (domain,), dict(flags, keep_case=i % 4 == 0)))
        calls.append(("subdomain", (domain, (i % 4) if i % 11 else U64_MAX), flags))
        if i % 101 == 0:
            calls.append(("subdomain", (domain, -1), {}))
            calls.append(("is_public", (domain,), {"keep_case": True}))
    return calls


def answer(lookup, call):
    name, args, kwargs = call
    try:
        return ("ok", getattr(lookup, name)(*args, **kwargs))
    except Exception as exc:
        return ("error", type(exc), str(exc), getattr(exc, "__notes__", None))


@pytest.mark.slow
def test_sixteen_threads_give_the_sequential_answers(lookup):
    calls = mixed_calls(int(os.environ.get("LOOKUP_THREAD_CALLS", "192000")) // THREADS)
    expected = [answer(lookup, c) for c in calls]
    results = [None] * THREADS
    barrier = threading.Barrier(THREADS)

    def worker(index):
        barrier.wait()
        order = list(range(len(calls)))
        random.Random(index).shuffle(order)  # a different order per thread
        got = [None] * len(calls)
        for j in order:
            got[j] = answer(lookup, calls[j])
        results[index] = got

    old = sys.getswitchinterval()
    sys.setswitchinterval(1e-6)
    try:
        threads = [threading.Thread(target=worker, args=(i,)) for i in range(THREADS)]
        for t in threads:
            t.start()
        for t in threads:
            t.join()
    finally:
        sys.setswitchinterval(old)
    for index, got in enumerate(results):
        assert got is not None, f"thread {index} died"
        wrong = [(calls[j], got[j], expected[j]) for j in range(len(calls)) if got[j] != expected[j]]
        assert wrong[:5] == [], f"thread {index}: {len(wrong)} answers differ"


RACE_SCRIPT = """
import sys, threading
sys.setswitchinterval(1e-6)
THREADS = 32
barrier = threading.Barrier(THREADS)
classes, notes, errors = [], [], []

def worker(i):
    barrier.wait()
    try:
        if i % 2:
            _lookup.publicsuffix("a.bad")
        else:
            _lookup.subdomain("a.example.com", -1)
    except OverflowError as exc:
        notes.append(tuple(exc.__notes__))
    except Exception as exc:
        errors.append(repr(exc))
    except BaseException as exc:
        classes.append(type(exc))

threads = [threading.Thread(target=worker, args=(i,)) for i in range(THREADS)]
for t in threads:
    t.start()
for t in threads:
    t.join()
assert errors == [], errors
assert len(classes) == THREADS // 2, classes
assert len({id(c) for c in classes}) == 1, set(classes)
assert classes[0].__name__ == "PanicException"
assert notes == [("while processing 'depth'",)] * (THREADS // 2), notes
try:
    _lookup.is_public("a.bad")
except BaseException as exc:
    assert type(exc) is classes[0]
else:
    raise AssertionError("no fault")
print("DONE")
"""


@pytest.mark.slow
@pytest.mark.parametrize("attempt", range(3))
def test_once_values_are_created_once_under_a_race(run_python, corrupt_module_dir, attempt):
    completed = run_python(RACE_SCRIPT, corrupt_module_dir)
    assert completed.returncode == 0, completed.stdout + completed.stderr
    assert "DONE" in completed.stdout
