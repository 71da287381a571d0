"""lookup_psl: the package's functions are _lookup's, and a SuffixList built
at run time from the same list answers exactly like them."""

import itertools
import pathlib
import pickle
import sys
import threading

import pytest

import support

FLAG_COMBINATIONS = {
    name: [dict(zip(flags, values)) for values in itertools.product((False, True), repeat=len(flags))]
    for name, flags in support.FLAG_NAMES.items()
}
SMALL_LIST = (
    b"// VERSION: 2025-06-01_12-00-00_UTC\n// COMMIT: 0123abcd\n"
    b"// ===BEGIN ICANN DOMAINS===\ncom\nuk\nco.uk\n*.ck\n!www.ck\n// ===END ICANN DOMAINS===\n"
    b"// ===BEGIN PRIVATE DOMAINS===\nblogspot.com\n// ===END PRIVATE DOMAINS===\n"
)


@pytest.fixture(scope="module")
def full_list(lookup_psl):
    return lookup_psl.SuffixList.from_file(support.require_file(support.LIST_FILE))


def test_package_functions_are_the_module_functions(lookup_psl, lookup):
    for name in (*support.FUNCTION_NAMES, "LIST_CHECKSUM"):
        assert getattr(lookup_psl, name) is getattr(lookup, name)
    batch_names = [f"{name}_batch" for name in support.FUNCTION_NAMES]
    arrow_names = [f"{name}_arrow" for name in support.FUNCTION_NAMES]
    assert lookup_psl.__all__ == [*lookup.__all__, "SuffixList", *batch_names, *arrow_names, "ArrowAnswers",
                                  "ArrowAnswerStream", "default_list_path"]
    for name in ("SuffixList", "ArrowAnswers", "ArrowAnswerStream"):
        assert getattr(lookup_psl, name).__module__ == "lookup_psl"


# Through the batch forms, which the batch tests hold to each one's per-call
# answers over the same corpus.
@pytest.mark.slow
def test_runtime_list_answers_like_the_compiled_one_over_the_corpus(full_list, lookup_psl, lookup):
    assert full_list.checksum == lookup.LIST_CHECKSUM
    names = support.load_corpus() + ["", ".", "a..b", "example.com..", "ẞ.EXAMPLE.COM.", "WWW.CK"]
    mismatches = []
    for name, combinations in FLAG_COMBINATIONS.items():
        compiled, runtime = getattr(lookup_psl, name + "_batch"), getattr(full_list, name + "_batch")
        for flags, depths in itertools.product(combinations, [(0,), (1,)] if name == "subdomain" else [()]):
            pairs = zip(names, compiled(names, *depths, **flags), runtime(names, *depths, **flags))
            mismatches += [(name, domain, depths, flags) for domain, expected, got in pairs if got != expected]
    assert mismatches == []


def test_attributes_and_repr(lookup_psl):
    built = lookup_psl.SuffixList.from_bytes(bytearray(SMALL_LIST), extra_rules=["Example.ORG", "*.dyn.example.com"])
    assert built.version == "2025-06-01_12-00-00_UTC" and built.commit == "0123abcd"
    assert (built.icann_rules, built.private_rules) == (5, 3)
    assert built.extra_rules == ("Example.ORG", "*.dyn.example.com")
    assert built.checksum == __import__("hashlib").sha256(SMALL_LIST).hexdigest()
    assert repr(built) == (
        f"<lookup_psl.SuffixList checksum={built.checksum[:16]}... version='2025-06-01_12-00-00_UTC' "
        "commit='0123abcd' icann_rules=5 private_rules=3 extra_rules=2>"
    )
    for attribute in ("checksum", "version", "commit", "extra_rules", "icann_rules", "private_rules"):
        with pytest.raises(AttributeError):
            setattr(built, attribute, None)
    with pytest.raises(TypeError, match="cannot create 'lookup_psl.SuffixList' instances"):
        lookup_psl.SuffixList()
    bare = lookup_psl.SuffixList.from_bytes(b"")
    assert (bare.version, bare.commit, bare.extra_rules) == (None, None, ())
    # Only the implicit rule "*": the last label is the public suffix.
    assert bare.privateparts("a.b.example.test") == ("a", "b", "example.test")
    # The table is held by the object; the source bytes are their own object.
    assert sys.getsizeof(built) > 200


