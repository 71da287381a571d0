"""privateparts and subdomain against the compiled list."""

import itertools

import pytest

import support

U64_MAX = 2**64 - 1

FLAG_COMBINATIONS = [
    dict(zip(("accept_unknown", "icann_only", "keep_case"), values))
    for values in itertools.product((True, False), repeat=3)
]


# Quick in-process calls through every path are worth running under valgrind.
pytestmark = pytest.mark.memcheck


@pytest.fixture(scope="module")
def parts(lookup):
    return lookup.privateparts


@pytest.fixture(scope="module")
def sub(lookup):
    return lookup.subdomain


class TestPrivateParts:
    @pytest.mark.parametrize(
        "domain, expected",
        [
            ("a.b.example.co.uk", ("a", "b", "example.co.uk")),
            ("example.co.uk", ("example.co.uk",)),
            ("co.uk", None),
            ("com", None),
            ("a.b.foo.ck", ("a", "b.foo.ck")),
            ("a.www.ck", ("a", "www.ck")),
            ("www.ck", ("www.ck",)),
            ("foo.ck", None),
            ("a.example.test", ("a", "example.test")),
            ("a.example.za", ("a", "example.za")),
            ("Mail.Example.CO.UK", ("mail", "example.co.uk")),
            ("ẞ.EXAMPLE.COM", ("ß", "example.com")),
            ("a.b.example.com.", ("a", "b", "example.com")),
            ("x y.a b.com", ("x y", "a b.com")),
        ],
    )
    def test_default_flags(self, parts, domain, expected):
        result = parts(domain)
        assert result == expected
        if expected is not None:
            assert type(result) is tuple

    def test_without_accept_unknown(self, parts):
        assert parts("a.example.test", accept_unknown=False) is None
        assert parts("a.example.za", accept_unknown=False) is None
        assert parts("a.example.co.za", accept_unknown=False) == ("a", "example.co.za")

    @pytest.mark.parametrize(
        "domain, expected",
        [
            ("Mail.Example.CO.UK", ("Mail", "Example.CO.UK")),
            ("ẞ.EXAMPLE.COM", ("ẞ", "EXAMPLE.COM")),
            ("İ.EXAMPLE.COM", ("İ", "EXAMPLE.COM")),
            ("\u212a.\u212a.Example.COM.", ("\u212a", "\u212a", "Example.COM")),
            ("A.\u023a\u023a.B.WWW.CK", ("A", "\u023a\u023a", "B", "WWW.CK")),
        ],
    )
    def test_keep_case(self, parts, domain, expected):
        assert parts(domain, keep_case=True) == expected

    def test_lowering_that_changes_byte_lengths(self, parts):
        assert parts("İ.EXAMPLE.COM") == ("i\u0307", "example.com")
        assert parts("\u212a.\u212a.Example.COM.") == ("k", "k", "example.com")
        assert parts("A.\u023a\u023a.B.WWW.CK") == ("a", "\u2c65\u2c65", "b", "www.ck")

    def test_icann_only(self, parts):
        rule = support.private_rule_under_com()
        assert parts("a.x." + rule) == ("a", "x." + rule)
        assert parts("a.x." + rule, icann_only=True) == ("a", "x", rule)
        assert parts(rule) is None
        assert parts(rule, icann_only=True) == (rule,)


class TestSubdomain:
    @pytest.mark.parametrize(
        "domain, by_depth",
        [
            ("a.b.example.co.uk", ["example.co.uk", "b.example.co.uk", "a.b.example.co.uk", None]),
            ("example.co.uk", ["example.co.uk", None]),
            ("a.b.foo.ck", ["b.foo.ck", "a.b.foo.ck", None]),
            ("a.www.ck", ["www.ck", "a.www.ck", None]),
            ("a.b.example.com.", ["example.com", "b.example.com", "a.b.example.com", None]),
            ("Mail.Example.CO.UK", ["example.co.uk", "mail.example.co.uk", None]),
        ],
    )
    def test_each_depth(self, sub, domain, by_depth):
        assert [sub(domain, depth) for depth in range(len(by_depth))] == by_depth
        assert sub(domain, len(by_depth) + 10) is None
        assert sub(domain, U64_MAX) is None

    @pytest.mark.parametrize("domain", ["co.uk", "com", "foo.ck", "ck", "example"])
    def test_entirely_public_has_no_depth(self, sub, domain):
        for depth in (0, 1, 2, U64_MAX):
            assert sub(domain, depth) is None

    def test_keep_case(self, sub):
        assert sub("Mail.Example.CO.UK", 1, keep_case=True) == "Mail.Example.CO.UK"
        assert sub("Mail.Example.CO.UK", 0, keep_case=True) == "Example.CO.UK"
        assert sub("ẞ.EXAMPLE.COM", 0, keep_case=True) == "EXAMPLE.COM"
        assert sub("ẞ.EXAMPLE.COM", 1, keep_case=True) == "ẞ.EXAMPLE.COM"
        assert sub("ẞ.EXAMPLE.COM", 1) == "ß.example.com"
        assert sub("\u212a\u212a.\u212a.Example.COM.", 1, keep_case=True) == "\u212a.Example.COM"

    def test_without_accept_unknown(self, sub):
        assert sub("a.example.test", 0) == "example.test"
        assert sub("a.example.test", 0, accept_unknown=False) is None
        assert sub("a.example.za", 1, accept_unknown=False) is None


INVALID = ["", ".", "..", ".example.com", "example..com", "example.com..", "a..b"]


@pytest.mark.parametrize("domain", INVALID)
@pytest.mark.parametrize("flags", FLAG_COMBINATIONS, ids=repr)
def test_invalid_names_give_none(parts, sub, domain, flags):
    assert parts(domain, **flags) is None
    for depth in (0, 1, 2, 5, 2**32, U64_MAX):
        assert sub(domain, depth, **flags) is None


@pytest.mark.parametrize("flags", FLAG_COMBINATIONS, ids=repr)
def test_no_item_ends_with_a_dot(parts, sub, flags):
    for domain in ("a.b.example.com.", "A.B.Example.CO.UK.", "x.y.foo.ck.", "a.www.ck."):
        result = parts(domain, **flags)
        assert result is not None
        assert all(item and not item.endswith(".") and not item.startswith(".") for item in result)
        for depth in range(len(result)):
            answer = sub(domain, depth, **flags)
            assert answer is not None and not answer.endswith(".")
