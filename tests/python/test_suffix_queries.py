"""publicsuffix, privatesuffix, is_public and is_private against the compiled list."""

import itertools

import pytest

import support
from support import private_rule_under_com


# Quick in-process calls through every path are worth running under valgrind.
pytestmark = pytest.mark.memcheck


@pytest.fixture(scope="module")
def answers(lookup):
    """The four answers for one domain, keep_case applied to the text functions."""

    def four_answers(domain, **flags):
        predicate_flags = {k: v for k, v in flags.items() if k != "keep_case"}
        return (
            lookup.publicsuffix(domain, **flags),
            lookup.privatesuffix(domain, **flags),
            lookup.is_public(domain, **predicate_flags),
            lookup.is_private(domain, **predicate_flags),
        )

    return four_answers


ALL_FLAG_COMBINATIONS = [
    dict(zip(("accept_unknown", "icann_only", "keep_case"), values))
    for values in itertools.product((True, False), repeat=3)
]


class TestListedNames:
    @pytest.mark.parametrize(
        "domain, expected",
        [
            ("a.b.example.com", ("com", "example.com", False, True)),
            ("example.com", ("com", "example.com", False, True)),
            ("example.co.uk", ("co.uk", "example.co.uk", False, True)),
            ("a.example.co.uk", ("co.uk", "example.co.uk", False, True)),
            ("co.uk", ("co.uk", None, True, False)),
            ("com", ("com", None, True, False)),
            ("uk", ("uk", None, True, False)),
            # Wildcard *.ck with the exception !www.ck.
            ("foo.ck", ("foo.ck", None, True, False)),
            ("a.b.foo.ck", ("foo.ck", "b.foo.ck", False, True)),
            ("www.ck", ("ck", "www.ck", False, True)),
            ("a.www.ck", ("ck", "www.ck", False, True)),
            ("ck", ("ck", None, True, False)),
            # *.sch.uk reached with no label left, and with labels left.
            ("sch.uk", ("sch.uk", None, True, False)),
            ("example.sch.uk", ("example.sch.uk", None, True, False)),
            ("a.example.sch.uk", ("example.sch.uk", "a.example.sch.uk", False, True)),
            # *.kobe.jp with the exception !city.kobe.jp.
            ("kobe.jp", ("kobe.jp", None, True, False)),
            ("example.kobe.jp", ("example.kobe.jp", None, True, False)),
            ("x.example.kobe.jp", ("example.kobe.jp", "x.example.kobe.jp", False, True)),
            ("city.kobe.jp", ("kobe.jp", "city.kobe.jp", False, True)),
            ("www.city.kobe.jp", ("kobe.jp", "city.kobe.jp", False, True)),
            # Unicode rules and their xn-- twins, compared byte for byte.
            ("example.公司.cn", ("公司.cn", "example.公司.cn", False, True)),
            ("example.xn--55qx5d.cn", ("xn--55qx5d.cn", "example.xn--55qx5d.cn", False, True)),
            ("公司.cn", ("公司.cn", None, True, False)),
            # Separators other than U+002E are ordinary characters.
            ("example。com", ("example。com", None, True, False)),
            ("a.example．com", ("example．com", "a.example．com", False, True)),
            ("a b.com", ("com", "a b.com", False, True)),
            # NUL is an ordinary character: the text has no terminator.
            ("a\x00b.com", ("com", "a\x00b.com", False, True)),
            ("x.example.com\x00", ("com\x00", "example.com\x00", False, True)),
            ("\x00", ("\x00", None, True, False)),
            ("co\x00.uk", ("uk", "co\x00.uk", False, True)),
        ],
    )
    def test_default_flags(self, answers, domain, expected):
        assert answers(domain) == expected

    def test_listed_tld_needs_no_accept_unknown(self, answers):
        assert answers("com", accept_unknown=False) == ("com", None, True, False)
        assert answers("ck", accept_unknown=False) == ("ck", None, True, False)
        assert answers("x.example.co.za", accept_unknown=False) == ("co.za", "example.co.za", False, True)