def test_extra_rules_join_the_private_section(lookup_psl):
    built = lookup_psl.SuffixList.from_bytes(SMALL_LIST, extra_rules=("Example.ORG", "*.dyn.example.com"))
    assert built.privatesuffix("a.b.Example.org", keep_case=True) == "b.Example.org"
    assert built.privatesuffix("a.b.example.org", icann_only=True) == "example.org"
    assert built.publicsuffix("x.y.dyn.example.com") == "y.dyn.example.com"
    assert built.publicsuffix("x.y.dyn.example.com", icann_only=True) == "com"
    assert built.is_public("www.ck") is False and built.is_public("foo.ck") is True


@pytest.mark.parametrize("kind", ["str", "bytes", "pathlib"])
def test_from_file_takes_any_path_form(lookup_psl, tmp_path, kind):
    path = tmp_path / "list.dat"
    path.write_bytes(SMALL_LIST)
    given = {"str": str(path), "bytes": bytes(path), "pathlib": pathlib.Path(path)}[kind]
    built = lookup_psl.SuffixList.from_file(given, extra_rules=["example.org"])
    assert built.checksum == lookup_psl.SuffixList.from_bytes(SMALL_LIST).checksum
    assert built.privatesuffix("www.example.co.uk") == "example.co.uk"


def test_methods_bind_and_convert_like_the_functions(full_list):
    cases = [
        (lambda: full_list.publicsuffix(), TypeError,
         "SuffixList.publicsuffix() missing 1 required positional argument: 'domain'", None),
        (lambda: full_list.subdomain("a.b.com"), TypeError,
         "SuffixList.subdomain() missing 1 required positional argument: 'depth'", None),
        (lambda: full_list.is_public("com", keep_case=True), TypeError,
         "SuffixList.is_public() got an unexpected keyword argument 'keep_case'", None),
        (lambda: full_list.privatesuffix(b"example.com"), TypeError,
         "'bytes' object is not an instance of 'str'", "while processing 'domain'"),
        (lambda: full_list.privateparts("a.com", icann_only=1), TypeError,
         "'int' object is not an instance of 'bool'", "while processing 'icann_only'"),
        (lambda: full_list.subdomain("a.com", -1), OverflowError, None, "while processing 'depth'"),
        (lambda: full_list.publicsuffix("\ud800.com"), UnicodeEncodeError, None, "while processing 'domain'"),
    ]
    for call, error, message, note in cases:
        with pytest.raises(error) as raised:
            call()
        if message is not None:
            assert str(raised.value) == message
        assert getattr(raised.value, "__notes__", [None]) == [note]
    assert full_list.subdomain(domain="a.b.example.com", depth=2**64 - 1) is None


def test_pickles_by_source_and_extra_rules(lookup_psl):
    built = lookup_psl.SuffixList.from_bytes(SMALL_LIST, extra_rules=["example.org"])
    for protocol in range(pickle.HIGHEST_PROTOCOL + 1):
        copy = pickle.loads(pickle.dumps(built, protocol=protocol))
        assert type(copy) is lookup_psl.SuffixList and copy is not built
        assert (copy.checksum, copy.extra_rules, copy.version) == (built.checksum, built.extra_rules, built.version)
        assert copy.privatesuffix("a.example.org") == "a.example.org"
        method = pickle.loads(pickle.dumps(built.privateparts, protocol=protocol))
        assert method("a.b.example.co.uk") == ("a", "b", "example.co.uk")


def test_one_list_shared_by_threads(full_list, lookup):
    names = support.load_corpus()[:2000]
    expected = [lookup.privateparts(name) for name in names]
    results = [None] * 8
    barrier = threading.Barrier(len(results))

    def work(slot):
        barrier.wait()
        results[slot] = [full_list.privateparts(name) for name in names]

    threads = [threading.Thread(target=work, args=(slot,)) for slot in range(len(results))]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    assert all(result == expected for result in results)
