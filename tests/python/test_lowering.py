"""Lowering of domains as seen through the answers: full Unicode 17.0 lowercase,
final sigma, the labels kept in step with the caller's text."""

import pytest

import support

CHUNK = 256


def all_label_characters():
    return [
        chr(cp)
        for cp in range(0x110000)
        if cp != 0x2E and not 0xD800 <= cp <= 0xDFFF
    ]


@pytest.mark.slow
def test_every_character_lowers_as_unicode_17(lookup):
    # A single label is its own public suffix, so publicsuffix returns the
    # whole lowered label.
    chars = all_label_characters()
    wrong = []
    for start in range(0, len(chars), CHUNK):
        label = "".join(chars[start:start + CHUNK])
        if lookup.publicsuffix(label) != support.reference_lower(label):
            for ch in label:
                got = lookup.publicsuffix("x" + ch)
                want = support.reference_lower("x" + ch)
                if got != want:
                    wrong.append((f"U+{ord(ch):04X}", got, want))
            if not wrong:
                wrong.append((f"chunk at U+{ord(label[0]):04X}", "context-dependent mismatch"))
        assert lookup.publicsuffix(label, keep_case=True) == label
    assert wrong[:20] == []


@pytest.mark.parametrize(
    "upper, lower",
    [
        ("\ua7ce", "\ua7cf"),
        ("\ua7d2", "\ua7d3"),
        ("\ua7d4", "\ua7d5"),
        ("\U00016ea0", "\U00016ebb"),
        ("\u0130", "i\u0307"),
        ("\u212a", "k"),
        ("\u1e9e", "\u00df"),
        ("\u023a", "\u2c65"),
        ("\u2126", "\u03c9"),
        ("\u00c0", "\u00e0"),
        ("\U00010400", "\U00010428"),
        ("\u00b5", "\u00b5"),
        ("\u3002", "\u3002"),
        ("\uff21", "\uff41"),
        ("\u01c5", "\u01c6"),
    ],
)
def test_selected_mappings(lookup, upper, lower):
    assert lookup.publicsuffix("Q" + upper) == "q" + lower
    assert lookup.privatesuffix(upper + ".Test") == lower + ".test"
    assert lookup.privatesuffix(upper + ".Test", keep_case=True) == upper + ".Test"


@pytest.mark.parametrize("prefix_length", list(range(0, 50)))
@pytest.mark.parametrize("tail", ["İX.Example.COM", "é.ABC", "ẞ.\u212a.Q.CO.UK", ".A.B.COM"])
def test_ascii_blocks_then_characters(lookup, prefix_length, tail):
    prefix = "".join("ABCDEFGHIJKLMNOPQRSTUVWXYZ@[`{-_019"[i % 35] for i in range(prefix_length))
    domain = prefix + tail
    if not support.is_valid(domain):
        assert lookup.publicsuffix(domain) is None
        return
    lowered = support.reference_lower(domain)
    assert support.whole_answer(domain) == lowered
    assert support.whole_answer(domain, keep_case=True) == domain


def test_every_ascii_byte(lookup):
    text = "".join(chr(c) for c in range(128) if c != 0x2E)
    assert lookup.publicsuffix(text) == text.lower()
    assert lookup.publicsuffix(text * 3 + ".com", keep_case=True) == "com"
    assert lookup.privatesuffix(text * 3 + ".com") == text.lower() * 3 + ".com"


def test_only_full_stop_separates_labels(lookup):
    for separator in ("\u3002", "\uff0e", "\uff61"):
        assert lookup.privateparts(f"a{separator}b.example.com") == (f"a{separator}b", "example.com")
        assert lookup.is_public(f"example{separator}com") is True


def test_no_other_folding(lookup):
    # Full-width letters, compatibility forms and xn-- labels are kept as they are.
    assert lookup.publicsuffix("example.ｃｏｍ") == "ｃｏｍ"
    assert lookup.privatesuffix("a.example.ＣＯＭ") == "example.ｃｏｍ"
    assert lookup.privatesuffix("e\u0301.com") == "e\u0301.com"
    assert lookup.privatesuffix("\u00e9.com") == "\u00e9.com"
    assert lookup.privatesuffix("x.xn--fiqs8s") == "x.xn--fiqs8s"
    assert lookup.privatesuffix("x.XN--FIQS8S") == "x.xn--fiqs8s"