class TestUnlistedNames:
    def test_unlisted_top_level_label(self, answers):
        assert answers("example.test") == ("test", "example.test", False, True)
        assert answers("a.example.test") == ("test", "example.test", False, True)
        assert answers("example.test", accept_unknown=False) == (None, None, False, False)
        assert answers("a.example.test", accept_unknown=False) == (None, None, False, False)

    def test_single_unlisted_label(self, answers):
        assert answers("example") == ("example", None, True, False)
        for icann_only in (True, False):
            assert answers("example", accept_unknown=False, icann_only=icann_only) == (
                None, None, False, False,
            )
            assert answers("example", icann_only=icann_only) == ("example", None, True, False)

    def test_parent_of_rules_only(self, answers):
        # za is on the way to co.za but is no rule itself.
        assert answers("example.za") == ("za", "example.za", False, True)
        assert answers("example.za", accept_unknown=False) == (None, None, False, False)
        assert answers("za", accept_unknown=False) == (None, None, False, False)
        for accept_unknown in (True, False):
            assert answers("example.co.za", accept_unknown=accept_unknown) == (
                "co.za", "example.co.za", False, True,
            )

    def test_label_under_a_listed_tld_that_has_no_rule(self, answers):
        # The walk stops at the first label with no edge.
        assert answers("nothing-here.example.com") == ("com", "example.com", False, True)


class TestIcannOnly:
    def test_private_rule_under_com(self, answers):
        rule = private_rule_under_com()
        entries = support.list_rules()[rule]
        assert entries == [(support.FLAG_RULE, "private")]
        three = "x." + rule
        assert answers(three) == (rule, three, False, True)
        assert answers(three, icann_only=True) == ("com", rule, False, True)
        assert answers(rule) == (rule, None, True, False)
        assert answers(rule, icann_only=True) == ("com", rule, False, True)
        assert answers(rule, icann_only=True, accept_unknown=False) == ("com", rule, False, True)

    def test_private_wildcard_is_invisible_to_icann_only(self, lookup):
        rules = support.list_rules()
        wildcard = next(
            name for name, entries in sorted(rules.items())
            if entries == [(support.FLAG_WILDCARD, "private")]
            and name.isascii()
            and support.reference_suffix_count(name, icann_only=True) < len(name.split("."))
        )
        domain = "a.b." + wildcard
        n = len(domain.split("."))
        assert lookup.publicsuffix(domain) == "b." + wildcard
        icann_count = support.reference_suffix_count(domain, icann_only=True)
        expected = ".".join(domain.split(".")[n - icann_count:])
        assert lookup.publicsuffix(domain, icann_only=True) == expected
        assert expected != "b." + wildcard

    def test_icann_rules_keep_working(self, answers):
        assert answers("a.example.co.uk", icann_only=True) == ("co.uk", "example.co.uk", False, True)
        assert answers("a.b.foo.ck", icann_only=True) == ("foo.ck", "b.foo.ck", False, True)
        assert answers("www.ck", icann_only=True) == ("ck", "www.ck", False, True)


