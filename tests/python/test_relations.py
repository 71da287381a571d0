"""Relations between the six answers, and agreement with the list file, over the
benchmark corpus and a set of tricky names, under every flag combination."""

import itertools

import pytest

import support

FLAG_COMBINATIONS = [
    dict(zip(("accept_unknown", "icann_only"), values))
    for values in itertools.product((True, False), repeat=2)
]

TRICKY = [
    "a.b.example.com", "Mail.Example.CO.UK.", "co.uk", "com", "com.", "uk",
    "foo.ck", "a.b.foo.ck", "www.ck", "a.www.ck", "ck", "x.WWW.CK.",
    "sch.uk", "example.sch.uk", "a.example.sch.uk",
    "kobe.jp", "example.kobe.jp", "city.kobe.jp", "a.city.kobe.jp",
    "example", "example.test", "a.example.test", "za", "example.za", "a.example.co.za",
    "example.公司.cn", "example.xn--55qx5d.cn", "食狮.中国", "www.食狮.中国",
    "ẞ.EXAMPLE.COM", "İ.EXAMPLE.COM", "\u212a\u212a.\u212a.Example.COM",
    "\u023a\u023a.b.\u023aX.co.uk", "ΟΔΟΣ.example.com", "ΑΣ.1", "a b.com",
    "example。com", "x.example．com", "-.-.com", "_dmarc.Example.COM",
    "a" * 63 + ".b" * 40 + ".co.uk",
    "A" * 300 + ".EXAMPLE.COM.",
    "x." * 20 + "city.kawasaki.jp",
    "\u0130" * 17 + ".\u212a" * 16 + ".co.uk",
]


def private_rule_names():
    rule = support.private_rule_under_com()
    return [rule, "x." + rule, "a.b." + rule.upper()]


@pytest.fixture(scope="module")
def names():
    return support.load_corpus() + TRICKY + private_rule_names()


def check_relations(lookup, domain, flags):
    for keep_case in (False, True):
        text_flags = dict(flags, keep_case=keep_case)
        public = lookup.publicsuffix(domain, **text_flags)
        private = lookup.privatesuffix(domain, **text_flags)
        parts = lookup.privateparts(domain, **text_flags)
        is_public = lookup.is_public(domain, **flags)
        is_private = lookup.is_private(domain, **flags)
        source = support.strip_dot(domain) if keep_case else support.reference_lower(support.strip_dot(domain))

        assert is_private is (private is not None)
        assert (parts is None) is (private is None)
        assert is_public is (public == source)
        assert not (is_public and is_private)
        assert lookup.subdomain(domain, 0, **text_flags) == private
        if public is not None:
            assert source == public or source.endswith("." + public)
        if private is not None:
            assert public is not None
            assert private.endswith("." + public)
            assert "." not in private[: len(private) - len(public) - 1]
            assert parts[-1] == private
            assert ".".join(parts) == source
            assert all(item and "." not in item for item in parts[:-1])
            assert lookup.subdomain(domain, len(parts) - 1, **text_flags) == source
            assert lookup.subdomain(domain, len(parts), **text_flags) is None
            for depth in range(len(parts)):
                assert lookup.subdomain(domain, depth, **text_flags) == ".".join(parts[len(parts) - 1 - depth:])
        else:
            assert lookup.subdomain(domain, 1, **text_flags) is None


@pytest.mark.parametrize("flags", FLAG_COMBINATIONS, ids=repr)
def test_relations_hold(lookup, names, flags):
    for domain in names:
        try:
            check_relations(lookup, domain, flags)
        except AssertionError as exc:
            raise AssertionError(f"{domain!r} with {flags}: {exc}") from None


@pytest.mark.parametrize("flags", FLAG_COMBINATIONS, ids=repr)
def test_answers_agree_with_the_list_file(lookup, names, flags):
    mismatches = []
    for domain in names:
        text = support.strip_dot(domain)
        lowered = support.reference_lower(text)
        labels = lowered.split(".")
        n = len(labels)
        p = support.reference_suffix_count(lowered, **flags)
        expected_public = ".".join(labels[n - p:]) if p else None
        expected_private = ".".join(labels[n - p - 1:]) if p and n > p else None
        got = (
            lookup.publicsuffix(domain, **flags),
            lookup.privatesuffix(domain, **flags),
            lookup.is_public(domain, **flags),
        )
        expected = (expected_public, expected_private, p == n)
        if got != expected:
            mismatches.append((domain, got, expected))
    assert mismatches == []


def test_keep_case_cuts_the_same_labels(lookup, names):
    for domain in names:
        kept = lookup.privateparts(domain, keep_case=True)
        lowered = lookup.privateparts(domain)
        if kept is None:
            assert lowered is None
            continue
        assert len(kept) == len(lowered), domain
        assert support.reference_lower(".".join(kept)) == ".".join(lowered), domain
        original = support.strip_dot(domain)
        assert ".".join(kept) == original


def test_corpus_covers_the_interesting_shapes(lookup, names):
    # Guards the relations above against a corpus that exercises nothing.
    corpus = support.load_corpus()
    assert len(corpus) > 1000
    assert any(lookup.privateparts(d) and len(lookup.privateparts(d)) > 1 for d in corpus)
    assert any(d != d.lower() for d in corpus)
    assert any(lookup.is_public(d) for d in names)
    assert any(not d.isascii() for d in corpus)