class TestLetterCase:
    def test_mixed_case(self, lookup):
        assert lookup.publicsuffix("Mail.Example.CO.UK") == "co.uk"
        assert lookup.publicsuffix("Mail.Example.CO.UK", keep_case=True) == "CO.UK"
        assert lookup.privatesuffix("Mail.Example.CO.UK") == "example.co.uk"
        assert lookup.privatesuffix("Mail.Example.CO.UK", keep_case=True) == "Example.CO.UK"
        assert lookup.is_public("CO.UK") is True
        assert lookup.is_private("Mail.Example.CO.UK") is True
        assert lookup.publicsuffix("WWW.CK", keep_case=True) == "CK"
        assert lookup.privatesuffix("A.WWW.CK", keep_case=True) == "WWW.CK"
        assert lookup.publicsuffix("CO.UK", keep_case=True) == "CO.UK"

    @pytest.mark.parametrize(
        "domain, lowered_answers, kept_answers",
        [
            # U+1E9E shrinks from three bytes to two.
            ("ẞ.EXAMPLE.COM", ("com", "example.com"), ("COM", "EXAMPLE.COM")),
            # U+0130 grows into two characters, three bytes.
            ("İ.EXAMPLE.COM", ("com", "example.com"), ("COM", "EXAMPLE.COM")),
            ("a.İstanbul.Com", ("com", "i\u0307stanbul.com"), ("Com", "İstanbul.Com")),
            # U+212A KELVIN SIGN shrinks from three bytes to one.
            ("\u212a\u212a\u212a\u212a.ab.Example.COM", ("com", "example.com"), ("COM", "Example.COM")),
            ("x.\u212aelvin.test", ("test", "kelvin.test"), ("test", "\u212aelvin.test")),
            # U+023A grows from two bytes to three.
            ("\u023a" * 6 + ".b.\u023aX.co.uk", ("co.uk", "\u2c65x.co.uk"), ("co.uk", "\u023aX.co.uk")),
            ("İİİİİİİİ.ẞẞẞẞẞ.co.uk", ("co.uk", "ßßßßß.co.uk"), ("co.uk", "ẞẞẞẞẞ.co.uk")),
        ],
    )
    def test_lowering_that_changes_byte_lengths(self, lookup, domain, lowered_answers, kept_answers):
        assert (lookup.publicsuffix(domain), lookup.privatesuffix(domain)) == lowered_answers
        assert (
            lookup.publicsuffix(domain, keep_case=True),
            lookup.privatesuffix(domain, keep_case=True),
        ) == kept_answers

    @pytest.mark.parametrize(
        "domain, lowered",
        [
            ("ΟΔΟΣ.example.com", "οδοσ.example.com"),
            ("ΑΣ", "ας"),
            ("x.ΑΣ", "x.ας"),
            ("x.ΑΣ.", "x.ας"),
            ("αΣ-b", "ας-b"),
            ("1Σ", "1σ"),
            ("ΣΣ", "σς"),
            ("Σ", "σ"),
            ("ΑΣ.1", "ας.1"),
            ("ΑΣ.com", "ασ.com"),
            ("ΑΣ:b", "ασ:b"),
            ("Α'Σ", "α'ς"),
            ("Α'Σ'.b", "α'σ'.b"),
        ],
    )
    def test_final_sigma(self, domain, lowered):
        assert support.whole_answer(domain) == lowered
        assert support.whole_answer(domain, keep_case=True) == support.strip_dot(domain)

    def test_sigma_context_spans_labels(self, lookup):
        assert lookup.privateparts("ΟΔΟΣ.example.com") == ("οδοσ", "example.com")
        assert lookup.privatesuffix("ΑΣ.com") == "ασ.com"
        assert lookup.privatesuffix("ΑΣ.1") == "ας.1"
        assert lookup.privatesuffix("ΑΣ.com", keep_case=True) == "ΑΣ.com"


class TestTrailingDot:
    @pytest.mark.parametrize(
        "domain",
        ["a.b.example.com", "Example.CO.UK", "com", "co.uk", "foo.ck", "A.WWW.CK", "example", "ẞ.Example.COM"],
    )
    @pytest.mark.parametrize("flags", ALL_FLAG_COMBINATIONS, ids=repr)
    def test_same_answers_with_one_trailing_dot(self, answers, domain, flags):
        plain = answers(domain, **flags)
        dotted = answers(domain + ".", **flags)
        assert dotted == plain
        for text in dotted[:2]:
            assert text is None or not text.endswith(".")

    def test_com_dot_is_public(self, answers):
        assert answers("com.") == ("com", None, True, False)
        assert answers("COM.", keep_case=True) == ("COM", None, True, False)


INVALID = ["", ".", "..", "...", ".example.com", "example..com", "example.com..", "a.b..", ".com", "..com", "com..", "a..b.com."]


class TestInvalidNames:
    @pytest.mark.parametrize("domain", INVALID)
    @pytest.mark.parametrize("flags", ALL_FLAG_COMBINATIONS, ids=repr)
    def test_no_answer_with_any_flags(self, answers, domain, flags):
        assert answers(domain, **flags) == (None, None, False, False)

    def test_invalid_answers_are_the_singletons(self, lookup):
        assert lookup.publicsuffix("..") is None
        assert lookup.is_public("") is False
        assert lookup.is_private(".") is False
